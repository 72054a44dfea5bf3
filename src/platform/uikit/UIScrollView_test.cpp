#include "platform/uikit/UIScrollView.h"

#include <gtest/gtest.h>

#include "platform/NotificationCenter.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {
namespace {

struct ScrollLog : UIScrollViewDelegate {
    std::vector<std::string> calls;
    void scrollViewDidScroll(UIScrollView&) override { calls.push_back("scroll"); }
    void scrollViewWillBeginDragging(UIScrollView&) override { calls.push_back("beginDrag"); }
    void scrollViewDidEndDragging(UIScrollView&, bool decelerate) override {
        calls.push_back(decelerate ? "endDrag:decelerate" : "endDrag");
    }
    void scrollViewWillBeginDecelerating(UIScrollView&) override { calls.push_back("beginDecel"); }
    void scrollViewDidEndDecelerating(UIScrollView&) override { calls.push_back("endDecel"); }
    void scrollViewDidEndScrollingAnimation(UIScrollView&) override { calls.push_back("endAnimation"); }
};

class Scrolling : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        window = make<UIWindow>(CGRect(0, 0, 320, 480));
        window->makeKeyAndVisible();
        scroll = make<UIScrollView>(CGRect(0, 0, 320, 400));
        scroll->setContentSize({320, 1000});
        log = std::make_shared<ScrollLog>();
        scroll->setDelegate(log);
        window->addSubview(scroll);
    }
    void TearDown() override { window->setHidden(true); }
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIScrollView> scroll;
    std::shared_ptr<ScrollLog> log;
};

TEST_F(Scrolling, DragThroughThePanRecognizerDeceleratesOnTheClock) {
    EXPECT_EQ(TouchDriver::pan(scroll, {0, -120}, {0, -500}, 2), scroll->panGestureRecognizer());
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 120}));
    EXPECT_EQ(log->calls, (std::vector<std::string>{"beginDrag", "scroll", "scroll", "endDrag:decelerate",
                                                    "beginDecel"}));
    EXPECT_TRUE(scroll->isDecelerating());
    RunLoop::main().runUntilIdle();
    Clock::advance(UIScrollView::kScrollAnimationDuration);
    EXPECT_EQ(log->calls.back(), "endDecel");
    EXPECT_FALSE(scroll->isDecelerating());
}

TEST_F(Scrolling, AnimatedOffsetEndsLaterAndClampingKeepsWithinContent) {
    scroll->setContentOffset({0, 50}, true);
    EXPECT_EQ(log->calls, (std::vector<std::string>{"scroll"}));
    RunLoop::main().runUntilIdle();
    Clock::advance(UIScrollView::kScrollAnimationDuration);
    EXPECT_EQ(log->calls.back(), "endAnimation");
    EXPECT_EQ(scroll->clampedOffset({0, 5000}), (CGPoint{0, 600}));
    EXPECT_EQ(scroll->clampedOffset({-10, -10}), (CGPoint{0, 0}));
    scroll->scrollRectToVisible(CGRect(0, 900, 10, 50), false);
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 550}));
    log->calls.clear();
    scroll->setContentOffset({0, 550});  // no move, no call
    EXPECT_TRUE(log->calls.empty());
}

TEST_F(Scrolling, DisabledScrollingNoBounceInsetsAndRectanglesOnEverySide) {
    // Scrolling turned off: neither a pan nor a drag moves the content.
    scroll->setScrollEnabled(false);
    TouchDriver::pan(scroll, {0, -120}, {0, 0}, 2);
    scroll->drag({0, -50});
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 0}));
    EXPECT_TRUE(log->calls.empty());
    scroll->setScrollEnabled(true);

    // Without bouncing a drag past the end stops there; a release without speed does not decelerate.
    scroll->setBounces(false);
    scroll->drag({0, 200});
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 0}));
    EXPECT_EQ(log->calls.back(), "endDrag");
    EXPECT_FALSE(scroll->isDecelerating());
    TouchDriver::pan(scroll, {0, 150}, {0, 0}, 2);
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 0}));
    scroll->setBounces(true);
    scroll->drag({0, 30});
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, -30}));  // a bounce shows past the edge

    // Insets widen what the content may be scrolled to.
    scroll->setContentInset({20, 10, 40, 0});
    EXPECT_EQ(scroll->clampedOffset({-100, -100}), (CGPoint{-10, -20}));
    EXPECT_EQ(scroll->clampedOffset({100, 5000}), (CGPoint{0, 640}));

    // A wide content: rectangles to the right, left, above and below.
    scroll->setContentInset({});
    scroll->setContentSize({1000, 1000});
    scroll->setContentOffset({0, 0});
    scroll->scrollRectToVisible(CGRect(900, 10, 50, 10), false);
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{630, 0}));
    scroll->scrollRectToVisible(CGRect(100, 10, 50, 10), false);
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{100, 0}));
    scroll->scrollRectToVisible(CGRect(120, 500, 10, 10), false);
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{100, 110}));
    scroll->scrollRectToVisible(CGRect(120, 50, 10, 10), false);
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{100, 50}));
    scroll->scrollRectToVisible(CGRect(120, 60, 10, 10), false);  // already in view
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{100, 50}));

    // A scroll view released before its animation ends tells nobody.
    auto brief = make<UIScrollView>(CGRect(0, 0, 100, 100));
    brief->setContentSize({100, 1000});
    auto briefLog = std::make_shared<ScrollLog>();
    brief->setDelegate(briefLog);
    brief->setContentOffset({0, 100}, true);
    brief.reset();
    RunLoop::main().runUntilIdle();
    Clock::advance(UIScrollView::kScrollAnimationDuration);
    EXPECT_EQ(briefLog->calls, (std::vector<std::string>{"scroll"}));
}

TEST_F(Scrolling, SafeAreaInsetsWhereTheWindowsInsetsOverlapTheView) {
    window->setSafeAreaInsets({44, 0, 34, 0});
    auto top = make<UIView>(CGRect(0, 20, 320, 100));
    auto middle = make<UIView>(CGRect(0, 200, 320, 50));
    window->addSubview(top);
    window->addSubview(middle);
    EXPECT_EQ(top->safeAreaInsets(), (UIEdgeInsets{24, 0, 0, 0}));
    EXPECT_EQ(middle->safeAreaInsets(), (UIEdgeInsets{}));
    EXPECT_EQ(make<UIView>()->safeAreaInsets(), (UIEdgeInsets{}));
}

TEST_F(Scrolling, ContentOffsetObserversHearEachMovementUntilRemoved) {
    struct Observer : NSObject {
        void observeValueForKeyPath(const std::string& keyPath,
                                    const std::shared_ptr<NSObject>& object) override {
            heard.emplace_back(keyPath, object);
        }
        std::vector<std::pair<std::string, std::shared_ptr<NSObject>>> heard;
    };
    auto observer = make<Observer>();
    EXPECT_FALSE(scroll->hasObservers());
    scroll->addObserver(observer, "contentOffset");
    EXPECT_TRUE(scroll->hasObservers());
    scroll->setContentOffset({0, 50});
    scroll->setContentOffset({0, 50});
    scroll->setFrame(CGRect(0, 0, 320, 300));
    ASSERT_EQ(observer->heard.size(), 1u);
    EXPECT_EQ(observer->heard[0].first, "contentOffset");
    EXPECT_EQ(observer->heard[0].second, scroll);

    EXPECT_FALSE(scroll->removeObserver(observer.get(), "bounds"));
    EXPECT_TRUE(scroll->removeObserver(observer.get(), "contentOffset"));
    EXPECT_FALSE(scroll->removeObserver(observer.get(), "contentOffset"));
    EXPECT_FALSE(scroll->hasObservers());
    scroll->setContentOffset({0, 0});
    EXPECT_EQ(observer->heard.size(), 1u);
}

TEST(UIDevice, OrientationChangesAreNotified) {
    auto device = UIDevice::currentDevice();
    const UIDeviceOrientation before = device->orientation();
    int posts = 0;
    auto observer = NotificationCenter::defaultCenter().addObserver(
        UIDevice::UIDeviceOrientationDidChangeNotification, device, nullptr,
        [&](const Notification&) { ++posts; });
    device->setOrientation(UIDeviceOrientation::FaceUp);
    device->setOrientation(UIDeviceOrientation::FaceUp);
    EXPECT_EQ(posts, 1);
    device->beginGeneratingDeviceOrientationNotifications();
    EXPECT_TRUE(device->isGeneratingDeviceOrientationNotifications());
    device->endGeneratingDeviceOrientationNotifications();
    device->endGeneratingDeviceOrientationNotifications();
    EXPECT_FALSE(device->isGeneratingDeviceOrientationNotifications());
    NotificationCenter::defaultCenter().removeObserver(observer);
    device->setOrientation(before);
}

}  // namespace
}  // namespace brindlecue::platform
