#include "preview/BLQPreviewModeManager.h"

#include <gtest/gtest.h>

#include "foundation/DateExtensions.h"
#include "network/BLQNetworkTestDoubles_test.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/Clock.h"
#include "platform/uikit/UIButton.h"
#include "presentation/KJCoverView.h"
#include "preview/BLQPreviewModeDataStore.h"
#include "preview/BLQPreviewModeHTTPNetworkRequester.h"
#include "preview/BLQPreviewModeUIManager.h"
#include "preview/PreviewNotification.h"
#include "preview/PreviewScene_test.h"
#include "support/RecordingLoggerManager.h"
#include "targeting/BLQIScreenShotManager.h"

namespace brindlecue {
namespace {

using namespace platform;
using namespace previewscene;
using testsupport::RecordingLoggerManager;

class CountingScreenShots final : public BLQIScreenShotManager {
public:
    void captureScreenShot() override { ++captures; }
    int captures = 0;
};

class PreviewModeManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        details->key = "key-1";
        manager->setDelegate(delegate);
        BLQFacadeLink::setPreviewModeManager(manager);
    }
    void TearDown() override { BLQFacadeLink::setPreviewModeManager(nullptr); }

    void settle() { RunLoop::main().runUntilIdle(); }
    std::shared_ptr<UIView> panel() {
        auto controller = ui->previewModeView();
        return controller ? controller->view() : nullptr;
    }
    size_t lines() { return logs->lines().size(); }
    static Date at(double offset) { return Date::fromTimeIntervalSince1970(1767225600 + offset); }

    HostApp app;
    std::shared_ptr<RecordingLoggerManager> logs = RecordingLoggerManager::install();
    std::shared_ptr<BLQPreviewModeDataStore> store = std::make_shared<BLQPreviewModeDataStore>();
    std::shared_ptr<BLQPreviewModeUIManager> ui = std::make_shared<BLQPreviewModeUIManager>();
    std::shared_ptr<CountingScreenShots> screenShots = std::make_shared<CountingScreenShots>();
    std::shared_ptr<PreviewTipManager> tips = std::make_shared<PreviewTipManager>();
    std::shared_ptr<HeldHTTPManager> http = std::make_shared<HeldHTTPManager>();
    std::shared_ptr<testing::FakeConfigManager> config = std::make_shared<testing::FakeConfigManager>();
    std::shared_ptr<testing::FakeAppDetails> details = std::make_shared<testing::FakeAppDetails>();
    std::shared_ptr<BLQPreviewModeManager> manager = std::make_shared<BLQPreviewModeManager>(
        store, ui, screenShots, tips,
        std::make_shared<BLQPreviewModeHTTPNetworkRequester>(http, config, details),
        std::make_shared<BLQPreviewModeManager::Validator>(std::make_shared<BLQPreviewModeValidator>()));
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(PreviewModeManagerTest, AServerDateSwitchesPreviewOnOnceAndShowsThePanelOnTheNextMainTurn) {
    manager->setServerTimestamp(at(60));
    EXPECT_TRUE(manager->isInPreviewMode());
    EXPECT_EQ(delegate->toggles, std::vector<bool>{true});
    EXPECT_EQ(app.facade->feeds->fetches.size(), 1u) << "the acknowledgement fetches the feed";
    EXPECT_TRUE(logs->contains("PreviewMode: Get local time: none", 2));
    EXPECT_TRUE(logs->contains("PreviewMode: Get server time: 2026-01-01T00:01:00.000Z", 2));
    EXPECT_TRUE(logs->contains("PreviewMode: Local timestamp is nil, but server is new, add widget", 2));
    EXPECT_EQ(logs->count("PreviewMode: Successfully acked"), 0u);
    EXPECT_EQ(store->getLocalTimestamp(), Date::fromTimeIntervalSince1970(Clock::now()));
    EXPECT_FALSE(manager->isPreviewModeShown()) << "not before the main queue turns";

    settle();
    EXPECT_TRUE(manager->isPreviewModeShown());
    EXPECT_EQ(panel()->superview(), app.home->view()) << "on the top-most screen";
    EXPECT_GE(app.facade->sdkChecks, 1);
    EXPECT_EQ(tips->count("removeAllOffScreenTips"), 1u);
    EXPECT_GE(tips->count("dismissAShowingTip"), 1u);

    // The same date again is no change: nothing is logged or done.
    const size_t before = lines();
    manager->setServerTimestamp(at(60));
    settle();
    EXPECT_EQ(lines(), before);

    // A later date while in preview is logged and changes nothing.
    manager->setServerTimestamp(at(3600));
    EXPECT_TRUE(logs->contains("PreviewMode: Local is older than server, add widget", 2));
    EXPECT_EQ(delegate->toggles.size(), 1u);
    EXPECT_EQ(app.facade->feeds->fetches.size(), 1u);

    // A server date equal to the local one does nothing.
    manager->setServerTimestamp(store->getLocalTimestamp());
    EXPECT_TRUE(logs->contains("PreviewMode: Local is newer than server, do nothing", 2));

    // Already in place: a screen's check only dismisses a showing tip and checks the SDK.
    tips->calls.clear();
    const int checks = app.facade->sdkChecks;
    manager->checkIfPreviewModeIsRequiredOrNot(app.home);
    settle();
    EXPECT_EQ(tips->calls, std::vector<std::string>{"dismissAShowingTip"});
    EXPECT_EQ(app.facade->sdkChecks, checks + 1);
    EXPECT_EQ(panel()->superview(), app.home->view());
}

TEST_F(PreviewModeManagerTest, NoServerDateSwitchesPreviewOffAndHidesThePanel) {
    auto click = campaign("click", 1);
    click->triggerType = 2;
    tips->cached = {campaign("open", 1), click};
    manager->setServerTimestamp(at(60));
    settle();
    ASSERT_TRUE(manager->isPreviewModeShown());

    manager->setServerTimestamp(std::nullopt);
    EXPECT_FALSE(manager->isInPreviewMode());
    EXPECT_EQ(delegate->toggles, (std::vector<bool>{true, false}));
    EXPECT_FALSE(store->getLocalTimestamp());
    EXPECT_TRUE(logs->contains("PreviewMode: Local timestamp, but server is nil, remove widget", 2));
    settle();
    EXPECT_FALSE(manager->isPreviewModeShown());
    EXPECT_TRUE(logs->contains("PreviewMode: Hiding Preview Mode view", 2));
    EXPECT_EQ(tips->count("sendTipUpdatedNotification"), 1u);
    EXPECT_EQ(tips->unhooked, std::vector<std::shared_ptr<KJTipSeriesElement>>{click});

    // Now any server date switches it on again.
    manager->setServerTimestamp(at(30));
    EXPECT_TRUE(manager->isInPreviewMode());
}

TEST_F(PreviewModeManagerTest, ExitClearsWhatPreviewAddedAndKeepsBothTimestamps) {
    manager->setServerTimestamp(at(60));
    settle();
    auto click = campaign("click", 1);
    click->triggerType = 3;
    tips->cached = {campaign("open", 1), click};
    tips->setCustomerCurrentVC(app.home);
    auto cover = make<KJCoverView>(app.window->bounds());
    app.window->addSubview(cover);
    auto launcher = UIButton::buttonWithType(UIButtonType::Custom);
    launcher->setTag(888900);
    app.window->addSubview(launcher);
    const auto local = store->getLocalTimestamp();

    manager->exitPreviewMode();
    tips->cached.clear();  // the engine's removePreviewTips empties the cache before the clean-up runs
    EXPECT_FALSE(manager->isInPreviewMode());
    EXPECT_EQ(delegate->toggles, (std::vector<bool>{true, false}));
    EXPECT_EQ(app.facade->tags->deleted, std::vector<std::string>{"kj_preview_mode"});
    EXPECT_TRUE(logs->contains("PreviewMode: Successfully exited Preview Mode", 2));
    EXPECT_EQ(tips->count("removePreviewTips"), 1u);
    EXPECT_EQ(tips->count("removeAllOffScreenTips"), 2u);
    EXPECT_FALSE(manager->isPreviewModeShown());
    EXPECT_EQ(store->getLocalTimestamp(), local);
    EXPECT_EQ(store->getServerTimestamp(), at(60));
    settle();
    EXPECT_EQ(cover->superview(), nullptr);
    EXPECT_EQ(launcher->superview(), nullptr);
    EXPECT_EQ(tips->unhooked, std::vector<std::shared_ptr<KJTipSeriesElement>>{click})
        << "the campaigns cached when the author left";

    manager->setServerTimestamp(at(60));
    EXPECT_FALSE(manager->isInPreviewMode()) << "the unchanged date does not bring preview back";
    manager->setServerTimestamp(at(-10));
    EXPECT_FALSE(manager->isInPreviewMode()) << "nor does a date before the last entry";
    manager->setServerTimestamp(local->addingTimeInterval(5));
    EXPECT_TRUE(manager->isInPreviewMode());
}

TEST_F(PreviewModeManagerTest, ThePanelFollowsTheTopScreenAndStaysAboveACarouselCover) {
    manager->setServerTimestamp(at(60));
    settle();
    app.facade->top = app.cart;
    manager->checkIfPreviewModeIsRequiredOrNot(app.cart);
    settle();
    EXPECT_EQ(panel()->superview(), app.cart->view());
    EXPECT_EQ(app.cart->view()->subviews().back(), panel());

    tips->tipType = 6;
    tips->cover = make<KJCoverView>(app.window->bounds());
    app.window->addSubview(tips->cover);
    app.window->addSubview(make<UIView>());
    app.facade->top = app.home;
    manager->checkIfPreviewModeIsRequiredOrNot(app.home);
    settle();
    auto subviews = app.window->subviews();
    auto coverAt = std::find(subviews.begin(), subviews.end(), tips->cover);
    ASSERT_NE(coverAt, subviews.end());
    ASSERT_NE(coverAt + 1, subviews.end());
    EXPECT_EQ(*(coverAt + 1), panel()) << "just above the carousel's cover in the key window";

    // A cover that is gone, or elsewhere, is left alone.
    tips->cover = make<KJCoverView>();
    app.facade->top = app.cart;
    manager->checkIfPreviewModeIsRequiredOrNot(app.cart);
    settle();
    EXPECT_EQ(panel()->superview(), app.cart->view());
    tips->cover.reset();
    app.facade->top = app.home;
    manager->checkIfPreviewModeIsRequiredOrNot(app.home);
    settle();
    EXPECT_EQ(panel()->superview(), app.home->view());

    // Without a top screen and out of every hierarchy, nothing is attached.
    panel()->removeFromSuperview();
    app.facade->top.reset();
    manager->checkIfPreviewModeIsRequiredOrNot(nullptr);
    settle();
    EXPECT_TRUE(logs->contains("PreviewMode: Unable to get top most ViewController", 5));
    EXPECT_EQ(panel()->superview(), nullptr);
}

// The panel goes onto the screen the app presents over its root, back onto the root when nothing
// is presented, and nowhere when the app shows no screen at all.
TEST_F(PreviewModeManagerTest, ThePanelMovesOntoAPresentedScreenFallsBackToTheRootAndGivesUpWithoutOne) {
    manager->setServerTimestamp(at(60));
    settle();
    ASSERT_EQ(panel()->superview(), app.home->view());

    auto sheet = make<Screen>("SheetViewController");
    app.home->presentViewController(sheet, false);
    settle();
    ASSERT_EQ(app.home->presentedViewController(), sheet);
    app.facade->top = sheet;
    manager->checkIfPreviewModeIsRequiredOrNot(sheet);
    settle();
    ASSERT_EQ(panel()->superview(), sheet->view());
    EXPECT_EQ(sheet->view()->subviews().back(), panel());

    // The sheet goes and the facade finds no top screen: the root takes the panel.
    app.home->dismissViewControllerAnimated(false);
    Clock::advance(1);
    settle();
    app.facade->top.reset();
    manager->checkIfPreviewModeIsRequiredOrNot(nullptr);
    settle();
    EXPECT_TRUE(logs->contains("PreviewMode: Attaching to Root View Controller", 2));
    ASSERT_EQ(panel()->superview(), app.home->view());
    EXPECT_EQ(app.home->view()->subviews().back(), panel());

    // Without a screen of any kind the attach ends before it does anything.
    tips->calls.clear();
    const int checks = app.facade->sdkChecks;
    app.window->setRootViewController(nullptr);
    manager->checkIfPreviewModeIsRequiredOrNot(nullptr);
    settle();
    EXPECT_TRUE(logs->contains("PreviewMode: Customer View Controller is also nil, so getting root window View Controller", 2));
    EXPECT_TRUE(logs->contains("PreviewMode: Root window View Controller not retrievable, aborting Preview Mode", 5));
    EXPECT_TRUE(tips->calls.empty());
    EXPECT_EQ(app.facade->sdkChecks, checks);
    EXPECT_TRUE(manager->isInPreviewMode());
}

// A requester whose acknowledgement and exit fail, or succeed, as told.
class AnsweringRequester final : public BLQIPreviewModeNetworkRequester {
public:
    void fetchPreviewModeStatus(BLQRequestSuccessBlock, BLQRequestFailureBlock failure) override {
        failure(Error::withDescription("Test", 1, "no status"));
    }
    void ackPreviewModeConnection(const std::string& timestamp, AckSuccessBlock success,
                                  BLQRequestFailureBlock failure) override {
        acked.push_back(timestamp);
        if (fails) failure(Error::withDescription("Test", 2, "the acknowledgement failed"));
        else success();
    }
    void exitPreviewMode(AckSuccessBlock success, BLQRequestFailureBlock failure) override {
        ++exits;
        if (fails) failure(Error::withDescription("Test", 3, "the exit failed"));
        else success();
    }
    bool fails = true;
    std::vector<std::string> acked;
    int exits = 0;
};

TEST_F(PreviewModeManagerTest, TheAcknowledgementsAndTheExitsOutcomesReachTheirHandlers) {
    auto requester = std::make_shared<AnsweringRequester>();
    auto answering = std::make_shared<BLQPreviewModeManager>(
        store, ui, screenShots, tips, requester,
        std::make_shared<BLQPreviewModeManager::Validator>(std::make_shared<BLQPreviewModeValidator>()));
    answering->setDelegate(delegate);

    answering->setServerTimestamp(at(60));
    ASSERT_EQ(requester->acked.size(), 1u);
    EXPECT_EQ(requester->acked[0], toISO8601String(*store->getLocalTimestamp()));
    EXPECT_TRUE(logs->contains("PreviewMode: Failed to ack Preview Mode - error: the acknowledgement failed", 2));
    EXPECT_TRUE(answering->isInPreviewMode()) << "a failed acknowledgement undoes nothing";
    settle();

    answering->exitPreviewMode();
    EXPECT_EQ(requester->exits, 1);
    const auto failed = logs->linesStartingWith("PreviewMode: Failed to exit Preview Mode - error: ");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_NE(failed[0].message.find("the exit failed"), std::string::npos);
    EXPECT_EQ(failed[0].level, 2);
    EXPECT_FALSE(answering->isInPreviewMode()) << "a failed exit still leaves preview mode";
    EXPECT_EQ(tips->count("removePreviewTips"), 1u);
    EXPECT_FALSE(answering->isPreviewModeShown());
    EXPECT_EQ(logs->count("PreviewMode: Successfully"), 0u);

    requester->fails = false;
    answering->setServerTimestamp(at(7200));
    answering->exitPreviewMode();
    EXPECT_TRUE(logs->contains("PreviewMode: Successfully acked Preview Mode", 2));
    EXPECT_TRUE(logs->contains("PreviewMode: Successfully exited Preview Mode", 2));
    EXPECT_EQ(logs->count("PreviewMode: Failed"), 2u);
    EXPECT_EQ(delegate->toggles, (std::vector<bool>{true, false, true, false}));
}

class RCTRootView final : public UIView {
public:
    std::string className() const override { return "RCTRootView"; }
};

TEST_F(PreviewModeManagerTest, AReactNativeRootHearsOfThePanelWithTheScreenWhenThereIsOne) {
    app.home->setView(make<RCTRootView>());
    std::vector<bool> withScreen;
    auto observer = NotificationCenter::defaultCenter().addObserver(
        "BLQ_BrindlecueBridge_SuperTag_Notification", nullptr, nullptr,
        [&](const Notification& n) { withScreen.push_back(n.objects().count("vc") == 1); });
    manager->setServerTimestamp(at(60));
    settle();
    tips->setCustomerCurrentVC(app.cart);
    manager->hidePreviewMode();
    manager->checkIfPreviewModeIsRequiredOrNot(app.cart);
    settle();
    NotificationCenter::defaultCenter().removeObserver(observer);
    EXPECT_EQ(withScreen, (std::vector<bool>{false, true}));
}

TEST_F(PreviewModeManagerTest, AStatusCheckFollowsTheDocumentAndTellsTheDelegate) {
    // Neither time known: the check decides nothing.
    manager->fetchPreviewModeStatus("https://base.example.test");
    http->answer(0, 200, R"({"app_status":{}})");
    EXPECT_TRUE(logs->contains("PreviewMode: Do nothing, both local and server time are nil", 2));
    EXPECT_FALSE(manager->isInPreviewMode());
    http->held.clear();
    delegate->responses.clear();

    manager->fetchPreviewModeStatus("https://base.example.test");
    EXPECT_EQ(manager->baseUrl(), "https://base.example.test");
    ASSERT_EQ(http->held.size(), 1u);
    http->answer(0, 200, R"({"app_status":{"preview_mode":"2026-01-01T00:05:00.000Z"}})");
    EXPECT_TRUE(manager->isInPreviewMode());
    EXPECT_EQ(store->getServerTimestamp(), at(300));
    ASSERT_EQ(delegate->responses.size(), 1u);
    EXPECT_EQ(delegate->responses[0]["app_status"]["preview_mode"], Value("2026-01-01T00:05:00.000Z"));

    // An unreadable date keeps the stored one; a status without one clears it and leaves preview.
    manager->fetchPreviewModeStatus("https://base.example.test");
    http->answer(1, 200, R"({"app_status":{"preview_mode":"someday"}})");
    EXPECT_EQ(store->getServerTimestamp(), at(300));
    EXPECT_TRUE(manager->isInPreviewMode());
    manager->fetchPreviewModeStatus("https://base.example.test");
    http->answer(2, 200, R"({"app_status":{}})");
    EXPECT_FALSE(store->getServerTimestamp());
    EXPECT_FALSE(manager->isInPreviewMode());

    manager->fetchPreviewModeStatus("https://base.example.test");
    http->answer(3, 500, "");
    EXPECT_EQ(delegate->failures.size(), 1u);
    EXPECT_EQ(logs->count("PreviewMode: Failed to check for Preview Mode - error: "), 1u);
    EXPECT_EQ(delegate->responses.size(), 3u);
}

TEST_F(PreviewModeManagerTest, TheMenuCommandsAndStatusesReachTheirParts) {
    manager->captureScreenShot();
    EXPECT_EQ(screenShots->captures, 1);
    manager->replayGuide();
    EXPECT_EQ(tips->count("replyCachedPreviewTips"), 1u);
    manager->showPreviewMode();
    EXPECT_TRUE(manager->isPreviewModeShown());
    manager->togglePreviewModeView(true);
    EXPECT_FALSE(manager->isPreviewModeShown());
    manager->receiveUpdated(BLQPreviewModeNotificationState::nothingtodisplay, "");
    settle();
    EXPECT_EQ(ui->previewMode()->state.get(), BLQPreviewModeNotificationState::nothingtodisplay);
    manager->resetOfDefaultMode();
    EXPECT_EQ(ui->previewMode()->state.get(), BLQPreviewModeNotificationState::idle);
}

}  // namespace
}  // namespace brindlecue
