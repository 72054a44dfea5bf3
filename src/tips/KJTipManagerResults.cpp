// The user's answers to a tip: the feed result each reports, moving within a campaign (on this
// screen or bookmarked for the next), ending it and going on to the screen's next campaign, and
// the engine's other dismissals.
#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipCacheManager.h"
#include "feed/BLQITipViewController.h"
#include "feed/KJTipAnimationElement.h"
#include "feed/KJTipButtonElement.h"
#include "feed/KJTipCarouselElement.h"
#include "matching/BLQIClientSideTriggerManager.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIViewController.h"
#include "presentation/BLQTipViewControllerRegistry.h"
#include "tips/BLQITipManagerDelegate.h"
#include "tips/KJTipManager.h"
#include "tips/KJTipManagerSupport.h"

namespace brindlecue {

using platform::Value;
using namespace tipengine;

namespace {

constexpr const char* kPreviewNeverKey = "KJ_Preview_Never";

double outDuration(const KJTipElement& step) {
    return step.animation ? step.animation->outDuration : 0.0;
}

std::string actionUrlOf(const std::shared_ptr<KJTipButtonElement>& button) {
    return button ? text(button->actionUrl) : std::string();
}

// A single-tip campaign: tip, modal, coachmark, feedback or carousel.
bool isSingleTipCampaign(const KJTipSeriesElement& series) {
    return series.tipType >= kPopTipType && series.tipType <= kCarouselType;
}

void openIfPossible(const std::string& url, bool withOptions) {
    auto application = platform::UIApplication::sharedApplication();
    if (!application->canOpenURL(url)) return;
    if (withOptions) {
        application->openURL(url, Value::dictionary(), [](bool) {});
    } else {
        application->openURL(url);
    }
}

std::string dismissText(const KJTipElement& step, const char* key) {
    if (!step.dismiss) return {};
    Value value = step.dismiss->valueForKey(key);
    return value.isString() ? *value.getString() : std::string();
}

// The buttons of the dialog the step's close button asks for, in order; none when it asks for no
// dialog.
std::vector<std::string> dismissDialogButtons(const KJTipElement& step) {
    std::vector<std::string> buttons;
    if (dismissText(step, "dialogTitle").empty() && dismissText(step, "dialogContent").empty())
        return buttons;
    for (const char* key : {"dismissB1", "dismissB2"}) {
        std::string button = dismissText(step, key);
        if (!button.empty()) buttons.push_back(std::move(button));
    }
    return buttons;
}

// The close leaves its report to the dialog when the dialog can be shown and answered.
bool dismissDialogAnswers(const KJTipElement& step) {
    return !dismissDialogButtons(step).empty() && BLQTipViewControllerRegistry::hasDialogPresenter();
}

}  // namespace

void KJTipManager::attachButtonActions(const std::shared_ptr<BLQITipViewController>& tipController,
                                       const std::shared_ptr<KJTipElement>& step,
                                       const std::shared_ptr<platform::UIViewController>& controller) {
    if (!tipController) return;
    const bool preview = isInPreviewMode();
    std::weak_ptr<KJTipManager> weak = weak_from_this();
    std::weak_ptr<platform::UIViewController> screen = controller;
    std::weak_ptr<BLQITipViewController> self = tipController;

    tipController->setClickOutsideHandler([weak, step, screen, preview](bool report) {
        if (auto engine = weak.lock()) engine->outsideTapped(step, screen, preview, report);
    });
    tipController->setClickCloseButtonHandler([weak, step, screen, preview](bool report) {
        if (auto engine = weak.lock()) engine->closeTapped(step, screen, preview, report);
    });
    tipController->setClickButton1Handler([weak, step, screen, preview](bool report, bool triggerAction) {
        if (auto engine = weak.lock()) engine->previousTapped(step, screen, preview, report, triggerAction);
    });
    tipController->setClickButton2Handler([weak, step, screen, preview](bool report, bool triggerAction) {
        if (auto engine = weak.lock()) engine->nextTapped(step, screen, preview, report, triggerAction);
    });
    // Only the controller that is current stops being current: a late dismissal of an earlier
    // tip must not end the hold of the tip shown after it.
    tipController->setDismissHandler([weak, self] {
        auto engine = weak.lock();
        if (!engine) return;
        std::lock_guard lock(engine->mutex_);
        if (engine->currentTipViewController_ && engine->currentTipViewController_ == self.lock())
            engine->currentTipViewController_.reset();
    });
}

void KJTipManager::endCampaign(const std::shared_ptr<KJTipSeriesElement>& series) {
    if (series && series->triggerType != kPageOpenTrigger) removeEventForSeries(series);
    removeTipSeries(series);
}

void KJTipManager::bookmarkTour(const std::shared_ptr<KJTipSeriesElement>& series, int64_t index) {
    std::lock_guard lock(mutex_);
    multipleTourSeries_ = series;
    multipleTourIndex_ = index;
}

void KJTipManager::outsideTapped(const std::shared_ptr<KJTipElement>& step,
                                 const std::weak_ptr<platform::UIViewController>& vc, bool preview, bool report) {
    reConnectTipSeries(step);
    if (preview) reportPreviewState(kPreviewStateTipClosed, "");
    auto facade = delegate();
    if (report && !preview && facade) {
        facade->notifyFeedResult(text(step->feed_id), text(step->campaignid), BLQFeedResult::postponed,
                                 text(step->suid), true, false);
    }
    auto series = step->series.lock();
    if (series && series->triggerType != kPageOpenTrigger) removeEventForSeries(series);
    dismissCurrentTipController();
    removeTipSeries(series);
    forgetShownState(text(step->feed_id));
    showNextCampaign(vc.lock(), outDuration(*step));
}

void KJTipManager::closeTapped(const std::shared_ptr<KJTipElement>& step,
                               const std::weak_ptr<platform::UIViewController>& vc, bool preview, bool report) {
    signalConcurrentTips();
    auto series = step->series.lock();
    // A step its campaign does not list counts as the last.
    std::optional<size_t> found = series ? indexOfStep(*series, *step) : std::nullopt;
    const size_t count = series ? series->arrayTips.size() : 0;
    const size_t index = found.value_or(count);
    const std::string stepId = step->tipType == kCarouselType ? std::to_string(found.value_or(0)) : text(step->suid);
    const bool lastStep = index + 1 >= count;
    auto facade = delegate();
    const bool reporting = report && !preview && facade;
    // One close, one report: a dialog asking whether the campaign may come back reports the step
    // with its answer, so the close itself does not.
    const bool dialogReports = reporting && dismissDialogAnswers(*step);

    if (reporting) {
        setCurrentDisplayedTipFeedID("");
        if (!dialogReports) {
            facade->notifyFeedResult(text(step->feed_id), text(step->campaignid), BLQFeedResult::rejected,
                                     stepId, true, lastStep);
        }
        removeOffScreenTip(step);
    }
    if (lastStep) {
        removeTipSeries(series);
        if (preview) reportPreviewState(kPreviewStateTipClosed, "");
    }
    endCampaign(series);
    forgetShownState(text(step->feed_id));
    showNextCampaign(vc.lock(), outDuration(*step));
    dismissCurrentTipController();
    showDismissDialog(step, dialogReports, stepId, lastStep);
}

void KJTipManager::showDismissDialog(const std::shared_ptr<KJTipElement>& step, bool reportAnswer,
                                     const std::string& stepId, bool lastStep) {
    const std::string title = dismissText(*step, "dialogTitle");
    const std::string content = dismissText(*step, "dialogContent");
    if (title.empty() && content.empty()) return;
    std::vector<std::string> buttons = dismissDialogButtons(*step);
    std::weak_ptr<KJTipManager> weak = weak_from_this();
    BLQTipViewControllerRegistry::presentDialog(
        title, content, buttons, [weak, step, reportAnswer, stepId, lastStep](int64_t pressed) {
            auto engine = weak.lock();
            if (!engine || (pressed != 0 && pressed != 1)) return;
            auto series = step->series.lock();
            // The close cleared the displayed feed id already; a later tip may be on screen by now.
            if (auto facade = engine->delegate(); reportAnswer && facade) {
                facade->notifyFeedResult(text(step->feed_id), text(step->campaignid), BLQFeedResult::rejected,
                                         stepId, pressed == 0, lastStep);
            }
            if (pressed == 0) {
                engine->endCampaign(series);
            } else if (series && series->triggerType != kPageOpenTrigger) {
                engine->removeEventForSeries(series);
            }
        });
}

void KJTipManager::previousTapped(const std::shared_ptr<KJTipElement>& step,
                                  const std::weak_ptr<platform::UIViewController>& vc, bool preview, bool report,
                                  bool triggerAction) {
    reConnectTipSeries(step);
    auto series = step->series.lock();
    if (!series) {
        if (preview) reportPreviewState(kPreviewStateTipClosed, "");
        dismissCurrentTipController();
        return;
    }
    auto facade = delegate();
    const bool reporting = report && !preview && facade;
    const std::string feedId = text(step->feed_id);
    const double duration = outDuration(*step);
    auto screen = vc.lock();

    auto index = indexOfStep(*series, *step);
    if (index && *index < series->arrayTips.size()) {
        if (*index == 0) {
            forgetShownState(feedId);
            signalConcurrentTips();
            if (reporting) {
                setCurrentDisplayedTipFeedID("");
                facade->notifyFeedResult(feedId, text(step->campaignid), BLQFeedResult::rejected, text(step->suid),
                                         true, false);
                removeOffScreenTip(step);
            }
            if (series->tipType == kTourType) removeTipSeries(series);
            std::weak_ptr<KJTipManager> weak = weak_from_this();
            platform::DispatchQueue::main()->asyncAfter(duration, [weak] {
                if (auto engine = weak.lock()) engine->showMessageForGetPreviewTipBack();
            });
        } else {
            const int64_t previous = static_cast<int64_t>(*index) - 1;
            {
                std::lock_guard lock(mutex_);
                if (previous == 0) {
                    tipSeriesElementShown_.erase(feedId);
                } else {
                    tipSeriesElementShown_[feedId] = static_cast<int64_t>(*index) - 2;
                }
                tipSeriesSincelastShown_.erase(feedId);
            }
            if (reporting) {
                facade->notifyFeedResult(feedId, text(step->campaignid), BLQFeedResult::previous, text(step->suid),
                                         false, false);
            }
            if (auto cache = cacheManager()) cache->setShowingTipIndex(previous);
            auto previousStep = series->arrayTips[static_cast<size_t>(previous)];
            if (previousStep && targetMatches(previousStep->target, screen))
                showTip(previousStep, screen, nullptr, duration, true);
            if (!actionUrlOf(step->prev).empty() || series->tipType == kTourType) bookmarkTour(series, previous);
        }
    }
    if (isSingleTipCampaign(*series)) {
        endCampaign(series);
        showNextCampaign(screen, duration);
    }
    if (triggerAction && !actionUrlOf(step->prev).empty()) openIfPossible(actionUrlOf(step->prev), false);
    dismissCurrentTipController();
}

void KJTipManager::nextTapped(const std::shared_ptr<KJTipElement>& step,
                              const std::weak_ptr<platform::UIViewController>& vc, bool preview, bool report,
                              bool triggerAction) {
    reConnectTipSeries(step);
    auto series = step->series.lock();
    if (!series) {
        if (preview) reportPreviewState(kPreviewStateTipClosed, "");
        dismissCurrentTipController();
        return;
    }
    auto facade = delegate();
    const bool reporting = report && !preview && facade;
    const std::string feedId = text(step->feed_id);
    const double duration = outDuration(*step);
    const std::string actionUrl = actionUrlOf(step->next);
    auto screen = vc.lock();

    auto index = indexOfStep(*series, *step);
    if (index && *index < series->arrayTips.size()) {
        if (*index + 1 >= series->arrayTips.size()) {
            std::weak_ptr<KJTipManager> weak = weak_from_this();
            platform::DispatchQueue::main()->asyncAfter(duration, [weak] {
                if (auto engine = weak.lock()) engine->showMessageForGetPreviewTipBack();
            });
            signalConcurrentTips();
            if (reporting) {
                std::string stepId = text(step->suid);
                if (step->tipType == kCarouselType) {
                    const size_t items = step->carousel && step->carousel->items ? step->carousel->items->size() : 0;
                    stepId = std::to_string(static_cast<int64_t>(items) - 1);
                }
                setCurrentDisplayedTipFeedID("");
                facade->notifyFeedResult(feedId, text(step->campaignid), BLQFeedResult::accepted, stepId, true, true);
            }
            if (preview) reportPreviewState(kPreviewStateTipClosed, "");
            endCampaign(series);
            setMultipleTourIndex(0);
            const std::string onDemand = step->next ? text(step->next->ondemand) : std::string();
            if (!triggerAction) {
                showNextCampaign(screen, duration);
            } else if (!actionUrl.empty()) {
                openIfPossible(actionUrl, false);
            } else if (!onDemand.empty()) {
                showOnDemandGuide(onDemand);
            } else {
                showNextCampaign(screen, duration);
            }
        } else {
            if (reporting) {
                facade->notifyFeedResult(feedId, text(step->campaignid), BLQFeedResult::next, text(step->suid), false,
                                         false);
            }
            const int64_t following = static_cast<int64_t>(*index) + 1;
            if (auto cache = cacheManager()) cache->setShowingTipIndex(following);
            auto followingStep = series->arrayTips[static_cast<size_t>(following)];
            if (followingStep && targetMatches(followingStep->target, screen) && actionUrl.empty())
                showTip(followingStep, screen, nullptr, duration, true);
            if (!actionUrl.empty() || series->tipType == kTourType) {
                bookmarkTour(series, following);
                if (triggerAction && !actionUrl.empty()) openIfPossible(actionUrl, true);
            }
        }
    }
    dismissCurrentTipController();
}

void KJTipManager::showNextCampaign(const std::shared_ptr<platform::UIViewController>& controller, double delay) {
    logGuides(2, "Showing Next Campaign");
    const SeriesList campaigns = innerTipSeries();
    if (isInPreviewMode()) {
        for (const auto& series : campaigns) {
            if (series && text(series->seriesAuthorMode) == "PREVIEW" && !series->arrayTips.empty())
                showTip(series->arrayTips.front(), controller, nullptr, delay, true);
        }
        return;
    }
    auto facade = delegate();
    for (const auto& series : campaigns) {
        if (!series || !targetMatches(series->target, controller)) continue;
        if (!series->trigger_conditions.empty()) {
            auto triggers = facade ? facade->clientSideTriggerManager() : nullptr;
            if (!triggers || !triggers->checkForMatchesWithTriggerConditions(series->trigger_conditions)) continue;
        }
        if (series->triggerType == kPageOpenTrigger) {
            if (!series->arrayTips.empty()) showTip(series->arrayTips.front(), controller, nullptr, delay, true);
            return;
        }
        if (series->triggerType != kButtonTrigger) hookEventForTipSeries(series, controller, delay);
    }
}

void KJTipManager::reConnectTipSeries(const std::shared_ptr<KJTipElement>& step) {
    if (!step || step->series.lock()) return;
    const SeriesList campaigns = isInPreviewMode() ? cachedTips() : innerTipSeries();
    for (const auto& series : campaigns) {
        if (!series) continue;
        for (const auto& candidate : series->arrayTips) {
            if (candidate && candidate->isEqual(step.get())) {
                step->series = series;
                step->feed_id = candidate->feed_id;
                return;
            }
        }
    }
}

void KJTipManager::showMessageForGetPreviewTipBack() {
    if (!isInPreviewMode()) return;
    auto& defaults = platform::UserDefaults::standard();
    if (defaults.bool_(kPreviewNeverKey)) return;
    auto screen = customerCurrentVC();
    if (!screen) return;
    std::weak_ptr<KJTipManager> weak = weak_from_this();
    auto recheck = [weak] {
        auto engine = weak.lock();
        if (!engine) return;
        auto facade = engine->delegate();
        if (auto previewMode = facade ? facade->previewModeManager() : nullptr)
            previewMode->checkIfPreviewModeIsRequiredOrNot(engine->customerCurrentVC());
    };
    auto alert = platform::UIAlertController::alertControllerWithTitle(
        "Brindlecue Preview dismiss",
        "You've dismissed in preview mode, please click the Brindlecue icon to replay tip/tour",
        platform::UIAlertControllerStyle::Alert);
    alert->addAction(platform::UIAlertAction::actionWithTitle(
        "Never show again", platform::UIAlertActionStyle::Default, [recheck](platform::UIAlertAction&) {
            auto& standard = platform::UserDefaults::standard();
            standard.setBool(kPreviewNeverKey, true);
            standard.synchronize();
            recheck();
        }));
    alert->addAction(platform::UIAlertAction::actionWithTitle("OK", platform::UIAlertActionStyle::Default,
                                                              [recheck](platform::UIAlertAction&) { recheck(); }));
    screen->presentViewController(alert, true, nullptr);
}

void KJTipManager::dismissAShowingTipWithCompletion(std::function<void()> completion) {
    auto tipController = currentTipViewController();
    auto step = tipController ? tipController->tip() : nullptr;
    auto series = step ? step->series.lock() : nullptr;
    if (series && text(series->seriesAuthorMode) == "PREVIEW") return;
    if (tipController) {
        logGuides(1, "A tip is already shown. Dismiss it.");
        tipController->setClickButton1Handler(nullptr);
        tipController->setClickButton2Handler(nullptr);
        tipController->setClickCloseButtonHandler(nullptr);
    }
    dismissCurrentTipController(std::move(completion));
}

void KJTipManager::forceDismissTipForViewController(const std::shared_ptr<platform::UIViewController>& controller) {
    auto tipController = currentTipViewController();
    auto step = tipController ? tipController->tip() : nullptr;
    if (!step || !controller || step->viewController.lock() != controller) return;
    tipController->setClickButton1Handler(nullptr);
    tipController->setClickButton2Handler(nullptr);
    tipController->setClickCloseButtonHandler(nullptr);
    tipController->dismissTipWithRemoveCoverView(true, true, nullptr);
}

void KJTipManager::coachmarkClicked() {
    logGuides(2, "Coachmarkclicked function triggered");
    if (auto tipController = currentTipViewController()) tipController->switchToNextTip(true, true);
}

}  // namespace brindlecue
