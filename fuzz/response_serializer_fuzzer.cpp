// libFuzzer target for the HTTP response serializers (see fuzz/README.md): the body of an answer,
// with the status and content type the first two bytes pick, through the JSON, property-list,
// XML-parser, image and compound serializers and the plain one.
//
// The XML parser a serializer answers with is run to its end; an image is drawn.
#include "fuzz_support.h"
#include "network/library/KJAFCompoundResponseSerializer.h"
#include "network/library/KJAFImageResponseSerializer.h"
#include "network/library/KJAFJSONResponseSerializer.h"
#include "network/library/KJAFPropertyListResponseSerializer.h"
#include "network/library/KJAFXMLParserResponseSerializer.h"
#include "platform/Error.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/XMLParser.h"
#include "platform/uikit/UIImage.h"

using namespace brindlecue;
using platform::Data;
using platform::Value;

namespace {

const char* const kContentTypes[] = {
    "application/json",
    "application/json; charset=utf-8",
    "text/json",
    "text/javascript",
    "text/plain",
    "text/plain; charset=iso-8859-1",
    "application/x-plist",
    "application/xml",
    "text/xml; charset=utf-16",
    "image/png",
    "image/jpeg",
    "image/gif",
    "text/html",
    "application/octet-stream",
    "",
    "image/x-icon",
};
const int kStatuses[] = {200, 204, 301, 404, 500, 299, 100, 600};

class CountingXMLDelegate final : public platform::XMLParserDelegate {
public:
    size_t events = 0;
    void didStartElement(platform::XMLParser&, const std::string& name, const std::optional<std::string>&,
                         const std::optional<std::string>&, const Attributes& attributes) override {
        events += name.size() + attributes.size();
    }
    void foundCharacters(platform::XMLParser&, const std::string& text) override { events += text.size(); }
    void foundCDATA(platform::XMLParser&, const Data& block) override { events += block.size(); }
};

void answer(KJAFURLResponseSerialization& serializer, const std::shared_ptr<platform::URLResponse>& response,
            const std::optional<Data>& body, bool namespaces) {
    std::optional<platform::Error> error;
    if (serializer.answersWithPlatformObject()) {
        auto object = serializer.platformObjectForResponse(response, body, &error);
        if (auto* xml = dynamic_cast<KJAFXMLParserResponseSerializer*>(&serializer); xml && object) {
            auto parser = std::static_pointer_cast<platform::XMLParser>(object);
            auto delegate = std::make_shared<CountingXMLDelegate>();
            parser->setDelegate(delegate);
            parser->shouldProcessNamespaces = namespaces;
            (void)parser->parse();
        } else if (object) {
            auto image = std::static_pointer_cast<platform::UIImage>(object);
            volatile double sink = image->size().width + double(image->images().size());
            (void)sink;
        }
    } else {
        fuzzsupport::touch(serializer.responseObjectForResponse(response, body, &error));
    }
    if (error) {
        volatile size_t sink = error->description().size();
        (void)sink;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::setUpProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const char* type = kContentTypes[data[0] & 15];
    const int status = kStatuses[(data[0] >> 4) & 7];
    const uint8_t pick = data[1];
    platform::HTTPHeaderFields fields;
    if (*type != '\0') fields.emplace_back("Content-Type", type);
    auto response = std::make_shared<platform::HTTPURLResponse>(
        *platform::URL::fromString("https://api.example.com/v3/answer"), status, fields);
    std::optional<Data> body;
    if (!(pick & 0x80)) body = Data(data + 2, data + size);

    std::vector<std::shared_ptr<KJAFURLResponseSerialization>> serializers;
    auto json = KJAFJSONResponseSerializer::serializerWithReadingOptions(
        (pick & 1) ? KJAFJSONResponseSerializer::kReadingAllowFragments : 0);
    json->removesKeysWithNullValues = (pick & 2) != 0;
    serializers.push_back(json);
    serializers.push_back(KJAFPropertyListResponseSerializer::serializer());
    serializers.push_back(KJAFXMLParserResponseSerializer::serializer());
    auto image = KJAFImageResponseSerializer::serializer();
    image->automaticallyInflatesResponseImage = (pick & 4) != 0;
    serializers.push_back(image);
    serializers.push_back(KJAFHTTPResponseSerializer::serializer());

    const bool namespaces = (pick & 0x40) != 0;
    const unsigned which = (pick >> 3) & 7;
    if (which < serializers.size()) {
        answer(*serializers[which], response, body, namespaces);
    } else {
        auto compound =
            KJAFCompoundResponseSerializer::compoundSerializerWithResponseSerializers(serializers);
        answer(*compound, response, body, namespaces);
    }
    return 0;
}
