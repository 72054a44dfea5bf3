#include "facade/BrindlecueBaseViewController.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "facade/BLQBaseViewController.h"
#include "facade/Brindlecue.h"
#include "facade/HostScreenScene_test.h"
#include "facade/IKJDeepLinking.h"
#include "foundation/KJLog.h"
#include "platform/uikit/UIScrollView.h"
#include "tips/IKJCustomFeed.h"

namespace brindlecue::hostscreen {
namespace {

using BaseScreens = HostScreenTest;

TEST_F(BaseScreens, AReportedVisitPostsItsNotificationsInOrder) {
    auto facade = Brindlecue::sharedInstance();
    PostRecorder recorder;
    auto home = make<ShopHomeController>();
    auto navigation = make<UINavigationController>(home);
    show(navigation);
    navigation->pushViewController(make<UIViewController>(), false);
    RunLoop::main().runUntilIdle();

    EXPECT_EQ(recorder.names(),
              (Names{kCustomFeed, kEnter, kSuperTag, kShowTip, kSuperTagVC, kForceDismiss, kExit}));
    for (const auto& post : recorder.posts) EXPECT_EQ(post.vc, home) << post.name;
    // The custom feed goes out when the view loads, before anything is written; the class name
    // is kept as the page about to appear, and the page entered, before the enter request; the
    // page exit is done before the tip is dismissed.
    EXPECT_EQ(recorder.posts[0].enterBack, "");
    EXPECT_EQ(recorder.posts[1].enterBack, ShopHomeController::kName);
    EXPECT_EQ(recorder.posts[1].enterPage, ShopHomeController::kName);
    EXPECT_EQ(recorder.posts[4].exitPage, "");
    EXPECT_EQ(recorder.posts[5].exitPage, ShopHomeController::kName);
}

TEST_F(BaseScreens, AnExcludedScreenOnlyAsksForTipsRemovesLaunchersAndReportsSizes) {
    auto start = make<UIViewController>();
    auto navigation = make<UINavigationController>(start);
    auto window = show(navigation);
    auto launcher = make<UIButton>(CGRect(10, 10, 40, 40));
    launcher->setTag(888900);
    window->addSubview(launcher);
    PostRecorder recorder;

    auto home = make<ShopHomeController>();
    home->setExcludeBehavior(true);
    navigation->pushViewController(home, false);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(launcher->superview(), nullptr);
    EXPECT_EQ(recorder.names(), (Names{kShowTip, kSuperTagVC}));
    EXPECT_EQ(recorder.posts[0].vc, home);
    EXPECT_EQ(UserDefaults::standard().string("ENTERBAK_PAGE_HISTORY"), std::nullopt);

    // The size change is posted once the transition has finished, with the new size.
    UIApplication::sharedApplication()->rotateToOrientation(UIDeviceOrientation::LandscapeLeft);
    EXPECT_EQ(recorder.find(kSizeChange), nullptr);
    Clock::advance(0.3);
    const Post* size = recorder.find(kSizeChange);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->vc, nullptr);
    auto changed = std::static_pointer_cast<CGSize>(size->object);
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed->width, 812);
    EXPECT_EQ(changed->height, 375);

    navigation->popViewControllerAnimated(false);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(recorder.names(), (Names{kShowTip, kSuperTagVC, kSizeChange}));
}

TEST_F(BaseScreens, AnExcludedScreensSheetDismissalReportsNothingAndASizeWithoutATransitionGoesAtOnce) {
    auto home = make<ShopHomeController>();
    home->setExcludeBehavior(true);
    auto window = show(home);
    PostRecorder recorder;
    home->presentationControllerDidDismiss(nullptr);
    EXPECT_TRUE(recorder.posts.empty());
    EXPECT_EQ(UserDefaults::standard().string("EXIT_PAGE_HISTORY"), std::nullopt);

    home->viewWillTransitionToSize(CGSize{300, 500}, nullptr);
    ASSERT_EQ(recorder.names(), (Names{kSizeChange}));
    auto changed = std::static_pointer_cast<CGSize>(recorder.posts[0].object);
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed->width, 300);
    EXPECT_EQ(changed->height, 500);
}

TEST_F(BaseScreens, InPreviewModeAnAppearedScreenAsksThePreviewCacheInstead) {
    auto preview = enterPreviewMode();
    PostRecorder recorder;
    auto home = make<ShopHomeController>();
    home->setExcludeBehavior(true);
    show(home);
    EXPECT_EQ(recorder.names(), (Names{kPreviewUpdate}));
    EXPECT_EQ(recorder.posts[0].userInfo["tips"].stringValue(), "ReshowCache");
    EXPECT_TRUE(preview->checked.empty());
}

TEST_F(BaseScreens, ALibraryScreenPostsNothing) {
    auto start = make<UIViewController>();
    auto navigation = make<UINavigationController>(start);
    show(navigation);
    PostRecorder recorder;
    auto tip = make<BLQBaseViewController>();
    navigation->pushViewController(tip, false);
    RunLoop::main().runUntilIdle();
    navigation->popViewControllerAnimated(false);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(tip->appearState(), UIViewController::AppearState::Disappeared);
    EXPECT_TRUE(recorder.posts.empty()) << recorder.names().front();
}

TEST_F(BaseScreens, ScrollingAsksForOffScreenTipsAndAtOnceWhenDecelerationBegins) {
    PostRecorder recorder;
    auto home = make<ShopHomeController>();
    auto scroll = make<UIScrollView>(CGRect(0, 0, 375, 600));
    scroll->setContentSize({375, 2000});
    scroll->setDelegate(home);
    scroll->drag({0, -200}, {0, -800});

    std::vector<bool> shouldShow;
    for (const auto& post : recorder.posts) {
        ASSERT_EQ(post.name, kOffScreen);
        EXPECT_EQ(post.vc, home);
        shouldShow.push_back(post.userInfo["shouldShow"].getBool().value_or(true));
    }
    // Two moves of the drag, its end, then the deceleration.
    EXPECT_EQ(shouldShow, (std::vector<bool>{false, false, false, true}));
    Clock::advance(UIScrollView::kScrollAnimationDuration);
    EXPECT_EQ(recorder.posts.size(), 4u);
}

// A host object that takes the custom feed items of a screen.
class FeedReceiver final : public NSObject, public IKJCustomFeed {
public:
    void receiveCustomFeed(const std::shared_ptr<KJFeedObject>&) override {}
};

TEST_F(BaseScreens, TheTipEngineFindsTheCustomFeedDelegateThroughItsGetter) {
    auto home = make<ShopHomeController>();
    auto list = make<ShopListController>();
    auto grid = make<ShopGridController>();
    auto receiver = make<FeedReceiver>();
    EXPECT_EQ(home->performSelector("customFeedDelegate"), nullptr);
    home->setCustomFeedDelegate(receiver);
    list->setCustomFeedDelegate(receiver);
    grid->setCustomFeedDelegate(receiver);
    for (const std::shared_ptr<NSObject>& screen : std::vector<std::shared_ptr<NSObject>>{home, list, grid}) {
        EXPECT_TRUE(screen->respondsToSelector("customFeedDelegate")) << screen->className();
        EXPECT_EQ(std::dynamic_pointer_cast<IKJCustomFeed>(screen->performSelector("customFeedDelegate")),
                  receiver);
    }
    // Held weakly.
    receiver.reset();
    EXPECT_EQ(home->customFeedDelegate(), nullptr);
    EXPECT_EQ(home->performSelector("customFeedDelegate"), nullptr);
}

// ---- React Native ---------------------------------------------------------------------------------

// The host's React Native objects: the root view's bridge, its UI manager and the manager's
// observer coordinator.
class ObserverCoordinator final : public NSObject, public RCTUIManagerObserverCoordinator {
public:
    void addObserver(const std::shared_ptr<RCTUIManagerObserver>& observer) override {
        observers.insert(observer.get());
    }
    std::set<RCTUIManagerObserver*> observers;
};

class UIManager final : public NSObject {
public:
    Value valueForKey(std::string_view key) const override {
        if (throws) throw std::runtime_error("no such key");
        return NSObject::valueForKey(key);
    }
    void setPendingBlocks(size_t count) {
        Array blocks(count, Value("block"));
        setValueForKey("_pendingUIBlocks", Value(std::move(blocks)));
    }
    bool throws = false;
};

// A screen that counts its deep-linking display, which every run of its load step performs.
class LinkedScreen : public ShopHomeController, public IKJDeepLinking {
public:
    void displayDeepLinkingToUI() override { ++displays; }
    std::atomic<int> displays{0};
};

class ReactNativeScreens : public HostScreenTest {
protected:
    void SetUp() override {
        HostScreenTest::SetUp();
        ClassRegistry::registerClass("RCTRootView", "UIView");
        manager->setObjectForKey("observerCoordinator", coordinator);
        bridge->setObjectForKey("uiManager", manager);
    }
    void TearDown() override {
        ClassRegistry::registerClass("RCTRootView", "UIView", true);
        HostScreenTest::TearDown();
    }
    // A screen whose view is a React Native root view with the bridge.
    template <class Screen>
    std::shared_ptr<Screen> screen() {
        auto made = make<Screen>();
        made->view()->setObjectForKey("bridge", bridge);
        return made;
    }

    std::shared_ptr<ObserverCoordinator> coordinator = make<ObserverCoordinator>();
    std::shared_ptr<UIManager> manager = make<UIManager>();
    std::shared_ptr<NSObject> bridge = make<NSObject>();
};

TEST_F(ReactNativeScreens, TheScreenStepsRunWhenReactNativeMountsNotWhenTheScreenAppears) {
    auto facade = Brindlecue::sharedInstance();
    PostRecorder recorder;
    auto home = screen<LinkedScreen>();
    EXPECT_TRUE(BrindlecueBaseViewController::checkReactNative());
    auto window = show(home);
    // Appearing hooks the screen to the UI manager and still asks for tips.
    EXPECT_EQ(coordinator->observers, (std::set<RCTUIManagerObserver*>{home.get()}));
    EXPECT_EQ(recorder.names(), (Names{kSuperTag, kShowTip, kSuperTagVC}));
    EXPECT_EQ(home->displays.load(), 0);
    EXPECT_EQ(UserDefaults::standard().string("ENTER_PAGE_HISTORY"), std::nullopt);

    recorder.posts.clear();
    manager->setPendingBlocks(2);
    home->uiManagerWillPerformMounting(manager);
    EXPECT_EQ(recorder.names(), (Names{kCustomFeed, kEnter}));
    EXPECT_EQ(home->displays.load(), 1);
    EXPECT_EQ(recorder.posts[1].enterBack, ShopHomeController::kName);
    EXPECT_EQ(recorder.posts[1].enterPage, ShopHomeController::kName);

    // Leaving runs none of the screen's own steps either.
    recorder.posts.clear();
    window->setRootViewController(make<UIViewController>());
    EXPECT_TRUE(recorder.posts.empty());
}

TEST_F(ReactNativeScreens, MountsRerunTheStepsAtMostOnceASecond) {
    auto home = screen<LinkedScreen>();
    home->setExcludeBehavior(true);
    home->loadViewIfNeeded();
    BrindlecueBaseViewController::setUiMayChange(true);

    // Nothing pending: nothing to do.
    home->uiManagerWillPerformMounting(manager);
    EXPECT_EQ(home->displays.load(), 0);
    EXPECT_EQ(BrindlecueBaseViewController::lastChangeDate(), std::nullopt);

    manager->setPendingBlocks(1);
    home->uiManagerWillPerformMounting(manager);
    EXPECT_EQ(home->displays.load(), 1);
    EXPECT_FALSE(BrindlecueBaseViewController::uiMayChange());
    EXPECT_EQ(BrindlecueBaseViewController::lastChangeDate(), Date::now());
    EXPECT_EQ(UserDefaults::standard().integer(BrindlecueBaseViewController::kDeviceOrientation),
              static_cast<int64_t>(UIInterfaceOrientation::Portrait));

    Clock::advance(0.5);
    home->uiManagerWillPerformMounting(manager);
    EXPECT_EQ(home->displays.load(), 1);
    Clock::advance(0.7);
    home->uiManagerWillPerformMounting(manager);
    EXPECT_EQ(home->displays.load(), 2);
}

TEST_F(ReactNativeScreens, AMountThatComesWithARotationRunsOnlyThePreviewCheck) {
    auto preview = enterPreviewMode();
    preview->inPreviewMode = false;
    auto home = screen<LinkedScreen>();
    home->setExcludeBehavior(true);
    home->loadViewIfNeeded();
    auto& defaults = UserDefaults::standard();
    defaults.setInteger(BrindlecueBaseViewController::kDeviceOrientation,
                        static_cast<int64_t>(UIInterfaceOrientation::LandscapeLeft));
    manager->setPendingBlocks(1);

    home->uiManagerWillPerformMounting(manager);
    EXPECT_EQ(home->displays.load(), 0);
    EXPECT_EQ(preview->checked, (std::vector<std::shared_ptr<UIViewController>>{home}));
    EXPECT_EQ(BrindlecueBaseViewController::lastChangeDate(), std::nullopt);
    EXPECT_EQ(defaults.integer(BrindlecueBaseViewController::kDeviceOrientation),
              static_cast<int64_t>(UIInterfaceOrientation::Portrait));

    // The orientation has settled: the next mount re-runs the steps.
    home->uiManagerWillPerformMounting(manager);
    EXPECT_EQ(home->displays.load(), 1);
}

TEST_F(ReactNativeScreens, EachMountLogsTheTimeSinceTheLastReRunAndARotationSaysWhyNothingRuns) {
    std::mutex mutex;
    std::vector<std::pair<int, std::string>> lines;
    KJLogSetObserver([&](int level, const std::string& line) {
        std::lock_guard lock(mutex);
        lines.emplace_back(level, line);
    });
    auto home = screen<LinkedScreen>();
    home->setExcludeBehavior(true);
    home->loadViewIfNeeded();
    manager->setPendingBlocks(1);
    auto timing = [&] {
        std::lock_guard lock(mutex);
        std::vector<std::string> out;
        for (const auto& [level, line] : lines) {
            if (line.rfind("changeTimeInterval: ", 0) != 0) continue;
            EXPECT_EQ(level, 1);
            out.push_back(line);
        }
        return out;
    };

    home->uiManagerWillPerformMounting(manager);
    Clock::advance(0.5);
    home->uiManagerWillPerformMounting(manager);
    auto logged = timing();
    ASSERT_EQ(logged.size(), 2u);
    const std::string first = "changeTimeInterval: 0.000000, lastChangeDate: (null), now: ";
    ASSERT_EQ(logged[0].rfind(first, 0), 0u) << logged[0];
    const std::string rerun = logged[0].substr(first.size());
    EXPECT_EQ(rerun.size(), std::string("2025-01-01 00:00:00").size()) << rerun;
    EXPECT_EQ(logged[1].rfind("changeTimeInterval: 0.500000, lastChangeDate: " + rerun + ", now: ", 0), 0u)
        << logged[1];

    // A mount while the device turns names the notifications it holds back.
    Clock::advance(1.5);
    UserDefaults::standard().setInteger(BrindlecueBaseViewController::kDeviceOrientation,
                                        static_cast<int64_t>(UIInterfaceOrientation::LandscapeLeft));
    home->uiManagerWillPerformMounting(manager);
    std::lock_guard lock(mutex);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().first, 1);
    EXPECT_EQ(lines.back().second.rfind("React Native uiManagerWillPerformMounting but it is triggered by an "
                                        "app rotating, prevent to send the following Brindlecue notifications: ",
                                        0),
              0u)
        << lines.back().second;
}

TEST_F(ReactNativeScreens, AFailingLookupOfThePendingBlocksEndsTheMount) {
    auto home = screen<LinkedScreen>();
    home->setExcludeBehavior(true);
    home->loadViewIfNeeded();
    manager->setPendingBlocks(1);
    manager->throws = true;
    home->uiManagerWillPerformMounting(manager);
    EXPECT_EQ(home->displays.load(), 0);
    EXPECT_EQ(UserDefaults::standard().object(BrindlecueBaseViewController::kDeviceOrientation).isAbsent(),
              true);
}

TEST_F(ReactNativeScreens, MountsFromSeveralThreadsAtOnceRerunTheStepsOnce) {
    auto first = screen<LinkedScreen>();
    auto second = screen<LinkedScreen>();
    for (const auto& s : {first, second}) {
        s->setExcludeBehavior(true);
        s->loadViewIfNeeded();
    }
    manager->setPendingBlocks(1);
    std::atomic<int> finished{0};
    std::thread a([&] {
        first->uiManagerWillPerformMounting(manager);
        ++finished;
    });
    std::thread b([&] {
        second->uiManagerWillPerformMounting(manager);
        ++finished;
    });
    // The callers wait for the main thread to read the orientation; the steps are queued there.
    RunLoop::main().runUntil([&] { return finished.load() == 2; });
    a.join();
    b.join();
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(first->displays.load() + second->displays.load(), 1);
}

}  // namespace
}  // namespace brindlecue::hostscreen
