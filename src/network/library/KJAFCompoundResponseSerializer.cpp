#include "network/library/KJAFCompoundResponseSerializer.h"

namespace brindlecue {

using platform::Error;
using platform::Value;

std::shared_ptr<KJAFCompoundResponseSerializer>
KJAFCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
    std::vector<std::shared_ptr<KJAFURLResponseSerialization>> responseSerializers) {
    auto serializer = std::make_shared<KJAFCompoundResponseSerializer>();
    serializer->responseSerializers = std::move(responseSerializers);
    return serializer;
}

Value KJAFCompoundResponseSerializer::responseObjectForResponse(
    const std::shared_ptr<platform::URLResponse>& response, const std::optional<platform::Data>& data,
    std::optional<Error>* error) {
    for (const auto& serializer : responseSerializers) {
        if (!std::dynamic_pointer_cast<KJAFHTTPResponseSerializer>(serializer)) continue;
        std::optional<Error> serializerError;
        Value object = serializer->responseObjectForResponse(response, data, &serializerError);
        if (object.isAbsent()) continue;
        if (error) *error = KJAFErrorWithUnderlyingError(serializerError, *error);
        return object;
    }
    return KJAFHTTPResponseSerializer::responseObjectForResponse(response, data, error);
}

std::shared_ptr<KJAFURLResponseSerialization> KJAFCompoundResponseSerializer::copy() const {
    return compoundSerializerWithResponseSerializers(responseSerializers);
}

void KJAFCompoundResponseSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const {
    KJAFHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObjects({responseSerializers.begin(), responseSerializers.end()}, "responseSerializers");
}

void KJAFCompoundResponseSerializer::decodeFromCoder(platform::KeyedUnarchiver& coder) {
    KJAFHTTPResponseSerializer::decodeFromCoder(coder);
    responseSerializers =
        coder.decodeArrayOfObjectsOfClass<KJAFURLResponseSerialization>("responseSerializers")
            .value_or(std::vector<std::shared_ptr<KJAFURLResponseSerialization>>{});
}

}  // namespace brindlecue
