#include "foundation/KJInterceptor.h"

#include <mutex>

#include "platform/Error.h"
#include "platform/foundation/NSUserActivity.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue {

using namespace platform;

void KJInterceptor::didConstruct() {
    NSObject::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] { ClassRegistry::registerClass("KJInterceptor", "NSObject"); });
}

void KJInterceptor::setFirstResponder(const std::shared_ptr<NSObject>& responder) {
    if (responder.get() == this) return;
    firstResponder_ = responder;
}

void KJInterceptor::setSecondResponder(const std::shared_ptr<NSObject>& responder) {
    if (responder.get() == this) return;
    if (responder && responder == firstResponder()) return;
    secondResponder_ = responder;
}

bool KJInterceptor::respondsToSelector(std::string_view selector) const {
    if (auto first = firstResponder(); first && first->respondsToSelector(selector)) return true;
    if (auto second = secondResponder(); second && second->respondsToSelector(selector)) return true;
    return NSObject::respondsToSelector(selector);
}

std::shared_ptr<NSObject> KJInterceptor::forwardingTargetForSelector(std::string_view selector) const {
    if (auto first = firstResponder(); first && first->respondsToSelector(selector)) return first;
    if (auto second = secondResponder(); second && second->respondsToSelector(selector)) return second;
    return nullptr;
}

std::shared_ptr<UIApplicationDelegate> KJInterceptor::applicationTarget(std::string_view selector) const {
    if (auto first = firstResponder(); first && first->respondsToSelector(selector))
        return std::dynamic_pointer_cast<UIApplicationDelegate>(first);
    return std::dynamic_pointer_cast<UIApplicationDelegate>(secondResponder());
}

bool KJInterceptor::applicationWillFinishLaunchingWithOptions(UIApplication& app, const Value& options) {
    auto t = applicationTarget("application:willFinishLaunchingWithOptions:");
    return t ? t->applicationWillFinishLaunchingWithOptions(app, options) : true;
}

bool KJInterceptor::applicationDidFinishLaunchingWithOptions(UIApplication& app, const Value& options) {
    auto t = applicationTarget("application:didFinishLaunchingWithOptions:");
    return t ? t->applicationDidFinishLaunchingWithOptions(app, options) : true;
}

void KJInterceptor::applicationWillResignActive(UIApplication& app) {
    if (auto t = applicationTarget("applicationWillResignActive:")) t->applicationWillResignActive(app);
}

void KJInterceptor::applicationDidEnterBackground(UIApplication& app) {
    if (auto t = applicationTarget("applicationDidEnterBackground:")) t->applicationDidEnterBackground(app);
}

void KJInterceptor::applicationWillEnterForeground(UIApplication& app) {
    if (auto t = applicationTarget("applicationWillEnterForeground:")) t->applicationWillEnterForeground(app);
}

void KJInterceptor::applicationDidBecomeActive(UIApplication& app) {
    if (auto t = applicationTarget("applicationDidBecomeActive:")) t->applicationDidBecomeActive(app);
}

void KJInterceptor::applicationWillTerminate(UIApplication& app) {
    if (auto t = applicationTarget("applicationWillTerminate:")) t->applicationWillTerminate(app);
}

void KJInterceptor::applicationDidReceiveMemoryWarning(UIApplication& app) {
    if (auto t = applicationTarget("applicationDidReceiveMemoryWarning:"))
        t->applicationDidReceiveMemoryWarning(app);
}

void KJInterceptor::applicationSignificantTimeChange(UIApplication& app) {
    if (auto t = applicationTarget("applicationSignificantTimeChange:"))
        t->applicationSignificantTimeChange(app);
}

bool KJInterceptor::applicationOpenURLOptions(UIApplication& app, const std::string& url,
                                              const Value& options) {
    auto t = applicationTarget("application:openURL:options:");
    return t && t->applicationOpenURLOptions(app, url, options);
}

bool KJInterceptor::applicationOpenURLSourceApplicationAnnotation(UIApplication& app, const std::string& url,
                                                                  const std::string& sourceApplication,
                                                                  const Value& annotation) {
    auto t = applicationTarget("application:openURL:sourceApplication:annotation:");
    return t && t->applicationOpenURLSourceApplicationAnnotation(app, url, sourceApplication, annotation);
}

bool KJInterceptor::applicationHandleOpenURL(UIApplication& app, const std::string& url) {
    auto t = applicationTarget("application:handleOpenURL:");
    return t && t->applicationHandleOpenURL(app, url);
}

bool KJInterceptor::applicationContinueUserActivityRestorationHandler(
    UIApplication& app, const std::shared_ptr<NSUserActivity>& activity,
    std::function<void(const std::vector<Value>&)> restorationHandler) {
    auto t = applicationTarget("application:continueUserActivity:restorationHandler:");
    return t &&
           t->applicationContinueUserActivityRestorationHandler(app, activity, std::move(restorationHandler));
}

void KJInterceptor::applicationDidRegisterUserNotificationSettings(UIApplication& app,
                                                                   const Value& settings) {
    if (auto t = applicationTarget("application:didRegisterUserNotificationSettings:"))
        t->applicationDidRegisterUserNotificationSettings(app, settings);
}

void KJInterceptor::applicationDidRegisterForRemoteNotificationsWithDeviceToken(
    UIApplication& app, const std::vector<uint8_t>& token) {
    if (auto t = applicationTarget("application:didRegisterForRemoteNotificationsWithDeviceToken:"))
        t->applicationDidRegisterForRemoteNotificationsWithDeviceToken(app, token);
}

void KJInterceptor::applicationDidFailToRegisterForRemoteNotificationsWithError(UIApplication& app,
                                                                                const Error& error) {
    if (auto t = applicationTarget("application:didFailToRegisterForRemoteNotificationsWithError:"))
        t->applicationDidFailToRegisterForRemoteNotificationsWithError(app, error);
}

void KJInterceptor::applicationDidReceiveRemoteNotification(UIApplication& app, const Value& payload) {
    if (auto t = applicationTarget("application:didReceiveRemoteNotification:"))
        t->applicationDidReceiveRemoteNotification(app, payload);
}

void KJInterceptor::applicationDidReceiveRemoteNotificationFetchCompletionHandler(
    UIApplication& app, const Value& payload, std::function<void(int64_t)> completionHandler) {
    if (auto t = applicationTarget("application:didReceiveRemoteNotification:fetchCompletionHandler:"))
        t->applicationDidReceiveRemoteNotificationFetchCompletionHandler(app, payload,
                                                                         std::move(completionHandler));
}

void KJInterceptor::applicationHandleActionWithIdentifierForRemoteNotification(
    UIApplication& app, const std::string& identifier, const Value& payload,
    std::function<void()> completionHandler) {
    if (auto t = applicationTarget(
            "application:handleActionWithIdentifier:forRemoteNotification:completionHandler:"))
        t->applicationHandleActionWithIdentifierForRemoteNotification(app, identifier, payload,
                                                                      std::move(completionHandler));
}

void KJInterceptor::applicationDidReceiveLocalNotification(UIApplication& app, const Value& notification) {
    if (auto t = applicationTarget("application:didReceiveLocalNotification:"))
        t->applicationDidReceiveLocalNotification(app, notification);
}

void KJInterceptor::applicationHandleActionWithIdentifierForLocalNotification(
    UIApplication& app, const std::string& identifier, const Value& notification,
    std::function<void()> completionHandler) {
    if (auto t = applicationTarget(
            "application:handleActionWithIdentifier:forLocalNotification:completionHandler:"))
        t->applicationHandleActionWithIdentifierForLocalNotification(app, identifier, notification,
                                                                     std::move(completionHandler));
}

void KJInterceptor::applicationPerformFetchWithCompletionHandler(
    UIApplication& app, std::function<void(int64_t)> completionHandler) {
    if (auto t = applicationTarget("application:performFetchWithCompletionHandler:"))
        t->applicationPerformFetchWithCompletionHandler(app, std::move(completionHandler));
}

std::shared_ptr<UIWindow> KJInterceptor::window() const {
    auto t = applicationTarget("window");
    return t ? t->window() : nullptr;
}

void KJInterceptor::alertViewClickedButtonAtIndex(UIAlertView& alertView, int64_t buttonIndex) {
    if (auto t = target<UIAlertViewDelegate>("alertView:clickedButtonAtIndex:"))
        t->alertViewClickedButtonAtIndex(alertView, buttonIndex);
}

void KJInterceptor::alertViewWillPresent(UIAlertView& alertView) {
    if (auto t = target<UIAlertViewDelegate>("willPresentAlertView:")) t->alertViewWillPresent(alertView);
}

void KJInterceptor::alertViewDidPresent(UIAlertView& alertView) {
    if (auto t = target<UIAlertViewDelegate>("didPresentAlertView:")) t->alertViewDidPresent(alertView);
}

void KJInterceptor::alertViewWillDismissWithButtonIndex(UIAlertView& alertView, int64_t buttonIndex) {
    if (auto t = target<UIAlertViewDelegate>("alertView:willDismissWithButtonIndex:"))
        t->alertViewWillDismissWithButtonIndex(alertView, buttonIndex);
}

void KJInterceptor::alertViewDidDismissWithButtonIndex(UIAlertView& alertView, int64_t buttonIndex) {
    if (auto t = target<UIAlertViewDelegate>("alertView:didDismissWithButtonIndex:"))
        t->alertViewDidDismissWithButtonIndex(alertView, buttonIndex);
}

void KJInterceptor::actionSheetClickedButtonAtIndex(UIActionSheet& actionSheet, int64_t buttonIndex) {
    if (auto t = target<UIActionSheetDelegate>("actionSheet:clickedButtonAtIndex:"))
        t->actionSheetClickedButtonAtIndex(actionSheet, buttonIndex);
}

void KJInterceptor::actionSheetWillDismissWithButtonIndex(UIActionSheet& actionSheet, int64_t buttonIndex) {
    if (auto t = target<UIActionSheetDelegate>("actionSheet:willDismissWithButtonIndex:"))
        t->actionSheetWillDismissWithButtonIndex(actionSheet, buttonIndex);
}

void KJInterceptor::actionSheetDidDismissWithButtonIndex(UIActionSheet& actionSheet, int64_t buttonIndex) {
    if (auto t = target<UIActionSheetDelegate>("actionSheet:didDismissWithButtonIndex:"))
        t->actionSheetDidDismissWithButtonIndex(actionSheet, buttonIndex);
}

}  // namespace brindlecue
