#include "network/library/KJAFPropertyListResponseSerializer.h"

#include "network/library/KJAFXMLParserResponseSerializer.h"

namespace brindlecue {

using platform::Error;
using platform::Value;

std::shared_ptr<KJAFPropertyListResponseSerializer> KJAFPropertyListResponseSerializer::serializer() {
    return serializerWithFormat(kXMLFormat, 0);
}

std::shared_ptr<KJAFPropertyListResponseSerializer> KJAFPropertyListResponseSerializer::serializerWithFormat(
    uint64_t format, uint64_t readOptions) {
    auto serializer = std::make_shared<KJAFPropertyListResponseSerializer>();
    serializer->format = format;
    serializer->readOptions = readOptions;
    return serializer;
}

KJAFPropertyListResponseSerializer::KJAFPropertyListResponseSerializer() {
    acceptableContentTypes = std::set<std::string>{"application/x-plist"};
}

Value KJAFPropertyListResponseSerializer::responseObjectForResponse(
    const std::shared_ptr<platform::URLResponse>& response, const std::optional<platform::Data>& data,
    std::optional<Error>* error) {
    if (!KJAFResponseShouldBeDecoded(validateResponse(response, data, error), error)) return Value();
    if (!data) return Value();
    Error readError;
    std::optional<Value> object = Value::fromPropertyList(*data, &readError);
    if (error)
        *error =
            KJAFErrorWithUnderlyingError(object ? std::nullopt : std::optional<Error>(readError), *error);
    return object.value_or(Value());
}

std::shared_ptr<KJAFURLResponseSerialization> KJAFPropertyListResponseSerializer::copy() const {
    return serializerWithFormat(format, readOptions);
}

void KJAFPropertyListResponseSerializer::encodeWithCoder(platform::KeyedArchiver& coder) const {
    KJAFHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(Value(format), "format");
    coder.encodeObject(Value(readOptions), "readOptions");
}

void KJAFPropertyListResponseSerializer::decodeFromCoder(platform::KeyedUnarchiver& coder) {
    KJAFHTTPResponseSerializer::decodeFromCoder(coder);
    format = static_cast<uint64_t>(coder.decodeObjectForKey("format").integerValue());
    readOptions = static_cast<uint64_t>(coder.decodeObjectForKey("readOptions").integerValue());
}

}  // namespace brindlecue
