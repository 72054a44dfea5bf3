// The library as one piece: a host that only calls the facade's start method with an app key gets
// campaigns from the sample server shown on its screens by the real engine and tip controllers,
// and the server hears what the user did. Nothing here fills a seam by hand.

#include <gtest/gtest.h>

#include "facade/BLQFacadeLink.h"
#include "facade/BrindlecueBaseViewController.h"
#include "feed/BLQITipManager.h"
#include "platform/graphics/CGImage.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/webkit/WKWebView.h"
#include "presentation/KJModalTipViewController.h"
#include "presentation/PaddingLabel.h"
#include "storage/KJDBManager.h"
#include "support/HostApp.h"
#include "support/TestImages.h"
#include "targeting/BLQLegacyScreenShotCapturer.h"
#include "widgets/ParseFAQ.h"

namespace brindlecue {
namespace {

using platform::Value;
using testsupport::route;

// A screen of the host app, known to the class registry by its own name.
class HomeViewController final : public platform::UIViewController {
public:
    std::string className() const override { return "HomeViewController"; }
};

// A host screen that reports itself to the library, with a button.
class ProfileViewController final : public BrindlecueBaseViewController {
public:
    std::string className() const override { return "ProfileViewController"; }
    void viewDidLoad() override {
        BrindlecueBaseViewController::viewDidLoad();
        button = platform::make<platform::UIButton>(platform::CGRect(40, 300, 160, 44));
        button->setTitle("Edit profile", platform::UIControlStateNormal);
        view()->addSubview(button);
    }
    std::shared_ptr<platform::UIButton> button;
};

// One campaign of the feed: a page-open campaign of the home screen with the steps given.
std::string campaign(const std::string& id, const std::string& tool, const std::string& steps) {
    return R"({"id": ")" + id + R"(", "app_key": ")" + std::string(testsupport::HostApp::kAppKey) +
           R"(", "campaignid": "c-)" + id + R"(", "type": "CAMPAIGN", "priority": 1,
              "activates": "2025-01-01T00:00:00.000Z", "expires": "2030-01-01T00:00:00.000Z",
              "modified": "2025-06-01T00:00:00.000Z",
              "content": {"setup": {"tool": ")" +
           tool + R"(", "view": "HomeViewController", "display": ["dom"], "launcher": {"type": "page-open"}},
                          "payload": [)" +
           steps + "]}}";
}

class LibraryTest : public testing::Test {
protected:
    void SetUp() override {
        platform::ClassRegistry::registerClass("HomeViewController", "UIViewController");
        home = platform::make<HomeViewController>();
    }
    // The feed the server answers with.
    void serveFeed(const std::vector<std::string>& campaigns) {
        std::string results;
        for (const auto& c : campaigns) results += (results.empty() ? "" : ",") + c;
        app.server.addRoute(route("GET", "/v3/feeds", 200, R"({"results": [)" + results + "]}"));
    }
    std::shared_ptr<BLQITipManager> engine() { return app.facade->tipManager(); }

    testsupport::HostApp app;
    std::shared_ptr<HomeViewController> home;
};

TEST_F(LibraryTest, ACampaignOfTheFeedIsShownOnItsScreenAndItsResultReachesTheServer) {
    serveFeed({campaign("welcome", "modal",
                        R"({"meta": {"id": "s0", "tool": "modal", "view": "HomeViewController", "delay": 0},
                            "title": {"text": "Welcome"}, "content": {"text": "A short tour."},
                            "buttons": {"next": {"text": "Go"}}})")});
    app.launch(home);
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.pumpUntil([&] { return engine()->innerTipSeries().size() == 1; }));

    // The screen comes on view: the engine picks the campaign and the modal tip shows it.
    platform::UIApplication::sharedApplication()->becomeActive();
    ASSERT_TRUE(app.pumpUntil([&] {
        auto tip = engine()->currentTipViewController();
        return tip && tip->coverView() && tip->coverView()->window();
    }));
    auto modal = std::dynamic_pointer_cast<KJModalTipViewController>(engine()->currentTipViewController());
    ASSERT_TRUE(modal) << "the library's own modal tip";
    EXPECT_EQ(modal->labelTitle->text(), "Welcome");
    ASSERT_TRUE(app.pumpUntil([&] { return !app.uploaded(8200).empty(); }));
    EXPECT_EQ(app.uploaded(8200)[0]["feed_id"], Value("welcome"));

    // The user moves on: the step's result goes up as a feed result.
    platform::TouchDriver::tap(modal->button2);
    ASSERT_TRUE(app.pumpUntil([&] { return !app.uploaded(8201).empty(); }));
    auto result = app.uploaded(8201)[0];
    EXPECT_EQ(result["feed_id"], Value("welcome"));
    EXPECT_EQ(result["result"]["guideid"], Value("c-welcome"));
    EXPECT_EQ(result["result"]["step_id"], Value("s0"));
}

// The image views under the view, depth first.
void imageViewsUnder(const std::shared_ptr<platform::UIView>& view,
                     std::vector<std::shared_ptr<platform::UIImageView>>& out) {
    if (auto image = std::dynamic_pointer_cast<platform::UIImageView>(view)) out.push_back(image);
    for (const auto& sub : view->subviews()) imageViewsUnder(sub, out);
}

TEST_F(LibraryTest, AStepsImageComesFromTheServerAndItsWebPageClosesTheTip) {
    app.server.addRoute(testsupport::imageRoute("/images/hero.png", testsupport::makeTestPNG(120, 60, false)));
    const std::string image = R"("image": [{"resource": ")" + app.server.baseURL() +
                              R"(/images/hero.png", "width": "100%", "height": "120"}])";
    const std::string page = Value::dictionary({{"url-content", R"(<html><body><h1>Step two</h1><script>
        function setupBridge(callback) {
          if (window.KJWKWebViewJavascriptBridge) { return callback(KJWKWebViewJavascriptBridge); }
          if (window.WKWVJBCallbacks) { return window.WKWVJBCallbacks.push(callback); }
          window.WKWVJBCallbacks = [callback];
          window.webkit.messageHandlers.iOS_Native_InjectJavascript.postMessage(null);
        }
        setupBridge(function (bridge) { window.bridge = bridge; });
      </script></body></html>)"}})
                                 .toJSON()
                                 .value();
    serveFeed({campaign("tour", "tour",
                        R"({"meta": {"id": "s0", "tool": "modal", "view": "HomeViewController", "delay": 0},
                            "title": {"text": "A picture"}, )" +
                            image + R"(, "buttons": {"next": {"text": "Next"}}},
                           {"meta": {"id": "s1", "tool": "modal", "view": "HomeViewController", "delay": 0, )" +
                            page.substr(1, page.size() - 2) + R"(}})")});
    app.launch(home);
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.pumpUntil([&] { return engine()->innerTipSeries().size() == 1; }));
    platform::UIApplication::sharedApplication()->becomeActive();

    // The first step's picture is downloaded by the image manager and drawn in the tip.
    std::shared_ptr<KJBaseTipViewController> first;
    std::vector<std::shared_ptr<platform::UIImageView>> pictures;
    ASSERT_TRUE(app.pumpUntil([&] {
        first = std::dynamic_pointer_cast<KJBaseTipViewController>(engine()->currentTipViewController());
        pictures.clear();
        if (first && first->coverView() && first->coverView()->window()) imageViewsUnder(first->view(), pictures);
        for (const auto& p : pictures)
            if (p->image()) return true;
        return false;
    }));
    EXPECT_GE(app.requests("GET", "/images/hero.png"), 1u);
    std::shared_ptr<platform::UIImageView> picture;
    for (const auto& p : pictures)
        if (p->image()) picture = p;
    app.settle();
    const auto window = app.window;
    const auto centre = picture->convertPointToView({picture->bounds().midX(), picture->bounds().midY()}, window);
    platform::UIGraphicsBeginImageContextWithOptions(window->bounds().size, true, 1);
    window->drawViewHierarchyInRect(window->bounds(), true);
    auto drawn = platform::UIGraphicsGetImageFromCurrentImageContext();
    platform::UIGraphicsEndImageContext();
    const auto pixel = drawn->cgImage()->pixelAt(int(centre.x), int(centre.y));
    EXPECT_EQ(std::make_tuple(int(pixel.r), int(pixel.g), int(pixel.b)), std::make_tuple(200, 40, 40));

    // The second step's page loads in the tip's web view, and its close call dismisses the tip.
    platform::TouchDriver::tap(first->button2);
    std::shared_ptr<KJBaseTipViewController> second;
    std::shared_ptr<platform::WKWebView> web;
    ASSERT_TRUE(app.pumpUntil([&] {
        second = std::dynamic_pointer_cast<KJBaseTipViewController>(engine()->currentTipViewController());
        if (!second || second == first || !second->coverView() || !second->coverView()->window()) return false;
        web = std::dynamic_pointer_cast<platform::WKWebView>(second->webView);
        Value ready;
        if (web) web->evaluateJavaScript("typeof bridge", [&](const Value& v, const auto&) { ready = v; });
        platform::RunLoop::main().runUntilIdle();
        return ready == Value("object");
    }));
    web->evaluateJavaScript("bridge.callHandler('dismissTip', {shouldSendFeedResult: 'true'})", nullptr);
    ASSERT_TRUE(app.pumpUntil([&] { return !second->coverView()->window(); }));
    ASSERT_TRUE(app.pumpUntil([&] { return app.uploaded(8201).size() == 2; }));
    auto closed = app.uploaded(8201)[1];
    EXPECT_EQ(closed["result"]["status"], Value("rejected"));
    EXPECT_EQ(closed["result"]["step_id"], Value("s1"));
}

TEST_F(LibraryTest, TheFeedsWidgetIsShownAndAcknowledgedAndAScreenshotCarriesTheScreensTargets) {
    auto widget = Value::fromJSON(widgets::ParseFAQ().getDefaultData());
    ASSERT_TRUE(widget);
    Value item = *Value::fromJSON(campaign("faq", "fab", "{}"));
    item.set("content", *widget);
    serveFeed({*item.toJSON()});
    app.server.addRoute(route("POST", "/v3/screenshots", 201, "{}"));
    platform::ClassRegistry::registerClass("ProfileViewController", "BrindlecueBaseViewController");
    auto profile = platform::make<ProfileViewController>();
    app.launch(profile);
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.pumpUntil([&] { return app.requests("GET", "/v3/feeds") >= 1; }));
    app.settle();

    // The screen comes on view again: the floating button of the widget is on the key window, and
    // the list it opens acknowledges the feed.
    profile->viewDidAppear(false);
    std::shared_ptr<platform::UIView> button;
    ASSERT_TRUE(app.pumpUntil([&] {
        button = app.window->viewWithTag(108101);
        return button != nullptr;
    }));
    platform::TouchDriver::tap(button);
    ASSERT_TRUE(app.pumpUntil([&] { return app.window->viewWithTag(108102) != nullptr; }));
    ASSERT_TRUE(app.pumpUntil([&] { return !app.uploaded(8200).empty(); }));
    EXPECT_EQ(app.uploaded(8200)[0]["feed_id"], Value("faq"));

    // An author's screenshot of the screen goes up with the screen's targets, the button among them.
    BLQLegacyScreenShotCapturer::captureScreenShot();
    ASSERT_TRUE(app.pumpUntil([&] { return app.requests("POST", "/v3/screenshots") == 1; }));
    std::string body;
    for (const auto& entry : app.server.journal())
        if (entry.path == "/v3/screenshots") body = entry.body;
    EXPECT_NE(body.find("name=\"json\""), std::string::npos);
    EXPECT_NE(body.find("\"id\":\"UIButton-"), std::string::npos) << "the screen's button is a target";
}

// The user asks the widget's list not to show again: the campaign leaves the campaign cache, the
// server hears of the rejection, and the screen's next visit shows no widget.
TEST_F(LibraryTest, DontShowAgainDeletesTheWidgetsCampaignAndReportsItsRejection) {
    auto widget = Value::fromJSON(widgets::ParseFAQ().getDefaultData());
    ASSERT_TRUE(widget);
    Value item = *Value::fromJSON(campaign("faq", "fab", "{}"));
    item.set("content", *widget);
    serveFeed({*item.toJSON()});
    platform::ClassRegistry::registerClass("ProfileViewController", "BrindlecueBaseViewController");
    auto profile = platform::make<ProfileViewController>();
    app.launch(profile);
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.pumpUntil([&] { return app.requests("GET", "/v3/feeds") >= 1; }));
    app.settle();
    ASSERT_EQ(KJDBManager::sharedInstance()->findAllFAQFeeds().size(), 1u);

    profile->viewDidAppear(false);
    std::shared_ptr<platform::UIView> button;
    ASSERT_TRUE(app.pumpUntil([&] { return (button = app.window->viewWithTag(108101)) != nullptr; }));
    platform::TouchDriver::tap(button);
    std::shared_ptr<platform::swiftui::UIHostingView> list;
    ASSERT_TRUE(app.pumpUntil([&] {
        list = std::dynamic_pointer_cast<platform::swiftui::UIHostingView>(app.window->viewWithTag(108102));
        return list && list->placedRoot() && list->placedRoot()->findContent("Don`t show me again");
    }));
    const auto* dontShow = list->placedRoot()->findContent("Don`t show me again");
    platform::TouchDriver::tap(list, platform::CGPoint{dontShow->frame.midX(), dontShow->frame.midY()});

    ASSERT_TRUE(app.pumpUntil([&] { return !app.uploaded(8201).empty(); }));
    EXPECT_TRUE(KJDBManager::sharedInstance()->findAllFAQFeeds().empty());
    EXPECT_FALSE(app.window->viewWithTag(108101));
    EXPECT_FALSE(app.window->viewWithTag(108102));
    ASSERT_EQ(app.uploaded(8201).size(), 1u);
    const Value report = app.uploaded(8201)[0];
    EXPECT_EQ(report["result"]["campaignid"], Value("c-faq"));
    EXPECT_EQ(report["result"]["status"], Value("rejected"));
    EXPECT_EQ(report["result"]["feed_delete"], Value(true));
    EXPECT_EQ(report["result"]["complete"], Value(false));
    EXPECT_EQ(report["result"]["reference"], Value("Don`t show me again"));

    // The screen's next visit, and a new launch, find no widget.
    profile->viewDidAppear(false);
    app.settle();
    EXPECT_FALSE(app.window->viewWithTag(108101));
    app.relaunch();
    EXPECT_TRUE(KJDBManager::sharedInstance()->findAllFAQFeeds().empty());
}

TEST_F(LibraryTest, TheAppStatusRefetchesTheFeedSwitchesPreviewOnAndLetsTapsCountAsSuperTags) {
    platform::ClassRegistry::registerClass("ProfileViewController", "BrindlecueBaseViewController");
    auto profile = platform::make<ProfileViewController>();
    app.launch(profile);
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.pumpUntil([&] { return app.requests("GET", "/v3/feeds") == 1; }));

    // The status says the feed changed after the last fetch, lets clicks count, and puts the install
    // into preview mode.
    app.server.addRoute(route("GET", "/v3/apps/.*/status", 200,
                              R"({"app_status": {"feed_updated": "2029-01-01T00:00:00.000Z",
                                                 "supertags_level": "all",
                                                 "preview_mode": "2029-01-01T00:00:00.000Z"}})"));
    ASSERT_TRUE(app.pumpUntil([&] { return app.requests("GET", "/v3/feeds") >= 2; }));
    ASSERT_TRUE(app.pumpUntil([] { return BLQFacadeLink::isInPreviewMode(); }));
    ASSERT_TRUE(app.pumpUntil([&] { return app.window->viewWithTag(1000300330) != nullptr; }))
        << "the preview panel is on the screen";

    // A tap on the screen's button counts its super tag once.
    profile->viewWillAppear(false);
    profile->viewDidAppear(false);
    app.settle();
    platform::TouchDriver::tap(profile->button);
    ASSERT_TRUE(app.pumpUntil([&] {
        for (const auto& record : app.uploadedEvents())
            if (record["key"].stringValue().rfind("kj_supertag_ProfileViewController_UIButton-", 0) == 0) return true;
        return false;
    }));
}

}  // namespace
}  // namespace brindlecue
