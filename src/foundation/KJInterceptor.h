#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/uikit/NSObject.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplicationDelegate.h"

namespace brindlecue {

// A proxy between an object that has one delegate and two parties that both want its messages:
// each message goes to the first responder when it implements it (respondsToSelector), else to
// the second. Both are held weakly; whoever installs the interceptor keeps it alive.
//
// The platform forwards any message; here the interceptor implements, for each delegate
// interface it stands in for, every method by passing it on that way. It stands in for the
// application's delegate (the facade first, the host's delegate second) and for the delegates of
// legacy alerts and action sheets. An application-delegate method the first responder does not
// implement goes to the second responder's own method, whose default does nothing.
class KJInterceptor : public platform::UIApplicationDelegate,
                      public platform::UIAlertViewDelegate,
                      public platform::UIActionSheetDelegate {
public:
    void didConstruct() override;
    std::string className() const override { return "KJInterceptor"; }

    std::shared_ptr<platform::NSObject> firstResponder() const { return firstResponder_.lock(); }
    // The interceptor itself is ignored.
    void setFirstResponder(const std::shared_ptr<platform::NSObject>& responder);
    std::shared_ptr<platform::NSObject> secondResponder() const { return secondResponder_.lock(); }
    // The interceptor itself and the current first responder are ignored.
    void setSecondResponder(const std::shared_ptr<platform::NSObject>& responder);

    // True when the first or the second responder responds, else for the interceptor's own.
    bool respondsToSelector(std::string_view selector) const override;
    // The first responder when it responds, else the second when it does, else none.
    std::shared_ptr<platform::NSObject> forwardingTargetForSelector(std::string_view selector) const;

    // ---- UIApplicationDelegate
    bool applicationWillFinishLaunchingWithOptions(platform::UIApplication& app,
                                                   const platform::Value& options) override;
    bool applicationDidFinishLaunchingWithOptions(platform::UIApplication& app,
                                                  const platform::Value& options) override;
    void applicationWillResignActive(platform::UIApplication& app) override;
    void applicationDidEnterBackground(platform::UIApplication& app) override;
    void applicationWillEnterForeground(platform::UIApplication& app) override;
    void applicationDidBecomeActive(platform::UIApplication& app) override;
    void applicationWillTerminate(platform::UIApplication& app) override;
    void applicationDidReceiveMemoryWarning(platform::UIApplication& app) override;
    void applicationSignificantTimeChange(platform::UIApplication& app) override;
    bool applicationOpenURLOptions(platform::UIApplication& app, const std::string& url,
                                   const platform::Value& options) override;
    bool applicationOpenURLSourceApplicationAnnotation(platform::UIApplication& app, const std::string& url,
                                                       const std::string& sourceApplication,
                                                       const platform::Value& annotation) override;
    bool applicationHandleOpenURL(platform::UIApplication& app, const std::string& url) override;
    bool applicationContinueUserActivityRestorationHandler(
        platform::UIApplication& app, const std::shared_ptr<platform::NSUserActivity>& activity,
        std::function<void(const std::vector<platform::Value>&)> restorationHandler) override;
    void applicationDidRegisterUserNotificationSettings(platform::UIApplication& app,
                                                        const platform::Value& settings) override;
    void applicationDidRegisterForRemoteNotificationsWithDeviceToken(
        platform::UIApplication& app, const std::vector<uint8_t>& token) override;
    void applicationDidFailToRegisterForRemoteNotificationsWithError(platform::UIApplication& app,
                                                                     const platform::Error& error) override;
    void applicationDidReceiveRemoteNotification(platform::UIApplication& app,
                                                 const platform::Value& payload) override;
    void applicationDidReceiveRemoteNotificationFetchCompletionHandler(
        platform::UIApplication& app, const platform::Value& payload,
        std::function<void(int64_t)> completionHandler) override;
    void applicationHandleActionWithIdentifierForRemoteNotification(
        platform::UIApplication& app, const std::string& identifier, const platform::Value& payload,
        std::function<void()> completionHandler) override;
    void applicationDidReceiveLocalNotification(platform::UIApplication& app,
                                                const platform::Value& notification) override;
    void applicationHandleActionWithIdentifierForLocalNotification(
        platform::UIApplication& app, const std::string& identifier, const platform::Value& notification,
        std::function<void()> completionHandler) override;
    void applicationPerformFetchWithCompletionHandler(
        platform::UIApplication& app, std::function<void(int64_t)> completionHandler) override;
    std::shared_ptr<platform::UIWindow> window() const override;

    // ---- UIAlertViewDelegate
    void alertViewClickedButtonAtIndex(platform::UIAlertView& alertView, int64_t buttonIndex) override;
    void alertViewWillPresent(platform::UIAlertView& alertView) override;
    void alertViewDidPresent(platform::UIAlertView& alertView) override;
    void alertViewWillDismissWithButtonIndex(platform::UIAlertView& alertView, int64_t buttonIndex) override;
    void alertViewDidDismissWithButtonIndex(platform::UIAlertView& alertView, int64_t buttonIndex) override;

    // ---- UIActionSheetDelegate
    void actionSheetClickedButtonAtIndex(platform::UIActionSheet& actionSheet, int64_t buttonIndex) override;
    void actionSheetWillDismissWithButtonIndex(platform::UIActionSheet& actionSheet,
                                               int64_t buttonIndex) override;
    void actionSheetDidDismissWithButtonIndex(platform::UIActionSheet& actionSheet,
                                              int64_t buttonIndex) override;

private:
    // The first responder when it implements the selector, else the second responder.
    std::shared_ptr<platform::UIApplicationDelegate> applicationTarget(std::string_view selector) const;

    template <class Protocol>
    std::shared_ptr<Protocol> target(std::string_view selector) const {
        return std::dynamic_pointer_cast<Protocol>(forwardingTargetForSelector(selector));
    }

    std::weak_ptr<platform::NSObject> firstResponder_;
    std::weak_ptr<platform::NSObject> secondResponder_;
};

}  // namespace brindlecue
