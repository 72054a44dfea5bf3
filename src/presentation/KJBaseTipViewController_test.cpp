#include "presentation/KJBaseTipViewController.h"

#include <gtest/gtest.h>

#include "feed/KJTipCarouselElement.h"
#include "feed/KJTipCarouselItem.h"
#include "foundation/KJLog.h"
#include "platform/NotificationCenter.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIViewAnimationRecorder.h"
#include "presentation/TipPresentationScene_test.h"

namespace brindlecue::tipscreen {
namespace {

class TipControllerTest : public TipScreenTest {
protected:
    // The handler calls as text: "next 11" is the next handler with both flags set.
    void recordHandlers(const std::shared_ptr<KJBaseTipViewController>& c) {
        auto f = [](bool b) { return b ? "1" : "0"; };
        c->setClickCloseButtonHandler([=, this](bool r) { calls.push_back(std::string("close ") + f(r)); });
        c->setClickButton1Handler(
            [=, this](bool r, bool a) { calls.push_back(std::string("previous ") + f(r) + f(a)); });
        c->setClickButton2Handler(
            [=, this](bool r, bool a) { calls.push_back(std::string("next ") + f(r) + f(a)); });
        c->setClickOutsideHandler([=, this](bool r) { calls.push_back(std::string("outside ") + f(r)); });
    }
    size_t logged(const std::string& line) const { return std::count(lines.begin(), lines.end(), line); }
    void SetUp() override {
        TipScreenTest::SetUp();
        KJLogSetObserver([this](int, const std::string& line) { lines.push_back(line); });
    }

    std::vector<std::string> calls, lines;
};

TEST_F(TipControllerTest, PresentsOnACoverBelowTheStatusBarWithTheHoleAroundTheTarget) {
    auto stale = make<KJCoverView>(CGRect(0, 0, 10, 10));
    window->addSubview(stale);
    auto step = modalStep();
    step->targetControl = screen->target;
    auto c = controllerFor(step);
    present(c);

    EXPECT_FALSE(stale->superview()) << "the cover of an earlier tip goes first";
    EXPECT_EQ(shown, std::vector<std::shared_ptr<KJTipElement>>{step});
    EXPECT_TRUE(failed.empty());
    auto cover = this->cover();
    ASSERT_TRUE(cover);
    EXPECT_EQ(c->coverView(), cover);
    EXPECT_EQ(cover->frame(), CGRect(0, 44, 375, 812 - 44));
    EXPECT_EQ(c->view()->superview(), cover);
    EXPECT_DOUBLE_EQ(c->view()->frame().minX(), (375 - 300) / 2.0);

    // Padding 10 around the 100 by 40 target gives 120 by 60, the border 2 more on every side; the
    // hole is in the cover's coordinates, and half the padded height caps its radius.
    EXPECT_EQ(cover->highlightFrame(), CGRect(40 - 12, 300 - 44 - 12, 124, 64));
    EXPECT_DOUBLE_EQ(cover->cornerRadius(), 30);
    ASSERT_TRUE(cover->borderLayer());
    EXPECT_DOUBLE_EQ(cover->borderLayer()->lineWidth, 2);
    auto overlay = window->viewWithTag(KJBaseTipViewController::kTargetOverlayTag);
    ASSERT_TRUE(overlay);
    EXPECT_EQ(overlay->frame(), CGRect(40, 300, 120, 60)) << "at the target's origin, with the padded size";
    TouchDriver::tapAt(window, {60, 310});
    EXPECT_EQ(engine->coachmarkClicks, 1);
    // A rotation puts the cover below the status bar as it is then.
    UIApplication::sharedApplication()->setStatusBarHeight(20);
    UIDevice::currentDevice()->setOrientation(UIDeviceOrientation::LandscapeLeft);
    EXPECT_EQ(cover->frame(), CGRect(0, 20, 375, 812 - 20));
    UIApplication::sharedApplication()->setStatusBarHeight(44);
    UIDevice::currentDevice()->setOrientation(UIDeviceOrientation::Portrait);

    // A reused cover is emptied and is not made the engine's; another overlay type cuts no hole.
    auto reused = make<KJCoverView>(UIScreen::mainScreen()->bounds());
    reused->setAutoresizingMask(UIViewAutoresizingFlexibleHeight);
    reused->addSubview(make<UIView>());
    step->overlay->type = "overlay";
    present(controllerFor(step), true, reused);
    EXPECT_EQ(reused->subviews(), std::vector<std::shared_ptr<UIView>>{controller->view()});
    EXPECT_EQ(reused->autoresizingMask(), UIViewAutoresizingFlexibleHeight);
    EXPECT_EQ(engine->cover, cover);
    EXPECT_TRUE(reused->highlightFrame().isEmpty());
    EXPECT_DOUBLE_EQ(reused->hightlightBorderWidth(), 2);
    reused->removeFromSuperview();
}

TEST_F(TipControllerTest, AStepThatCannotBeShownTakesTheFailurePathAndIsNeverReportedShown) {
    // The base controller lays nothing out.
    auto base = make<KJBaseTipViewController>();
    base->setTipManager(engine);
    base->setTip(modalStep());
    base->setDismissHandler([this] { ++dismissHandlerRuns; });
    present(base);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(failed.size(), 1u);
    EXPECT_EQ(dismissHandlerRuns, 1);
    EXPECT_FALSE(engine->cover);

    // A carousel without the host's carousel component; without a failure block the step goes
    // off screen.
    auto step = modalStep();
    step->carousel = std::make_shared<KJTipCarouselElement>();
    step->carousel->items.emplace(1, std::make_shared<KJTipCarouselItem>());
    present(controllerFor(step), /*withBlocks=*/false);
    EXPECT_EQ(engine->offScreen, 1);
    EXPECT_EQ(engine->repeatUpdates, 0);
    EXPECT_TRUE(facade->acksSoFar().empty());
    EXPECT_FALSE(controller->coverView()->superview());
    EXPECT_EQ(logged("Customer  app-key try to display carousel without integrating PaperOnboarding"), 1u);
    engine->carouselIntegrated = true;
    present(controllerFor(step));
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(TipControllerTest, TheTopScreenCheckFailsThePresentationWhenAnotherScreenIsOnTop) {
    // The root presents a container whose first child is another screen.
    auto container = make<UIViewController>();
    auto other = make<UIViewController>();
    container->addChildViewController(other);
    screen->presentViewController(container, false);
    facade->top = other;
    present(controllerFor(modalStep()));
    EXPECT_EQ(failed.size(), 1u);
    EXPECT_FALSE(controller->coverView()->superview());
    EXPECT_EQ(logged("Not able to match the top Controller " + other->description()), 1u);

    // The step's screen on top, or preview mode: shown.
    facade->top = make<HostScreen>();
    present(controllerFor(modalStep()));
    facade->top = nullptr;
    BLQFacadeLink::setPreviewModeCheck([] { return true; });
    present(controllerFor(modalStep()));
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(failed.size(), 1u);
    container->dismissViewControllerAnimated(false);
}

TEST_F(TipControllerTest, APresentationWithoutBlocksReportsTheStepOnceAndARedrawReportsNothingNew) {
    auto c = controllerFor(modalStep());
    present(c, /*withBlocks=*/false);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !facade->acksSoFar().empty(); }));
    EXPECT_EQ(engine->displayedFeedId, "feed-1");
    EXPECT_EQ(engine->repeatUpdates, 1);

    // The engine's redraw after a rotation.
    c->dismissOnTopWithRemoveCover(true);
    EXPECT_EQ(engine->displayedFeedId, "");
    EXPECT_FALSE(engine->cover);
    present(c, /*withBlocks=*/false);
    EXPECT_EQ(c->view()->superview(), cover()) << "the released view is made anew";
    EXPECT_EQ(engine->displayedFeedId, "feed-1");
    EXPECT_EQ(engine->repeatUpdates, 1);
    EXPECT_EQ(facade->acksSoFar(), std::vector<std::string>{"feed-1"});
}

TEST_F(TipControllerTest, InAnimationsStartWhereTheStepSaysAndEndWhereTheTipBelongs) {
    // A slide from the right starts at the screen width plus the tip's width.
    auto step = modalStep();
    step->animation = animation(2, 3, 0, 0);
    auto c = controllerFor(step);
    c->presentTipWithCoverView(nullptr, nullptr, screen, nullptr, nullptr);
    RunLoop::main().runOnce();
    EXPECT_DOUBLE_EQ(c->view()->frame().minX(), 375 + 300);
    EXPECT_DOUBLE_EQ(c->view()->alpha(), 0);
    EXPECT_FALSE(c->hasAppeared) << "the platform says so on the next turn";
    Clock::advance(0);
    EXPECT_DOUBLE_EQ(c->view()->frame().minX(), 37.5);
    EXPECT_DOUBLE_EQ(c->view()->alpha(), 1);
    EXPECT_DOUBLE_EQ(UIViewAnimationRecorder::records().back().duration, 0.4);
    EXPECT_TRUE(c->hasAppeared);
}

TEST_F(TipControllerTest, EachUserActionCallsItsHandlerWithItsFlags) {
    auto step = modalStep();
    step->dismissWhenTouchOutside = true;
    step->dismiss = KJTipDismissElement::createFromFeed(Value::dictionary({{"file-name", "close"}}));
    auto c = controllerFor(step);
    recordHandlers(c);
    c->outsideTipClicked();
    EXPECT_TRUE(calls.empty()) << "no tap outside counts before the view appeared";
    present(c);

    TouchDriver::tap(c->buttonClose);
    c->button1Clicked();
    TouchDriver::tap(c->button2);
    TouchDriver::tapAt(window, {10, 700});  // on the cover, outside the tip
    c->insideTipClicked();
    BLQFacadeLink::setPreviewModeCheck([] { return true; });
    c->outsideTipClicked();
    c->tapGestureHandler();  // not a touch-inside step
    EXPECT_EQ(calls, (std::vector<std::string>{"close 1", "previous 11", "next 11", "outside 1", "next 11",
                                               "outside 0"}));

    // Carousel page buttons: the last one moves on without the next button's own action.
    calls.clear();
    step->carousel = std::make_shared<KJTipCarouselElement>();
    step->carousel->items.emplace(3, std::make_shared<KJTipCarouselItem>());
    std::vector<std::string> pages;
    auto observer = NotificationCenter::defaultCenter().addObserver(
        KJBaseTipViewController::kCarouselNextNotification, nullptr, nullptr,
        [&](const Notification& n) { pages.push_back(*n.userInfo()["stepId"].getString()); });
    auto page = make<UIButton>();
    c->dismissCarousel(page);
    page->setTag(2);
    c->dismissCarousel(page);
    NotificationCenter::defaultCenter().removeObserver(observer);
    EXPECT_EQ(pages, std::vector<std::string>{"1"});
    EXPECT_EQ(calls, std::vector<std::string>{"next 10"});
}

TEST_F(TipControllerTest, ASwipeDismissesWithTheOutAnimationAndReportsNothing) {
    auto step = modalStep();
    step->targetControl = screen->target;
    step->viewController = screen;
    step->animation = animation(0, 0, 2, 4, 0.3);
    auto c = controllerFor(step);
    recordHandlers(c);
    present(c);
    ASSERT_TRUE(window->viewWithTag(KJBaseTipViewController::kHighlightClipViewTag));
    ASSERT_TRUE(engine->concurrentTipsSemaphore()->wait(0)) << "the engine's semaphore starts at one";
    engine->currentSeries = std::make_shared<KJTipSeriesElement>();

    auto pan = std::dynamic_pointer_cast<UIPanGestureRecognizer>(c->view()->gestureRecognizers().front());
    pan->setWindowVelocity({20, 400});
    pan->transitionTo(UIGestureRecognizerState::Began);
    EXPECT_EQ(KJBaseTipViewController::panDirection(), 2u);
    pan->transitionTo(UIGestureRecognizerState::Changed);
    EXPECT_EQ(KJBaseTipViewController::panDirection(), 0u);
    EXPECT_EQ(c->animationDirection, 2u);
    EXPECT_EQ(dismissHandlerRuns, 1) << "before the animation";
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(window->viewWithTag(KJBaseTipViewController::kTargetOverlayTag));
    EXPECT_FALSE(window->viewWithTag(KJBaseTipViewController::kHighlightClipViewTag));
    EXPECT_FALSE(engine->concurrentTipsSemaphore()->wait(0)) << "the campaign goes on";
    // A tip on its way out takes no more actions.
    TouchDriver::tap(c->buttonClose);
    c->button1Clicked();
    c->button2Clicked();
    EXPECT_TRUE(calls.empty());

    auto tipView = c->viewIfLoaded();
    EXPECT_DOUBLE_EQ(tipView->frame().minY(), 812) << "sliding out to the screen's height";
    EXPECT_TRUE(cover()->superview());
    Clock::advance(0.3);
    EXPECT_FALSE(cover());
    EXPECT_FALSE(tipView->superview());
    EXPECT_EQ(engine->displayedFeedId, "");

    // Presented again, it takes them again.
    present(c);
    c->button2Clicked();
    EXPECT_EQ(calls, std::vector<std::string>{"next 11"});
}

TEST_F(TipControllerTest, ALateDismissalOfAnEarlierTipLeavesTheNextTipAlone) {
    auto first = controllerFor(modalStep());
    present(first);
    auto second = modalStep();
    second->feed_id = "feed-2";
    second->targetControl = screen->target;
    auto next = controllerFor(second);
    present(next, /*withBlocks=*/false);
    auto nextCover = cover();
    ASSERT_TRUE(engine->concurrentTipsSemaphore()->wait(0)) << "the engine's semaphore starts at one";

    first->dismissTipWithRemoveCoverView(true, true, nullptr);
    EXPECT_TRUE(engine->concurrentTipsSemaphore()->wait(0)) << "no campaign is current";
    EXPECT_EQ(engine->cover, nextCover);
    EXPECT_EQ(nextCover->superview(), window);
    EXPECT_EQ(nextCover->contentVC(), next);
    EXPECT_EQ(engine->displayedFeedId, "feed-2");
    EXPECT_TRUE(window->viewWithTag(KJBaseTipViewController::kTargetOverlayTag));
}

}  // namespace
}  // namespace brindlecue::tipscreen
