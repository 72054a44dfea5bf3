#include "feed/KJTipWebElement.h"

#include <gtest/gtest.h>

#include "facade/BLQFacadeLink.h"
#include "feed/BLQIFeedExt.h"
#include "feed/BLQIWebTipController.h"
#include "feed/KJTipElement.h"
#include "foundation/KJLog.h"
#include "platform/Bundle.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/webkit/WKWebView.h"

namespace brindlecue {
namespace {

using platform::RunLoop;
using platform::Value;

// A tip controller that records what the page asks of it.
class RecordingTipController : public platform::UIViewController, public BLQIWebTipController {
public:
    std::shared_ptr<KJTipElement> tip() const override { return step; }
    void switchToPreviousTip(bool sender, bool triggerAction) override {
        calls.push_back(std::string("previous ") + flags(sender, triggerAction));
    }
    void switchToNextTip(bool sender, bool triggerAction) override {
        calls.push_back(std::string("next ") + flags(sender, triggerAction));
    }
    void dismissTip(bool sender) override {
        calls.push_back(std::string("dismiss ") + (sender ? "YES" : "NO"));
    }

    static std::string flags(bool a, bool b) { return std::string(a ? "YES" : "NO") + (b ? " YES" : " NO"); }

    std::shared_ptr<KJTipElement> step;
    std::vector<std::string> calls;
};

struct RecordingReporter : BLQIFeedExt {
    std::vector<std::string> reports;
    void sendFeedAck(const std::string&) override {}
    void notifyFeedResultWithResults(const std::string&, const Value&) override {}
    void notifyFeedResult(const std::optional<std::string>& feedId, const Value& campaignId,
                          BLQFeedResult result, const Value& stepId, bool deleteFeed,
                          bool completed) override {
        reports.push_back(feedId.value_or("-") + " [" + campaignId.stringValue() + "] " +
                          std::to_string(static_cast<int64_t>(result)) + " " + stepId.toJSON().value_or("-") +
                          " " + (deleteFeed ? "delete" : "keep") + " " + (completed ? "completed" : "open"));
    }
};

// The page of a web tip: it loads the bridge and keeps it as `bridge`.
constexpr const char* kTipPage = R"(<html><body><p>Tip</p><script>
    var answers = [];
    (function (callback) {
      window.WKWVJBCallbacks = [callback];
      window.webkit.messageHandlers.iOS_Native_InjectJavascript.postMessage(null);
    })(function (bridge) { window.bridge = bridge; });
  </script></body></html>)";

class WebTipPage : public testing::Test {
protected:
    void SetUp() override {
        platform::Clock::useVirtual();
        controller = platform::make<RecordingTipController>();
        controller->step = std::make_shared<KJTipElement>();
        controller->step->feed_id = "F1";
        webView = platform::make<platform::WKWebView>();
        webView->setNavigationDelegate(std::dynamic_pointer_cast<BLQIWebTipController>(controller));
        container = platform::make<platform::UIView>();
        BLQFacadeLink::setFeedExt(reporter);
    }
    void TearDown() override {
        BLQFacadeLink::setFeedExt(nullptr);
        BLQFacadeLink::setPreviewModeCheck(nullptr);
        KJLogSetObserver({});
    }

    void layOut(const std::string& html, std::shared_ptr<platform::UIViewController> vc = nullptr) {
        auto web = std::make_shared<KJTipWebElement>();
        web->url = "https://example.com/ignored";
        web->urlcontent = html;
        KJTipWebElement::layoutWeb(webView, container, vc ? vc : controller, web);
        RunLoop::main().runUntilIdle();
    }

    // The page calls the handler; what the page holds afterwards.
    Value page(const std::string& script) {
        Value out;
        webView->evaluateJavaScript(script, [&](const Value& result, const auto&) { out = result; });
        RunLoop::main().runUntilIdle();
        return out;
    }

    std::shared_ptr<RecordingTipController> controller;
    std::shared_ptr<platform::WKWebView> webView;
    std::shared_ptr<platform::UIView> container;
    std::shared_ptr<RecordingReporter> reporter = std::make_shared<RecordingReporter>();
};

TEST_F(WebTipPage, StepHandlersFollowTheFlagRules) {
    layOut(kTipPage);
    EXPECT_FALSE(webView->isHidden());
    EXPECT_FALSE(webView->scrollView()->isScrollEnabled());
    EXPECT_FALSE(webView->isOpaque());
    EXPECT_EQ(webView->url(), platform::URL::fileURL(platform::Bundle::main()->path().string(), true));

    page(R"(bridge.callHandler('dismissTip', {shouldSendFeedResult: 'false'});
            bridge.callHandler('dismissTip', {shouldSendFeedResult: 'TRUE'});
            bridge.callHandler('dismissTip', {shouldSendFeedResult: true});
            bridge.callHandler('dismissTip', {shouldSendFeedResult: 'true'});
            bridge.callHandler('dismissTip');
            bridge.callHandler('dismissTip', {other: 'false'});
            bridge.callHandler('switchToNextTip');
            bridge.callHandler('switchToPreviousTip', {shouldSendFeedResult: 'false'}, function () {
              answers.push('answered');
            });)");
    EXPECT_EQ(controller->calls,
              (std::vector<std::string>{"dismiss NO", "dismiss NO", "dismiss NO", "dismiss YES",
                                        "dismiss YES", "dismiss YES", "next YES YES", "previous NO YES"}));
    EXPECT_EQ(page("answers.length"), Value(0));  // no handler answers the page
    EXPECT_TRUE(reporter->reports.empty());
}

TEST_F(WebTipPage, FeedResultsCarryTheStepsFeedIdOutsidePreviewMode) {
    layOut(kTipPage);
    page(R"(bridge.callHandler('sendFeedResult');
            bridge.callHandler('sendFeedResult', [1, 2]);
            bridge.callHandler('sendFeedResult', {result: 1, step_id: 7});
            bridge.callHandler('sendFeedResult', {result: -1, step_id: 's2', campaignid: 'C9', 'delete': true,
                                                  completed: 'true'});
            bridge.callHandler('sendFeedResult', {result: '3', campaignid: null, 'delete': 0});
            bridge.callHandler('getStepId', {}, function () { answers.push('step'); });)");
    EXPECT_EQ(reporter->reports,
              (std::vector<std::string>{"F1 [] 1 7 keep open", "F1 [C9] -1 \"s2\" delete completed",
                                        "F1 [] 3 - keep open"}));
    EXPECT_EQ(page("answers.length"), Value(0));
    EXPECT_TRUE(controller->calls.empty());

    std::vector<std::string> lines;
    KJLogSetObserver(
        [&](int level, const std::string& line) { lines.push_back(std::to_string(level) + " " + line); });
    BLQFacadeLink::setPreviewModeCheck([] { return true; });
    page("bridge.callHandler('sendFeedResult', {result: 1, step_id: 8})");
    EXPECT_EQ(reporter->reports.size(), 3u);
    EXPECT_EQ(lines, (std::vector<std::string>{"2 Author mode doesn't send feed result logline."}));
}

TEST_F(WebTipPage, LinksTheUserTapsOpenOutsideTheApp) {
    layOut(kTipPage);
    auto app = platform::UIApplication::sharedApplication();
    size_t opened = app->openedURLs().size();
    webView->activateLink("https://example.com/help");
    RunLoop::main().runUntilIdle();
    ASSERT_EQ(app->openedURLs().size(), opened + 1);
    EXPECT_EQ(app->openedURLs().back(), "https://example.com/help");
    EXPECT_EQ(page("typeof bridge"), Value("object"));  // the tip's page stays
}

TEST_F(WebTipPage, OnlyTipControllersGetPageHandlersAndEmptyElementsHideTheView) {
    layOut(kTipPage, platform::make<platform::UIViewController>());
    EXPECT_FALSE(webView->isHidden());
    EXPECT_EQ(page("typeof webkit.messageHandlers.iOS_Native_InjectJavascript"), Value("undefined"));

    std::vector<std::string> lines;
    KJLogSetObserver([&](int, const std::string& line) { lines.push_back(line); });
    auto empty = std::make_shared<KJTipWebElement>();
    empty->urlcontent = "";
    KJTipWebElement::layoutWeb(webView, container, controller, empty);
    EXPECT_TRUE(webView->isHidden());
    KJTipWebElement::layoutWeb(webView, nullptr, controller, empty);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "layout web view failed as one of webView/containView/vc/webElement is nil"}));
}

}  // namespace
}  // namespace brindlecue
