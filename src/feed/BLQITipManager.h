#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "feed/KJTipOffScreenTracker.h"
#include "platform/Date.h"
#include "platform/NotificationCenter.h"
#include "platform/Value.h"

namespace brindlecue {

class BLQIGuideController;
class BLQITipCacheManager;
class BLQITipViewController;
class KJTargettingWidgetV2;
class KJFeedObject;
class KJTipElement;
class KJTipSeriesElement;

namespace platform {
class DispatchSemaphore;
class NSObject;
class UIView;
class UIViewController;
}  // namespace platform

// The tip engine as the facade publishes it (its `tipManager`), with what the feed manager, the
// targeting layer, the tip controllers and the preview tip cache reach of it. Main queue unless
// said otherwise.
class BLQITipManager {
public:
    using SeriesList = std::vector<std::shared_ptr<KJTipSeriesElement>>;

    virtual ~BLQITipManager() = default;

    // ---- State --------------------------------------------------------------------------------

    // The preview tip cache's campaigns.
    virtual SeriesList cachedTips() const = 0;
    // The host screen now on view (held weakly).
    virtual std::shared_ptr<platform::UIViewController> customerCurrentVC() const = 0;
    virtual void setCustomerCurrentVC(const std::shared_ptr<platform::UIViewController>& controller) = 0;
    // The React Native view name the host registered for the screen now shown; none on a native
    // screen.
    virtual std::optional<std::string> currentRCTViewName() const = 0;
    virtual void setCurrentRCTViewName(std::optional<std::string> name) = 0;
    // The feed id of the campaign whose step is on screen; "" once a result ended the display,
    // none before any. Any thread.
    virtual std::optional<std::string> currentDisplayedTipFeedID() const = 0;
    virtual void setCurrentDisplayedTipFeedID(std::optional<std::string> feedId) = 0;
    // The campaign id of the campaign on screen: nothing records it (the feed id above tells the
    // campaign), so it is always none.
    virtual std::optional<std::string> currentDisplayedTipCampaignID() const = 0;
    // The live campaigns.
    virtual SeriesList innerTipSeries() const = 0;
    virtual std::shared_ptr<KJTipSeriesElement> currentTipSeries() const = 0;
    // The tip controller now presented; the dismiss handler clears it. Any thread.
    virtual std::shared_ptr<BLQITipViewController> currentTipViewController() const = 0;
    // The cover view to reuse under the next tip.
    virtual std::shared_ptr<platform::UIView> tipCoverView() const = 0;
    virtual void setTipCoverView(const std::shared_ptr<platform::UIView>& coverView) = 0;
    // The library's preview panel while it is shown; targeting leaves it out of the host's views.
    virtual std::shared_ptr<platform::UIView> previewModePanel() const = 0;
    // Signalled where a presentation ends; nothing waits on it. A new one (count 1) at start-up;
    // a semaphore set in its place is the one signalled from then on. Any thread.
    virtual std::shared_ptr<platform::DispatchSemaphore> concurrentTipsSemaphore() const = 0;
    virtual void setConcurrentTipsSemaphore(std::shared_ptr<platform::DispatchSemaphore> semaphore) = 0;
    // The lock the presenting worker holds while its tip is on screen. Any thread.
    virtual std::shared_ptr<std::mutex> singleTipLock() const = 0;
    // The lock the launcher takes around a click; the engine makes it and keeps it for its life.
    virtual std::shared_ptr<std::mutex> showLauncherBtnClickLock() const = 0;
    // 1 from start-up; kept as set, nothing in the engine reads it. Any thread.
    virtual int64_t singleTipShowingCount() const = 0;
    virtual void setSingleTipShowingCount(int64_t count) = 0;
    // How long (seconds) the presenting worker waits at most for its tip to reach the screen
    // before it starts watching it: 0.0, so it watches at once. Any thread.
    virtual double autoDismissedTimeInterval() const = 0;
    // Kept for the host's integration check as set; false until then. Any thread.
    virtual bool isSDKIntegrationCorrect() const = 0;
    virtual void setIsSDKIntegrationCorrect(bool correct) = 0;
    // Whether the optional carousel bridge class "KJCarouselBridge" exists.
    virtual bool isCarouselIntegrated() const = 0;
    // When a step of each campaign (by feed id) was last presented (the 30-second rule of
    // selection). Any thread.
    virtual std::map<std::string, platform::Date> tipSeriesSincelastShown() const = 0;
    // The steps kept because their target was off screen, one per campaign (by feed id); empty
    // while no triggers are installed. Any thread.
    virtual std::map<std::string, KJTipOffScreenTracker> offScreenTipsTracker() const = 0;
    // The step type of the tip last assembled (6 a carousel).
    virtual int32_t currentTipType() const = 0;
    // The tour to resume on a later screen, and the step index at which it resumes (0 when none).
    virtual std::shared_ptr<KJTipSeriesElement> multipleTourSeries() const = 0;
    virtual int64_t multipleTourIndex() const = 0;
    virtual void setMultipleTourIndex(int64_t index) = 0;
    // The campaign id of an on-demand guide to show when its screen comes on view; the empty text
    // or none clears it.
    virtual std::optional<std::string> onDemandGuideId() const = 0;
    virtual void setOnDemandGuideId(std::optional<std::string> campaignId) = 0;

    // ---- Campaigns ----------------------------------------------------------------------------

    // Stores the feed records as campaigns (refusing those of another app key and those not newer
    // than the stored ones) and makes them the campaigns to show; an empty list is accepted. The
    // feed manager's queue.
    virtual void fillTipFromFeed(const std::vector<std::shared_ptr<KJFeedObject>>& feeds) = 0;
    // Takes a preview feed answer in: its first preview campaign goes to the preview tip cache.
    virtual void processUpdatedFeed(const platform::Value& response) = 0;
    // Drops a finished campaign from the campaign cache (when its deletion conditions allow) and
    // from the live list (or, in preview mode, from the preview tip cache).
    virtual void removeTipSeries(const std::shared_ptr<KJTipSeriesElement>& series) = 0;
    // Saves the step's campaign's repeat and deletion conditions as advanced by one showing.
    virtual void updateFeedRepeatConditions(const std::shared_ptr<KJTipElement>& step) = 0;
    // Deletes the stored FAQ widget rows of the campaign.
    virtual void deleteFAQFeedWithCampaignId(const std::string& campaignId) = 0;
    virtual void addCacheManager(std::shared_ptr<BLQITipCacheManager> cacheManager) = 0;
    virtual void replyCachedPreviewTips() = 0;
    virtual void removePreviewTips() = 0;
    // Posts "Brindlecue_Tip_Updated" with the live campaigns when there is a list.
    virtual void sendTipUpdatedNotification() = 0;

    // ---- Showing ------------------------------------------------------------------------------

    // Picks and shows (or hooks) a tip for the screen given under "vc" in the objects; the user
    // info may give a minimum "delay" in seconds (notification form).
    virtual void showTipForViewController(const platform::Value& userInfo,
                                          const platform::Notification::ObjectMap& objects) = 0;
    // Presents one step on the screen after its delay (at least the minimum, seconds), anchored to
    // the target view when one is given; withCoverView keeps the cover view of the tip before.
    // Any queue.
    virtual void showTip(const std::shared_ptr<KJTipElement>& step,
                         const std::shared_ptr<platform::UIViewController>& controller,
                         const std::shared_ptr<platform::UIView>& targetControl, double minDelaySeconds,
                         bool withCoverView) = 0;
    // The presenting worker for a tip controller that holds its step: under the single-tip lock it
    // makes the controller current, has the main queue present it on the screen, and blocks its
    // thread while the tip stays on screen. Call it on a background queue, never the main one.
    virtual void concurrentTipPresentQueue(const std::shared_ptr<BLQITipViewController>& tipController,
                                           const std::shared_ptr<platform::UIViewController>& controller) = 0;
    // Dismisses the tip on screen unless it belongs to a preview campaign; the completion runs
    // once the tip controller is dismissed.
    virtual void dismissAShowingTipWithCompletion(std::function<void()> completion) = 0;
    // Dismisses the tip on screen when it belongs to the screen (which is going away).
    virtual void forceDismissTipForViewController(const std::shared_ptr<platform::UIViewController>& controller) = 0;
    // Moves the tip on screen to its next step.
    virtual void coachmarkClicked() = 0;

    // ---- Triggers, launchers and off-screen steps -----------------------------------------------

    virtual void hookEventForTipSeries(const std::shared_ptr<KJTipSeriesElement>& series,
                                       const std::shared_ptr<platform::UIViewController>& controller,
                                       double minDelaySeconds) = 0;
    virtual void removeEventForSeries(const std::shared_ptr<KJTipSeriesElement>& series) = 0;
    virtual void showOnDemandGuide(const std::string& campaignId) = 0;
    // Shows the first step on the screen now on view when its target names that screen.
    virtual void showOnDemandCampaignWithTips(const std::vector<std::shared_ptr<KJTipElement>>& steps) = 0;
    virtual void removeFAQLauncher() = 0;
    // Acknowledges each custom feed of the screen and hands it to the screen's custom-feed
    // delegate.
    virtual void customFeedForViewController(const std::shared_ptr<platform::UIViewController>& controller) = 0;
    // Binds super-tag counting to the clickable views of a host screen's window.
    virtual void targetSuperTagForViewController(const std::shared_ptr<platform::UIViewController>& controller) = 0;
    // A tap on a bound view (or its tap recogniser): counts the view's super tag.
    virtual void superTagEventHandlerV2(const std::shared_ptr<platform::NSObject>& sender) = 0;
    virtual void addOffScreenTip(const std::shared_ptr<KJTipElement>& step) = 0;
    virtual void removeOffScreenTip(const std::shared_ptr<KJTipElement>& step) = 0;
    // Drops the campaign's record only when the step is its campaign's last.
    virtual void removeOffScreenTipOnGuideCompletion(const std::shared_ptr<KJTipElement>& step) = 0;
    virtual void removeAllOffScreenTips() = 0;
    // The screen's scroll report: "vc" (objects) the screen, "shouldShow" (user info) true when
    // scrolling begins to decelerate. Recorded steps of the screen whose target is now found
    // are shown once.
    virtual void displayOffScreenTips(const platform::Value& userInfo,
                                      const platform::Notification::ObjectMap& objects) = 0;

    // ---- Custom guides and targets --------------------------------------------------------------

    // The host's guide block shows the steps of tip type 99 that name the key; a later
    // registration under the key replaces it. Any thread.
    virtual void registerGuideBlock(std::shared_ptr<BLQIGuideController> block, const std::string& key) = 0;
    // A new forest finder for a target of the algorithm version.
    virtual std::shared_ptr<KJTargettingWidgetV2> getWidgetTargettingAlgoTool(
        const std::optional<std::string>& version) = 0;
};

}  // namespace brindlecue
