#include "network/library/KJAFXMLParserResponseSerializer.h"

#include "platform/foundation/URLError.h"

namespace brindlecue {

bool KJAFResponseShouldBeDecoded(bool valid, std::optional<platform::Error>* error) {
    if (valid) return true;
    return error &&
           !KJAFErrorOrUnderlyingErrorHasCodeInDomain(*error, platform::URLError::CannotDecodeContentData,
                                                      KJAFURLResponseSerializationErrorDomain);
}

std::shared_ptr<KJAFXMLParserResponseSerializer> KJAFXMLParserResponseSerializer::serializer() {
    return std::make_shared<KJAFXMLParserResponseSerializer>();
}

KJAFXMLParserResponseSerializer::KJAFXMLParserResponseSerializer() {
    acceptableContentTypes = std::set<std::string>{"application/xml", "text/xml"};
}

std::shared_ptr<platform::XMLParser> KJAFXMLParserResponseSerializer::XMLParserForResponse(
    const std::shared_ptr<platform::URLResponse>& response, const std::optional<platform::Data>& data,
    std::optional<platform::Error>* error) {
    if (!KJAFResponseShouldBeDecoded(validateResponse(response, data, error), error)) return nullptr;
    return std::make_shared<platform::XMLParser>(data.value_or(platform::Data()));
}

platform::Value KJAFXMLParserResponseSerializer::responseObjectForResponse(
    const std::shared_ptr<platform::URLResponse>& response, const std::optional<platform::Data>& data,
    std::optional<platform::Error>* error) {
    // Validation still reports through the error; the answer itself is the parser.
    validateResponse(response, data, error);
    return platform::Value();
}

std::shared_ptr<KJAFURLResponseSerialization> KJAFXMLParserResponseSerializer::copy() const {
    return KJAFXMLParserResponseSerializer::serializer();
}

}  // namespace brindlecue
