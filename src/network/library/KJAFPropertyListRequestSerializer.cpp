#include "network/library/KJAFPropertyListRequestSerializer.h"

namespace brindlecue {

using platform::Error;
using platform::URLRequest;
using platform::Value;

std::shared_ptr<KJAFPropertyListRequestSerializer> KJAFPropertyListRequestSerializer::serializer() {
    return serializerWithFormat(kXMLFormat, 0);
}

std::shared_ptr<KJAFPropertyListRequestSerializer> KJAFPropertyListRequestSerializer::serializerWithFormat(
    uint64_t format, uint64_t writeOptions) {
    auto serializer = std::make_shared<KJAFPropertyListRequestSerializer>();
    serializer->format = format;
    serializer->writeOptions = writeOptions;
    return serializer;
}

std::optional<URLRequest> KJAFPropertyListRequestSerializer::requestBySerializingRequest(
    const URLRequest& request, const Value& parameters, std::optional<Error>* error) {
    if (encodesParametersInURI(request.httpMethod())) {
        return KJAFHTTPRequestSerializer::requestBySerializingRequest(request, parameters, error);
    }
    URLRequest mutableRequest = requestWithDefaultHeaders(request);
    if (parameters.isAbsent()) return mutableRequest;
    if (!mutableRequest.valueForHTTPHeaderField("Content-Type")) {
        mutableRequest.setValue("application/x-plist", "Content-Type");
    }
    Error writeError;
    auto body = parameters.toPropertyList(
        format == kBinaryFormat ? platform::PropertyListFormat::Binary : platform::PropertyListFormat::XML, &writeError);
    if (!body) {
        if (error) *error = writeError;
        return mutableRequest;
    }
    mutableRequest.setHTTPBody(std::move(*body));
    return mutableRequest;
}

std::shared_ptr<KJAFHTTPRequestSerializer> KJAFPropertyListRequestSerializer::copy() const {
    auto serializer = std::make_shared<KJAFPropertyListRequestSerializer>();
    copyInto(*serializer);
    serializer->format = format;
    serializer->writeOptions = writeOptions;
    return serializer;
}

void KJAFPropertyListRequestSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const {
    KJAFHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeObject(Value(format), "format");
    coder.encodeObject(Value(writeOptions), "writeOptions");
}

void KJAFPropertyListRequestSerializer::decodeFromCoder(platform::KeyedUnarchiver& coder) {
    KJAFHTTPRequestSerializer::decodeFromCoder(coder);
    format = static_cast<uint64_t>(coder.decodeObjectForKey("format").integerValue());
    writeOptions = static_cast<uint64_t>(coder.decodeObjectForKey("writeOptions").integerValue());
}

}  // namespace brindlecue
