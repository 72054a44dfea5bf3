#include "presentation/KJTipPresentation.h"

#include <gtest/gtest.h>

#include "facade/BLQFacadeLink.h"
#include "feed/BLQIFeedExt.h"
#include "platform/Bundle.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/webkit/WKWebView.h"
#include "presentation/KJModalTipViewController.h"
#include "tips/TipEngineScene_test.h"

namespace brindlecue::tipscene {
namespace {

// The facade's feed reports as a web tip's page sends them.
class RecordingFeedExt final : public BLQIFeedExt {
public:
    void sendFeedAck(const std::string&) override {}
    void notifyFeedResultWithResults(const std::string&, const Value&) override {}
    void notifyFeedResult(const std::optional<std::string>& feedId, const Value& campaignId,
                          BLQFeedResult result, const Value& stepId, bool deleteFeed,
                          bool completed) override {
        reports.push_back(feedId.value_or("-") + " [" + campaignId.stringValue() + "] " +
                          std::to_string(static_cast<int>(result)) + " " + stepId.toJSON().value_or("-") +
                          " " + (deleteFeed ? "delete" : "keep") + " " + (completed ? "completed" : "open"));
    }
    std::vector<std::string> reports;
};

// A page that loads the bridge the way pages do and keeps it as `bridge`; `injectAtLoad` is what
// its scripts found of the bridge's entry while the document loaded.
constexpr const char* kPageStart = R"(<html><body><h1>Welcome</h1><script>
    var injectAtLoad = typeof window.webkit.messageHandlers.iOS_Native_InjectJavascript;
    var answers = [];
    function setupBridge(callback) {
      if (window.KJWKWebViewJavascriptBridge) { return callback(KJWKWebViewJavascriptBridge); }
      if (window.WKWVJBCallbacks) { return window.WKWVJBCallbacks.push(callback); }
      window.WKWVJBCallbacks = [callback];
      window.webkit.messageHandlers.iOS_Native_InjectJavascript.postMessage(null);
    }
    setupBridge(function (bridge) { window.bridge = bridge; });
  </script>)";
constexpr const char* kPageEnd = "</body></html>";

// The step's "meta" members that carry the page.
std::string pageMeta(const std::string& extraScripts = "") {
    std::string json =
        Value::dictionary({{"url-content", kPageStart + extraScripts + kPageEnd}}).toJSON().value();
    return ", " + json.substr(1, json.size() - 2);
}

class WebTipTest : public TipEngineTest {
protected:
    void SetUp() override {
        TipEngineTest::SetUp();
        KJTipPresentation::registerWithTipEngine();
        BLQFacadeLink::setFeedExt(feedExt);
    }

    void TearDown() override {
        BLQFacadeLink::setFeedExt(nullptr);
        TipEngineTest::TearDown();
    }

    // A tour of modal web steps, taken in by a new engine.
    void storeWebCampaign(std::vector<StepSpec> steps) {
        CampaignSpec campaign{.id = "web", .tool = "tour"};
        campaign.steps = std::move(steps);
        store({campaign});
        makeEngine();
    }

    std::shared_ptr<KJModalTipViewController> current() const {
        return std::dynamic_pointer_cast<KJModalTipViewController>(engine->currentTipViewController());
    }
    static std::shared_ptr<WKWebView> webViewOf(const std::shared_ptr<KJBaseTipViewController>& c) {
        return c ? std::dynamic_pointer_cast<WKWebView>(c->webView) : nullptr;
    }
    bool onScreen(const std::shared_ptr<KJBaseTipViewController>& c) const {
        return c && c->coverView() && c->coverView()->window();
    }

    // Runs the script in the page, as the page's own code, and returns its value.
    Value page(const std::shared_ptr<KJBaseTipViewController>& c, const std::string& script) {
        Value out;
        webViewOf(c)->evaluateJavaScript(script, [&](const Value& result, const auto&) { out = result; });
        RunLoop::main().runUntilIdle();
        return out;
    }

    // Waits until the engine shows a controller other than `before` whose page has the bridge.
    std::shared_ptr<KJModalTipViewController> nextShown(
        const std::shared_ptr<KJBaseTipViewController>& before) {
        if (!settle([&] { return current() && current() != before && onScreen(current()); })) return nullptr;
        RunLoop::main().runUntilIdle();
        auto shown = current();
        return page(shown, "typeof bridge") == Value("object") ? shown : nullptr;
    }

    std::shared_ptr<RecordingFeedExt> feedExt = std::make_shared<RecordingFeedExt>();
};

TEST_F(WebTipTest, TheEnginesWebStepLoadsItsPageWhoseCallsDriveTheTip) {
    storeWebCampaign({StepSpec{.meta = pageMeta()}, StepSpec{.meta = pageMeta()}});
    showScreen(home);
    auto first = nextShown(nullptr);
    ASSERT_TRUE(first);
    auto web = webViewOf(first);
    ASSERT_TRUE(web);
    EXPECT_FALSE(web->isHidden());
    EXPECT_EQ(web->navigationDelegate(), std::dynamic_pointer_cast<platform::WKNavigationDelegate>(first));
    EXPECT_EQ(web->url(), platform::URL::fileURL(platform::Bundle::main()->path().string(), true));
    EXPECT_FALSE(first->activityIndicator->isAnimating());
    EXPECT_GT(web->frame().height(), 30);
    EXPECT_EQ(page(first, "injectAtLoad"), Value("object"));
    EXPECT_EQ(facade->acksSoFar(), std::vector<std::string>{"web"});

    // A feed result reaches the facade's feed reports with the step's feed id and the page's step
    // id; "getStepId" does nothing and never answers.
    page(first, R"(bridge.callHandler('sendFeedResult', {result: 1, step_id: 's0', campaignid: 'c-web',
                                                         completed: true});
                   bridge.callHandler('getStepId', {}, function () { answers.push('step id'); });)");
    EXPECT_EQ(feedExt->reports, std::vector<std::string>{"web [c-web] 1 \"s0\" keep completed"});
    EXPECT_EQ(page(first, "answers.length"), Value(0));
    EXPECT_TRUE(facade->results.empty());
    EXPECT_EQ(current(), first);

    // A link the user taps opens outside the app; the page stays.
    auto app = UIApplication::sharedApplication();
    const size_t opened = app->openedURLs().size();
    web->activateLink("https://example.com/help");
    RunLoop::main().runUntilIdle();
    ASSERT_EQ(app->openedURLs().size(), opened + 1);
    EXPECT_EQ(app->openedURLs().back(), "https://example.com/help");
    EXPECT_EQ(page(first, "typeof bridge"), Value("object"));

    // Next and previous move through the steps and report them as the step buttons do.
    page(first, "bridge.callHandler('switchToNextTip')");
    auto second = nextShown(first);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->tip()->suid, "s1");
    EXPECT_FALSE(onScreen(first));
    page(second, "bridge.callHandler('switchToPreviousTip')");
    auto again = nextShown(second);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->tip()->suid, "s0");
    EXPECT_EQ(facade->results,
              (std::vector<FeedResult>{{"web", "c-web", BLQFeedResult::next, "s0", false, false},
                                       {"web", "c-web", BLQFeedResult::previous, "s1", false, false}}));

    // Close dismisses the tip and reports the step rejected.
    page(again, "bridge.callHandler('dismissTip', {shouldSendFeedResult: 'true'})");
    ASSERT_TRUE(settle([&] { return !current() && !onScreen(again); }));
    EXPECT_EQ(facade->results.back(),
              (FeedResult{"web", "c-web", BLQFeedResult::rejected, "s0", true, false}));
    EXPECT_EQ(facade->results.size(), 3u);

    // No page met a missing bridge or failed otherwise.
    for (const auto& c : {first, second, again})
        for (const auto& line : webViewOf(c)->consoleMessages()) ADD_FAILURE() << line;
}

TEST_F(WebTipTest, APageThatCannotBeReadStopsTheIndicatorAndLeavesTheTip) {
    storeWebCampaign({StepSpec{.meta = R"(, "url": "https://example.com/remote-tip")"}});
    showScreen(home);
    ASSERT_TRUE(settle([&] { return onScreen(current()); }));
    RunLoop::main().runUntilIdle();
    auto shown = current();
    EXPECT_FALSE(webViewOf(shown)->isHidden());
    EXPECT_FALSE(webViewOf(shown)->isLoading());
    EXPECT_FALSE(shown->activityIndicator->isAnimating());
    EXPECT_TRUE(onScreen(shown));
}

TEST_F(WebTipTest, HostilePagesNeitherCrashTheAppNorKeepTheTipFromClosing) {
    // A script that throws, a message too large to post, a loop set for later.
    const std::string hostile = R"(<script>throw new Error('broken page');</script><script>
        var caught = [];
        try {
          webkit.messageHandlers.iOS_Native_FlushMessageQueue.postMessage('x'.repeat(2 << 20));
        } catch (e) { caught.push(e.name); }
        setTimeout(function () { for (;;) {} }, 1000);
      </script>)";
    storeWebCampaign({StepSpec{.meta = pageMeta(hostile)}, StepSpec{.meta = pageMeta()}});
    showScreen(home);
    auto shown = nextShown(nullptr);
    ASSERT_TRUE(shown);
    auto web = webViewOf(shown);
    EXPECT_EQ(page(shown, "caught.join()"), Value("RangeError"));
    ASSERT_FALSE(web->consoleMessages().empty());
    EXPECT_NE(web->consoleMessages().front().find("broken page"), std::string::npos);

    // A queue too large to fetch, and queues and messages that are no JSON, are dropped.
    page(shown, "bridge.callHandler('sendFeedResult', {result: 1, big: 'x'.repeat(9 << 20)})");
    page(shown, R"(var realFetch = bridge._fetchQueue;
                   bridge._fetchQueue = function () { realFetch(); return '[{"handlerName": "dismissTip", '; };
                   bridge.callHandler('dismissTip');)");
    page(shown, R"(bridge._fetchQueue = function () { realFetch(); return '{"handlerName": "dismissTip"}'; };
                   bridge.callHandler('dismissTip');)");
    page(shown, R"(bridge._fetchQueue = realFetch;
                   try { KJWKWebViewJavascriptBridge._handleMessageFromiOS('{not json'); } catch (e) {})");
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(feedExt->reports.empty());
    EXPECT_EQ(current(), shown);

    // The loop is stopped when its time is up.
    web->setScriptTimeLimit(0.05);
    auto timedOut = [&] {
        for (const auto& line : web->consoleMessages())
            if (line.find("execution timeout") != std::string::npos) return true;
        return false;
    };
    ASSERT_TRUE(settle(timedOut, 3));
    web->setScriptTimeLimit(WKWebView::kDefaultScriptTimeLimit);

    // The page still reaches its tip: closing without a report dismisses it, and what the page
    // asks of the tip after that reaches nothing.
    page(shown, R"(bridge.callHandler('dismissTip', {shouldSendFeedResult: 'false'});
                   bridge.callHandler('dismissTip');
                   bridge.callHandler('switchToNextTip');
                   setTimeout(function () { bridge.callHandler('switchToPreviousTip'); }, 500);)");
    ASSERT_TRUE(settle([&] { return !current() && !onScreen(shown); }));
    settle([] { return false; }, 1);
    EXPECT_TRUE(facade->results.empty());
    EXPECT_TRUE(feedExt->reports.empty());
    EXPECT_FALSE(current());
}

}  // namespace
}  // namespace brindlecue::tipscene
