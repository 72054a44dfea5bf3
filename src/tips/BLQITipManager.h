#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

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
    // Signalled where a presentation ends; nothing waits on it.
    virtual std::shared_ptr<platform::DispatchSemaphore> concurrentTipsSemaphore() const = 0;
    // The lock the launcher takes around a click; the engine makes it and keeps it for its life.
    virtual std::shared_ptr<std::mutex> showLauncherBtnClickLock() const = 0;
    // Whether the optional carousel bridge class "KJCarouselBridge" exists.
    virtual bool isCarouselIntegrated() const = 0;
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
    virtual void removeFAQLauncher() = 0;
    virtual void addOffScreenTip(const std::shared_ptr<KJTipElement>& step) = 0;
    virtual void removeOffScreenTip(const std::shared_ptr<KJTipElement>& step) = 0;
    virtual void removeAllOffScreenTips() = 0;

    // ---- Custom guides and targets --------------------------------------------------------------

    // The host's guide block shows the steps of tip type 99 that name the key; a later
    // registration under the key replaces it. Any thread.
    virtual void registerGuideBlock(std::shared_ptr<BLQIGuideController> block, const std::string& key) = 0;
    // A new forest finder for a target of the algorithm version.
    virtual std::shared_ptr<KJTargettingWidgetV2> getWidgetTargettingAlgoTool(
        const std::optional<std::string>& version) = 0;
};

}  // namespace brindlecue
