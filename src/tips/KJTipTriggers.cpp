// Click and button campaigns, launchers, on-demand campaigns, custom feeds and the FAQ launcher.
// Super tags and off-screen steps are in KJTipTriggersTracking.cpp.
#include <algorithm>

#include "tips/KJTipTriggers.h"

#include "config/BLQPreviewModeCheck.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/KJFeedObject.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"
#include "feed/KJTipUtil.h"
#include "foundation/BLQViewUtils.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/BLQITipLauncherElement.h"
#include "storage/KJDBManager.h"
#include "targeting/KJTargettingWidgetV2.h"
#include "targeting/KJUIElementManager.h"
#include "targeting/UIViewBrindlecueSDK.h"
#include "tips/BLQITipManagerDelegate.h"
#include "tips/IKJCustomFeed.h"
#include "tips/KJTipManager.h"
#include "tips/KJTipManagerSupport.h"

namespace brindlecue {

using platform::NSObject;
using platform::UIView;
using platform::Value;
using namespace tipengine;

namespace {

constexpr int32_t kClickTrigger = 2;
constexpr double kLeastHookDelay = 1.0;

const platform::Selector& clickSelector() {
    static const auto* selector = new platform::Selector(
        platform::makeSelector("clickEventHandler:", &KJTipTriggers::clickEventHandler));
    return *selector;
}

const platform::Selector& launcherSelector() {
    static const auto* selector = new platform::Selector(
        platform::makeSelector("launcherEventHandler:", &KJTipTriggers::launcherEventHandler));
    return *selector;
}

bool controlIsArbitraryPosition(const std::shared_ptr<BLQITipTargetElement>& target) {
    const KJTipTargetElement* descriptor = targetOf(target);
    return descriptor != nullptr && descriptor->control &&
           KJTipUtil::isArbitraryPosition(Value(*descriptor->control));
}

}  // namespace

KJTipTriggers::KJTipTriggers(std::weak_ptr<KJTipManager> engine, Collaborators collaborators)
    : engine_(std::move(engine)), collaborators_(std::move(collaborators)) {}

void KJTipTriggers::onMainQueue(std::function<void()> block) {
    if (platform::isMainThread()) {
        block();
    } else {
        platform::DispatchQueue::main()->async(std::move(block));
    }
}

std::shared_ptr<UIView> KJTipTriggers::rematch(const std::shared_ptr<BLQITipTargetElement>& target) const {
    const KJTipTargetElement* descriptor = targetOf(target);
    auto engine = this->engine();
    if (descriptor == nullptr || !engine) return nullptr;
    // A finder per look-up: a second forest on the same finder would count every view twice.
    return engine->getWidgetTargettingAlgoTool(descriptor->algoVersion)->rematchWidget(*descriptor);
}

std::shared_ptr<UIView> KJTipTriggers::tappedView(const std::shared_ptr<NSObject>& sender) {
    if (auto recognizer = std::dynamic_pointer_cast<platform::UIGestureRecognizer>(sender))
        return recognizer->view();
    return std::dynamic_pointer_cast<UIView>(sender);
}

// ---- Hooks ------------------------------------------------------------------------------------------

void KJTipTriggers::hookEventForTipSeries(const std::shared_ptr<KJTipSeriesElement>& series,
                                          const std::shared_ptr<platform::UIViewController>& controller,
                                          double minDelaySeconds) {
    if (!series) return;
    std::weak_ptr<KJTipTriggers> weak = self();
    std::weak_ptr<platform::UIViewController> screen = controller;
    platform::DispatchQueue::main()->asyncAfter(
        std::max(minDelaySeconds, kLeastHookDelay), [weak, series, screen] {
            auto triggers = weak.lock();
            auto engine = triggers ? triggers->engine() : nullptr;
            if (!engine) return;
            // A screen that has gone has nothing left to hook.
            auto vc = screen.lock();
            if (!vc) return;
            for (const auto& step : series->arrayTips)
                if (step && targetMatches(step->target, vc)) step->viewController = vc;
            if (series->arrayTips.empty() || !series->arrayTips.front()) return;
            const auto& first = series->arrayTips.front();

            std::shared_ptr<UIView> seriesTarget, firstTarget;
            if (series->triggerType == kClickTrigger || series->triggerType == kButtonTrigger) {
                seriesTarget = triggers->rematch(series->target);
                firstTarget = triggers->rematch(first->target);
            }
            if (first->delaySeconds <= 0) {
                triggers->hookFoundTargets(series, seriesTarget, firstTarget);
                return;
            }
            platform::DispatchQueue::main()->asyncAfter(
                first->delaySeconds, [weak, series, seriesTarget, firstTarget] {
                    if (auto t = weak.lock()) t->hookFoundTargets(series, seriesTarget, firstTarget);
                });
        });
}

void KJTipTriggers::hookFoundTargets(const std::shared_ptr<KJTipSeriesElement>& series,
                                     const std::shared_ptr<UIView>& seriesTarget,
                                     const std::shared_ptr<UIView>& firstTarget) {
    const auto& first = series->arrayTips.front();
    auto& elements = KJUIElementManager::sharedInstance();
    if (series->triggerType == kClickTrigger) {
        if (!seriesTarget) return;
        // Hooked once: a campaign hooked again (a later visit of its screen) replaces its hook.
        elements.removeClickEventForElement(seriesTarget, self(), clickSelector());
        series->triggerControl = seriesTarget;
        elements.hookClickEventForElement(seriesTarget, self(), clickSelector());
        return;
    }
    if (series->triggerType != kButtonTrigger) return;

    const bool targetsFound = seriesTarget && (first->tipType != kPopTipType ||
                                               screenOfTarget(first->target) == kAllScreens || firstTarget);
    if (!targetsFound && !controlIsArbitraryPosition(first->target)) {
        logGuides(
            4,
            "Launcher button cannot be shown, as launcher need target but unable to find its target or its "
            "first tip's target");
        return;
    }
    if (!collaborators_.launcher) return;
    auto button = collaborators_.launcher->addLauncherForTip(first, seriesTarget);
    if (button) button->addTarget(self(), launcherSelector(), platform::UIControlEventTouchUpInside);
}

void KJTipTriggers::removeEventForSeries(const std::shared_ptr<KJTipSeriesElement>& series) {
    if (!series) return;
    std::weak_ptr<KJTipTriggers> weak = self();
    onMainQueue([weak, series] {
        auto triggers = weak.lock();
        auto control = series->triggerControl.lock();
        if (!triggers || !control) return;
        if (series->triggerType == kClickTrigger) {
            KJUIElementManager::sharedInstance().removeClickEventForElement(control, triggers,
                                                                            clickSelector());
        } else if (series->triggerType == kButtonTrigger) {
            if (auto launcher = std::dynamic_pointer_cast<UIView>(control)) launcher->removeFromSuperview();
        }
    });
}

// ---- Taps ------------------------------------------------------------------------------------------

void KJTipTriggers::clickEventHandler(const std::shared_ptr<NSObject>& sender) {
    auto view = tappedView(sender);
    if (!view) return;
    auto engine = this->engine();
    if (auto series = searchTipSeriesByTriggerControl(view, kClickTrigger); series && engine) {
        if (!series->arrayTips.empty() && series->arrayTips.front()) {
            const auto& first = series->arrayTips.front();
            engine->showTip(first, first->viewController.lock(), first->targetControl.lock(), 0, false);
        }
    }
    // A click campaign hooked through a tap recogniser fires once.
    if (auto recognizer = std::dynamic_pointer_cast<platform::UIGestureRecognizer>(sender))
        view->removeGestureRecognizer(recognizer);
}

void KJTipTriggers::launcherEventHandler(const std::shared_ptr<NSObject>& sender) {
    auto button = std::dynamic_pointer_cast<UIView>(sender);
    if (!button) return;
    auto engine = this->engine();
    auto lock = engine ? engine->showLauncherBtnClickLock() : nullptr;
    std::unique_lock<std::mutex> hold;
    if (lock) hold = std::unique_lock(*lock);
    if (auto series = searchTipSeriesByFeedID(button); series && engine) {
        if (!series->arrayTips.empty() && series->arrayTips.front()) {
            const auto& first = series->arrayTips.front();
            engine->showTip(first, first->viewController.lock(), first->targetControl.lock(), 0, false);
        }
    }
    button->removeFromSuperview();
}

std::shared_ptr<KJTipSeriesElement> KJTipTriggers::searchTipSeriesByTriggerControl(
    const std::shared_ptr<NSObject>& view, int32_t trigger) const {
    auto engine = this->engine();
    if (!engine || !view) return nullptr;
    const auto campaigns = BLQPreviewModeCheck::isInPreviewMode() ? engine->cachedTips() : engine->innerTipSeries();
    for (const auto& series : campaigns)
        if (series && series->triggerType == trigger && series->triggerControl.lock() == view) return series;
    return nullptr;
}

std::shared_ptr<KJTipSeriesElement> KJTipTriggers::searchTipSeriesByFeedID(
    const std::shared_ptr<UIView>& button) const {
    auto engine = this->engine();
    if (!engine || !button) return nullptr;
    const auto launcherId = brindlecueLauncherID(*button);
    if (!launcherId) return nullptr;
    const auto campaigns = BLQPreviewModeCheck::isInPreviewMode() ? engine->cachedTips() : engine->innerTipSeries();
    for (const auto& series : campaigns)
        if (series && series->feed_id == launcherId) return series;
    return nullptr;
}

// ---- On-demand campaigns, custom feeds, the FAQ launcher ------------------------------------------

void KJTipTriggers::showOnDemandGuide(const std::string& campaignId) {
    auto engine = this->engine();
    if (!engine) return;
    for (const auto& series : engine->innerTipSeries()) {
        if (series && series->campaignid == campaignId) {
            showOnDemandCampaignWithTips(series->arrayTips);
            return;
        }
    }
    // An on-demand campaign leaves the live list when it ends but stays stored: the stored one
    // goes back into the live list (which holds the campaign its steps answer to) and shows again
    // at once, not only after a screen has come on view and refreshed the list.
    if (!BLQPreviewModeCheck::isInPreviewMode()) {
        for (const auto& stored : KJDBManager::sharedInstance()->findOnDemandCampaign(campaignId)) {
            auto series = std::dynamic_pointer_cast<KJTipSeriesElement>(stored);
            if (series && series->campaignid == campaignId) {
                engine->purgeDuplicateInfiniteCampaign({series});
                showOnDemandCampaignWithTips(series->arrayTips);
                return;
            }
        }
        return;
    }
    auto facade = collaborators_.facade.lock();
    auto previewMode = facade ? facade->previewModeManager() : nullptr;
    if (previewMode) {
        previewMode->receiveUpdated(static_cast<BLQPreviewModeNotificationState>(kPreviewStateNoOnDemand),
                                    "OnDemand Guides not available during preview mode");
    }
}

void KJTipTriggers::showOnDemandCampaignWithTips(const std::vector<std::shared_ptr<KJTipElement>>& steps) {
    if (steps.empty() || !steps.front()) return;
    std::weak_ptr<KJTipTriggers> weak = self();
    auto first = steps.front();
    onMainQueue([weak, first] {
        auto triggers = weak.lock();
        auto engine = triggers ? triggers->engine() : nullptr;
        if (!engine) return;
        auto screen = engine->customerCurrentVC();
        if (screen && targetMatches(first->target, screen)) engine->showTip(first, screen, nullptr, 0, false);
    });
}

void KJTipTriggers::showOnDemandForFAQ() {
    auto engine = this->engine();
    if (auto id = engine ? engine->onDemandGuideId() : std::nullopt) showOnDemandGuide(*id);
}

void KJTipTriggers::customFeedForViewController(
    const std::shared_ptr<platform::UIViewController>& controller) {
    auto engine = this->engine();
    if (!engine || !controller) return;
    const std::string screen = screenNameOf(controller);
    auto facade = collaborators_.facade.lock();
    for (const auto& feed : engine->innerFeedObjects()) {
        if (!feed) continue;
        const std::string* view = feed->content()["view"].getString();
        if (!view || (*view != screen && *view != kAllScreens)) continue;
        logGuides(2, "Find custom feed for view " + controller->className() + ".");
        if (facade) facade->sendFeedAck(text(feed->feed_id()));
        auto receiver =
            std::dynamic_pointer_cast<IKJCustomFeed>(controller->performSelector("customFeedDelegate"));
        if (!receiver) continue;
        platform::DispatchQueue::main()->async([receiver, feed] { receiver->receiveCustomFeed(feed); });
    }
}

void KJTipTriggers::removeFAQLauncher() {
    onMainQueue([] {
        auto window = blqKeyWindow();
        auto launcher = window ? window->viewWithTag(kFAQLauncherTag) : nullptr;
        if (!launcher) return;
        launcher->removeFromSuperview();
        if (auto list = window->viewWithTag(kFAQListTag)) list->removeFromSuperview();
    });
}

}  // namespace brindlecue
