#include "widgets/QXFeedBackInterface.h"

#include <gtest/gtest.h>

#include <mutex>

#include "facade/BLQFacadeLink.h"
#include "feed/BLQIFeedExt.h"
#include "feed/BLQIPreviewModeManager.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/swiftui/UIHostingController.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "support/RecordingLoggerManager.h"
#include "support/RecordingTipManager.h"
#include "widgets/WidgetConstants.h"

namespace brindlecue::widgets {
namespace {

using namespace platform;

class FeedReports final : public BLQIFeedExt {
public:
    void sendFeedAck(const std::string& feedId) override {
        std::lock_guard lock(mutex_);
        acks_.push_back(feedId);
    }
    void notifyFeedResultWithResults(const std::string& feedId, const Value& results) override {
        std::lock_guard lock(mutex_);
        results_.emplace_back(feedId, results);
    }
    void notifyFeedResult(const std::optional<std::string>&, const Value&, BLQFeedResult, const Value&, bool,
                          bool) override {}
    std::vector<std::string> acks() const {
        std::lock_guard lock(mutex_);
        return acks_;
    }
    std::vector<std::pair<std::string, Value>> results() const {
        std::lock_guard lock(mutex_);
        return results_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> acks_;
    std::vector<std::pair<std::string, Value>> results_;
};

class PreviewMode final : public BLQIPreviewModeManager {
public:
    bool isInPreviewMode() const override { return on; }
    void checkIfPreviewModeIsRequiredOrNot(const std::shared_ptr<UIViewController>&) override {}
    void togglePreviewModeView(bool) override {}
    std::shared_ptr<UIViewController> previewModeView() override { return nullptr; }
    void receiveUpdated(BLQPreviewModeNotificationState state, const std::string& message) override {
        updates.emplace_back(state, message);
    }
    bool on = false;
    std::vector<std::pair<BLQPreviewModeNotificationState, std::string>> updates;
};

class WidgetHost : public testing::Test {
protected:
    void SetUp() override {
        savedScreen_ = UIScreen::mainScreen()->bounds();
        UIScreen::mainScreen()->setBounds(CGRect(0, 0, 390, 844));
        window = make<UIWindow>(CGRect(0, 0, 390, 844));
        window->makeKeyAndVisible();
        BLQFacadeLink::setTipManager(tips);
        BLQFacadeLink::setFeedExt(reports);
        BLQFacadeLink::setPreviewModeManager(preview);
        host = make<QXFeedBackInterface>();
        Value document = *Value::fromJSON(ParseFAQ().getDefaultData());
        Value launcher = document["setup"]["launcher"];
        launcher.remove("width");
        launcher.remove("height");
        setupObject = document["setup"];
        setupObject.set("launcher", launcher);
        payloadObject = document["payload"][0];
    }
    void TearDown() override {
        window->setHidden(true);
        BLQFacadeLink::setTipManager(nullptr);
        BLQFacadeLink::setFeedExt(nullptr);
        BLQFacadeLink::setPreviewModeManager(nullptr);
        UIScreen::mainScreen()->setBounds(savedScreen_);
    }

    void layout(const std::string& feedId = "feed-1", bool mode = false) {
        host->layoutUI(*setupObject.toJSON(), *payloadObject.toJSON(), {{"feedId", feedId}, {"campaignId", "campaign-1"}},
                       mode);
        settle();
    }
    // Runs the main queue and the layouts it asks for until both are done.
    void settle() {
        for (int i = 0; i < 4; ++i) {
            RunLoop::main().runUntilIdle();
            window->layoutIfNeeded();
        }
        RunLoop::main().runUntilIdle();
    }
    std::shared_ptr<UIView> tagged(int64_t tag) { return window->viewWithTag(tag); }
    void tapFAB() {
        ASSERT_TRUE(tagged(ViewTags::fabButton));
        TouchDriver::tap(tagged(ViewTags::fabButton));
        settle();
    }
    // Taps the text (or symbol) of the open list.
    void tapInList(const std::string& content) {
        auto view = std::static_pointer_cast<swiftui::UIHostingView>(tagged(ViewTags::faqList));
        ASSERT_TRUE(view);
        const swiftui::Placed* placed = view->placedRoot()->findContent(content);
        ASSERT_TRUE(placed) << content;
        TouchDriver::tap(view, CGPoint{placed->frame.midX(), placed->frame.midY()});
        settle();
    }
    bool waitForAcks(size_t count) {
        return RunLoop::main().runUntil([&] { return reports->acks().size() >= count; }, 5);
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<QXFeedBackInterface> host;
    std::shared_ptr<testsupport::RecordingTipManager> tips = std::make_shared<testsupport::RecordingTipManager>();
    std::shared_ptr<FeedReports> reports = std::make_shared<FeedReports>();
    std::shared_ptr<PreviewMode> preview = std::make_shared<PreviewMode>();
    Value setupObject;
    Value payloadObject;

private:
    CGRect savedScreen_;
};

TEST_F(WidgetHost, PlacesTheButtonOpensAndClosesTheListAndAcknowledgesOnce) {
    testing::internal::CaptureStdout();
    layout();
    std::string printed = testing::internal::GetCapturedStdout();
    auto fab = tagged(ViewTags::fabButton);
    ASSERT_TRUE(fab);
    // Placed at its style's size, then widened by its first size report.
    EXPECT_EQ(host->initialButtonPosition(), CGRect(290, 774, 100, 50));
    EXPECT_EQ(fab->frame(), CGRect(285, 774, 105, 50));
    EXPECT_NE(printed.find("Button Size : (100, 50)\n"), std::string::npos);
    EXPECT_EQ(printed.find("Button Size"), printed.rfind("Button Size"));
    EXPECT_FALSE(tagged(ViewTags::faqList));

    tapFAB();
    EXPECT_TRUE(host->isFaqShown());
    auto list = tagged(ViewTags::faqList);
    auto dim = tagged(ViewTags::dimView);
    ASSERT_TRUE(list && dim);
    EXPECT_EQ(list->frame(), ElementPositon::listFrame(host->payload()->meta, *host->launcher(), fab->frame(), {}));
    EXPECT_EQ(list->frame().size, (CGSize{312, 300}));
    EXPECT_DOUBLE_EQ(dim->alpha(), 0.5);
    EXPECT_EQ(dim->backgroundColor(), UIColor::blackColor());
    EXPECT_EQ(window->subviews().back(), fab);  // the button stays in front
    ASSERT_TRUE(waitForAcks(1));
    EXPECT_EQ(reports->acks(), std::vector<std::string>{"feed-1"});

    tapFAB();
    EXPECT_FALSE(host->isFaqShown());
    EXPECT_TRUE(list->isHidden());
    EXPECT_TRUE(dim->isHidden());

    tapFAB();
    ASSERT_TRUE(tagged(ViewTags::faqList));
    EXPECT_NE(tagged(ViewTags::faqList), list);
    EXPECT_FALSE(list->superview());
    settle();
    EXPECT_EQ(reports->acks().size(), 1u);

    // The dimming view's tap and the collapse button hide the list again.
    TouchDriver::tapAt(window, {10, 10});
    EXPECT_FALSE(host->isFaqShown());
    EXPECT_TRUE(tagged(ViewTags::faqList)->isHidden());
    tapFAB();
    tapInList("chevron.down");
    EXPECT_FALSE(host->isFaqShown());
    EXPECT_TRUE(tagged(ViewTags::faqList)->isHidden());

    testing::internal::CaptureStdout();
    host->adjustLayoutOnOrientationChange();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Optional({{285, 774}, {105, 50}})\n");
}

TEST_F(WidgetHost, EveryFeedIsAcknowledgedOnceAndAnUnreadablePayloadOpensNothing) {
    layout("feed-1");
    tapFAB();
    ASSERT_TRUE(waitForAcks(1));
    // Another campaign with the list still open: the list is hidden, and the first tap opens
    // and acknowledges the new one.
    layout("feed-2");
    EXPECT_FALSE(host->isFaqShown());
    EXPECT_TRUE(tagged(ViewTags::faqList)->isHidden());
    tapFAB();
    EXPECT_TRUE(host->isFaqShown());
    ASSERT_TRUE(waitForAcks(2));
    EXPECT_EQ(reports->acks(), (std::vector<std::string>{"feed-1", "feed-2"}));
    // Back to the first feed: already acknowledged.
    layout("feed-1");
    tapFAB();
    EXPECT_TRUE(host->isAcked());
    settle();
    EXPECT_EQ(reports->acks().size(), 2u);

    payloadObject.remove("meta");
    layout("feed-3");
    auto previous = tagged(ViewTags::faqList);
    for (int tap = 0; tap < 2; ++tap) {
        tapFAB();
        EXPECT_FALSE(host->isFaqShown());
        EXPECT_EQ(tagged(ViewTags::faqList), previous);
        EXPECT_TRUE(previous->isHidden());
    }
    settle();
    EXPECT_EQ(reports->acks().size(), 2u);
}

TEST_F(WidgetHost, AuthoringModeOpensAtOnceNeverAcknowledgesAndRemovesOnClose) {
    layout("feed-1", true);
    EXPECT_TRUE(host->authoringMode());
    ASSERT_TRUE(tagged(ViewTags::faqList));
    EXPECT_TRUE(host->isFaqShown());
    TouchDriver::tapAt(window, {10, 10});
    EXPECT_FALSE(tagged(ViewTags::faqList));
    EXPECT_FALSE(tagged(ViewTags::dimView));
    tapFAB();
    ASSERT_TRUE(tagged(ViewTags::faqList));
    settle();
    EXPECT_TRUE(reports->acks().empty());
}

TEST_F(WidgetHost, ASetupWithoutLauncherShowsNothing) {
    testing::internal::CaptureStdout();
    host->layoutUI(R"({"view":"_ALL_"})", "{}", {{"feedId", "feed-9"}}, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error while Parsing FAQ feed : setup\n");
    settle();
    EXPECT_FALSE(tagged(ViewTags::fabButton));
    EXPECT_EQ(host->feedId(), "feed-9");
    EXPECT_EQ(host->campaignId(), "");

    // A placement word that names no place puts the button at (20, 20), also after its resize.
    Value launcher = setupObject["launcher"];
    launcher.set("placement", "middle");
    setupObject.set("launcher", launcher);
    layout();
    EXPECT_EQ(host->initialButtonPosition().origin, (CGPoint{20, 20}));
    EXPECT_EQ(tagged(ViewTags::fabButton)->frame().origin, (CGPoint{20, 20}));
}

TEST_F(WidgetHost, ListButtonsRunTheirActions) {
    ClassRegistry::registerClass("ProfileViewController", "UIViewController");
    auto screen = make<UIViewController>();
    ASSERT_TRUE(screen->setRuntimeClassName("ProfileViewController"));
    tips->currentVC = screen;
    auto logs = testsupport::RecordingLoggerManager::install();
    payloadObject.set("button-list", *Value::fromJSON(R"([
        {"id":1,"text":"same screen","actions":[{"type":"on-demand","value":"g1"},{"type":"cta","value":"app://ProfileViewController"}]},
        {"id":2,"text":"other screen","actions":[{"type":"on-demand","value":"g2"},{"type":"cta","value":"https://example.com/Settings"}]},
        {"id":3,"text":"link only","actions":[{"type":"cta-link","value":"https://example.com/a"}]},
        {"id":4,"text":"guide only","actions":[{"type":"on-demand"}]},
        {"id":5,"text":"two links","actions":[{"type":"cta","value":"https://a"},{"type":"cta","value":"https://b"}]}])"));
    layout();
    auto app = UIApplication::sharedApplication();
    size_t opened = app->openedURLs().size();
    auto press = [&](const char* text) {
        tapFAB();
        tapInList(text);
        EXPECT_FALSE(tagged(ViewTags::faqList)) << text;  // a pressed button removes the list
    };

    press("same screen");
    EXPECT_EQ(tips->shownOnDemandGuides, std::vector<std::string>{"g1"});
    press("other screen");
    ASSERT_EQ(app->openedURLs().size(), opened + 1);
    EXPECT_EQ(app->openedURLs().back(), "https://example.com/Settings");
    EXPECT_EQ(tips->onDemandGuideIds, std::vector<std::string>{"g2"});
    press("link only");
    EXPECT_EQ(app->openedURLs().back(), "https://example.com/a");
    EXPECT_EQ(tips->onDemandGuideIds.size(), 1u);
    press("guide only");
    EXPECT_EQ(tips->shownOnDemandGuides, (std::vector<std::string>{"g1", ""}));
    press("two links");
    EXPECT_TRUE(logs->contains("FAQ: No OnDemand provided for button 'two links', but expecting a CTA and OnDemand "
                               "due to 2 actions received, aborting",
                               5));
    EXPECT_EQ(app->openedURLs().size(), opened + 2);

    preview->on = true;
    press("same screen");
    EXPECT_EQ(tips->shownOnDemandGuides.size(), 2u);
    EXPECT_EQ(tips->onDemandGuideIds.back(), "");
    ASSERT_EQ(preview->updates.size(), 1u);
    EXPECT_EQ(preview->updates[0].first, BLQPreviewModeNotificationState::noOnDemand);
    EXPECT_EQ(preview->updates[0].second, "OnDemand Guides not available during preview mode");
}

TEST_F(WidgetHost, DontShowAgainRemovesTheWidgetAndReportsARejection) {
    layout();
    tapFAB();
    tapInList("Don`t show me again");
    EXPECT_FALSE(tagged(ViewTags::fabButton));
    EXPECT_FALSE(tagged(ViewTags::faqList));
    EXPECT_FALSE(tagged(ViewTags::dimView));
    EXPECT_EQ(tips->deletedFAQFeeds, std::vector<std::string>{"campaign-1"});
    ASSERT_EQ(reports->results().size(), 1u);
    EXPECT_EQ(reports->results()[0].first, "feed-1");
    Value expected = *Value::fromJSON(R"({"campaignid":"campaign-1","status":"rejected","feed_delete":true,"complete":false,)"
                                      R"("reference":"Don`t show me again","actions":[{"type":"","value":""}],)"
                                      R"("launcher":"floating-action-button"})");
    EXPECT_EQ(reports->results()[0].second, expected);
    EXPECT_EQ(reports->results()[0].second.getDictionary()->keys(), expected.getDictionary()->keys());

    // Without a text there is no reference; the first action is reported.
    payloadObject.set("dismiss-forever", *Value::fromJSON(R"({"actions":[{"type":"close"},{"type":"x","value":"y"}]})"));
    layout("feed-2");
    tapFAB();
    Value result = host->feedResult();
    EXPECT_TRUE(result["reference"].isAbsent());
    EXPECT_EQ(result["actions"], *Value::fromJSON(R"([{"type":"close","value":""}])"));
}


TEST_F(WidgetHost, ListButtonsThatCannotRunLeaveEverythingAsItWas) {
    auto logs = testsupport::RecordingLoggerManager::install();
    payloadObject.set("button-list", *Value::fromJSON(R"([
        {"id":1,"text":"no actions"},
        {"id":2,"text":"unknown scheme","actions":[{"type":"cta","value":"shop://orders"}]},
        {"id":3,"text":"not a link","actions":[{"type":"cta","value":"two words"}]},
        {"id":4,"text":"no screen","actions":[{"type":"on-demand","value":"g1"},{"type":"cta","value":"https://example.com/x"}]},
        {"id":5,"text":"two guides","actions":[{"type":"on-demand","value":"g1"},{"type":"on-demand","value":"g2"}]}])"));
    layout();
    auto app = UIApplication::sharedApplication();
    const size_t opened = app->openedURLs().size();
    auto press = [&](const char* text) {
        tapFAB();
        tapInList(text);
        EXPECT_FALSE(tagged(ViewTags::faqList)) << text;
        EXPECT_FALSE(host->isFaqShown()) << text;
    };
    press("no actions");
    press("unknown scheme");
    press("not a link");
    // Two actions need the screen they are pressed on.
    press("no screen");
    EXPECT_EQ(app->openedURLs().size(), opened);
    EXPECT_TRUE(tips->shownOnDemandGuides.empty());
    EXPECT_TRUE(tips->onDemandGuideIds.empty());

    auto screen = make<UIViewController>();
    tips->currentVC = screen;
    press("two guides");
    EXPECT_TRUE(logs->contains("FAQ: No CTA provided for button 'two guides', but expecting a CTA and OnDemand due to "
                               "2 actions received, aborting",
                               5));
    EXPECT_TRUE(tips->shownOnDemandGuides.empty());
    EXPECT_EQ(app->openedURLs().size(), opened);
    // The button stays for the next time.
    EXPECT_TRUE(tagged(ViewTags::fabButton));
}

TEST_F(WidgetHost, AListWithoutDimmingAndAHostThatHasGoneShowNothingMore) {
    Value meta = payloadObject["meta"];
    Value display = meta["display-params"];
    display.remove("dim");
    meta.set("display-params", display);
    payloadObject.set("meta", meta);
    layout();
    tapFAB();
    EXPECT_TRUE(host->isFaqShown());
    EXPECT_TRUE(tagged(ViewTags::faqList));
    EXPECT_FALSE(tagged(ViewTags::dimView));
    // Only a tap recogniser's own tap closes the list.
    host->touchTapped(make<UIView>());
    EXPECT_TRUE(host->isFaqShown());
    host->touchTapped(make<UITapGestureRecognizer>());
    EXPECT_TRUE(host->isFaqShown());

    // A host let go before its queued layout runs puts nothing on the screen.
    auto other = make<QXFeedBackInterface>();
    tagged(ViewTags::fabButton)->removeFromSuperview();
    other->layoutUI(*setupObject.toJSON(), *payloadObject.toJSON(), {{"feedId", "feed-2"}}, false);
    other.reset();
    settle();
    EXPECT_FALSE(tagged(ViewTags::fabButton));
}

}  // namespace
}  // namespace brindlecue::widgets
