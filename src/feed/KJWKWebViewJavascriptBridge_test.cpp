#include "feed/KJWKWebViewJavascriptBridge.h"

#include <gtest/gtest.h>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/webkit/WKWebView.h"

namespace brindlecue {
namespace {

using platform::RunLoop;
using platform::Value;

struct CommandLog : KJWKWebViewJavascriptBridgeBaseDelegate {
    std::vector<std::string> commands;
    void evaluateJavascript(const std::string& javascript) override { commands.push_back(javascript); }
};

std::string command(const std::string& json) {
    return "KJWKWebViewJavascriptBridge._handleMessageFromiOS('" + json + "');";
}

TEST(KJWKWebViewJavascriptBridgeBase, CallIdsCountFromOneAgainAfterAReset) {
    auto base = std::make_shared<KJWKWebViewJavascriptBridgeBase>();
    auto log = std::make_shared<CommandLog>();
    base->setDelegate(log);
    base->send("plain");
    base->send("first", Value::dictionary({{"k", "it's"}}), [](const Value&) {});
    base->send("second", Value(), [](const Value&) {});
    base->reset();
    base->send("third", Value(), [](const Value&) {});
    EXPECT_EQ(
        log->commands,
        (std::vector<std::string>{
            command(R"({\"handlerName\":\"plain\"})"),
            command(
                R"({\"handlerName\":\"first\",\"data\":{\"k\":\"it\'s\"},\"callbackID\":\"native_iOS_cb_1\"})"),
            command(R"({\"handlerName\":\"second\",\"callbackID\":\"native_iOS_cb_2\"})"),
            command(R"({\"handlerName\":\"third\",\"callbackID\":\"native_iOS_cb_1\"})")}));
    EXPECT_EQ(KJWKWebViewJavascriptBridgeBase::escapeForScript("a\\\"b\n\r\f\u2028\u2029"),
              "a\\\\\\\"b\\n\\r\\f\\u2028\\u2029");
}

TEST(KJWKWebViewJavascriptBridgeBase, FlushRunsEveryWellFormedMessageOfTheBatch) {
    auto base = std::make_shared<KJWKWebViewJavascriptBridgeBase>();
    auto log = std::make_shared<CommandLog>();
    base->setDelegate(log);
    std::vector<std::string> calls;
    base->registerHandler("h",
                          [&](const Value& data, const KJWKWebViewJavascriptBridgeBase::Callback& answer) {
                              calls.push_back(data.isAbsent() ? "none" : data.toJSON().value_or("?"));
                              answer(Value("done"));
                          });
    std::vector<Value> answers;
    base->send("page", Value(), [&](const Value& response) { answers.push_back(response); });

    base->flushMessageQueue(R"([
        {"handlerName": "h", "data": {"n": 1}},
        {"handlerName": "unknown", "data": {"n": 2}},
        {"data": {"n": 3}},
        7,
        {"responseID": "native_iOS_cb_99", "responseData": "stray"},
        {"responseID": "native_iOS_cb_1", "responseData": {"ok": true}},
        {"responseID": "native_iOS_cb_1", "responseData": "twice"},
        {"handlerName": "h", "data": [1, 2]},
        {"handlerName": "h", "data": 5, "callbackID": "cb_3_9"}
    ])");
    // Malformed and unknown messages are passed over; the rest of the batch runs.
    EXPECT_EQ(calls, (std::vector<std::string>{R"({"n":1})", "none", "none"}));
    EXPECT_EQ(answers, (std::vector<Value>{Value::dictionary({{"ok", true}})}));
    // Only the call that carried a callback id is answered.
    ASSERT_EQ(log->commands.size(), 2u);
    EXPECT_EQ(log->commands[1], command(R"({\"responseID\":\"cb_3_9\",\"responseData\":\"done\"})"));

    for (const char* junk : {"", "[]", "{\"handlerName\": \"h\"}", "[{\"handlerName\": \"h\"", "\"text\""}) {
        base->flushMessageQueue(junk);
    }
    EXPECT_EQ(calls.size(), 3u);
}

// A page that loads the bridge the way pages do, with an echo handler of its own.
constexpr const char* kPage = R"(<script>
    function setupBridge(callback) {
      if (window.KJWKWebViewJavascriptBridge) { return callback(KJWKWebViewJavascriptBridge); }
      if (window.WKWVJBCallbacks) { return window.WKWVJBCallbacks.push(callback); }
      window.WKWVJBCallbacks = [callback];
      window.webkit.messageHandlers.iOS_Native_InjectJavascript.postMessage(null);
    }
    var responses = [];
    setupBridge(function (bridge) {
      window.bridge = bridge;
      bridge.registerHandler('echo', function (data, respond) { respond(data); });
      bridge.registerHandler('fail', function () { throw new Error('page handler failed'); });
    });
    setupBridge(function () { window.secondCallback = true; });
  </script>)";

class BridgeInPage : public testing::Test {
protected:
    void SetUp() override {
        platform::Clock::useVirtual();
        webView = platform::make<platform::WKWebView>();
        webView->setScriptTimeLimit(5);
        bridge = KJWKWebViewJavascriptBridge::create(webView);
        webView->loadHTMLString(kPage, std::nullopt);
        RunLoop::main().runUntilIdle();
    }

    Value eval(const std::string& script) {
        Value out;
        webView->evaluateJavaScript(script, [&](const Value& result, const auto&) { out = result; });
        RunLoop::main().runUntilIdle();
        return out;
    }

    std::shared_ptr<platform::WKWebView> webView;
    std::shared_ptr<KJWKWebViewJavascriptBridge> bridge;
};

TEST_F(BridgeInPage, TextSurvivesTheRoundTripToThePageAndBack) {
    EXPECT_EQ(eval("typeof bridge + ' ' + secondCallback"), Value("object true"));
    const std::string tricky = std::string("quotes \" ' \\\" \\' backslash \\ \\\\n line\nfeed\r\f\t ") +
                               "\u2028 \u2029 caf\u00e9 \u4e2d\u6587 \U0001F600 </script> " +
                               std::string(1, '\0') + "end";
    Value data = Value::dictionary({{"text", tricky}, {"list", Value::array({"'", "\\", 1.5, nullptr})}});
    std::vector<Value> answers;
    bridge->call("echo", data, [&](const Value& response) { answers.push_back(response); });
    RunLoop::main().runUntilIdle();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0], data);
    EXPECT_EQ(answers[0]["text"].getString()->size(), tricky.size());
}

TEST_F(BridgeInPage, NativeCallIdsReachThePageAndCountFromOneAgainAfterAReset) {
    eval(R"(var seenIds = [];
            var realHandle = KJWKWebViewJavascriptBridge._handleMessageFromiOS;
            KJWKWebViewJavascriptBridge._handleMessageFromiOS = function (json) {
              seenIds.push(JSON.parse(json).callbackID || 'none');
              realHandle(json);
            };)");
    std::vector<std::string> answers;
    auto answer = [&](const std::string& name) {
        return [&answers, name](const Value& response) {
            answers.push_back(name + " " + response["n"].stringValue());
        };
    };
    bridge->call("echo", Value::dictionary({{"n", "a"}}), answer("first"));
    bridge->call("echo", Value::dictionary({{"n", "b"}}));
    bridge->call("echo", Value::dictionary({{"n", "c"}}), answer("second"));
    RunLoop::main().runUntilIdle();
    bridge->reset();
    bridge->call("echo", Value::dictionary({{"n", "d"}}), answer("third"));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(eval("seenIds.join()"), Value("native_iOS_cb_1,none,native_iOS_cb_2,native_iOS_cb_1"));
    EXPECT_EQ(answers, (std::vector<std::string>{"first a", "second c", "third d"}));
}

TEST_F(BridgeInPage, PageCallsReachNativeHandlersAndTheirAnswersComeBack) {
    std::vector<Value> received;
    bridge->register_("native", [&](const Value& data, const KJWKWebViewJavascriptBridge::Callback& answer) {
        received.push_back(data);
        answer(Value::dictionary({{"ok", data.isAbsent() ? Value::null() : data["n"]}}));
    });
    eval(R"(bridge.callHandler('native', {n: 1}, function (r) { responses.push(r.ok); });
            bridge.callHandler('native', function (r) { responses.push('no data ' + r.ok); });
            bridge.callHandler('native', [1, 2]);)");
    EXPECT_EQ(received, (std::vector<Value>{Value::dictionary({{"n", 1}}), Value(), Value()}));
    EXPECT_EQ(eval("responses.join('|')"), Value("1|no data null"));

    // Page ids carry the page counter and the page clock (the platform clock).
    Value queued = eval("bridge.callHandler('nobody', {}, function () {}); bridge._fetchQueue()");
    auto parsed = Value::fromJSON(*queued.getString());
    ASSERT_TRUE(parsed);
    EXPECT_EQ((*parsed)[0]["callbackID"],
              Value("cb_3_" + std::to_string(static_cast<int64_t>(platform::Clock::now() * 1000))));

    // A second request for the script changes nothing.
    webView->evaluateJavaScript("webkit.messageHandlers.iOS_Native_InjectJavascript.postMessage(null)");
    RunLoop::main().runUntilIdle();
    eval("bridge.callHandler('native', {n: 4}, function (r) { responses.push(r.ok); })");
    EXPECT_EQ(eval("responses.join('|') + ' ' + (window.KJWKWebViewJavascriptBridge === bridge)"),
              Value("1|no data null|4 true"));
}

TEST_F(BridgeInPage, HostilePagesNeitherCrashNorStopTheBridge) {
    std::vector<Value> received;
    bridge->register_("native", [&](const Value& data, const auto&) { received.push_back(data); });

    // A queue larger than an evaluation result may be is dropped; the next one arrives.
    eval("bridge.callHandler('native', {big: 'x'.repeat(9 << 20)})");
    EXPECT_TRUE(received.empty());
    // A queue that is no JSON list, and a fetch that never ends, are ignored.
    eval(R"(var realFetch = bridge._fetchQueue;
            bridge._fetchQueue = function () { realFetch(); return '[{"handlerName": "native", '; };
            bridge.callHandler('native', {n: 1});)");
    webView->setScriptTimeLimit(0.05);
    eval(
        "bridge._fetchQueue = function () { realFetch(); for (;;) {} }; bridge.callHandler('native', {n: "
        "2});");
    webView->setScriptTimeLimit(5);
    eval("bridge._fetchQueue = realFetch;");
    EXPECT_TRUE(received.empty());
    // A page handler that throws, and a message the page cannot parse, only fail in the page.
    bridge->call("fail", Value::dictionary({{"n", 1}}));
    webView->evaluateJavaScript("KJWKWebViewJavascriptBridge._handleMessageFromiOS('{not json');");
    eval("bridge.callHandler('native', {n: 3})");
    EXPECT_EQ(received, (std::vector<Value>{Value::dictionary({{"n", 3}})}));
}

TEST_F(BridgeInPage, ABridgeThatEndsTakesItsHandlersOffTheWebView) {
    auto controller = webView->configuration()->userContentController();
    // The names are taken: a second bridge on the same web view gets no messages and, when it
    // ends, leaves the first one's handlers in place.
    KJWKWebViewJavascriptBridge::create(webView).reset();
    EXPECT_NE(controller->scriptMessageHandler(KJWKWebViewJavascriptBridge::kFlushMessageQueue), nullptr);
    bridge.reset();
    EXPECT_EQ(controller->scriptMessageHandler(KJWKWebViewJavascriptBridge::kInjectJavascript), nullptr);
    EXPECT_EQ(controller->scriptMessageHandler(KJWKWebViewJavascriptBridge::kFlushMessageQueue), nullptr);
    EXPECT_EQ(eval("typeof webkit.messageHandlers.iOS_Native_FlushMessageQueue"), Value("undefined"));
}

}  // namespace
}  // namespace brindlecue
