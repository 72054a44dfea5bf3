#include "platform/uikit/UIApplication.h"

#include <gtest/gtest.h>

#include "platform/NotificationCenter.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/UIApplicationDelegate.h"
#include "platform/uikit/UIWindow.h"
#include "platform/uikit/UIWindowScene.h"

namespace brindlecue::platform {
namespace {

struct Delegate : UIApplicationDelegate {
    std::vector<std::string>* log;
    void applicationDidBecomeActive(UIApplication&) override { log->push_back("delegate:active"); }
    void applicationDidEnterBackground(UIApplication&) override { log->push_back("delegate:background"); }
};

TEST(UIApplication, DriverPostsTheLifeCycleInThePlatformOrder) {
    auto app = UIApplication::sharedApplication();
    std::vector<std::string> log;
    auto delegate = std::make_shared<Delegate>();
    delegate->log = &log;
    app->setDelegate(delegate);
    // The observers go when the test ends, however it ends: they write into its log.
    struct Observers : std::vector<std::shared_ptr<NotificationObserver>> {
        ~Observers() {
            for (const auto& observer : *this) NotificationCenter::defaultCenter().removeObserver(observer);
        }
    } observers;
    for (const char* name : {UIApplication::UIApplicationDidFinishLaunchingNotification,
                             UIApplication::UIApplicationWillResignActiveNotification,
                             UIApplication::UIApplicationDidEnterBackgroundNotification,
                             UIApplication::UIApplicationWillEnterForegroundNotification,
                             UIApplication::UIApplicationDidBecomeActiveNotification,
                             UIApplication::UIApplicationWillTerminateNotification,
                             UIApplication::UIApplicationDidReceiveMemoryWarningNotification,
                             UIApplication::UIApplicationSignificantTimeChangeNotification}) {
        observers.push_back(NotificationCenter::defaultCenter().addObserver(
            name, app, nullptr, [&log](const Notification& n) { log.push_back(n.name()); }));
    }
    app->finishLaunching(Value::dictionary({{"UIApplicationLaunchOptionsURLKey", "app://x"}}));
    app->becomeActive();
    app->becomeActive();  // already active: nothing
    app->enterBackground();
    EXPECT_EQ(app->applicationState(), UIApplicationState::Background);
    app->enterForeground();
    app->receiveMemoryWarning();
    app->significantTimeChange();
    app->terminate();
    EXPECT_EQ(
        log,
        (std::vector<std::string>{
            "UIApplicationDidFinishLaunchingNotification", "delegate:active",
            "UIApplicationDidBecomeActiveNotification", "UIApplicationWillResignActiveNotification",
            "delegate:background", "UIApplicationDidEnterBackgroundNotification",
            "UIApplicationWillEnterForegroundNotification", "delegate:active",
            "UIApplicationDidBecomeActiveNotification", "UIApplicationDidReceiveMemoryWarningNotification",
            "UIApplicationSignificantTimeChangeNotification", "UIApplicationWillTerminateNotification"}));
    delegate.reset();
    EXPECT_EQ(app->delegate(), nullptr);  // held weakly
}

TEST(UIApplication, BackgroundTasksExpireThroughTheDriverAndURLsAreRecorded) {
    auto app = UIApplication::sharedApplication();
    UIBackgroundTaskIdentifier task = UIBackgroundTaskInvalid;
    int expired = 0;
    task = app->beginBackgroundTask([&] {
        ++expired;
        app->endBackgroundTask(task);
    });
    auto other = app->beginBackgroundTask(nullptr);
    EXPECT_NE(task, UIBackgroundTaskInvalid);
    EXPECT_NE(task, other);
    EXPECT_EQ(app->activeBackgroundTaskCount(), 2u);
    app->expireBackgroundTasks();
    EXPECT_EQ(expired, 1);
    EXPECT_EQ(app->activeBackgroundTaskCount(), 1u);
    app->endBackgroundTask(other);
    app->endBackgroundTask(other);  // twice: ignored
    EXPECT_EQ(app->activeBackgroundTaskCount(), 0u);

    // The application records every URL asked about and opened for the process: this test
    // counts its own, and gives up the scheme it adds however it ends.
    const size_t openedBefore = app->openedURLs().size();
    const size_t queriesBefore = app->canOpenURLQueries().size();
    struct GiveUp {
        std::shared_ptr<UIApplication> app;
        ~GiveUp() { app->setCanOpenScheme("myapp", false); }
    } giveUp{app};
    EXPECT_TRUE(app->canOpenURL("https://example.com"));
    EXPECT_FALSE(app->canOpenURL("myapp://x"));
    app->setCanOpenScheme("myapp", true);
    EXPECT_TRUE(app->canOpenURL("MyApp://x"));
    std::optional<bool> opened;
    app->openURL("nothing://here", Value(), [&](bool ok) { opened = ok; });
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(opened, false);
    ASSERT_EQ(app->openedURLs().size(), openedBefore + 1);
    EXPECT_EQ(app->openedURLs().back(), "nothing://here");
    EXPECT_EQ(app->canOpenURLQueries().size(), queriesBefore + 3);
}

TEST(UIApplication, WindowsKeyWindowAndScene) {
    auto app = UIApplication::sharedApplication();
    auto alertWindow = make<UIWindow>();
    alertWindow->setWindowLevel(UIWindowLevelAlert);
    auto main = make<UIWindow>();
    EXPECT_TRUE(main->isHidden());
    EXPECT_EQ(app->windows(), (std::vector<std::shared_ptr<UIWindow>>{main, alertWindow}));
    main->makeKeyAndVisible();
    EXPECT_TRUE(main->isKeyWindow());
    alertWindow->makeKeyWindow();
    EXPECT_FALSE(main->isKeyWindow());
    EXPECT_EQ(app->keyWindow(), alertWindow);
    auto scene = std::dynamic_pointer_cast<UIWindowScene>(app->connectedScenes().front());
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->windows().size(), 2u);

    // A shown window stays alive without its owner; a hidden one does not.
    std::weak_ptr<UIWindow> weakMain = main;
    main.reset();
    EXPECT_FALSE(weakMain.expired());
    weakMain.lock()->setHidden(true);
    EXPECT_TRUE(weakMain.expired());
    EXPECT_EQ(app->windows().size(), 1u);
}

}  // namespace
}  // namespace brindlecue::platform
