// What the facade does when its managers report back, and the application-delegate methods it
// answers first through its interceptor: each tells the optional push companion through a
// notification and then lets the host's own delegate answer.

#include "config/BLQAppStatusModel.h"
#include "config/BLQIConfigManager.h"
#include "facade/BLQFacadeLink.h"
#include "facade/BLQIAppStatusManager.h"
#include "facade/Brindlecue.h"
#include "feed/BLQIFeedManager.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipManager.h"
#include "foundation/BLQDateUtils.h"
#include "platform/foundation/NSUserActivity.h"
#include "storage/KJDao.h"
#include "tags/BLQITagManager.h"
#include "tags/BLQTagKey.h"

namespace brindlecue {

using platform::Notification;
using platform::UIApplication;
using platform::Value;

// ---- App status ---------------------------------------------------------------------------------------

void Brindlecue::onAppStatusUpdated(const BLQAppStatusModel& model) {
    if (model.previewMode) {
        if (auto date = blqParseDate(Value(*model.previewMode), 0)) {
            applyPreviewServerTimestamp(*date);
            tagManager_->saveTagWithKey(BLQTagKey::previewMode(), std::any(blqFormatISODate(*date)), nullptr,
                                        nullptr);
        }
    } else {
        applyPreviewServerTimestamp(std::nullopt);
    }
    if (model.installToken) {
        configManager_->setInstallToken(*model.installToken);
        setLegacyHeader("X-Install-Token", *model.installToken);
    }
}

void Brindlecue::onFeedTimeStampUpdated(const std::string& timeStamp) {
    feedManager_->checkFeedTimeStamp(timeStamp);
}

// ---- Feed -------------------------------------------------------------------------------------------------

void Brindlecue::onFeedReceivedSuccessWithResponse(const Value& response, const platform::URL&) {
    const Value& results = response["results"];
    if (!results.isArray()) return;
    convertFeedsAndSendForProcessing(results);
    if (BLQFacadeLink::isInPreviewMode()) tipManager_->processUpdatedFeed(response);
}

void Brindlecue::onFeedReceivedFailureWithError(const platform::Error& error) {
    log("Feed: Failed to retrieve feed - error: " + error.localizedDescription(), 2);
}

void Brindlecue::deleteInfiniteGuides() {
    KJDao::deleteSeriesInfiniteCampaign();
}

void Brindlecue::deletedDisabledGuides(const std::vector<std::string>& feedIdsThatStay) {
    KJDao::deleteDisabledCampaign(feedIdsThatStay);
}

// ---- Preview mode -------------------------------------------------------------------------------------

void Brindlecue::onPreviewModeToggledWithPreviewModeActive(bool active) {
    if (active) appStatusManager_->shouldCheckForAppStatus();
}

// ---- Application-delegate methods -------------------------------------------------------------------

namespace {

const std::vector<std::string>& answeredSelectors() {
    static const std::vector<std::string> selectors{
        "application:didRegisterUserNotificationSettings:",
        "application:didRegisterForRemoteNotificationsWithDeviceToken:",
        "application:didFailToRegisterForRemoteNotificationsWithError:",
        "application:didReceiveRemoteNotification:fetchCompletionHandler:",
        "application:handleActionWithIdentifier:forRemoteNotification:completionHandler:",
        "application:didReceiveLocalNotification:",
        "application:handleActionWithIdentifier:forLocalNotification:completionHandler:",
        "application:performFetchWithCompletionHandler:",
        "application:openURL:options:",
        "application:openURL:sourceApplication:annotation:",
        "application:continueUserActivity:restorationHandler:",
    };
    return selectors;
}

// An integer 1 when the host does not implement the method (the companion then completes).
Value needComplete(bool hostImplements) {
    return Value(hostImplements ? 0 : 1);
}

}  // namespace

const std::vector<std::string>& Brindlecue::applicationDelegateSelectors() {
    return answeredSelectors();
}

std::shared_ptr<platform::UIApplicationDelegate> Brindlecue::hostDelegateFor(const char* selector) const {
    auto host = originalAppDelegate();
    return host && host->respondsToSelector(selector) ? host : nullptr;
}

void Brindlecue::postPushBridge(const std::string& name, Value userInfo, Notification::ObjectMap objects) {
    platform::NotificationCenter::defaultCenter().post(name, nullptr, std::move(userInfo),
                                                       std::move(objects));
}

void Brindlecue::applicationDidRegisterUserNotificationSettings(UIApplication& app, const Value& settings) {
    Value info = Value::dictionary({});
    if (!settings.isNil()) info.set("notificationSettings", settings);
    postPushBridge("KJ_PushBridge_DidRegisterUserNotification", info, {});
    if (auto host = hostDelegateFor("application:didRegisterUserNotificationSettings:"))
        host->applicationDidRegisterUserNotificationSettings(app, settings);
}

void Brindlecue::applicationDidRegisterForRemoteNotificationsWithDeviceToken(UIApplication& app,
                                                                             const platform::Data& token) {
    postPushBridge("KJ_PushBridge_ReceiveToken_Notification", Value::dictionary({{"token", Value(token)}}),
                   {});
    if (auto host = hostDelegateFor("application:didRegisterForRemoteNotificationsWithDeviceToken:"))
        host->applicationDidRegisterForRemoteNotificationsWithDeviceToken(app, token);
}

void Brindlecue::applicationDidFailToRegisterForRemoteNotificationsWithError(UIApplication& app,
                                                                             const platform::Error& error) {
    if (auto host = hostDelegateFor("application:didFailToRegisterForRemoteNotificationsWithError:"))
        host->applicationDidFailToRegisterForRemoteNotificationsWithError(app, error);
    log("WARNING: Register remote notification failed: " + error.description() + ".", 4);
}

void Brindlecue::applicationDidReceiveRemoteNotificationFetchCompletionHandler(
    UIApplication& app, const Value& payload, std::function<void(int64_t)> completionHandler) {
    if (auto older = hostDelegateFor("application:didReceiveRemoteNotification:"))
        older->applicationDidReceiveRemoteNotification(app, payload);
    auto host = hostDelegateFor("application:didReceiveRemoteNotification:fetchCompletionHandler:");
    Value info = Value::dictionary({});
    if (!payload.isNil()) info.set("payload", payload);
    info.set("fgbg", 0);
    info.set("needComplete", needComplete(host != nullptr));
    Notification::ObjectMap objects;
    if (completionHandler)
        objects["fetchCompletionHandler"] = std::make_shared<std::function<void(int64_t)>>(completionHandler);
    postPushBridge("KJ_PushBridge_ReceiveRemoteNotification", info, objects);
    if (host)
        host->applicationDidReceiveRemoteNotificationFetchCompletionHandler(app, payload, completionHandler);
}

void Brindlecue::applicationHandleActionWithIdentifierForRemoteNotification(
    UIApplication& app, const std::string& identifier, const Value& payload,
    std::function<void()> completionHandler) {
    auto host =
        hostDelegateFor("application:handleActionWithIdentifier:forRemoteNotification:completionHandler:");
    Value info = Value::dictionary({});
    if (!payload.isNil()) info.set("payload", payload);
    info.set("actionid", identifier);
    info.set("needComplete", needComplete(host != nullptr));
    Notification::ObjectMap objects;
    if (completionHandler)
        objects["completionHandler"] = std::make_shared<std::function<void()>>(completionHandler);
    postPushBridge("KJ_PushBridge_HandleRemoteActionButton", info, objects);
    if (host)
        host->applicationHandleActionWithIdentifierForRemoteNotification(app, identifier, payload,
                                                                         completionHandler);
}

void Brindlecue::applicationDidReceiveLocalNotification(UIApplication& app, const Value& notification) {
    Value info = Value::dictionary({});
    if (!notification.isNil()) info.set("notification", notification);
    info.set("fgbg", 0);
    info.set("needComplete", true);
    postPushBridge("KJ_PushBridge_ReceiveLocalNotification", info, {});
    if (auto host = hostDelegateFor("application:didReceiveLocalNotification:"))
        host->applicationDidReceiveLocalNotification(app, notification);
}

void Brindlecue::applicationHandleActionWithIdentifierForLocalNotification(
    UIApplication& app, const std::string& identifier, const Value& notification,
    std::function<void()> completionHandler) {
    auto host =
        hostDelegateFor("application:handleActionWithIdentifier:forLocalNotification:completionHandler:");
    Value info = Value::dictionary({});
    if (!notification.isNil()) info.set("notification", notification);
    info.set("actionid", identifier);
    info.set("needComplete", needComplete(host != nullptr));
    Notification::ObjectMap objects;
    if (completionHandler)
        objects["completionHandler"] = std::make_shared<std::function<void()>>(completionHandler);
    postPushBridge("KJ_PushBridge_HandleLocalActionButton", info, objects);
    if (host)
        host->applicationHandleActionWithIdentifierForLocalNotification(app, identifier, notification,
                                                                        completionHandler);
}

void Brindlecue::applicationPerformFetchWithCompletionHandler(
    UIApplication& app, std::function<void(int64_t)> completionHandler) {
    auto host = hostDelegateFor("application:performFetchWithCompletionHandler:");
    kjRegularTask(completionHandler, host == nullptr);
    if (host) host->applicationPerformFetchWithCompletionHandler(app, completionHandler);
}

bool Brindlecue::applicationOpenURLOptions(UIApplication& app, const std::string& url, const Value& options) {
    bool handled = openURL(url);
    if (auto host = hostDelegateFor("application:openURL:options:"))
        return host->applicationOpenURLOptions(app, url, options) || handled;
    return handled;
}

bool Brindlecue::applicationOpenURLSourceApplicationAnnotation(UIApplication& app, const std::string& url,
                                                               const std::string& sourceApplication,
                                                               const Value& annotation) {
    bool hostHandled = false;
    if (auto host = hostDelegateFor("application:openURL:sourceApplication:annotation:"))
        hostHandled =
            host->applicationOpenURLSourceApplicationAnnotation(app, url, sourceApplication, annotation);
    if (!hostHandled) {
        if (auto host = hostDelegateFor("application:handleOpenURL:"))
            hostHandled = host->applicationHandleOpenURL(app, url);
    }
    bool handled = openURL(url);
    return hostHandled || handled;
}

bool Brindlecue::applicationContinueUserActivityRestorationHandler(
    UIApplication& app, const std::shared_ptr<platform::NSUserActivity>& activity,
    std::function<void(const platform::Array&)> restorationHandler) {
    bool hostHandled = false;
    if (auto host = hostDelegateFor("application:continueUserActivity:restorationHandler:"))
        hostHandled =
            host->applicationContinueUserActivityRestorationHandler(app, activity, restorationHandler);
    bool handled = continueUserActivity(activity);
    return hostHandled || handled;
}

}  // namespace brindlecue
