// Presenting one step: its delay, the check that its screen is still on view, the tip controller
// of its type, its target, and the presenting worker that keeps one tip on screen at a time.
#include <algorithm>

#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipCacheManager.h"
#include "feed/BLQITipViewController.h"
#include "feed/KJTipSeriesElement.h"
#include "feed/KJTipUtil.h"
#include "foundation/BLQPublished.h"
#include "foundation/BLQUtils.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/DispatchSemaphore.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/BLQTipViewControllerRegistry.h"
#include "targeting/BLQITargetingAlgorithm.h"
#include "targeting/KJTargettingWidgetV2.h"
#include "tips/BLQITipManagerDelegate.h"
#include "tips/BLQITipTriggers.h"
#include "tips/KJTipManager.h"
#include "tips/KJTipManagerSupport.h"
#include "widgets/BLQIFeedBackInterface.h"

namespace brindlecue {

using platform::Value;
using namespace tipengine;

namespace {

constexpr double kFirstWaitPoll = 0.5;
constexpr double kHoldPoll = 1.0;
constexpr double kReportedWaitLimit = 5.0;
constexpr const char* kCoverViewClass = "KJCoverView";
constexpr const char* kFullScreenPlayerView = "AVPlayerViewControllerContentView";

// A pop tip whose target is a position on the screen needs no view.
bool targetIsArbitraryPosition(const KJTipElement& step) {
    const KJTipTargetElement* target = targetOf(step.target);
    return target != nullptr && target->control && KJTipUtil::isArbitraryPosition(Value(*target->control));
}

bool popTipWithoutTarget(const KJTipElement& step) {
    return step.tipType == kPopTipType && !step.targetControl.lock() && !targetIsArbitraryPosition(step);
}

// Waits on the process clock (virtual in tests).
void sleepOnClock(double seconds) {
    platform::DispatchSemaphore(0).wait(seconds);
}

bool containsView(const std::vector<std::shared_ptr<platform::UIView>>& views,
                  const std::shared_ptr<platform::UIView>& view) {
    return view && std::find(views.begin(), views.end(), view) != views.end();
}

bool holdsViewOfClass(const std::shared_ptr<platform::UIView>& view, const char* className) {
    if (!view) return false;
    if (view->isKindOfClass(className)) return true;
    for (const auto& subview : view->subviews())
        if (holdsViewOfClass(subview, className)) return true;
    return false;
}

}  // namespace

void KJTipManager::showTip(const std::shared_ptr<KJTipElement>& step,
                           const std::shared_ptr<platform::UIViewController>& controller,
                           const std::shared_ptr<platform::UIView>& targetControl, double minDelaySeconds,
                           bool withCoverView) {
    if (!step) {
        handleShowTipFailure(nullptr);
        return;
    }
    if (!withCoverView) setTipCoverView(nullptr);

    if (!currentRCTViewName()) {
        const std::string view = text(step->view);
        if (view != kAllScreens && (!controller || view != screenNameOf(controller))) {
            // The step belongs to another screen: its campaign cannot go on here.
            dismissCurrentTipController();
            if (auto series = step->series.lock()) {
                if (series->triggerType != kPageOpenTrigger) removeEventForSeries(series);
                removeTipSeries(series);
            }
            signalConcurrentTips();
            handleShowTipFailure(nullptr);
            return;
        }
    }
    step->viewController = controller;

    double delay = std::max(step->delaySeconds, 0.0);
    if (delay < minDelaySeconds) delay = step->tipType == kCarouselType ? 0.0 : minDelaySeconds;
    uint64_t request;
    {
        std::lock_guard lock(mutex_);
        request = ++presentationNumber_;
    }
    std::weak_ptr<KJTipManager> weak = weak_from_this();
    std::weak_ptr<platform::UIViewController> screen = controller;
    platform::DispatchQueue::main()->asyncAfter(delay, [weak, screen, targetControl, step, request] {
        if (auto engine = weak.lock()) engine->presentAfterDelay(screen.lock(), targetControl, step, request);
    });
}

void KJTipManager::presentAfterDelay(const std::shared_ptr<platform::UIViewController>& controller,
                                     const std::shared_ptr<platform::UIView>& target,
                                     const std::shared_ptr<KJTipElement>& step, uint64_t request) {
    auto view = controller ? controller->viewIfLoaded() : nullptr;
    if (!view || !view->window()) {
        // The screen left before the delay ran out.
        handleShowTipFailure(nullptr);
        return;
    }
    auto tipController = assembleShowingTipToKJVC(controller, target, step);
    if (tipController) {
        if (auto facade = delegate()) facade->onDemandCampaignShown();
    }
    const bool preview = isInPreviewMode();
    if (!preview && popTipWithoutTarget(*step)) {
        targetNotFound(step, controller);
        return;
    }

    if (preview) {
        removeFAQLauncher();
        auto series = step->series.lock();
        if (auto cache = cacheManager(); cache && series) {
            if (auto index = indexOfStep(*series, *step)) cache->setShowingTipIndex(static_cast<int64_t>(*index));
        }
        if (popTipWithoutTarget(*step)) addOffScreenTip(step);
        if (!tipController) {
            handleShowTipFailure(nullptr);
            return;
        }
        if (!claimPresentation(*step, request)) {
            handleShowTipFailure(nullptr);
            return;
        }
        std::weak_ptr<KJTipManager> weak = weak_from_this();
        std::shared_ptr<platform::UIView> cover;
        std::optional<platform::Date> received;
        {
            std::lock_guard lock(mutex_);
            currentTipViewController_ = tipController;
            cover = tipCoverView_;
            received = feedsReceivedTime_;
        }
        tipController->presentTipWithCoverView(
            cover, nullptr, controller,
            [weak](const std::shared_ptr<KJTipElement>& shown) {
                if (auto engine = weak.lock()) engine->handleShowTipSuccess(shown);
            },
            [weak](const std::shared_ptr<KJTipElement>& failed) {
                if (auto engine = weak.lock()) engine->handleShowTipFailure(failed);
            });
        if (received) {
            logGuides(2, "time elapse from received feed to actual showing preview tips costs: " +
                             decimal(-received->timeIntervalSinceNow()) + "s");
        }
        return;
    }

    auto self = shared_from_this();
    platform::DispatchQueue::global()->async([self, tipController, controller, request] {
        self->concurrentTipPresentQueue(tipController, controller, request);
    });
}

void KJTipManager::targetNotFound(const std::shared_ptr<KJTipElement>& step,
                                  const std::shared_ptr<platform::UIViewController>& controller) {
    logGuides(2, "Not show pop tip as target " + (step->target ? step->target->serializeToDictionary().description()
                                                               : std::string("(null)")) +
                     " cannot be found.");
    if (auto facade = delegate()) {
        facade->notifyFeedResultOnError(text(step->feed_id), text(step->campaignid),
                                        blqConvertKJTipTypeString(step->tipType), text(step->suid),
                                        Value::dictionary({{"message", "failed to find target"}}));
    }
    auto series = step->series.lock();
    if (!series || series->tipType != kTourType) {
        signalConcurrentTips();
        handleShowTipFailure(nullptr);
        return;
    }
    if (indexOfStep(*series, *step) != std::optional<size_t>(0)) {
        // A later step of a tour waits for its target to scroll into view.
        handleShowTipFailure(step);
        return;
    }
    // The tour cannot begin here: the screen's next campaign gets the chance.
    SeriesList forScreen;
    const std::string screen = controller ? controller->className() : std::string("(null)");
    for (const auto& candidate : innerTipSeries()) {
        if (!candidate) continue;
        for (const auto& other : candidate->arrayTips) {
            if (!other) continue;
            logGuides(1, "Current guides: Ctrl = " + screen + ", feed ID = " + text(other->feed_id) + " ");
            if (targetMatches(other->target, controller)) {
                forScreen.push_back(candidate);
                break;
            }
        }
    }
    handleShowTipFailure(step);
    auto t = triggers();
    std::erase_if(forScreen, [&](const auto& s) { return t && t->hasOffScreenTip(text(s->feed_id)); });
    auto next = std::find_if(forScreen.begin(), forScreen.end(), [](const auto& s) { return !s->arrayTips.empty(); });
    if (next != forScreen.end()) showTip((*next)->arrayTips.front(), controller, nullptr, 0.0, false);
}

std::shared_ptr<BLQITipViewController> KJTipManager::assembleShowingTipToKJVC(
    const std::shared_ptr<platform::UIViewController>& controller, const std::shared_ptr<platform::UIView>& target,
    const std::shared_ptr<KJTipElement>& step) {
    if (!step) return nullptr;
    const KJTipTargetElement* descriptor = targetOf(step->target);
    std::shared_ptr<KJTargettingWidgetV2> tool;
    if (screenOfTarget(step->target) != kAllScreens)
        tool = getWidgetTargettingAlgoTool(descriptor != nullptr ? descriptor->algoVersion : std::nullopt);

    std::optional<BLQTipViewControllerKind> kind;
    switch (step->tipType) {
        case kPopTipType: kind = BLQTipViewControllerKind::pop; break;
        case kModalType: kind = BLQTipViewControllerKind::modal; break;
        case kCoachmarkType: kind = BLQTipViewControllerKind::coachmark; break;
        case kFeedbackType: kind = BLQTipViewControllerKind::feedback; break;
        case kCarouselType:
            kind = descriptor != nullptr && !text(descriptor->control).empty() ? BLQTipViewControllerKind::pop
                                                                                : BLQTipViewControllerKind::modal;
            break;
        case kCustomGuideType: break;
        default: return nullptr;
    }

    std::shared_ptr<BLQITipViewController> tipController;
    if (kind) {
        if (*kind == BLQTipViewControllerKind::pop || *kind == BLQTipViewControllerKind::coachmark) {
            step->targetControl = target;
            if (!target) {
                step->targetControl =
                    tool && descriptor != nullptr ? tool->rematchWidget(*descriptor) : std::shared_ptr<platform::UIView>();
            }
        }
        tipController = BLQTipViewControllerRegistry::make(*kind);
    } else {
        const std::string key = text(step->guideBlockKey);
        tipController = retrieveGuideBlockForKey(key);
        if (!tipController) {
            logGuides(5, "No custom widget registered for key: " + key +
                             ". Failed to show guide with tip: " + step->serializeToDictionary().description());
            return nullptr;
        }
    }
    if (!tipController) return nullptr;

    tipController->setTipManager(weak_from_this());
    tipController->setTip(step);
    {
        std::lock_guard lock(mutex_);
        currentTipType_ = step->tipType;
    }
    attachButtonActions(tipController, step, controller);
    return tipController;
}

namespace {

struct CoverPlace {
    bool inWindow = false;  // among the direct subviews of the windows
    bool holdsTip = false;  // has a subview
};

// Where the tip controller's cover view is, read on the main queue.
CoverPlace coverPlaceOf(const std::shared_ptr<BLQITipViewController>& tipController) {
    CoverPlace place;
    platform::DispatchQueue::main()->sync([&] {
        auto cover = tipController->coverView();
        place.inWindow = containsView(KJTipManager::getSubviewsInAllWindows(), cover);
        place.holdsTip = cover && !cover->subviews().empty();
    });
    return place;
}

}  // namespace

bool KJTipManager::tipStillOnScreen(const std::shared_ptr<BLQITipViewController>& tipController,
                                    bool* coverInWindow) {
    const CoverPlace place = coverPlaceOf(tipController);
    if (coverInWindow != nullptr) *coverInWindow = place.inWindow;
    return place.holdsTip && currentTipViewController() != nullptr;
}

void KJTipManager::concurrentTipPresentQueue(const std::shared_ptr<BLQITipViewController>& tipController,
                                             const std::shared_ptr<platform::UIViewController>& controller) {
    concurrentTipPresentQueue(tipController, controller, 0);
}

void KJTipManager::concurrentTipPresentQueue(const std::shared_ptr<BLQITipViewController>& tipController,
                                             const std::shared_ptr<platform::UIViewController>& controller,
                                             uint64_t request) {
    auto tipLock = singleTipLock();
    std::unique_lock hold(*tipLock);

    auto step = tipController ? tipController->tip() : nullptr;
    std::optional<std::string> feedId = step ? step->feed_id : std::nullopt;
    auto series = step ? step->series.lock() : nullptr;
    // -1 for a step its campaign does not list.
    int64_t index = -1;
    if (series) {
        if (auto found = indexOfStep(*series, *step)) index = static_cast<int64_t>(*found);
    }
    logGuides(1, "shownTipIndex " + decimal(static_cast<double>(shownTipIndex(text(feedId)).value_or(0))));
    logGuides(1, "tipIndex " + decimal(static_cast<double>(index)));
    logGuides(1, "displaying tip: " + (feedId ? *feedId : std::string("(null)")) + " index: " + std::to_string(index));
    if (!feedId) {
        hold.unlock();
        handleShowTipFailure(nullptr);
        return;
    }

    if (!claimPresentation(*step, request)) {
        hold.unlock();
        handleShowTipFailure(nullptr);
        return;
    }
    const platform::Date start = platform::Date::now();
    double waitBound;
    std::optional<platform::Date> received;
    {
        // The controller is current before it can be dismissed, so a quick dismissal is not undone.
        std::lock_guard lock(mutex_);
        if (index >= 0) tipSeriesElementShown_[*feedId] = index;
        currentTipViewController_ = tipController;
        tipSeriesSincelastShown_[*feedId] = start;
        waitBound = autoDismissedTimeInterval_;
        received = feedsReceivedTime_;
    }
    std::weak_ptr<KJTipManager> weak = weak_from_this();
    platform::DispatchQueue::main()->async([weak, tipController, controller] {
        auto engine = weak.lock();
        if (!engine) return;
        tipController->presentTipWithCoverView(
            engine->tipCoverView(), nullptr, controller,
            [weak](const std::shared_ptr<KJTipElement>& shown) {
                if (auto e = weak.lock()) e->handleShowTipSuccess(shown);
            },
            [weak](const std::shared_ptr<KJTipElement>& failed) {
                if (auto e = weak.lock()) e->handleShowTipFailure(failed);
            });
    });

    // The tip is on screen once its cover, holding it, is in a window.
    auto onScreen = [&] {
        const CoverPlace place = coverPlaceOf(tipController);
        return place.inWindow && place.holdsTip;
    };
    double elapsed = 0;
    while (elapsed < waitBound && !onScreen()) {
        sleepOnClock(kFirstWaitPoll);
        elapsed = -start.timeIntervalSinceNow();
        logGuides(2, "waitingForTipsShownTimeInterval - " + decimal(elapsed));
    }
    if (elapsed <= kReportedWaitLimit && received) {
        logGuides(1, "time elapse from received feed to actual showing tips costs: " +
                         decimal(-received->timeIntervalSinceNow()) + "s");
    }

    bool inWindow = false;
    bool held = tipStillOnScreen(tipController, &inWindow);
    while (inWindow && held) {
        sleepOnClock(kHoldPoll);
        held = tipStillOnScreen(tipController, &inWindow);
    }
}

bool KJTipManager::claimPresentation(const KJTipElement& step, uint64_t request) {
    // The same step asked for twice before it showed (the screen's arrival and the feed's, say)
    // has two presentations waiting: the later one shows nothing once the step has been presented,
    // as the user may have answered it meanwhile.
    const std::string feedId = text(step.feed_id);
    bool stale;
    {
        std::lock_guard lock(mutex_);
        const std::string key = feedId + "\n" + text(step.suid);
        auto presented = stepPresentedAt_.find(key);
        stale = request != 0 && presented != stepPresentedAt_.end() && presented->second > request;
        if (!stale) stepPresentedAt_[key] = ++presentationNumber_;
    }
    if (stale) logGuides(2, "Step " + text(step.suid) + " of " + feedId + " was presented since it was asked for.");
    return !stale;
}

void KJTipManager::handleShowTipSuccess(const std::shared_ptr<KJTipElement>& step) {
    if (!step) return;
    setCurrentDisplayedTipFeedID(step->feed_id);
    if (auto facade = delegate()) {
        const std::string feedId = text(step->feed_id);
        platform::DispatchQueue::global()->async([facade, feedId] { facade->sendFeedAck(feedId); });
    }
    updateFeedRepeatConditions(step);
    removeOffScreenTip(step);
}

void KJTipManager::handleShowTipFailure(const std::shared_ptr<KJTipElement>& step) {
    logGuides(1, "tip not shown: " + (step ? text(step->feed_id) : std::string("(null)")));
    if (step) addOffScreenTip(step);
}

void KJTipManager::dismissCurrentTipController(std::function<void()> completion) {
    auto tipController = currentTipViewController();
    if (!tipController) return;
    auto dismiss = [tipController, completion = std::move(completion)] {
        tipController->dismissTipWithRemoveCoverView(true, true, completion);
    };
    if (platform::isMainThread()) {
        dismiss();
    } else {
        platform::DispatchQueue::main()->async(dismiss);
    }
}

std::vector<std::shared_ptr<platform::UIView>> KJTipManager::getSubviewsInAllWindows() {
    std::vector<std::shared_ptr<platform::UIView>> out;
    for (const auto& window : platform::UIApplication::sharedApplication()->windows()) {
        if (!window) continue;
        const auto& subviews = window->subviews();
        out.insert(out.end(), subviews.begin(), subviews.end());
    }
    return out;
}

std::shared_ptr<platform::UIWindow> KJTipManager::getWindowContainsQXTip() {
    for (const auto& window : platform::UIApplication::sharedApplication()->windows())
        if (window && holdsViewOfClass(window, kCoverViewClass)) return window;
    return nullptr;
}

void KJTipManager::orientationChangedNotificationHandler(const platform::Notification& notification) {
    auto size = std::static_pointer_cast<platform::CGSize>(notification.object());
    if (!size) return;
    if (isInPreviewMode()) {
        auto facade = delegate();
        auto previewMode = facade ? facade->previewModeManager() : nullptr;
        auto overlay = previewMode ? previewMode->previewModeView() : nullptr;
        if (auto view = overlay ? overlay->viewIfLoaded() : nullptr) {
            platform::CGRect frame = view->frame();
            frame.origin = platform::CGPoint{100.0, 100.0};
            view->setFrame(frame);
        }
    }
    std::shared_ptr<BLQIFeedBackInterface> widgets;
    {
        std::lock_guard lock(mutex_);
        widgets = faqListUI_;
    }
    if (widgets) widgets->adjustLayoutOnOrientationChange();

    auto tipController = currentTipViewController();
    if (!tipController) {
        logGuides(2, "Detect orientation changed, but currentTipViewController is nil, no tips need to be redrawn");
        return;
    }
    if (!tipController->tip()) {
        logGuides(2, "Trying to redraw tip after orientation changed, but got current tip lost, redraw tips failed");
        return;
    }
    const std::string orientation = size->width <= size->height ? "portrait" : "landscape";
    {
        std::lock_guard lock(mutex_);
        if (*size == currentWindowSize_ || currentWindowOrientation_ == orientation) {
            logGuides(2, "received a rotation notification with window size not changed");
            return;
        }
        currentWindowSize_ = *size;
        currentWindowOrientation_ = orientation;
    }
    if (auto algorithm = BLQPublished<BLQITargetingAlgorithm>::get()) {
        const std::string dump = algorithm->getTreeNodes();
        logGuides(2, "received a rotation notification with fullscreen player showing");
        if (dump.find(kFullScreenPlayerView) != std::string::npos) {
            tipController->presentTipWithCoverView(nullptr, getWindowContainsQXTip(), nullptr, nullptr, nullptr);
            return;
        }
    }
    tipController->dismissOnTopWithRemoveCover(true);
    tipController->presentTipWithCoverView(nullptr, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace brindlecue
