#include "platform/webkit/WKWebView.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/AppContainer.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/webkit/WKError.h"

namespace brindlecue::platform {
namespace {

struct Recorder : WKScriptMessageHandler {
    std::vector<WKScriptMessage> messages;
    void userContentControllerDidReceiveScriptMessage(const std::shared_ptr<WKUserContentController>&,
                                                      const WKScriptMessage& message) override {
        messages.push_back(message);
    }
};

struct Navigation : WKNavigationDelegate {
    std::vector<std::string> events;
    WKNavigationActionPolicy policy = WKNavigationActionPolicy::Allow;
    void webViewDecidePolicyForNavigationAction(WKWebView&, const WKNavigationAction& action,
                                                const DecisionHandler& decide) override {
        events.push_back("decide " + std::to_string(static_cast<int>(action.navigationType)) + " " +
                         (action.request.url() ? action.request.url()->absoluteString() : ""));
        decide(policy);
        decide(WKNavigationActionPolicy::Allow);  // a second answer is ignored
    }
    void webViewDidStartProvisionalNavigation(WKWebView&, const std::shared_ptr<WKNavigation>&) override {
        events.push_back("start");
    }
    void webViewDidFailProvisionalNavigation(WKWebView&, const std::shared_ptr<WKNavigation>&,
                                             const Error& error) override {
        events.push_back("fail " + std::to_string(error.code()));
    }
    void webViewDidFinishNavigation(WKWebView&, const std::shared_ptr<WKNavigation>&) override {
        events.push_back("finish");
    }
};

struct Outcome {
    Value result;
    std::optional<Error> error;
};

class WKWebViewTest : public testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        webView = make<WKWebView>(CGRect{{0, 0}, {320, 480}});
        webView->setNavigationDelegate(navigation);
        // Generous, so that a busy machine stops no script but the looping ones of the test below.
        webView->setScriptTimeLimit(5);
    }

    void load(const std::string& html) {
        webView->loadHTMLString(html, URL::fromString("file:///pages/"));
        RunLoop::main().runUntilIdle();
    }

    Outcome eval(const std::string& script) {
        Outcome out;
        bool done = false;
        webView->evaluateJavaScript(script, [&](const Value& result, const std::optional<Error>& error) {
            out = {result, error};
            done = true;
        });
        RunLoop::main().runUntilIdle();
        EXPECT_TRUE(done);
        return out;
    }

    std::string exceptionMessage(const Outcome& outcome) {
        if (!outcome.error) return "";
        return outcome.error->userInfo()[WKError::kJavaScriptExceptionMessageKey].stringValue();
    }

    std::shared_ptr<Navigation> navigation = std::make_shared<Navigation>();
    std::shared_ptr<WKWebView> webView;
};

TEST_F(WKWebViewTest, LoadRunsUserScriptsAroundThePageScriptsInOrder) {
    auto controller = webView->configuration()->userContentController();
    controller->addUserScript({"var order = ['start'];", WKUserScriptInjectionTime::AtDocumentStart});
    controller->addUserScript({"order.push('end');", WKUserScriptInjectionTime::AtDocumentEnd});
    load(R"(<html><head><script>order.push('head' + (1 < 2 && 3 > 2));</script>
            <script type="text/template">order.push('template');</script></head>
            <body><p>x</p><script type="text/javascript">order.push('body');</script></body></html>)");
    EXPECT_EQ(navigation->events, (std::vector<std::string>{"decide -1 file:///pages/", "start", "finish"}));
    EXPECT_FALSE(webView->isLoading());
    EXPECT_EQ(eval("order.join(',')").result, Value("start,headtrue,body,end"));
}

TEST_F(WKWebViewTest, EvaluationGivesValuesAndErrors) {
    load("<script>var page = {n: 2, list: [1, 'a', null]};</script>");
    EXPECT_EQ(eval("page.n * 21").result, Value(42));
    EXPECT_EQ(eval("page").result, Value::dictionary({{"n", 2}, {"list", Value::array({1, "a", nullptr})}}));
    EXPECT_TRUE(eval("undefined").result.isAbsent());
    EXPECT_TRUE(eval("null").result.isNull());
    EXPECT_EQ(eval("page.n > 3").result, Value(false));
    EXPECT_EQ(eval("'\\uD83D\\uDE00 ' + '\\uD800'").result, Value("\xF0\x9F\x98\x80 \xEF\xBF\xBD"));

    auto thrown = eval("null.x");
    ASSERT_TRUE(thrown.error);
    EXPECT_EQ(thrown.error->code(), WKError::JavaScriptExceptionOccurred);
    EXPECT_NE(exceptionMessage(thrown).find("TypeError"), std::string::npos);
    EXPECT_EQ(eval("(function () {})").error->code(), WKError::JavaScriptResultTypeIsUnsupported);
    auto cyclic = eval("var c = {}; c.c = c; c");
    ASSERT_TRUE(cyclic.error);
    EXPECT_EQ(cyclic.error->code(), WKError::JavaScriptResultTypeIsUnsupported);
    EXPECT_EQ(eval("typeof Duktape").result, Value("undefined"));
}

TEST_F(WKWebViewTest, MessagesReachTheirHandlersOnTheMainQueue) {
    auto controller = webView->configuration()->userContentController();
    auto recorder = std::make_shared<Recorder>();
    EXPECT_TRUE(controller->addScriptMessageHandler(recorder, "native"));
    EXPECT_FALSE(controller->addScriptMessageHandler(std::make_shared<Recorder>(), "native"));
    load(R"(<script>
        window.webkit.messageHandlers.native.postMessage({a: [1, 2], s: 'x'});
        window.webkit.messageHandlers.native.postMessage(null);
        var missing = window.webkit.messageHandlers.other;
        var delivered = 'before';
    </script>)");
    ASSERT_EQ(recorder->messages.size(), 2u);
    EXPECT_EQ(recorder->messages[0].name, "native");
    EXPECT_EQ(recorder->messages[0].body, Value::dictionary({{"a", Value::array({1, 2})}, {"s", "x"}}));
    EXPECT_TRUE(recorder->messages[1].body.isNull());
    EXPECT_EQ(recorder->messages[0].webView.lock(), webView);
    EXPECT_EQ(eval("typeof missing").result, Value("undefined"));

    // Delivery waits for the main queue: the script that posts has finished by then.
    webView->evaluateJavaScript("webkit.messageHandlers.native.postMessage(delivered = 'after')");
    EXPECT_EQ(recorder->messages.size(), 2u);
    RunLoop::main().runUntilIdle();
    ASSERT_EQ(recorder->messages.size(), 3u);
    EXPECT_EQ(recorder->messages[2].body, Value("after"));

    controller->removeScriptMessageHandlerForName("native");
    EXPECT_EQ(eval("typeof webkit.messageHandlers.native").result, Value("undefined"));
}

TEST_F(WKWebViewTest, HostileMessagesThrowInThePageAndReachNothing) {
    auto recorder = std::make_shared<Recorder>();
    webView->configuration()->userContentController()->addScriptMessageHandler(recorder, "native");
    load("<script>var post = webkit.messageHandlers.native;</script>");
    EXPECT_NE(exceptionMessage(eval("post.postMessage('x'.repeat(2 << 20))")).find("larger than"),
              std::string::npos);
    EXPECT_NE(exceptionMessage(eval("var c = {}; c.c = c; post.postMessage(c)")).find("TypeError"),
              std::string::npos);
    EXPECT_TRUE(eval("post.postMessage(function () {})").error);
    auto flood = eval("var sent = 0; try { for (;;) { post.postMessage(sent); sent++; } } catch (e) {} sent");
    EXPECT_EQ(flood.result, Value(static_cast<int64_t>(WKWebView::kMaxPendingMessages)));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(recorder->messages.size(), WKWebView::kMaxPendingMessages);
    EXPECT_EQ(eval("post.postMessage('again'); 1").result, Value(1));  // taken again once delivered
}

// Whatever a page holds, its texts reach the app as well-formed UTF-8: broken bytes and stray
// surrogates become U+FFFD, surrogate pairs their character.
TEST_F(WKWebViewTest, BrokenTextFromAPageReachesTheAppAsReplacementCharacters) {
    const std::string replacement = "\xEF\xBF\xBD";
    auto recorder = std::make_shared<Recorder>();
    webView->configuration()->userContentController()->addScriptMessageHandler(recorder, "native");
    // A script whose bytes the engine cannot decode does not run, and says so; a surrogate's bytes
    // in a script's address reach the app as a replacement character.
    load("<script>var refused = 'a\xFF" "b';</script><script>var after = 1;</script>"
         "<script src=\"a\xED\xA0\x80" "b.js\"></script>");
    ASSERT_EQ(webView->consoleMessages().size(), 2u);
    EXPECT_EQ(webView->consoleMessages()[0], "error: SyntaxError: source decode failed (line 0)");
    EXPECT_EQ(webView->consoleMessages()[1], "error: Failed to load the script a" + replacement + "b.js");
    EXPECT_EQ(eval("typeof refused + after").result, Value("undefined1"));

    // Strings the page makes with stray surrogates.
    EXPECT_EQ(eval("'x\\uD800y\\uDC00z'").result, Value("x" + replacement + "y" + replacement + "z"));
    EXPECT_EQ(eval("'\\uD83D\\uDE00'").result, Value("\xF0\x9F\x98\x80"));
    EXPECT_EQ(eval("'\xF0\x9F\x98\x80 \xE2\x82\xAC'").result, Value("\xF0\x9F\x98\x80 \xE2\x82\xAC"))
        << "characters written as they are come back as they are";
    EXPECT_EQ(eval("['\\uDBFF', {k: '\\uDFFF'}]").result,
              Value::array({replacement, Value::dictionary({{"k", replacement}})}));

    // Bytes the page decodes (a broken byte) and a message holding a stray surrogate.
    eval("webkit.messageHandlers.native.postMessage({text: 'p\\uD801q', bytes: String(new Buffer([97, 255, 98]))})");
    ASSERT_EQ(recorder->messages.size(), 1u);
    EXPECT_EQ(recorder->messages[0].body["text"], Value("p" + replacement + "q"));
    EXPECT_EQ(recorder->messages[0].body["bytes"], Value("a" + replacement + "b"));

    eval("console.log('c\\uDC01d')");
    ASSERT_FALSE(webView->consoleMessages().empty());
    EXPECT_EQ(webView->consoleMessages().back(), "log: c" + replacement + "d");
}

// A console line longer than the cap is cut, never inside a character.
TEST_F(WKWebViewTest, ALongConsoleLineIsCutAtACharacterBoundary) {
    load("<script>console.log('a'.repeat(4094) + '\\u20AC' + 'tail');</script>");
    ASSERT_EQ(webView->consoleMessages().size(), 1u);
    EXPECT_EQ(webView->consoleMessages()[0], "log: " + std::string(4094, 'a'));
    eval("console.warn('b'.repeat(4093) + '\\u20AC' + 'tail')");
    EXPECT_EQ(webView->consoleMessages().back(), "warn: " + std::string(4093, 'b') + "\xE2\x82\xAC");
    eval("console.error('\\u20AC'.repeat(2000))");
    const std::string& euros = webView->consoleMessages().back();
    EXPECT_EQ(euros.size(), std::string("error: ").size() + 4095);
    EXPECT_EQ(euros.substr(euros.size() - 3), "\xE2\x82\xAC");
}

// A document larger than the cap is not loaded: the navigation fails and the page stays.
TEST_F(WKWebViewTest, AnOverSizeDocumentIsRefused) {
    load("<script>var page = 'first';</script>");
    navigation->events.clear();
    std::string huge = "<script>var page = 'second';</script><p>" +
                       std::string(WKWebView::kMaxDocumentBytes, 'x') + "</p>";
    webView->loadHTMLString(huge, URL::fromString("file:///pages/"));
    huge.clear();
    RunLoop::main().runUntilIdle();
    ASSERT_EQ(navigation->events.size(), 3u);
    EXPECT_EQ(navigation->events[1], "start");
    EXPECT_EQ(navigation->events[2], "fail " + std::to_string(WKError::Unknown));
    EXPECT_FALSE(webView->isLoading());
    EXPECT_EQ(eval("page").result, Value("first"));

    namespace fs = std::filesystem;
    fs::path file = AppContainer::root() / "huge.html";
    {
        std::ofstream out(file);
        out << "<script>var page = 'file';</script>";
        out << std::string(WKWebView::kMaxDocumentBytes, ' ');
    }
    navigation->events.clear();
    webView->loadRequest(URLRequest(URL::fileURL(file.string())));
    RunLoop::main().runUntilIdle();
    ASSERT_FALSE(navigation->events.empty());
    EXPECT_EQ(navigation->events.back().rfind("fail ", 0), 0u) << navigation->events.back();
    EXPECT_EQ(eval("page").result, Value("first"));
}

TEST_F(WKWebViewTest, ScriptsThatRunTooLongAreStopped) {
    webView->setScriptTimeLimit(0.05);
    load(R"(<script>var before = 1;</script>
            <script>for (;;) { try { for (;;) {} } catch (e) {} }</script>
            <script>var after = 2;</script>)");
    EXPECT_EQ(eval("before + after").result, Value(3));
    ASSERT_FALSE(webView->consoleMessages().empty());
    EXPECT_NE(webView->consoleMessages().back().find("execution timeout"), std::string::npos);

    auto looping = eval("while (true) {}");
    EXPECT_NE(exceptionMessage(looping).find("execution timeout"), std::string::npos);
    EXPECT_EQ(eval("'still here'").result, Value("still here"));  // the next entry has its own time
    // One built-in call that runs long is cut short as it allocates.
    EXPECT_NE(exceptionMessage(eval("new Array(4294967295).join('')")).find("execution timeout"),
              std::string::npos);
    auto hungry = eval("var big = []; for (;;) big.push('y'.repeat(100000) + big.length);");
    EXPECT_TRUE(hungry.error);
}

TEST_F(WKWebViewTest, TimersRunOnTheClockAndErrorsGoToOnError) {
    load(R"(<script>
        var fired = [];
        window.onerror = function (message, url, line) { fired.push('onerror ' + message + ' ' + url); };
        setTimeout(function (a, b) { fired.push('zero ' + a + b); }, 0, 'x', 'y');
        setTimeout(function () { fired.push('second'); }, 1000);
        var cancelled = setTimeout(function () { fired.push('cancelled'); }, 500);
        clearTimeout(cancelled);
        setTimeout(function () { throw new Error('boom'); }, 10);
        var spins = 0;
        function spin() { spins++; setTimeout(spin, 0); }
        spin();
    </script>)");
    // A zero-delay timer that keeps setting itself is held to 4 ms after five levels.
    EXPECT_EQ(eval("fired.join('|') + ' ' + spins").result, Value("zero xy 6"));
    Clock::advance(1.0);
    EXPECT_EQ(eval("fired.join('|')").result, Value("zero xy|onerror Error: boom file:///pages/|second"));
    EXPECT_EQ(eval("Date.now()").result, Value(static_cast<int64_t>(Clock::now() * 1000)));
}

TEST_F(WKWebViewTest, FilesLoadWithTheirScriptsAndOtherAddressesFail) {
    namespace fs = std::filesystem;
    fs::path dir = AppContainer::root() / "site";
    fs::create_directories(dir);
    std::ofstream(dir / "page.html") << "<script src=\"lib.js\"></script><script src=\"gone.js\"></script>";
    std::ofstream(dir / "lib.js") << "var fromFile = 'lib';";
    webView->loadRequest(URLRequest(URL::fileURL((dir / "page.html").string())));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(eval("fromFile").result, Value("lib"));
    EXPECT_NE(webView->consoleMessages().back().find("gone.js"), std::string::npos);

    navigation->events.clear();
    webView->loadRequest(URLRequest(URL::fileURL((dir / "missing.html").string())));
    webView->loadRequest(URLRequest(URL::fromString("https://example.com/")));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(navigation->events,
              (std::vector<std::string>{"decide -1 https://example.com/", "start", "fail -1002"}));
    EXPECT_EQ(eval("fromFile").result, Value("lib"));  // the page stays
}

TEST_F(WKWebViewTest, ActivatedLinksAskTheDelegate) {
    load("<script>var page = 'first';</script>");
    navigation->events.clear();
    navigation->policy = WKNavigationActionPolicy::Cancel;
    webView->activateLink("next.html");
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(navigation->events, (std::vector<std::string>{"decide 0 file:///pages/next.html"}));
    EXPECT_FALSE(webView->isLoading());
    EXPECT_EQ(eval("page").result, Value("first"));
}

}  // namespace
}  // namespace brindlecue::platform
