// libFuzzer target for the JavaScript bridge's message batches (see fuzz/README.md): the queue
// text a page flushes, handled message by message: calls of registered handlers (which answer),
// answers to the bridge's own calls, and anything else a page may put there.
//
// Every script the bridge sends back to the page must keep the message inside its single-quoted
// string: no quote, line break or line separator may end the string early.
#include "feed/KJWKWebViewJavascriptBridgeBase.h"
#include "fuzz_support.h"

using namespace brindlecue;
using platform::Value;

namespace {

constexpr const char* kPrefix = "KJWKWebViewJavascriptBridge._handleMessageFromiOS('";
constexpr const char* kSuffix = "');";

// True when the script's quoted part holds no unescaped quote and no raw line terminator.
bool staysQuoted(const std::string& script) {
    const std::string prefix(kPrefix), suffix(kSuffix);
    if (script.size() < prefix.size() + suffix.size() || script.compare(0, prefix.size(), prefix) != 0 ||
        script.compare(script.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    std::string_view body(script.data() + prefix.size(), script.size() - prefix.size() - suffix.size());
    for (size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (c == '\\') {
            if (i + 1 == body.size()) return false;  // would escape the closing quote
            ++i;
            continue;
        }
        if (c == '\'' || c == '\n' || c == '\r') return false;
        if (body.compare(i, 3, "\u2028") == 0 || body.compare(i, 3, "\u2029") == 0) return false;
    }
    return true;
}

class Page final : public KJWKWebViewJavascriptBridgeBaseDelegate {
public:
    void evaluateJavascript(const std::string& javascript) override {
        if (javascript.compare(0, std::char_traits<char>::length(kPrefix), kPrefix) != 0)
            return;  // the bridge script
        fuzzsupport::check(staysQuoted(javascript), "a message leaves its script string");
    }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::setUpProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto page = std::make_shared<Page>();
    auto bridge = std::make_shared<KJWKWebViewJavascriptBridgeBase>();
    bridge->setDelegate(page);
    bridge->injectBridgeScript();
    // Handlers that answer with what they were given, answer twice, or answer nothing.
    bridge->registerHandler("echo", [](const Value& payload, const auto& answer) { answer(payload); });
    bridge->registerHandler("twice", [](const Value& payload, const auto& answer) {
        answer(payload);
        answer(Value("again"));
    });
    bridge->registerHandler("silent", [](const Value&, const auto&) {});
    std::weak_ptr<KJWKWebViewJavascriptBridgeBase> weak = bridge;
    bridge->registerHandler("dismissTip", [weak](const Value& payload, const auto& answer) {
        // A handler may change the registry while the batch runs.
        if (auto live = weak.lock()) (void)live->removeHandler("echo");
        answer(payload["flag"]);
    });
    // Calls waiting for the page's answers (native_iOS_cb_1 and _2).
    int answered = 0;
    bridge->send("getHeight", Value(), [&answered](const Value& reply) {
        fuzzsupport::touch(reply);
        ++answered;
    });
    bridge->send("getContent", Value::dictionary({{"part", "body"}}),
                 [&answered](const Value&) { ++answered; });
    bridge->flushMessageQueue(std::string(fuzzsupport::text(data, size)));
    fuzzsupport::check(answered <= 2, "an answer ran its callback more than once");
    bridge->reset();
    fuzzsupport::settle();
    return 0;
}
