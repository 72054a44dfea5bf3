#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/NotificationCenter.h"
#include "platform/Value.h"
#include "platform/uikit/Geometry.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIResponder.h"

namespace brindlecue::platform {

class UIApplicationDelegate;
class UIWindow;
class UIScene;
class UIWindowScene;

enum class UIApplicationState { Active, Inactive, Background };

using UIBackgroundTaskIdentifier = uint64_t;
inline constexpr UIBackgroundTaskIdentifier UIBackgroundTaskInvalid = 0;

// The application object: its delegate (weak), state, windows and key window, scenes, status
// bar, URL opening and background tasks. The host (or a test) drives the life cycle with the
// driver methods, which call the delegate and then post the platform's notification (object:
// the application), as the system would.
class UIApplication : public UIResponder {
public:
    BLQ_PLATFORM_CLASS(UIApplication)

    static constexpr const char* UIApplicationDidFinishLaunchingNotification =
        "UIApplicationDidFinishLaunchingNotification";
    static constexpr const char* UIApplicationWillResignActiveNotification =
        "UIApplicationWillResignActiveNotification";
    static constexpr const char* UIApplicationDidEnterBackgroundNotification =
        "UIApplicationDidEnterBackgroundNotification";
    static constexpr const char* UIApplicationWillEnterForegroundNotification =
        "UIApplicationWillEnterForegroundNotification";
    static constexpr const char* UIApplicationDidBecomeActiveNotification =
        "UIApplicationDidBecomeActiveNotification";
    static constexpr const char* UIApplicationWillTerminateNotification =
        "UIApplicationWillTerminateNotification";
    static constexpr const char* UIApplicationDidReceiveMemoryWarningNotification =
        "UIApplicationDidReceiveMemoryWarningNotification";
    static constexpr const char* UIApplicationSignificantTimeChangeNotification =
        "UIApplicationSignificantTimeChangeNotification";
    static constexpr const char* UIApplicationDidChangeStatusBarOrientationNotification =
        "UIApplicationDidChangeStatusBarOrientationNotification";
    static constexpr const char* UIApplicationOpenSettingsURLString = "app-settings:";

    static std::shared_ptr<UIApplication> sharedApplication();
    void didConstruct() override;

    std::shared_ptr<UIApplicationDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UIApplicationDelegate>& delegate) { delegate_ = delegate; }

    UIApplicationState applicationState() const { return state_; }

    // Live windows, ordered by window level and then by creation (back to front).
    std::vector<std::shared_ptr<UIWindow>> windows() const;
    std::shared_ptr<UIWindow> keyWindow() const { return keyWindow_.lock(); }
    std::vector<std::shared_ptr<UIScene>> connectedScenes() const;
    std::shared_ptr<UIWindowScene> mainWindowScene() const { return scene_; }

    CGRect statusBarFrame() const;
    double statusBarHeight() const { return statusBarHidden_ ? 0 : statusBarHeight_; }
    void setStatusBarHeight(double height) { statusBarHeight_ = height; }
    bool isStatusBarHidden() const { return statusBarHidden_; }
    void setStatusBarHidden(bool hidden) { statusBarHidden_ = hidden; }
    UIInterfaceOrientation statusBarOrientation() const { return interfaceOrientation_; }

    // Opening URLs: every request is recorded; canOpenURL answers from the schemes declared
    // openable (http and https by default).
    void openURL(const std::string& url, const Value& options = Value(),
                 std::function<void(bool success)> completion = nullptr);
    bool canOpenURL(const std::string& url);
    void setCanOpenScheme(const std::string& scheme, bool canOpen);
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }
    const std::vector<std::string>& canOpenURLQueries() const { return canOpenQueries_; }

    // Background tasks (any thread). An ended or unknown identifier is ignored.
    UIBackgroundTaskIdentifier beginBackgroundTask(std::function<void()> expirationHandler);
    UIBackgroundTaskIdentifier beginBackgroundTask(const std::string& name,
                                                   std::function<void()> expirationHandler);
    void endBackgroundTask(UIBackgroundTaskIdentifier identifier);
    size_t activeBackgroundTaskCount() const;
    double backgroundTimeRemaining() const;

    // ---- Driver (main thread).
    // Launch: delegate will/did finish launching, then the notification with the options as
    // user info (objects that Value cannot hold go in objects); the state becomes inactive.
    void finishLaunching(const Value& options = Value(), Notification::ObjectMap objects = {});
    void becomeActive();
    void resignActive();
    // Resigns active first when active.
    void enterBackground();
    // Will-enter-foreground, then becomes active.
    void enterForeground();
    void terminate();
    void receiveMemoryWarning();
    void significantTimeChange();
    // Runs the expiration handler of every background task still running (the system's time is
    // up); the tasks stay registered until their owners end them.
    void expireBackgroundTasks();
    // Turns the device: the device orientation notification, then for an interface change the
    // screen swaps its sides, every window's root controller (and what it presents) is told the
    // new size with a transition coordinator, and the windows take the new screen bounds.
    void rotateToOrientation(UIDeviceOrientation orientation);

    // Window bookkeeping (called by UIWindow).
    void registerWindow(const std::shared_ptr<UIWindow>& window);
    void windowVisibilityChanged(const std::shared_ptr<UIWindow>& window, bool visible);
    void makeWindowKey(const std::shared_ptr<UIWindow>& window);
    void windowGone(const UIWindow* window);

    std::shared_ptr<UIResponder> nextResponder() const override;

private:
    bool schemeOpenable(const std::string& url) const;
    void post(const char* name, Value userInfo = Value(), Notification::ObjectMap objects = {});

    std::weak_ptr<UIApplicationDelegate> delegate_;
    UIApplicationState state_ = UIApplicationState::Inactive;
    std::shared_ptr<UIWindowScene> scene_;
    std::vector<std::weak_ptr<UIWindow>> windows_;
    std::vector<std::shared_ptr<UIWindow>> visibleWindows_;
    std::weak_ptr<UIWindow> keyWindow_;
    double statusBarHeight_ = 44;
    bool statusBarHidden_ = false;
    UIInterfaceOrientation interfaceOrientation_ = UIInterfaceOrientation::Portrait;
    std::vector<std::string> openedURLs_;
    std::vector<std::string> canOpenQueries_;
    std::map<std::string, bool> openableSchemes_{{"http", true}, {"https", true}};

    mutable std::mutex taskMutex_;
    UIBackgroundTaskIdentifier nextTask_ = 1;
    std::map<UIBackgroundTaskIdentifier, std::function<void()>> tasks_;
};

}  // namespace brindlecue::platform
