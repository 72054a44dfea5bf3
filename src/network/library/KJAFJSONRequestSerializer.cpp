#include "network/library/KJAFJSONRequestSerializer.h"

namespace brindlecue {

using platform::Error;
using platform::URLRequest;
using platform::Value;

std::shared_ptr<KJAFJSONRequestSerializer> KJAFJSONRequestSerializer::serializer() {
    return serializerWithWritingOptions(0);
}

std::shared_ptr<KJAFJSONRequestSerializer> KJAFJSONRequestSerializer::serializerWithWritingOptions(
    uint64_t writingOptions) {
    auto serializer = std::make_shared<KJAFJSONRequestSerializer>();
    serializer->writingOptions = writingOptions;
    return serializer;
}

std::optional<URLRequest> KJAFJSONRequestSerializer::requestBySerializingRequest(const URLRequest& request,
                                                                                 const Value& parameters,
                                                                                 std::optional<Error>* error) {
    if (encodesParametersInURI(request.httpMethod())) {
        return KJAFHTTPRequestSerializer::requestBySerializingRequest(request, parameters, error);
    }
    URLRequest mutableRequest = requestWithDefaultHeaders(request);
    if (parameters.isAbsent()) return mutableRequest;
    if (!mutableRequest.valueForHTTPHeaderField("Content-Type")) {
        mutableRequest.setValue("application/json", "Content-Type");
    }
    Error writeError;
    std::optional<std::string> json;
    if (parameters.isValidJSONObject()) {
        json = parameters.toJSON((writingOptions & kWritingPrettyPrinted) != 0, &writeError);
    } else {
        writeError = Error::withDescription("NSCocoaErrorDomain", 3840, "Invalid type in JSON write");
    }
    if (!json) {
        if (error) *error = writeError;
        return mutableRequest;
    }
    mutableRequest.setHTTPBody(platform::Data(json->begin(), json->end()));
    return mutableRequest;
}

std::shared_ptr<KJAFHTTPRequestSerializer> KJAFJSONRequestSerializer::copy() const {
    auto serializer = std::make_shared<KJAFJSONRequestSerializer>();
    copyInto(*serializer);
    serializer->writingOptions = writingOptions;
    return serializer;
}

void KJAFJSONRequestSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const {
    KJAFHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeObject(Value(writingOptions), "writingOptions");
}

void KJAFJSONRequestSerializer::decodeFromCoder(platform::KeyedUnarchiver& coder) {
    KJAFHTTPRequestSerializer::decodeFromCoder(coder);
    writingOptions = static_cast<uint64_t>(coder.decodeObjectForKey("writingOptions").integerValue());
}

}  // namespace brindlecue
