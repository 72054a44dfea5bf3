#include "facade/BLQBrindlecueBridge.h"

#include <mutex>
#include <vector>

#include "config/BLQInstallNotificationKeys.h"
#include "config/BLQInstallPlatform.h"
#include "config/BLQUtilsFacade.h"
#include "facade/BLQFacadeLink.h"
#include "facade/Brindlecue.h"
#include "feed/BLQITipManager.h"
#include "feed/KJFeedObject.h"
#include "foundation/BLQUtils.h"
#include "foundation/BLQViewUtils.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/UIViewControllerKJViewExt.h"
#include "storage/KJDao.h"

namespace brindlecue {

using platform::Notification;
using platform::UIViewController;
using platform::Value;

namespace {

using FeedList = std::vector<std::shared_ptr<KJFeedObject>>;

struct Observations {
    std::mutex mutex;
    std::vector<std::shared_ptr<platform::NotificationObserver>> observers;
};

Observations& observations() {
    static Observations* shared = new Observations();
    return *shared;
}

std::shared_ptr<Brindlecue> facade() {
    return Brindlecue::sharedInstance();
}

std::shared_ptr<BLQITipManager> tipManager() {
    return facade()->tipManager();
}

std::shared_ptr<UIViewController> controllerOf(const Notification& notification) {
    return notification.object<UIViewController>("vc");
}

FeedList feedsOf(const Notification& notification) {
    auto feeds = notification.object<FeedList>("feeds");
    return feeds ? *feeds : FeedList{};
}

Notification::ObjectMap withController(const std::shared_ptr<UIViewController>& controller) {
    Notification::ObjectMap objects;
    if (controller) objects["vc"] = controller;
    return objects;
}

void post(const char* name, Value userInfo, Notification::ObjectMap objects = {}) {
    platform::NotificationCenter::defaultCenter().post(name, nullptr, std::move(userInfo),
                                                       std::move(objects));
}

}  // namespace

bool BLQBrindlecueBridge::registerClass() {
    platform::ClassRegistry::registerClass(kClassName, "NSObject");
    return platform::ClassRegistry::exists(kClassName);
}

void BLQBrindlecueBridge::bridgeHandler(const Notification&) {
    auto& shared = observations();
    std::lock_guard lock(shared.mutex);
    if (!shared.observers.empty()) return;
    auto& center = platform::NotificationCenter::defaultCenter();
    auto observe = [&](const char* name, void (*handler)(const Notification&)) {
        shared.observers.push_back(center.addObserver(name, nullptr, nullptr, handler));
    };
    observe("BLQ_BrindlecueBridge_ParseFeed_Notification", parseTipFromFeedsHandler);
    observe("BLQ_BrindlecueBridge_ParsePagingFeed_Notification", parseTipFromPagingFeed);
    observe("BLQ_BrindlecueBridge_ShowTip_Notification", showTipForViewControllerHandler);
    observe("BLQ_BrindlecueBridge_ShowOffScreenTips_Notification", showOffScreenTips);
    observe("BLQ_BrindlecueBridge_CustomFeed_Notification", customFeedForViewControllerHandler);
    observe("BLQ_BrindlecueBridge_SuperTag_Notification", targetSuperTagForViewControllerHandler);
    observe("BLQ_BrindlecueBridge_SuperTagVC_Notification", increaseSuperTagForViewControllerHandler);
    observe("BLQ_BrindlecueBridge_ForceDismissTip_Notification", forceDismissTipForViewControllerHandler);
    observe("BLQ_BrindlecueBridge_EnterVC_Notification", enterCustomerVCHandler);
    observe("BLQ_BrindlecueBridge_ExitVC_Notification", exitCustomerVCHandler);
    observe(BLQInstallNotificationKeys::installSuccessNotification, tagBrindlecueVersionHandler);
    observe(BLQInstallNotificationKeys::updateSuccessNotification, tagBrindlecueVersionHandler);
    observe("BLQ_BrindlecueBridge_FeedResult_Notification", sendFeedResultHandler);
    observe("QXRCTRegisterViewName", registerRCTViewName);
    observe("BLQ_BrindlecueBridge_SDKIntegrationIssues_Notification", showSDKIntegrationIssue);
}

void BLQBrindlecueBridge::resetForTesting() {
    auto& shared = observations();
    std::lock_guard lock(shared.mutex);
    for (const auto& observer : shared.observers)
        platform::NotificationCenter::defaultCenter().removeObserver(observer);
    shared.observers.clear();
}

void BLQBrindlecueBridge::parseTipFromFeedsHandler(const Notification& notification) {
    FeedList feeds = feedsOf(notification);
    if (!feeds.empty()) {
        std::vector<std::string> feedIds;
        for (const auto& feed : feeds)
            if (feed && feed->feed_id()) feedIds.push_back(*feed->feed_id());
        if (!BLQFacadeLink::isInPreviewMode()) KJDao::deleteDisabledCampaign(feedIds);
    } else {
        KJDao::deleteSeriesInfiniteCampaign();
    }
    tipManager()->fillTipFromFeed(feeds);
}

void BLQBrindlecueBridge::parseTipFromPagingFeed(const Notification& notification) {
    tipManager()->fillTipFromFeed(feedsOf(notification));
}

void BLQBrindlecueBridge::showTipForViewControllerHandler(const Notification& notification) {
    tipManager()->showTipForViewController(notification.userInfo(), notification.objects());
}

void BLQBrindlecueBridge::showOffScreenTips(const Notification& notification) {
    if (auto engine = tipManager()) engine->displayOffScreenTips(notification.userInfo(), notification.objects());
}

void BLQBrindlecueBridge::customFeedForViewControllerHandler(const Notification& notification) {
    if (auto engine = tipManager()) engine->customFeedForViewController(controllerOf(notification));
}

void BLQBrindlecueBridge::targetSuperTagForViewControllerHandler(const Notification& notification) {
    if (auto engine = tipManager()) engine->targetSuperTagForViewController(controllerOf(notification));
}

void BLQBrindlecueBridge::increaseSuperTagForViewControllerHandler(const Notification& notification) {
    if (!isSuperTagEnabled(0)) return;
    std::string name;
    if (const std::string* rn = notification.userInfo()["RCTViewName"].getString()) {
        name = *rn;
    } else if (auto controller = controllerOf(notification)) {
        name = controller->className();
    } else {
        return;
    }
    std::string key = "kj_supertag_view_" + name;
    if (isSuperTagFilterPassed(key)) facade()->incrementTag(key);
}

void BLQBrindlecueBridge::forceDismissTipForViewControllerHandler(const Notification& notification) {
    tipManager()->forceDismissTipForViewController(controllerOf(notification));
}

void BLQBrindlecueBridge::enterCustomerVCHandler(const Notification& notification) {
    auto controller = controllerOf(notification);
    tipManager()->setCustomerCurrentVC(controller);
    showOnDemandCampaign();
    facade()->logToConsoleAtLevel(2, "entering vc: " + (controller ? controller->description() : "(null)"));
}

void BLQBrindlecueBridge::showOnDemandCampaign() {
    auto shared = facade();
    if (auto campaignId = shared->onDemandCampaignID()) shared->showOnDemandGuide(*campaignId);
}

void BLQBrindlecueBridge::exitCustomerVCHandler(const Notification&) {
    tipManager()->setCustomerCurrentVC(nullptr);
}

void BLQBrindlecueBridge::tagBrindlecueVersionHandler(const Notification&) {
    auto shared = facade();
    std::string version = shared->version();
    shared->tagString(version, "qx_version");
    shared->tagString(version, "blq_version");
    std::string platformWord = shared->developmentPlatform();
    if (platformWord != BLQInstallPlatform::native() && platformWord != BLQInstallPlatform::reactNative())
        return;
    std::string flag = platform::ClassRegistry::exists("KJCarouselBridge") ? "true" : "false";
    auto& defaults = platform::UserDefaults::standard();
    if (defaults.string("kj_module_carousel") != flag) defaults.setString("kj_module_carousel", flag);
    defaults.synchronize();
}

void BLQBrindlecueBridge::sendFeedResultHandler(const Notification& notification) {
    if (BLQFacadeLink::isInPreviewMode()) return;
    const Value& info = notification.userInfo();
    std::optional<std::string> feedId;
    if (const std::string* id = info["feed_id"].getString()) feedId = *id;
    auto raw = static_cast<int32_t>(info["result"].integerValue());
    facade()->notifyFeedResult(feedId, info["campaignid"], static_cast<BLQFeedResult>(raw), info["step_id"],
                               info["delete"].boolValue(), info["complete"].boolValue());
}

void BLQBrindlecueBridge::registerRCTViewName(const Notification& notification) {
    auto object = std::static_pointer_cast<Value>(notification.object());
    // A registration that names no view leaves the engine on none, so that screens are matched
    // by their class again.
    std::optional<std::string> name;
    if (object) {
        if (const std::string* text = (*object)["viewName"].getString()) name = *text;
    }
    if (!brindlecueIsEnabled()) return;
    platform::DispatchQueue::main()->sync([&] { customerViewName(name); });
    auto current = tipManager()->customerCurrentVC();
    platform::DispatchQueue::main()->async(
        [current] { UIViewControllerKJViewExt::dismissLauncherButton(current); });
    post("BLQ_BrindlecueBridge_SuperTag_Notification", Value::dictionary({}), withController(current));
    if (BLQFacadeLink::isInPreviewMode()) {
        post("QX_Preview_Tips_Updated", Value::dictionary({{"tips", "ReshowCache"}}));
        return;
    }
    post("BLQ_BrindlecueBridge_ShowTip_Notification", Value::dictionary({}), withController(current));
    Value view = Value::dictionary({});
    if (name) view.set("RCTViewName", *name);
    post("BLQ_BrindlecueBridge_SuperTagVC_Notification", std::move(view));
}

void BLQBrindlecueBridge::customerViewName(const std::optional<std::string>& name) {
    auto shared = facade();
    shared->logToConsoleAtLevel(2, "In customerViewName");
    auto window = blqKeyWindow();
    auto engine = shared->tipManager();
    engine->setCustomerCurrentVC(window ? window->rootViewController() : nullptr);
    engine->setCurrentRCTViewName(name);
    showOnDemandCampaign();
    shared->logToConsoleAtLevel(2, "Out customerViewName");
}

void BLQBrindlecueBridge::showSDKIntegrationIssue(const Notification& notification) {
    auto controller = controllerOf(notification);
    platform::DispatchQueue::main()->async([controller] {
        auto alert = platform::UIAlertController::alertControllerWithTitle(
            "Warning",
            "Brindlecue SDK is not integrated correctly! Please double check the integration steps, or "
            "contact "
            "support@brindlecue.com for help.",
            platform::UIAlertControllerStyle::Alert);
        alert->addAction(
            platform::UIAlertAction::actionWithTitle("OK", platform::UIAlertActionStyle::Default, nullptr));
        auto presenter = controller;
        if (!presenter) {
            if (auto window = blqKeyWindow()) presenter = window->rootViewController();
        }
        if (presenter) presenter->presentViewController(alert, true);
    });
}

}  // namespace brindlecue
