#include "platform/foundation/URLSessionConfiguration.h"

namespace brindlecue::platform {

namespace {

const bool registered = [] {
    KeyedUnarchiver::registerClass("NSURLSessionConfiguration",
                                   &URLSessionConfigurationCoding::initWithCoder);
    return true;
}();

}  // namespace

void URLSessionConfigurationCoding::encodeWithCoder(KeyedArchiver& coder) const {
    const auto& c = configuration_;
    if (c.identifier) coder.encodeObject(Value(*c.identifier), "identifier");
    coder.encodeDouble(c.timeoutIntervalForRequest, "timeoutIntervalForRequest");
    Dictionary headers;
    for (const auto& [name, value] : c.httpAdditionalHeaders) headers.set(name, Value(value));
    coder.encodeObject(Value(std::move(headers)), "HTTPAdditionalHeaders");
    coder.encodeInt64(static_cast<int64_t>(c.requestCachePolicy), "requestCachePolicy");
    coder.encodeBool(c.httpShouldSetCookies, "HTTPShouldSetCookies");
    coder.encodeBool(c.allowsCellularAccess, "allowsCellularAccess");
}

std::shared_ptr<SecureCoding> URLSessionConfigurationCoding::initWithCoder(KeyedUnarchiver& coder) {
    URLSessionConfiguration c;
    if (Value identifierValue = coder.decodeObjectForKey("identifier");
        const std::string* identifier = identifierValue.getString())
        c.identifier = *identifier;
    if (coder.containsValueForKey("timeoutIntervalForRequest")) {
        c.timeoutIntervalForRequest = coder.decodeDoubleForKey("timeoutIntervalForRequest");
    }
    if (Value headersValue = coder.decodeObjectForKey("HTTPAdditionalHeaders");
        const Dictionary* headers = headersValue.getDictionary()) {
        for (const auto& [name, value] : *headers)
            c.httpAdditionalHeaders.emplace_back(name, value.stringValue());
    }
    c.requestCachePolicy =
        static_cast<URLRequest::CachePolicy>(coder.decodeInt64ForKey("requestCachePolicy"));
    if (coder.containsValueForKey("HTTPShouldSetCookies"))
        c.httpShouldSetCookies = coder.decodeBoolForKey("HTTPShouldSetCookies");
    if (coder.containsValueForKey("allowsCellularAccess"))
        c.allowsCellularAccess = coder.decodeBoolForKey("allowsCellularAccess");
    return std::make_shared<URLSessionConfigurationCoding>(std::move(c));
}

}  // namespace brindlecue::platform
