#include "network/library/KJAFHTTPResponseSerializer.h"

#include "foundation/KJLog.h"
#include "network/library/KJAFCompoundResponseSerializer.h"
#include "network/library/KJAFImageResponseSerializer.h"
#include "network/library/KJAFJSONResponseSerializer.h"
#include "network/library/KJAFPropertyListResponseSerializer.h"
#include "network/library/KJAFXMLParserResponseSerializer.h"
#include "network/library/KJMossgroveStrings.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URLError.h"

namespace brindlecue {

using platform::Error;
using platform::Value;

std::shared_ptr<KJAFHTTPResponseSerializer> KJAFHTTPResponseSerializer::serializer() {
    return std::make_shared<KJAFHTTPResponseSerializer>();
}

namespace {

template <class T>
std::shared_ptr<platform::SecureCoding> decoded(platform::KeyedUnarchiver& coder) {
    auto serializer = std::make_shared<T>();
    serializer->decodeFromCoder(coder);
    return serializer;
}

// Every response serializer of the library can be read back from an archive once this file is
// part of the program (it is whenever a response serializer is).
const bool registered = [] {
    platform::KeyedUnarchiver::registerClass("KJAFHTTPResponseSerializer",
                                             &decoded<KJAFHTTPResponseSerializer>);
    platform::KeyedUnarchiver::registerClass("KJAFJSONResponseSerializer",
                                             &decoded<KJAFJSONResponseSerializer>);
    platform::KeyedUnarchiver::registerClass("KJAFXMLParserResponseSerializer",
                                             &decoded<KJAFXMLParserResponseSerializer>);
    platform::KeyedUnarchiver::registerClass("KJAFPropertyListResponseSerializer",
                                             &decoded<KJAFPropertyListResponseSerializer>);
    platform::KeyedUnarchiver::registerClass("KJAFCompoundResponseSerializer",
                                             &decoded<KJAFCompoundResponseSerializer>);
    platform::KeyedUnarchiver::registerClass("KJAFImageResponseSerializer",
                                             &decoded<KJAFImageResponseSerializer>);
    return true;
}();

}  // namespace

std::shared_ptr<KJAFURLResponseSerialization> KJAFHTTPResponseSerializer::copy() const {
    auto serializer = KJAFHTTPResponseSerializer::serializer();
    serializer->acceptableStatusCodes = acceptableStatusCodes;
    serializer->acceptableContentTypes = acceptableContentTypes;
    return serializer;
}

void KJAFHTTPResponseSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const {
    if (acceptableStatusCodes) {
        platform::Array codes;
        for (int code : *acceptableStatusCodes) codes.push_back(Value(code));
        coder.encodeObject(Value(std::move(codes)), "acceptableStatusCodes");
    }
    if (acceptableContentTypes) {
        platform::Array types;
        for (const auto& type : *acceptableContentTypes) types.push_back(Value(type));
        coder.encodeObject(Value(std::move(types)), "acceptableContentTypes");
    }
}

void KJAFHTTPResponseSerializer::decodeFromCoder(platform::KeyedUnarchiver& coder) {
    acceptableStatusCodes.reset();
    if (platform::Value codesValue = coder.decodeObjectForKey("acceptableStatusCodes");
        const platform::Array* codes = codesValue.getArray()) {
        acceptableStatusCodes.emplace();
        for (const Value& code : *codes) {
            if (code.isInteger()) acceptableStatusCodes->insert(static_cast<int>(*code.getInteger()));
        }
    }
    acceptableContentTypes.reset();
    if (platform::Value typesValue = coder.decodeObjectForKey("acceptableContentTypes");
        const platform::Array* types = typesValue.getArray()) {
        acceptableContentTypes.emplace();
        for (const Value& type : *types) {
            if (const std::string* t = type.getString()) acceptableContentTypes->insert(*t);
        }
    }
}

std::set<int> KJAFHTTPResponseSerializer::defaultStatusCodes() {
    std::set<int> codes;
    for (int code = 200; code < 300; ++code) codes.insert(code);
    return codes;
}

std::optional<Error> KJAFErrorWithUnderlyingError(const std::optional<Error>& error,
                                                  const std::optional<Error>& underlyingError) {
    if (!error) return underlyingError;
    if (!underlyingError || error->underlyingError()) return error;
    return Error(error->domain(), error->code(), error->userInfo(), std::make_shared<const Error>(*underlyingError));
}

bool KJAFErrorOrUnderlyingErrorHasCodeInDomain(const std::optional<Error>& error, int64_t code,
                                               const std::string& domain) {
    const Error* current = error ? &*error : nullptr;
    while (current) {
        if (current->domain() == domain && current->code() == code) return true;
        current = current->underlyingError().get();
    }
    return false;
}

bool KJAFHTTPResponseSerializer::validateResponse(const std::shared_ptr<platform::URLResponse>& response,
                                                  const std::optional<platform::Data>& data,
                                                  std::optional<Error>* error) const {
    auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(response);
    if (!http) return true;

    bool valid = true;
    std::optional<Error> validationError;
    bool hasBody = data && !data->empty();
    auto userInfoFor = [&](const std::string& description) {
        Value info = Value::dictionary();
        info.set(Error::kLocalizedDescriptionKey, description);
        info.set(platform::URLError::kFailingURLKey, http->url()->absoluteString());
        info.set(KJMossgroveOperationFailingURLResponseErrorKey, http->description());
        if (data) info.set(KJMossgroveOperationFailingURLResponseDataErrorKey, *data);
        return info;
    };

    const std::optional<std::string>& mime = http->mimeType();
    if (acceptableContentTypes && !(mime && acceptableContentTypes->count(*mime)) && !(!mime && !hasBody)) {
        if (hasBody && http->url()) {
            std::string description = KJLogFormat(
                KJMossgroveLocalizedString("Request failed: unacceptable content-type: %@"), {mime.value_or("(null)")});
            validationError = Error(KJAFURLResponseSerializationErrorDomain, platform::URLError::CannotDecodeContentData,
                                    userInfoFor(description));
        }
        valid = false;
    }

    if (acceptableStatusCodes && !acceptableStatusCodes->count(http->statusCode()) && http->url()) {
        std::string description =
            KJLogFormat(KJMossgroveLocalizedString("Request failed: %@ (%ld)"),
                        {platform::HTTPURLResponse::localizedStringForStatusCode(http->statusCode()),
                         std::to_string(http->statusCode())});
        Error statusError(KJAFURLResponseSerializationErrorDomain, platform::URLError::BadServerResponse,
                          userInfoFor(description));
        validationError = KJAFErrorWithUnderlyingError(statusError, validationError);
        valid = false;
    }

    if (!valid && error) *error = validationError;
    return valid;
}

Value KJAFHTTPResponseSerializer::responseObjectForResponse(const std::shared_ptr<platform::URLResponse>& response,
                                                            const std::optional<platform::Data>& data,
                                                            std::optional<Error>* error) {
    validateResponse(response, data, error);
    return data ? Value(*data) : Value();
}

}  // namespace brindlecue
