#include "network/library/KJAFHTTPRequestSerializer.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "network/library/KJAFJSONRequestSerializer.h"
#include "network/library/KJAFPropertyListRequestSerializer.h"
#include "network/library/KJAFQueryStringPair.h"
#include "network/library/KJAFStreamingMultipartFormData.h"
#include "platform/Bundle.h"
#include "platform/Crypto.h"
#include "platform/Device.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIScreen.h"

namespace brindlecue {

using platform::Error;
using platform::URLRequest;
using platform::Value;

namespace {

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

std::string acceptLanguage() {
    std::string header;
    int index = 0;
    for (const std::string& language : platform::Device::preferredLanguages()) {
        float q = static_cast<float>(1.0 - 0.1 * index);
        char entry[256];
        std::snprintf(entry, sizeof entry, "%s;q=%0.1g", language.c_str(), static_cast<double>(q));
        if (!header.empty()) header += ", ";
        header += entry;
        if (q <= 0.5f) break;
        ++index;
    }
    return header;
}

std::string infoText(const char* key, const char* fallbackKey) {
    auto bundle = platform::Bundle::main();
    if (!bundle) return "(null)";
    for (const char* k : {key, fallbackKey}) {
        Value value = bundle->objectForInfoDictionaryKey(k);
        if (const std::string* s = value.getString()) return *s;
    }
    return "(null)";
}

std::string userAgent() {
    char text[1024];
    std::snprintf(text, sizeof text, "%s/%s (%s; iOS %s; Scale/%0.2f)",
                  infoText(platform::Bundle::kExecutableKey, platform::Bundle::kIdentifierKey).c_str(),
                  infoText(platform::Bundle::kShortVersionStringKey, platform::Bundle::kVersionKey).c_str(),
                  platform::Device::model().c_str(), platform::Device::systemVersion().c_str(),
                  platform::UIScreen::mainScreen()->scale());
    std::string agent = text;
    bool ascii = std::all_of(agent.begin(), agent.end(), [](unsigned char c) { return c < 0x80; });
    if (ascii) return agent;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> transform(icu::Transliterator::createInstance(
        "Any-Latin; Latin-ASCII; [:^ASCII:] Remove", UTRANS_FORWARD, status));
    if (U_FAILURE(status) || !transform) return agent;
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(agent);
    transform->transliterate(unicode);
    std::string ascii_;
    unicode.toUTF8String(ascii_);
    return ascii_;
}

platform::Data bytes(const std::string& text) { return platform::Data(text.begin(), text.end()); }

// Header names match without regard to letter case: "x-app-key" replaces "X-App-Key".
bool sameName(const std::string& a, const std::string& b) {
    return platform::headerNameEquals(a, b);
}

}  // namespace

std::shared_ptr<KJAFHTTPRequestSerializer> KJAFHTTPRequestSerializer::serializer() {
    return std::make_shared<KJAFHTTPRequestSerializer>();
}

namespace {

template <class T>
std::shared_ptr<platform::SecureCoding> decoded(platform::KeyedUnarchiver& coder) {
    auto serializer = std::make_shared<T>();
    serializer->decodeFromCoder(coder);
    return serializer;
}

// Every request serializer of the library can be read back from an archive once this file is
// part of the program (it is whenever a request serializer is).
const bool registered = [] {
    platform::KeyedUnarchiver::registerClass("KJAFHTTPRequestSerializer",
                                             &decoded<KJAFHTTPRequestSerializer>);
    platform::KeyedUnarchiver::registerClass("KJAFJSONRequestSerializer",
                                             &decoded<KJAFJSONRequestSerializer>);
    platform::KeyedUnarchiver::registerClass("KJAFPropertyListRequestSerializer",
                                             &decoded<KJAFPropertyListRequestSerializer>);
    return true;
}();

}  // namespace

std::shared_ptr<KJAFHTTPRequestSerializer> KJAFHTTPRequestSerializer::copy() const {
    auto serializer = KJAFHTTPRequestSerializer::serializer();
    copyInto(*serializer);
    return serializer;
}

void KJAFHTTPRequestSerializer::copyInto(KJAFHTTPRequestSerializer& copy) const {
    std::scoped_lock lock(mutex_, copy.mutex_);
    copy.headers_ = headers_;
    copy.queryStringSerializationStyle_ = queryStringSerializationStyle_;
    copy.queryStringSerialization_ = queryStringSerialization_;
}

void KJAFHTTPRequestSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const {
    std::lock_guard lock(mutex_);
    platform::Dictionary headers;
    for (const auto& [name, value] : headers_) headers.set(name, Value(value));
    coder.encodeObject(Value(std::move(headers)), "mutableHTTPRequestHeaders");
    coder.encodeObject(Value(queryStringSerializationStyle_), "queryStringSerializationStyle");
}

void KJAFHTTPRequestSerializer::decodeFromCoder(platform::KeyedUnarchiver& coder) {
    Value headers = coder.decodeObjectForKey("mutableHTTPRequestHeaders");
    Value style = coder.decodeObjectForKey("queryStringSerializationStyle");
    std::lock_guard lock(mutex_);
    if (const platform::Dictionary* dictionary = headers.getDictionary()) {
        headers_.clear();
        for (const auto& [name, value] : *dictionary) {
            if (const std::string* text = value.getString()) headers_.emplace_back(name, *text);
        }
    }
    queryStringSerializationStyle_ = static_cast<uint64_t>(style.integerValue());
}

KJAFHTTPRequestSerializer::KJAFHTTPRequestSerializer() {
    headers_.emplace_back("Accept-Language", acceptLanguage());
    headers_.emplace_back("User-Agent", userAgent());
}

// ---- Settings --------------------------------------------------------------------------------

uint64_t KJAFHTTPRequestSerializer::stringEncoding() const {
    std::lock_guard lock(mutex_);
    return stringEncoding_;
}
void KJAFHTTPRequestSerializer::setStringEncoding(uint64_t encoding) {
    std::lock_guard lock(mutex_);
    stringEncoding_ = encoding;
}

#define KJAF_SETTING(Type, getter, setter, member, fallback)        \
    Type KJAFHTTPRequestSerializer::getter() const {                \
        std::lock_guard lock(mutex_);                               \
        return settings_.member.value_or(fallback);                 \
    }                                                               \
    void KJAFHTTPRequestSerializer::setter(std::optional<Type> v) { \
        std::lock_guard lock(mutex_);                               \
        settings_.member = v;                                       \
    }

KJAF_SETTING(bool, allowsCellularAccess, setAllowsCellularAccess, allowsCellularAccess, true)
KJAF_SETTING(URLRequest::CachePolicy, cachePolicy, setCachePolicy, cachePolicy,
             URLRequest::CachePolicy::UseProtocolCachePolicy)
KJAF_SETTING(bool, HTTPShouldHandleCookies, setHTTPShouldHandleCookies, HTTPShouldHandleCookies, true)
KJAF_SETTING(bool, HTTPShouldUsePipelining, setHTTPShouldUsePipelining, HTTPShouldUsePipelining, false)
KJAF_SETTING(uint64_t, networkServiceType, setNetworkServiceType, networkServiceType, 0)
KJAF_SETTING(double, timeoutInterval, setTimeoutInterval, timeoutInterval, URLRequest::kDefaultTimeoutInterval)

#undef KJAF_SETTING

// ---- Headers ---------------------------------------------------------------------------------

platform::HTTPHeaderFields KJAFHTTPRequestSerializer::HTTPRequestHeaders() const {
    std::lock_guard lock(mutex_);
    return headers_;
}

void KJAFHTTPRequestSerializer::setValue(const std::optional<std::string>& value, const std::string& field) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(headers_.begin(), headers_.end(), [&](const auto& h) { return sameName(h.first, field); });
    if (!value) {
        if (it != headers_.end()) headers_.erase(it);
    } else if (it != headers_.end()) {
        it->second = *value;
    } else {
        headers_.emplace_back(field, *value);
    }
}

std::optional<std::string> KJAFHTTPRequestSerializer::valueForHTTPHeaderField(const std::string& field) const {
    std::lock_guard lock(mutex_);
    for (const auto& [name, value] : headers_) {
        if (sameName(name, field)) return value;
    }
    return std::nullopt;
}

void KJAFHTTPRequestSerializer::setAuthorizationHeaderFieldWithUsername(const std::string& username,
                                                                        const std::string& password) {
    setValue("Basic " + platform::Crypto::base64Encode(bytes(username + ":" + password)), "Authorization");
}

void KJAFHTTPRequestSerializer::clearAuthorizationHeader() { setValue(std::nullopt, "Authorization"); }

std::set<std::string> KJAFHTTPRequestSerializer::HTTPMethodsEncodingParametersInURI() const {
    std::lock_guard lock(mutex_);
    return methodsInURI_;
}

void KJAFHTTPRequestSerializer::setHTTPMethodsEncodingParametersInURI(std::set<std::string> methods) {
    std::lock_guard lock(mutex_);
    methodsInURI_ = std::move(methods);
}

void KJAFHTTPRequestSerializer::setQueryStringSerializationWithStyle(uint64_t style) {
    std::lock_guard lock(mutex_);
    queryStringSerializationStyle_ = style;
    queryStringSerialization_ = nullptr;
}

void KJAFHTTPRequestSerializer::setQueryStringSerializationWithBlock(QueryStringSerialization block) {
    std::lock_guard lock(mutex_);
    queryStringSerialization_ = std::move(block);
}

bool KJAFHTTPRequestSerializer::encodesParametersInURI(const std::string& method) const {
    std::lock_guard lock(mutex_);
    return methodsInURI_.count(upper(method)) > 0;
}

URLRequest KJAFHTTPRequestSerializer::requestWithDefaultHeaders(const URLRequest& request) const {
    URLRequest copy = request;
    for (const auto& [name, value] : HTTPRequestHeaders()) {
        if (!copy.valueForHTTPHeaderField(name)) copy.setValue(value, name);
    }
    return copy;
}

// ---- Requests --------------------------------------------------------------------------------

std::optional<URLRequest> KJAFHTTPRequestSerializer::requestWithMethod(const std::string& method,
                                                                       const std::string& URLString,
                                                                       const Value& parameters,
                                                                       std::optional<Error>* error) {
    URLRequest request(platform::URL::fromString(URLString));
    request.setHTTPMethod(method);
    Settings settings;
    {
        std::lock_guard lock(mutex_);
        settings = settings_;
    }
    if (settings.allowsCellularAccess) request.setAllowsCellularAccess(*settings.allowsCellularAccess);
    if (settings.cachePolicy) request.setCachePolicy(*settings.cachePolicy);
    if (settings.HTTPShouldHandleCookies) request.setHTTPShouldHandleCookies(*settings.HTTPShouldHandleCookies);
    if (settings.HTTPShouldUsePipelining) request.setHTTPShouldUsePipelining(*settings.HTTPShouldUsePipelining);
    if (settings.networkServiceType) request.setNetworkServiceType(*settings.networkServiceType);
    if (settings.timeoutInterval) request.setTimeoutInterval(*settings.timeoutInterval);
    return requestBySerializingRequest(request, parameters, error);
}

std::optional<URLRequest> KJAFHTTPRequestSerializer::requestBySerializingRequest(const URLRequest& request,
                                                                                 const Value& parameters,
                                                                                 std::optional<Error>* error) {
    URLRequest mutableRequest = requestWithDefaultHeaders(request);

    std::optional<std::string> query;
    if (!parameters.isAbsent()) {
        QueryStringSerialization closure;
        uint64_t style;
        {
            std::lock_guard lock(mutex_);
            closure = queryStringSerialization_;
            style = queryStringSerializationStyle_;
        }
        if (const std::string* body = parameters["KJ_BODY"].getString()) {
            query = *body;
        } else if (closure) {
            std::optional<Error> serializationError;
            query = closure(request, parameters, &serializationError);
            if (serializationError) {
                if (error) *error = serializationError;
                return std::nullopt;
            }
        } else if (style == 0) {
            query = KJAFQueryStringFromParameters(parameters);
        }
    }

    if (encodesParametersInURI(mutableRequest.httpMethod())) {
        if (query && !query->empty() && mutableRequest.url()) {
            const platform::URL& url = *mutableRequest.url();
            std::string text = url.absoluteString() + (url.query() ? "&" : "?") + *query;
            mutableRequest.setURL(platform::URL::fromString(text));
        }
    } else {
        if (!mutableRequest.valueForHTTPHeaderField("Content-Type")) {
            mutableRequest.setValue("application/x-www-form-urlencoded", "Content-Type");
        }
        mutableRequest.setHTTPBody(bytes(query.value_or("")));
    }
    return mutableRequest;
}

std::optional<URLRequest> KJAFHTTPRequestSerializer::multipartFormRequestWithMethod(
    const std::string& method, const std::string& URLString, const Value& parameters,
    const std::function<void(KJAFMultipartFormData&)>& block, std::optional<Error>* error) {
    auto request = requestWithMethod(method, URLString, Value(), error);
    if (!request) return std::nullopt;
    KJAFStreamingMultipartFormData formData(*request, KJAFUTF8StringEncoding);
    if (!parameters.isAbsent()) {
        for (const KJAFQueryStringPair& pair : KJAFQueryStringPairsFromKeyAndValue(std::nullopt, parameters)) {
            platform::Data data;
            if (const platform::Data* d = pair.value().getData()) {
                data = *d;
            } else if (!pair.value().isNil()) {
                data = bytes(pair.value().isBool() ? (*pair.value().getBool() ? "1" : "0") : pair.value().stringValue());
            }
            formData.appendPartWithFormData(data, pair.field());
        }
    }
    if (block) block(formData);
    return formData.requestByFinalizingMultipartFormData();
}

URLRequest KJAFHTTPRequestSerializer::requestWithMultipartFormRequest(
    const URLRequest& request, const platform::URL& fileURL,
    std::function<void(std::optional<Error>)> completionHandler) {
    std::shared_ptr<platform::InputStream> input = request.httpBodyStream();
    std::string path = fileURL.path();
    platform::DispatchQueue::global()->async([input, path, completionHandler] {
        std::optional<Error> error;
        std::ofstream output(path, std::ios::binary | std::ios::trunc);
        if (!output) {
            int code = errno ? errno : EACCES;
            error = Error::withDescription("NSPOSIXErrorDomain", code, std::strerror(code));
        } else if (input) {
            input->open();
            uint8_t buffer[1024];
            while (true) {
                long n = input->read(buffer, sizeof buffer);
                if (n < 0 || input->streamError()) {
                    error = input->streamError() ? *input->streamError()
                                                 : Error::withDescription("NSPOSIXErrorDomain", EIO, std::strerror(EIO));
                    break;
                }
                if (n == 0) break;
                output.write(reinterpret_cast<const char*>(buffer), n);
                if (!output) {
                    error = Error::withDescription("NSPOSIXErrorDomain", EIO, std::strerror(EIO));
                    break;
                }
            }
            input->close();
        }
        output.close();
        if (completionHandler) {
            platform::DispatchQueue::main()->async([completionHandler, error] { completionHandler(error); });
        }
    });
    URLRequest copy = request;
    copy.setHTTPBodyStream(nullptr);
    return copy;
}

}  // namespace brindlecue
