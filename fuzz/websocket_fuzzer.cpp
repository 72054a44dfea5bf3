// libFuzzer target for websocket envelopes (see fuzz/README.md): a text frame from the server, as
// the websocket client routes it to the listeners of its "type".
//
// A listener of every type decodes the envelope; a decoded envelope codes back to itself. The
// app-status listener decodes "status" messages as the app-status document.
#include "facade/BLQAppStatusWebSocketFetcher.h"
#include "foundation/DecodingError.h"
#include "fuzz_support.h"
#include "network/BLQWebSocketEventModel.h"
#include "network/BLQWebSocketManager.h"

using namespace brindlecue;
using platform::Value;

namespace {

class EnvelopeListener final : public BLQIWebSocketManagerDelegate {
public:
    explicit EnvelopeListener(BLQWebSocketEventType type) : type_(type) {}
    BLQWebSocketEventType eventType() const override { return type_; }
    void receivedError(const platform::Error&) override {}
    void receivedJSON(const Value& json) override {
        try {
            auto model = BLQWebSocketEventModel::decode(json);
            Value coded = model.encode();
            auto again = BLQWebSocketEventModel::decode(coded);
            fuzzsupport::check(again.encode() == coded, "a websocket envelope does not code back to itself");
            volatile size_t sink = model.description().size();
            (void)sink;
            if (auto dictionary = model.asDictionary()) fuzzsupport::touch(*dictionary);
        } catch (const DecodingError& error) {
            volatile size_t sink = error.debugDescription().size();
            (void)sink;
        }
    }

private:
    BLQWebSocketEventType type_;
};

std::shared_ptr<BLQWebSocketManager>& client() {
    static std::shared_ptr<BLQWebSocketManager> made;
    return made;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::setUpProcess();
    client() = std::make_shared<BLQWebSocketManager>();
    for (int i = 0; i <= static_cast<int>(BLQWebSocketEventType::userEvent); ++i)
        client()->registerDelegate(std::make_shared<EnvelopeListener>(static_cast<BLQWebSocketEventType>(i)));
    // Registers itself with the client; kept alive by the client's listener list.
    (void)BLQAppStatusWebSocketFetcher::create(nullptr, client());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    client()->handleText(std::string(fuzzsupport::text(data, size)));
    fuzzsupport::settle();
    return 0;
}
