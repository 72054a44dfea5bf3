#include "facade/BrindlecueBaseViewController.h"

#include <mutex>

#include "facade/BLQBaseViewController.h"
#include "foundation/KJLog.h"
#include "platform/DateFormatter.h"
#include "platform/NotificationCenter.h"
#include "platform/SystemLog.h"
#include "platform/TestingReset.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIView.h"

namespace brindlecue {

using platform::UIViewController;
using platform::Value;

namespace {

constexpr double kMountInterval = 1.0;

const platform::SystemLog& systemLog() {
    static const auto* log = new platform::SystemLog("com.brindlecue", "BrindlecueSDK");
    return *log;
}

// The values the React Native path shares between all screens of the process. Never destroyed:
// React Native may call a screen while the process exits.
struct ReactNativeState {
    std::mutex mutex;
    std::optional<platform::Date> lastChangeDate;
    bool uiMayChange = false;
};

ReactNativeState& reactNativeState() {
    static auto* state = [] {
        platform::TestingReset::add("BrindlecueBaseViewController.reactNative",
                                    [] { BrindlecueBaseViewController::resetReactNativeStateForTesting(); });
        return new ReactNativeState();
    }();
    return *state;
}

std::string formatted(platform::Date date) {
    platform::DateFormatter formatter;
    formatter.setDateFormat("yyyy-MM-dd HH:mm:ss");
    return formatter.stringFromDate(date);
}

// The number of pending UI blocks the UI manager reports; none when the lookup fails or gives
// something without a count.
std::optional<size_t> pendingUIBlocks(const platform::NSObject& manager) {
    Value blocks;
    try {
        blocks = manager.valueForKey("_pendingUIBlocks");
    } catch (...) {
        return std::nullopt;
    }
    if (const auto* array = blocks.getArray()) return array->size();
    if (const auto* dictionary = blocks.getDictionary()) return dictionary->size();
    return std::nullopt;
}

void onMainThread(std::function<void()> work) {
    if (platform::isMainThread())
        work();
    else
        platform::DispatchQueue::main()->async(std::move(work));
}

}  // namespace

BrindlecueBaseViewController::BrindlecueBaseViewController(std::optional<std::string> nibName,
                                                           std::shared_ptr<platform::Bundle> bundle) {
    initWithNibName(std::move(nibName), std::move(bundle));
}

void BrindlecueBaseViewController::didConstruct() {
    UIViewController::didConstruct();
    registerClasses();
}

std::shared_ptr<UIViewController> BrindlecueBaseViewController::hostController() const {
    return std::const_pointer_cast<UIViewController>(sharedAs<UIViewController>());
}

// ---- Appearance -----------------------------------------------------------------------------------

void BrindlecueBaseViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    if (!checkReactNative()) _doViewDidLoad();
}

void BrindlecueBaseViewController::_doViewDidLoad() {
    displayDeepLinking();
    if (isReported()) postWithController(kCustomFeedNotification);
}

void BrindlecueBaseViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (!checkReactNative()) _doViewWillAppear();
    hookReactNative();
    removeLauncherButtons();
}

void BrindlecueBaseViewController::_doViewWillAppear() {
    if (!isReported()) return;
    adoptNavigationSheetInPreviewMode();
    recordEnterBack();
}

void BrindlecueBaseViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    if (!checkReactNative()) _doViewDidAppear();
    if (dynamic_cast<const BLQBaseViewController*>(this) != nullptr || isKindOfClass("BLQBaseViewController"))
        return;
    if (isReported()) postWithController(kSuperTagNotification);
    postAppearedRequests();
}

void BrindlecueBaseViewController::_doViewDidAppear() {
    if (!isReported()) return;
    reportPageEnter();
    postWithController(kEnterVCNotification);
    checkPreviewMode();
}

void BrindlecueBaseViewController::viewWillDisappear(bool animated) {
    UIViewController::viewWillDisappear(animated);
    if (!checkReactNative()) _doViewWillDisappear();
}

void BrindlecueBaseViewController::_doViewWillDisappear() {
    if (!isReported()) return;
    reportPageExit();
    postWithController(kForceDismissTipNotification);
    postWithController(kExitVCNotification);
}

void BrindlecueBaseViewController::viewWillTransitionToSize(
    platform::CGSize size,
    const std::shared_ptr<platform::UIViewControllerTransitionCoordinator>& coordinator) {
    UIViewController::viewWillTransitionToSize(size, coordinator);
    postSizeChange(size, coordinator);
}

// ---- Scrolling ------------------------------------------------------------------------------------

void BrindlecueBaseViewController::postOffScreenTips(bool shouldShow) {
    platform::Notification::ObjectMap objects{{"vc", hostController()}};
    platform::NotificationCenter::defaultCenter().post(
        kShowOffScreenTipsNotification, nullptr, Value::dictionary({{"shouldShow", shouldShow}}), objects);
}

void BrindlecueBaseViewController::scrollViewDidScroll(platform::UIScrollView&) {
    systemLog().log(platform::LogType::Default, "Did scroll");
    postOffScreenTips(false);
}

void BrindlecueBaseViewController::scrollViewWillBeginDragging(platform::UIScrollView&) {}

void BrindlecueBaseViewController::scrollViewDidEndDragging(platform::UIScrollView&, bool) {
    systemLog().log(platform::LogType::Default, "Did end dragging");
    postOffScreenTips(false);
}

void BrindlecueBaseViewController::scrollViewWillBeginDecelerating(platform::UIScrollView&) {
    systemLog().log(platform::LogType::Default, "Did begin decelerating");
    postOffScreenTips(true);
}

void BrindlecueBaseViewController::scrollViewDidEndDecelerating(platform::UIScrollView&) {
    systemLog().log(platform::LogType::Default, "Did end decelerating");
}

// ---- Presentation controller ----------------------------------------------------------------------

void BrindlecueBaseViewController::presentationControllerWillDismiss(
    const std::shared_ptr<platform::UIPresentationController>&) {
    systemLog().log(platform::LogType::Default, "presentationControllerWillDismiss");
}

void BrindlecueBaseViewController::presentationControllerDidAttemptToDismiss(
    const std::shared_ptr<platform::UIPresentationController>&) {
    systemLog().log(platform::LogType::Default, "presentationControllerDidAttemptToDismiss");
}

// ---- React Native ---------------------------------------------------------------------------------

bool BrindlecueBaseViewController::checkReactNative() {
    return platform::ClassRegistry::exists(kReactNativeRootViewClass) &&
           !platform::ClassRegistry::isPlatformClass(kReactNativeRootViewClass);
}

void BrindlecueBaseViewController::hookReactNative() {
    if (!checkReactNative()) return;
    auto view = viewIfLoaded();
    auto bridge = view ? view->performSelector("bridge") : nullptr;
    auto uiManager = bridge ? bridge->performSelector("uiManager") : nullptr;
    auto coordinator = std::dynamic_pointer_cast<RCTUIManagerObserverCoordinator>(
        uiManager ? uiManager->performSelector("observerCoordinator") : nullptr);
    if (!coordinator) return;
    coordinator->addObserver(std::dynamic_pointer_cast<RCTUIManagerObserver>(hostController()));
}

void BrindlecueBaseViewController::uiManagerWillPerformMounting(
    const std::shared_ptr<platform::NSObject>& manager) {
    if (!manager) return;
    auto pending = pendingUIBlocks(*manager);
    if (!pending || *pending < 1) return;

    int64_t current = 0;
    platform::DispatchQueue::main()->sync([&current] {
        current = static_cast<int64_t>(platform::UIApplication::sharedApplication()->statusBarOrientation());
    });

    // One decision at a time: whether this mount re-runs the steps, and the orientation it leaves
    // behind. A re-run claims its second before the steps run, so that a mount arriving meanwhile
    // on another thread does not re-run them too.
    bool rotation = false;
    {
        auto& state = reactNativeState();
        std::lock_guard lock(state.mutex);
        platform::Date now = platform::Date::now();
        if (KJLogHasObserver()) {
            double interval = state.lastChangeDate ? now.timeIntervalSince(*state.lastChangeDate) : 0;
            KJLog(1, "changeTimeInterval: %f, lastChangeDate: %@, now: %@", interval,
                  state.lastChangeDate ? formatted(*state.lastChangeDate) : std::string("(null)"),
                  formatted(now));
        }
        if (state.lastChangeDate && now.timeIntervalSince(*state.lastChangeDate) <= kMountInterval) return;
        state.uiMayChange = false;
        auto& defaults = platform::UserDefaults::standard();
        int64_t stored = defaults.integer(kDeviceOrientation);
        rotation = stored != 0 && current != 0 && current != stored;
        if (!rotation) state.lastChangeDate = now;
        defaults.setInteger(kDeviceOrientation, current);
        defaults.synchronize();
    }

    std::weak_ptr<UIViewController> weak = hostController();
    onMainThread([weak, rotation] {
        auto self = std::dynamic_pointer_cast<BrindlecueBaseViewController>(weak.lock());
        if (!self) return;
        if (rotation) {
            KJLog(1,
                  "React Native uiManagerWillPerformMounting but it is triggered by an app rotating, prevent "
                  "to send "
                  "the following Brindlecue notifications: BLQ_BrindlecueBridge_ShowTip_Notification "
                  "BLQ_BrindlecueBridge_CustomFeed_NotificationBLQ_BrindlecueBridge_SuperTag_Notification "
                  "BLQ_BrindlecueBridge_EnterVC_Notification.");
            self->checkPreviewMode();
            return;
        }
        self->_doViewDidLoad();
        self->_doViewWillAppear();
        self->_doViewDidAppear();
        setLastChangeDate(platform::Date::now());
    });
}

std::optional<platform::Date> BrindlecueBaseViewController::lastChangeDate() {
    auto& state = reactNativeState();
    std::lock_guard lock(state.mutex);
    return state.lastChangeDate;
}

void BrindlecueBaseViewController::setLastChangeDate(std::optional<platform::Date> date) {
    auto& state = reactNativeState();
    std::lock_guard lock(state.mutex);
    state.lastChangeDate = date;
}

bool BrindlecueBaseViewController::uiMayChange() {
    auto& state = reactNativeState();
    std::lock_guard lock(state.mutex);
    return state.uiMayChange;
}

void BrindlecueBaseViewController::setUiMayChange(bool mayChange) {
    auto& state = reactNativeState();
    std::lock_guard lock(state.mutex);
    state.uiMayChange = mayChange;
}

void BrindlecueBaseViewController::resetReactNativeStateForTesting() {
    auto& state = reactNativeState();
    std::lock_guard lock(state.mutex);
    state.lastChangeDate.reset();
    state.uiMayChange = false;
}

}  // namespace brindlecue
