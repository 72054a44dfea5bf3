#include "facade/BLQHostScreen.h"

#include <optional>

#include "config/BLQUtilsFacade.h"
#include "facade/BLQFacadeLink.h"
#include "facade/Brindlecue.h"
#include "facade/IKJDeepLinking.h"
#include "feed/BLQIPreviewModeManager.h"
#include "foundation/BLQUtils.h"
#include "foundation/BLQViewUtils.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "presentation/UIViewControllerKJViewExt.h"
#include "tips/IKJCustomFeed.h"

namespace brindlecue {

using platform::Notification;
using platform::UIViewController;
using platform::Value;

namespace {

Notification::ObjectMap withController(const std::shared_ptr<UIViewController>& controller) {
    Notification::ObjectMap objects;
    if (controller) objects["vc"] = controller;
    return objects;
}

}  // namespace

void BLQHostScreen::registerClasses() {
    static std::once_flag registered;
    std::call_once(registered, [] {
        using platform::ClassRegistry;
        ClassRegistry::registerClass("BrindlecueBaseViewController", "UIViewController");
        ClassRegistry::registerClass("BrindlecueBaseTableViewController", "UITableViewController");
        ClassRegistry::registerClass("BrindlecueBaseCollectionViewController", "UICollectionViewController");
        ClassRegistry::registerClass("BLQBaseViewController", "BrindlecueBaseViewController");
        ClassRegistry::registerClass("BLQBaseTableViewController", "BrindlecueBaseTableViewController");
        ClassRegistry::registerClass("BLQBaseCollectionViewController",
                                     "BrindlecueBaseCollectionViewController");
        ClassRegistry::registerClass("BLQBaseVCImp", "NSObject");
        for (const char* name : {"BrindlecueBaseViewController", "BrindlecueBaseTableViewController",
                                 "BrindlecueBaseCollectionViewController"}) {
            ClassRegistry::addProperty(
                name, {"customFeedDelegate", "T@\"<IKJCustomFeed>\",W,N,V_customFeedDelegate",
                       [](const platform::NSObject& object) -> std::shared_ptr<platform::NSObject> {
                           const auto* screen = dynamic_cast<const BLQHostScreen*>(&object);
                           if (screen == nullptr) return nullptr;
                           return std::dynamic_pointer_cast<platform::NSObject>(screen->customFeedDelegate());
                       }});
        }
    });
}

std::shared_ptr<IKJCustomFeed> BLQHostScreen::customFeedDelegate() const {
    std::lock_guard lock(delegateMutex_);
    return customFeedDelegate_.lock();
}

void BLQHostScreen::setCustomFeedDelegate(const std::shared_ptr<IKJCustomFeed>& delegate) {
    std::lock_guard lock(delegateMutex_);
    customFeedDelegate_ = delegate;
}

// ---- Presentation controller ----------------------------------------------------------------------

platform::UIModalPresentationStyle BLQHostScreen::adaptivePresentationStyleForPresentationController(
    const std::shared_ptr<platform::UIPresentationController>&) {
    return platform::UIModalPresentationStyle::FullScreen;
}

platform::UIModalPresentationStyle BLQHostScreen::adaptivePresentationStyleForPresentationController(
    const std::shared_ptr<platform::UIPresentationController>&,
    const std::shared_ptr<platform::UITraitCollection>&) {
    return platform::UIModalPresentationStyle::None;
}

std::shared_ptr<UIViewController>
BLQHostScreen::presentationControllerViewControllerForAdaptivePresentationStyle(
    const std::shared_ptr<platform::UIPresentationController>&, platform::UIModalPresentationStyle) {
    return nullptr;
}

bool BLQHostScreen::presentationControllerShouldDismiss(
    const std::shared_ptr<platform::UIPresentationController>&) {
    return true;
}

void BLQHostScreen::presentationControllerDidDismiss(
    const std::shared_ptr<platform::UIPresentationController>&) {
    if (!isReported()) return;
    reportPageExit();
    postWithController(kExitVCNotification);
    checkPreviewMode();
}

// ---- Reports --------------------------------------------------------------------------------------

bool BLQHostScreen::isReported() const {
    if (excludeBehavior() || isLibraryScreen()) return false;
    return !blqIsSDKViewController(hostController());
}

std::string BLQHostScreen::pageName() const {
    auto controller = hostController();
    if (!controller) return {};
    std::weak_ptr<UIViewController> weak = controller;
    return blqAppendUniqueSuffix(controller->className(), [weak]() -> std::optional<std::string> {
        auto strong = weak.lock();
        auto view = strong ? strong->viewIfLoaded() : nullptr;
        auto content = view
                           ? std::dynamic_pointer_cast<platform::UIView>(view->performSelector("contentView"))
                           : nullptr;
        return content ? findNativeID(content) : std::nullopt;
    });
}

void BLQHostScreen::postWithController(const char* name) const {
    platform::NotificationCenter::defaultCenter().post(name, nullptr, Value(),
                                                       withController(hostController()));
}

void BLQHostScreen::reportPageEnter() const {
    Brindlecue::sharedInstance()->kjNotifyPageEnter(pageName());
}

void BLQHostScreen::reportPageExit() const {
    Brindlecue::sharedInstance()->kjNotifyPageExit(pageName());
}

void BLQHostScreen::checkPreviewMode() const {
    if (auto preview = BLQFacadeLink::previewModeManager())
        preview->checkIfPreviewModeIsRequiredOrNot(hostController());
}

void BLQHostScreen::displayDeepLinking() const {
    auto controller = hostController();
    if (auto* deepLinking = dynamic_cast<IKJDeepLinking*>(controller.get()))
        deepLinking->displayDeepLinkingToUI();
}

void BLQHostScreen::recordEnterBack() const {
    auto controller = hostController();
    if (!controller) return;
    auto& defaults = platform::UserDefaults::standard();
    defaults.setString(kEnterBackPageHistory, controller->className());
    defaults.synchronize();
}

void BLQHostScreen::adoptNavigationSheetInPreviewMode() const {
    if (!BLQFacadeLink::isInPreviewMode()) return;
    std::weak_ptr<UIViewController> weak = hostController();
    platform::DispatchQueue::main()->async([weak] {
        auto controller = weak.lock();
        auto delegate =
            std::dynamic_pointer_cast<platform::UIAdaptivePresentationControllerDelegate>(controller);
        auto navigation = controller ? controller->navigationController() : nullptr;
        if (delegate && navigation) navigation->presentationController()->setDelegate(delegate);
    });
}

void BLQHostScreen::removeLauncherButtons() const {
    UIViewControllerKJViewExt::dismissLauncherButton(hostController());
}

void BLQHostScreen::postAppearedRequests() const {
    if (BLQFacadeLink::isInPreviewMode()) {
        platform::NotificationCenter::defaultCenter().post(kPreviewTipsUpdatedNotification, nullptr,
                                                           Value::dictionary({{"tips", "ReshowCache"}}));
        return;
    }
    postWithController(kShowTipNotification);
    postWithController(kSuperTagVCNotification);
}

void BLQHostScreen::postSizeChange(
    platform::CGSize size,
    const std::shared_ptr<platform::UIViewControllerTransitionCoordinator>& coordinator) {
    auto post = [size] {
        platform::NotificationCenter::defaultCenter().post(kOrientationChangedNotification,
                                                           std::make_shared<platform::CGSize>(size));
    };
    if (!coordinator) {
        post();
        return;
    }
    coordinator->animateAlongsideTransition([] {}, post);
}

}  // namespace brindlecue
