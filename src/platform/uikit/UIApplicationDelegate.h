#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Value.h"
#include "platform/uikit/UIResponder.h"

namespace brindlecue::platform {

class Error;
class NSUserActivity;
class UIApplication;
class UIWindow;

// The application's delegate. Every method is optional: the defaults do nothing (and answer
// true for launching, false for opening a URL). A delegate that wants callers to know which
// methods it implements overrides respondsToSelector or registers its methods with the
// ClassRegistry under its class name.
class UIApplicationDelegate : public UIResponder {
public:
    virtual bool applicationWillFinishLaunchingWithOptions(UIApplication&, const Value& options) {
        return true;
    }
    virtual bool applicationDidFinishLaunchingWithOptions(UIApplication&, const Value& options) {
        return true;
    }
    virtual void applicationWillResignActive(UIApplication&) {}
    virtual void applicationDidEnterBackground(UIApplication&) {}
    virtual void applicationWillEnterForeground(UIApplication&) {}
    virtual void applicationDidBecomeActive(UIApplication&) {}
    virtual void applicationWillTerminate(UIApplication&) {}
    virtual void applicationDidReceiveMemoryWarning(UIApplication&) {}
    virtual void applicationSignificantTimeChange(UIApplication&) {}
    // A URL handed to the app by the system.
    virtual bool applicationOpenURLOptions(UIApplication&, const std::string& url, const Value& options) {
        return false;
    }
    // The older form, with the application that opened the URL.
    virtual bool applicationOpenURLSourceApplicationAnnotation(UIApplication&, const std::string& url,
                                                               const std::string& sourceApplication,
                                                               const Value& annotation) {
        return false;
    }
    virtual bool applicationHandleOpenURL(UIApplication&, const std::string& url) { return false; }
    // An activity to continue (a web page, a searchable item); the handler takes the objects that
    // carry it on.
    virtual bool applicationContinueUserActivityRestorationHandler(
        UIApplication&, const std::shared_ptr<NSUserActivity>& activity,
        std::function<void(const std::vector<Value>&)> restorationHandler) {
        return false;
    }

    // Notifications. Payloads and notifications are their user-info dictionaries; fetch results
    // are UIBackgroundFetchResult values (0 new data, 1 no data, 2 failed).
    virtual void applicationDidRegisterUserNotificationSettings(UIApplication&, const Value& settings) {}
    virtual void applicationDidRegisterForRemoteNotificationsWithDeviceToken(
        UIApplication&, const std::vector<uint8_t>& token) {}
    virtual void applicationDidFailToRegisterForRemoteNotificationsWithError(UIApplication&,
                                                                             const Error& error) {}
    virtual void applicationDidReceiveRemoteNotification(UIApplication&, const Value& payload) {}
    virtual void applicationDidReceiveRemoteNotificationFetchCompletionHandler(
        UIApplication&, const Value& payload, std::function<void(int64_t)> completionHandler) {}
    virtual void applicationHandleActionWithIdentifierForRemoteNotification(
        UIApplication&, const std::string& identifier, const Value& payload,
        std::function<void()> completionHandler) {}
    virtual void applicationDidReceiveLocalNotification(UIApplication&, const Value& notification) {}
    virtual void applicationHandleActionWithIdentifierForLocalNotification(
        UIApplication&, const std::string& identifier, const Value& notification,
        std::function<void()> completionHandler) {}
    // Background fetch.
    virtual void applicationPerformFetchWithCompletionHandler(
        UIApplication&, std::function<void(int64_t)> completionHandler) {}
    // The delegate's "window" property.
    virtual std::shared_ptr<UIWindow> window() const { return nullptr; }
};

}  // namespace brindlecue::platform
