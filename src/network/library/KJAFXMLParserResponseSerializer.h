#pragma once

#include <memory>

#include "network/library/KJAFHTTPResponseSerializer.h"
#include "platform/foundation/XMLParser.h"

namespace brindlecue {

// Validates the answer ("application/xml", "text/xml") and answers with an XML event parser over
// the body, not yet started. The parser is a platform object: it comes from XMLParserForResponse
// (or platformObjectForResponse); responseObjectForResponse gives no value.
class KJAFXMLParserResponseSerializer : public KJAFHTTPResponseSerializer {
public:
    static std::shared_ptr<KJAFXMLParserResponseSerializer> serializer();
    KJAFXMLParserResponseSerializer();

    // Null when validation refuses the answer outright (no error out-parameter, or a wrong MIME
    // type); after a refused status the parser comes with the status error.
    std::shared_ptr<platform::XMLParser> XMLParserForResponse(
        const std::shared_ptr<platform::URLResponse>& response, const std::optional<platform::Data>& data,
        std::optional<platform::Error>* error);

    platform::Value responseObjectForResponse(const std::shared_ptr<platform::URLResponse>& response,
                                              const std::optional<platform::Data>& data,
                                              std::optional<platform::Error>* error) override;
    std::shared_ptr<void> platformObjectForResponse(const std::shared_ptr<platform::URLResponse>& response,
                                                    const std::optional<platform::Data>& data,
                                                    std::optional<platform::Error>* error) override {
        return XMLParserForResponse(response, data, error);
    }
    bool answersWithPlatformObject() const override { return true; }

    std::shared_ptr<KJAFURLResponseSerialization> copy() const override;
    std::vector<std::string> archivedClassNames() const override {
        return {"KJAFXMLParserResponseSerializer", "KJAFHTTPResponseSerializer"};
    }
};

// The rule every content serializer applies after validation: true when decoding goes on (the
// answer was valid, or only its status was refused and the caller takes the error).
bool KJAFResponseShouldBeDecoded(bool valid, std::optional<platform::Error>* error);

}  // namespace brindlecue
