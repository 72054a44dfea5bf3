// What a screen that comes on view gets: the FAQ widget, a pending on-demand guide, the rest of a
// tour begun elsewhere, and at most one campaign step, shown at once or hooked to its trigger.
#include <algorithm>

#include "feed/KJFeedConditions.h"
#include "feed/KJTipButtonElement.h"
#include "foundation/BLQUtils.h"
#include "matching/BLQIClientSideTriggerManager.h"
#include "matching/CampaignMatching.h"
#include "platform/uikit/UIViewController.h"
#include "tips/BLQITipManagerDelegate.h"
#include "tips/KJTipManager.h"
#include "tips/KJTipManagerSupport.h"
#include "widgets/BLQIFeedBackInterface.h"

namespace brindlecue {

using platform::Value;
using namespace tipengine;

namespace {

constexpr double kDefaultDelay = 1.0;
constexpr double kTourResumeDelay = 1.0;
constexpr double kShownTimeout = -30.0;

bool hasActionUrl(const std::shared_ptr<KJTipButtonElement>& button) {
    return button && !text(button->actionUrl).empty();
}

}  // namespace

void KJTipManager::showTipForViewController(const Value& userInfo, const platform::Notification::ObjectMap& objects) {
    auto found = objects.find("vc");
    auto vc = found == objects.end() ? nullptr : std::static_pointer_cast<platform::UIViewController>(found->second);
    if (!vc) return;
    const Value& delayValue = userInfo["delay"];
    const double delay = delayValue.isNumber() ? delayValue.doubleValue() : kDefaultDelay;

    removeFAQLauncher();
    const bool preview = isInPreviewMode();

    if (!preview) {
        auto faq = stored_.faqCampaigns();
        if (!faq.empty()) {
            auto forScreen = filterCampaignforVC(faq, vc);
            if (forScreen.empty()) {
                auto current = customerCurrentVC();
                auto forCurrent = filterCampaignforVC(faq, current);
                if (!forCurrent.empty()) forScreen = std::move(forCurrent);
                vc = current;
            }
            std::shared_ptr<BLQIFeedBackInterface> widgets;
            {
                std::lock_guard lock(mutex_);
                widgets = faqListUI_;
            }
            if (!forScreen.empty() && targetMatches(forScreen.front()->target, vc) && widgets) {
                const auto& series = forScreen.front();
                widgets->layoutUI(blqSerializeDicToJsonString(series->fab).value_or(""),
                                  blqSerializeDicToJsonString(series->faq).value_or(""),
                                  {{"feedId", text(series->feed_id)}, {"campaignId", text(series->campaignid)}},
                                  false);
            }
        }
    }

    if (auto onDemand = onDemandGuideId(); onDemand && !onDemand->empty()) {
        showOnDemandGuide(*onDemand);
        return;
    }

    if (!preview) {
        auto stored = stored_.campaigns();
        logGuides(2, std::to_string(stored.list->size()) + " Found Cached Infinite tips");
        bool merged;
        {
            std::lock_guard lock(mutex_);
            merged = stored.generation == mergedStoreGeneration_ && innerGeneration_ == mergedInnerGeneration_;
        }
        if (!merged) {
            purgeDuplicateInfiniteCampaign(*stored.list);
            std::lock_guard lock(mutex_);
            mergedStoreGeneration_ = stored.generation;
            mergedInnerGeneration_ = innerGeneration_;
        }
    }

    SeriesList candidates;
    if (preview) {
        for (const auto& series : innerTipSeries())
            if (series && (series->tipDisplayType & kDomDisplay)) candidates.push_back(series);
        logGuides(2, std::to_string(candidates.size()) + " tips come from non-polling");
        std::erase_if(candidates, [](const auto& s) { return text(s->seriesAuthorMode) != "PREVIEW"; });
    } else {
        {
            // Only the last campaign of the list that shows on the page competes. An on-demand
            // campaign never shows on a screen's own account (it waits to be asked for), so it does
            // not compete: an ended one comes back at the end of the list and would otherwise keep
            // every campaign of every screen from showing.
            std::lock_guard lock(mutex_);
            auto last = std::find_if(innerTipSeries_.rbegin(), innerTipSeries_.rend(), [](const auto& s) {
                return s && (s->tipDisplayType & kDomDisplay) && s->triggerType != kOnDemandTrigger;
            });
            if (last != innerTipSeries_.rend()) candidates.push_back(*last);
        }
        if (candidates.empty()) {
            logGuides(2, "Polling got no tip.");
        } else {
            logGuides(2, "Polled 1 tip for " + screenOfTarget(candidates.front()->target) + ".");
        }
    }

    std::shared_ptr<KJTipSeriesElement> tour;
    int64_t tourIndex = 0;
    {
        std::lock_guard lock(mutex_);
        tour = multipleTourSeries_;
        tourIndex = multipleTourIndex_;
    }
    if (tour && tourIndex >= 0 && tourIndex < static_cast<int64_t>(tour->arrayTips.size())) {
        auto step = tour->arrayTips[static_cast<size_t>(tourIndex)];
        if (step && targetMatches(step->target, vc) && hasActionUrl(step->next)) {
            logGuides(2, "Multiple tour tip for view " + screenOfTarget(step->target) + ".");
            logGuides(2, "Multiple tour tip is ready to show.");
            if (tour->triggerType == kPageOpenTrigger) {
                showTip(step, vc, nullptr, kTourResumeDelay, false);
            } else {
                hookEventForTipSeries(tour, vc, kTourResumeDelay);
            }
        }
        std::lock_guard lock(mutex_);
        multipleTourSeries_.reset();
        multipleTourIndex_ = 0;
    }

    if (candidates.empty()) return;
    auto forScreen = filterCampaignforVC(candidates, vc);
    std::stable_sort(forScreen.begin(), forScreen.end(),
                     [](const auto& a, const auto& b) { return a->priority < b->priority; });
    logGuides(2, std::to_string(forScreen.size()) + " Valid tips for the screen");
    displayCachedTips(forScreen, vc, delay);
}

BLQITipManager::SeriesList KJTipManager::filterCampaignforVC(
    const SeriesList& campaigns, const std::shared_ptr<platform::UIViewController>& controller) const {
    SeriesList out;
    const platform::Date now = platform::Date::now();
    for (const auto& series : campaigns) {
        if (!series || !series->expiry || !(*series->expiry > now)) continue;
        if (std::any_of(series->arrayTips.begin(), series->arrayTips.end(),
                        [&](const auto& step) { return step && targetMatches(step->target, controller); }))
            out.push_back(series);
    }
    return out;
}

std::shared_ptr<KJTipElement> KJTipManager::findTipElement(
    const std::shared_ptr<KJTipSeriesElement>& series,
    const std::shared_ptr<platform::UIViewController>& controller) const {
    if (!series) return nullptr;
    for (const auto& step : series->arrayTips)
        if (step && targetMatches(step->target, controller)) return step;
    return nullptr;
}

void KJTipManager::displayCachedTips(const SeriesList& campaigns,
                                     const std::shared_ptr<platform::UIViewController>& controller, double delay) {
    auto facade = delegate();
    for (const auto& series : campaigns) {
        if (!series) continue;
        const std::string feedId = text(series->feed_id);

        if (currentDisplayedTipFeedID() == feedId) {
            if (series->triggerType == kPageOpenTrigger) {
                logGuides(2, "Not Showing the guide - guide is still displaying and was not dismissed. If this is an "
                             "extended guideBlock please ensure to dismiss after the guide is finished displaying or "
                             "once the user dismisses it.");
                return;
            }
            continue;
        }
        if (!series->repeat_conditions.empty()) {
            auto saved = KJFeedConditions::getSavedFeedConditions(feedId, series->repeat_conditions, "repeat_conditions");
            if (!CampaignMatching::sharedInstance().evaluate(saved)) return;
        }
        if (!series->trigger_conditions.empty()) {
            auto triggers = facade ? facade->clientSideTriggerManager() : nullptr;
            if (!triggers || !triggers->checkForMatchesWithTriggerConditions(series->trigger_conditions)) continue;
        }
        auto tip = findTipElement(series, controller);
        if (!tip) return;

        int64_t index = 0;
        std::shared_ptr<KJTipElement> chosen = tip;
        if (series->isMultipageTour || hasActionUrl(tip->next)) {
            const int64_t last = static_cast<int64_t>(series->arrayTips.size()) - 1;
            auto shown = shownTipIndex(feedId);
            if (shown && *shown != last) {
                index = *shown + 1;
                if (index > last) return;
                chosen = series->arrayTips[static_cast<size_t>(std::max<int64_t>(index, 0))];
            } else {
                index = 0;
                chosen = series->arrayTips.front();
            }
            if (!chosen || !targetMatches(chosen->target, controller)) return;
            auto lastShown = lastShownTime(feedId);
            if (lastShown && lastShown->timeIntervalSinceNow() < kShownTimeout) {
                logGuides(2, "Not Showing the tip - Tip expired 30 sec timeout");
                forgetShownState(feedId);
                return;
            }
        }

        logGuides(2, "Find cached tip for view v " + screenOfTarget(series->target));

        if (!currentRCTViewName()) {
            const std::string view = text(chosen->view);
            if (view != kAllScreens && view != screenNameOf(controller)) {
                logGuides(2, "React Native tip found");
                const KJTipTargetElement* target = targetOf(series->target);
                if (target == nullptr || !target->matchVCForReactNative(target->vcClass())) continue;
            }
        }

        if (series->triggerType == kPageOpenTrigger || index != 0) {
            showTip(chosen, controller, nullptr, delay, false);
            return;
        }
        hookEventForTipSeries(series, controller, delay);
    }
}

}  // namespace brindlecue
