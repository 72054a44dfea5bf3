#include "preview/BLQTipCacheManager.h"

#include <atomic>
#include <map>
#include <mutex>

#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipManager.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipSeriesElement.h"
#include "foundation/BLQUtils.h"
#include "imaging/KJSDWebImageCompat.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/UIViewControllerKJViewExt.h"
#include "preview/BLQIPreviewModeFacade.h"
#include "preview/BLQPreviewModeLink.h"
#include "targeting/KJTipTargetElement.h"
#include "widgets/QXFeedBackInterface.h"

namespace brindlecue {

using platform::Value;
using SeriesPtr = std::shared_ptr<KJTipSeriesElement>;
using SeriesList = std::vector<SeriesPtr>;

namespace {

constexpr const char* kPreviewTipsUpdated = "QX_Preview_Tips_Updated";
constexpr const char* kReshowCache = "ReshowCache";
constexpr int32_t kFloatingActionButton = 7;
constexpr int32_t kPageOpenTrigger = 1;

bool targetMatches(const std::shared_ptr<BLQITipTargetElement>& target,
                   const std::shared_ptr<platform::UIViewController>& controller) {
    const auto* descriptor = dynamic_cast<const KJTipTargetElement*>(target.get());
    return descriptor != nullptr && descriptor->matchVC(controller);
}

std::string goToScreenMessage(const std::shared_ptr<BLQITipTargetElement>& target) {
    std::string screen = target ? target->vcClass() : std::string();
    return "Please go to " + (screen.empty() ? std::string("other screen") : screen) + " to see the Guide";
}

}  // namespace

struct BLQTipCacheManager::Core : BLQILoggable, std::enable_shared_from_this<Core> {
    std::weak_ptr<BLQITipManager> tipManager;
    std::weak_ptr<BLQIPreviewModeManager> previewModeManager;
    mutable std::mutex mutex;
    SeriesList cachedTips;
    std::atomic<int64_t> showingTipIndex{0};
    // The host of the floating button last laid out; its views reach it weakly.
    std::shared_ptr<widgets::QXFeedBackInterface> floatingButtonHost;

    SeriesList snapshot() const {
        std::lock_guard lock(mutex);
        return cachedTips;
    }

    void report(BLQPreviewModeNotificationState state, const std::string& message) const {
        if (auto preview = previewModeManager.lock()) preview->receiveUpdated(state, message);
    }

    // A campaign the cache can work with; anything else is logged.
    bool usable(const SeriesPtr& series) const {
        if (!series) return false;
        if (series->arrayTips.empty()) {
            log("TipsCache: Series element " + series->description() + " contains no tips",
                BLQLoggingLevel::info);
            return false;
        }
        if (!series->target || !series->modified) {
            log("TipsCache: Series element " + series->description() +
                    " has no target or modification date, skipped",
                BLQLoggingLevel::info);
            return false;
        }
        return true;
    }

    void handle(const platform::Notification& notification) {
        const Value& info = notification.userInfo();
        const Value& tips = info.isDictionary() ? info["tips"] : Value();
        auto listed = notification.object<SeriesList>("tips");
        if (tips.isAbsent() && !listed) {
            log("TipsCache: Received notification for updating preview tips, but handler got nothing to show",
                BLQLoggingLevel::info);
            return;
        }
        const std::string* text = tips.getString();
        const bool replay =
            (text && *text == kReshowCache) || (tips.isDictionary() && tips[kReshowCache] == Value(true));
        const SeriesList list = replay ? snapshot() : listed ? *listed : SeriesList{};
        auto tipsEngine = tipManager.lock();
        if (list.empty() || !tipsEngine) return;
        for (const SeriesPtr& series : list) {
            if (!usable(series)) continue;
            if (!replay) merge(series);
            if (series->isMultipageTour || targetMatches(series->target, tipsEngine->customerCurrentVC())) {
                auto self = shared_from_this();
                platform::DispatchQueue::main()->async(
                    [self, series, replay] { self->showCachedTip(series, replay); });
            } else {
                log("TipsCache: Series element " + series->description() +
                        " does not match current ViewController, switch to next",
                    BLQLoggingLevel::info);
                report(BLQPreviewModeNotificationState::guideOnAnotherscreen,
                       goToScreenMessage(series->target));
                tipsEngine->removeFAQLauncher();
            }
        }
    }

    // One campaign id at a time: another id replaces the list; a newer version of the cached
    // campaign goes in front of the last cached version of it.
    void merge(const SeriesPtr& series) {
        std::lock_guard lock(mutex);
        std::optional<size_t> candidate;
        for (size_t i = 0; i < cachedTips.size(); ++i)
            if (cachedTips[i] && cachedTips[i]->feed_id == series->feed_id) candidate = i;
        if (!candidate) {
            cachedTips = {series};
            return;
        }
        const auto& cached = cachedTips[*candidate];
        if (!cached->modified || !series->modified) {
            log("TipsCache: Series element " + series->description() +
                    " cannot be compared with the cached one: a modification date is missing",
                BLQLoggingLevel::info);
            return;
        }
        if (*series->modified > *cached->modified)
            cachedTips.insert(cachedTips.begin() + static_cast<std::ptrdiff_t>(*candidate), series);
    }

    std::shared_ptr<platform::UIViewController> topMostViewController() const {
        auto facade = BLQPreviewModeLink::facade();
        return facade ? facade->topMostViewController() : nullptr;
    }

    // Main queue.
    void showCachedTip(const SeriesPtr& series, bool replay) {
        auto tips = tipManager.lock();
        if (!tips) return;
        removeButtonLaunchers(*tips);
        if (!tips->customerCurrentVC()) tips->setCustomerCurrentVC(topMostViewController());
        if (!series->isMultipageTour && !targetMatches(series->target, tips->customerCurrentVC())) {
            log("TipsCache: TipSeriesElement does not match current View Controller, switch to next",
                BLQLoggingLevel::info);
            report(BLQPreviewModeNotificationState::guideOnAnotherscreen, goToScreenMessage(series->target));
            return;
        }
        if (series->tipType == kFloatingActionButton && series->triggerType == kPageOpenTrigger)
            showFloatingButtonGuide(*tips, series);
        else if (series->triggerType != kPageOpenTrigger)
            hookCachedTip(*tips, series);
        else
            showCachedTipNow(*tips, series, replay);
    }

    void removeButtonLaunchers(BLQITipManager& tips) {
        if (!tips.customerCurrentVC()) {
            log("TipsCache: No current Customer View Controller, aborting removal of button launchers",
                BLQLoggingLevel::info);
            return;
        }
        while (auto controller = tips.customerCurrentVC()) {
            auto view = controller->viewIfLoaded();
            auto window = view ? view->window() : nullptr;
            auto launcher =
                window ? window->viewWithTag(UIViewControllerKJViewExt::kLauncherButtonTag) : nullptr;
            // A tagged view that cannot be taken out (the window itself) ends the walk.
            if (!launcher || !launcher->superview()) return;
            log("TipsCache: Removing button launcher: " + launcher->description() +
                    " from View Controller: " + controller->description(),
                BLQLoggingLevel::info);
            launcher->removeFromSuperview();
        }
    }

    void showFloatingButtonGuide(BLQITipManager& tips, const SeriesPtr& series) {
        tips.dismissAShowingTipWithCompletion(nullptr);
        auto pending = tips.onDemandGuideId();
        if (pending && !blqStrIsEmpty(Value(*pending))) {
            tips.setOnDemandGuideId(std::nullopt);
            report(BLQPreviewModeNotificationState::noOnDemand,
                   "OnDemand Guides not available during preview mode");
        } else {
            report(BLQPreviewModeNotificationState::guideDisplaying, "");
        }
        auto faq = blqSerializeDicToJsonString(series->faq);
        auto fab = blqSerializeDicToJsonString(series->fab);
        if (!faq || !fab) return;
        auto host = platform::make<widgets::QXFeedBackInterface>();
        host->layoutUI(
            *fab, *faq,
            {{"feedId", series->feed_id.value_or("")}, {"campaignId", series->campaignid.value_or("")}},
            false);
        floatingButtonHost = std::move(host);
    }

    void hookCachedTip(BLQITipManager& tips, const SeriesPtr& series) {
        tips.dismissAShowingTipWithCompletion(nullptr);
        report(BLQPreviewModeNotificationState::guideDisplaying, "");
        auto controller = tips.customerCurrentVC();
        if (!controller) {
            log("TipsCache: View Controller is nil, aborting Show Preview Tips function",
                BLQLoggingLevel::info);
            return;
        }
        tips.hookEventForTipSeries(series, controller, 0);
    }

    void showCachedTipNow(BLQITipManager& tips, const SeriesPtr& series, bool replay) {
        const bool multi = replay && series->isMultipageTour;
        const int64_t tour = tips.multipleTourIndex();
        const bool chosen = series->currentPreviewStep != kPreviewStepNotFound;
        const bool resumeTour = multi && tour != 0;
        const int64_t index = resumeTour ? tour
                              : chosen   ? series->currentPreviewStep
                                         : showingTipIndex.load();
        if (index < 0 || index >= static_cast<int64_t>(series->arrayTips.size()) ||
            !series->arrayTips[static_cast<size_t>(index)]) {
            log("TipsCache: Series element " + series->description() + " has no step at index " +
                    std::to_string(index) + ", skipped",
                BLQLoggingLevel::info);
            return;
        }
        report(BLQPreviewModeNotificationState::guideDisplaying, "");
        if (chosen) {
            showingTipIndex.store(index);
            if (!resumeTour) tips.setMultipleTourIndex(index);
        }
        auto step = series->arrayTips[static_cast<size_t>(index)];
        auto controller = tips.customerCurrentVC();
        if (series->isMultipageTour && !targetMatches(step->target, controller)) {
            log("TipsCache: Tip Series Element does not match current View Controller, switch to next",
                BLQLoggingLevel::info);
            report(BLQPreviewModeNotificationState::guideOnAnotherscreen, goToScreenMessage(step->target));
            tips.removeFAQLauncher();
            return;
        }
        if (tips.currentTipViewController()) tips.dismissAShowingTipWithCompletion(nullptr);
        if (!controller) {
            log("TipsCache: View Controller is nil, aborting Show Preview Tips function",
                BLQLoggingLevel::info);
            return;
        }
        tips.showTip(step, controller, nullptr, 1.0, false);
    }

    void replay() {
        const SeriesList list = snapshot();
        if (list.empty()) {
            report(BLQPreviewModeNotificationState::nothingtodisplay, "");
            return;
        }
        showingTipIndex.store(0);
        auto self = shared_from_this();
        KJSDDispatchMainAsyncSafe([self, list] {
            for (const SeriesPtr& series : list)
                if (self->usable(series)) self->showCachedTip(series, true);
        });
    }
};

BLQTipCacheManager::BLQTipCacheManager(std::shared_ptr<BLQITipManager> tipManager,
                                       std::shared_ptr<BLQIPreviewModeManager> previewModeManager)
    : core_(std::make_shared<Core>()) {
    core_->tipManager = tipManager;
    core_->previewModeManager = previewModeManager;
    std::weak_ptr<Core> weak = core_;
    observer_ = platform::NotificationCenter::defaultCenter().addObserver(
        kPreviewTipsUpdated, nullptr, nullptr, [weak](const platform::Notification& notification) {
            if (auto core = weak.lock()) core->handle(notification);
        });
}

BLQTipCacheManager::~BLQTipCacheManager() {
    platform::NotificationCenter::defaultCenter().removeObserver(observer_);
}

SeriesList BLQTipCacheManager::cachedTips() const {
    return core_->snapshot();
}

void BLQTipCacheManager::setCachedTips(SeriesList tips) {
    std::lock_guard lock(core_->mutex);
    core_->cachedTips = std::move(tips);
}

int64_t BLQTipCacheManager::showingTipIndex() const {
    return core_->showingTipIndex.load();
}

void BLQTipCacheManager::setShowingTipIndex(int64_t index) {
    core_->showingTipIndex.store(index);
}

void BLQTipCacheManager::replayCachedPreviewTips() {
    core_->replay();
}

void BLQTipCacheManager::removePreviewTips() {
    std::lock_guard lock(core_->mutex);
    core_->cachedTips.clear();
}

void BLQTipCacheManager::replaceCachedTip(int64_t index, const SeriesPtr& series) {
    std::lock_guard lock(core_->mutex);
    auto& list = core_->cachedTips;
    if (index < 0) return;
    const auto at = static_cast<size_t>(index);
    if (at < list.size()) list.erase(list.begin() + static_cast<std::ptrdiff_t>(at));
    if (at <= list.size()) list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), series);
}

void BLQTipCacheManager::removeCachedTip(const SeriesPtr& series) {
    std::lock_guard lock(core_->mutex);
    auto& list = core_->cachedTips;
    auto it = std::find(list.begin(), list.end(), series);
    if (it != list.end()) list.erase(it);
}

void BLQTipCacheManager::removeCachedTipAtIndex(int64_t index) {
    std::lock_guard lock(core_->mutex);
    auto& list = core_->cachedTips;
    if (index >= 0 && static_cast<size_t>(index) < list.size())
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
}

void BLQTipCacheManager::previewTipsUpdateHandler(const platform::Notification& notification) {
    core_->handle(notification);
}

}  // namespace brindlecue
