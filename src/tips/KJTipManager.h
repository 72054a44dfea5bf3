#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "feed/BLQITipManager.h"
#include "platform/Date.h"
#include "platform/uikit/Geometry.h"
#include "tips/KJStoredCampaigns.h"

namespace brindlecue {

class BLQIFeedBackInterface;
class BLQITipManagerDelegate;
class BLQITipTriggers;
class BLQITipViewController;
class KJTargettingWidgetV2;

namespace platform {
class NotificationObserver;
class UIWindow;
}  // namespace platform

// The one tip engine. It takes the campaigns the feed manager hands it and keeps them (in the
// campaign cache, in memory as the live list, and in the user defaults); picks for each screen
// that comes on view at most one step to show, or hooks a campaign to its trigger; presents one
// tip at a time; and turns the user's answers into feed results while it moves through a
// campaign's steps and on to the screen's next campaign.
//
// Threads: selection, presentation blocks and the answer handlers run on the main queue; intake
// on the feed manager's queue; each presentation outside preview mode on a presenting worker of a
// global queue, which holds the single-tip lock while its tip is on screen and checks on the
// clock every second whether it still is. Every piece of state is guarded by one mutex, which is
// never held while the engine calls out (stores, controllers, collaborators).
//
// What waits for the user (click and launcher triggers, on-demand guides, the FAQ launcher,
// off-screen steps) is reached through BLQITipTriggers (setTriggers); the facade through
// BLQITipManagerDelegate (setDelegate, held weakly); the tip controllers through
// BLQTipViewControllerRegistry.
class KJTipManager final : public BLQITipManager, public std::enable_shared_from_this<KJTipManager> {
public:
    // A new engine: its live list read from the campaign cache, its notifications observed, the
    // carousel bridge looked up and "KJ_InitTipBridge_Notification" posted. The widget host is
    // kept for the engine's life as faqListUI.
    static std::shared_ptr<KJTipManager> make(std::shared_ptr<BLQIFeedBackInterface> faqListUI);
    ~KJTipManager() override;
    KJTipManager(const KJTipManager&) = delete;
    KJTipManager& operator=(const KJTipManager&) = delete;

    void setDelegate(const std::shared_ptr<BLQITipManagerDelegate>& delegate);
    void setTriggers(std::shared_ptr<BLQITipTriggers> triggers);

    // ---- BLQITipManager -------------------------------------------------------------------------

    SeriesList cachedTips() const override;
    std::shared_ptr<platform::UIViewController> customerCurrentVC() const override;
    void setCustomerCurrentVC(const std::shared_ptr<platform::UIViewController>& controller) override;
    std::optional<std::string> currentRCTViewName() const override;
    void setCurrentRCTViewName(std::optional<std::string> name) override;
    std::optional<std::string> currentDisplayedTipFeedID() const override;
    void setCurrentDisplayedTipFeedID(std::optional<std::string> feedId) override;
    std::optional<std::string> currentDisplayedTipCampaignID() const override;
    SeriesList innerTipSeries() const override;
    std::shared_ptr<KJTipSeriesElement> currentTipSeries() const override;
    std::shared_ptr<BLQITipViewController> currentTipViewController() const override;
    std::shared_ptr<platform::UIView> tipCoverView() const override;
    void setTipCoverView(const std::shared_ptr<platform::UIView>& coverView) override;
    std::shared_ptr<platform::UIView> previewModePanel() const override;
    std::shared_ptr<platform::DispatchSemaphore> concurrentTipsSemaphore() const override;
    void setConcurrentTipsSemaphore(std::shared_ptr<platform::DispatchSemaphore> semaphore) override;
    std::shared_ptr<std::mutex> singleTipLock() const override;
    std::shared_ptr<std::mutex> showLauncherBtnClickLock() const override;
    int64_t singleTipShowingCount() const override;
    void setSingleTipShowingCount(int64_t count) override;
    double autoDismissedTimeInterval() const override;
    bool isSDKIntegrationCorrect() const override;
    void setIsSDKIntegrationCorrect(bool correct) override;
    bool isCarouselIntegrated() const override;
    std::map<std::string, platform::Date> tipSeriesSincelastShown() const override;
    std::map<std::string, KJTipOffScreenTracker> offScreenTipsTracker() const override;
    int32_t currentTipType() const override;
    std::shared_ptr<KJTipSeriesElement> multipleTourSeries() const override;
    int64_t multipleTourIndex() const override;
    void setMultipleTourIndex(int64_t index) override;
    std::optional<std::string> onDemandGuideId() const override;
    void setOnDemandGuideId(std::optional<std::string> campaignId) override;

    void fillTipFromFeed(const std::vector<std::shared_ptr<KJFeedObject>>& feeds) override;
    void processUpdatedFeed(const platform::Value& response) override;
    void removeTipSeries(const std::shared_ptr<KJTipSeriesElement>& series) override;
    void updateFeedRepeatConditions(const std::shared_ptr<KJTipElement>& step) override;
    void deleteFAQFeedWithCampaignId(const std::string& campaignId) override;
    void addCacheManager(std::shared_ptr<BLQITipCacheManager> cacheManager) override;
    void replyCachedPreviewTips() override;
    void removePreviewTips() override;
    void sendTipUpdatedNotification() override;

    void showTipForViewController(const platform::Value& userInfo,
                                  const platform::Notification::ObjectMap& objects) override;
    void showTip(const std::shared_ptr<KJTipElement>& step, const std::shared_ptr<platform::UIViewController>& controller,
                 const std::shared_ptr<platform::UIView>& targetControl, double minDelaySeconds,
                 bool withCoverView) override;
    void concurrentTipPresentQueue(const std::shared_ptr<BLQITipViewController>& tipController,
                                   const std::shared_ptr<platform::UIViewController>& controller) override;
    void dismissAShowingTipWithCompletion(std::function<void()> completion) override;
    void forceDismissTipForViewController(const std::shared_ptr<platform::UIViewController>& controller) override;
    void coachmarkClicked() override;

    void hookEventForTipSeries(const std::shared_ptr<KJTipSeriesElement>& series,
                               const std::shared_ptr<platform::UIViewController>& controller,
                               double minDelaySeconds) override;
    void removeEventForSeries(const std::shared_ptr<KJTipSeriesElement>& series) override;
    void showOnDemandGuide(const std::string& campaignId) override;
    void showOnDemandCampaignWithTips(const std::vector<std::shared_ptr<KJTipElement>>& steps) override;
    void removeFAQLauncher() override;
    void customFeedForViewController(const std::shared_ptr<platform::UIViewController>& controller) override;
    void targetSuperTagForViewController(const std::shared_ptr<platform::UIViewController>& controller) override;
    void superTagEventHandlerV2(const std::shared_ptr<platform::NSObject>& sender) override;
    void addOffScreenTip(const std::shared_ptr<KJTipElement>& step) override;
    void removeOffScreenTip(const std::shared_ptr<KJTipElement>& step) override;
    void removeOffScreenTipOnGuideCompletion(const std::shared_ptr<KJTipElement>& step) override;
    void removeAllOffScreenTips() override;
    void displayOffScreenTips(const platform::Value& userInfo,
                              const platform::Notification::ObjectMap& objects) override;

    // ---- The engine's own operations --------------------------------------------------------------

    // The campaign of a feed record: its content ("setup" a dictionary, "payload" a list) with the
    // record's ids, kind, dates, conditions and priority beside it; none for unusable content.
    // With reconnect, the live campaign equal to it lends it its trigger control and its steps'
    // screens and target views.
    std::shared_ptr<KJTipSeriesElement> parseTipSeriesFromFeed(const std::shared_ptr<KJFeedObject>& feed,
                                                               bool needReconnectByContent);
    // Appends the campaigns whose campaign id the live list lacks.
    void purgeDuplicateInfiniteCampaign(const SeriesList& stored);
    // The campaigns that have not expired and have a step for the screen, in order.
    SeriesList filterCampaignforVC(const SeriesList& campaigns,
                                   const std::shared_ptr<platform::UIViewController>& controller) const;
    // The first step of the campaign for the screen.
    std::shared_ptr<KJTipElement> findTipElement(const std::shared_ptr<KJTipSeriesElement>& series,
                                                 const std::shared_ptr<platform::UIViewController>& controller) const;
    // Walks the screen's candidates (sorted) to the one step shown; campaigns waiting for a click
    // or a button are hooked on the way.
    void displayCachedTips(const SeriesList& campaigns, const std::shared_ptr<platform::UIViewController>& controller,
                           double delay);
    // The tip controller for the step (none for an unknown type, a missing controller or an
    // unregistered guide), with the engine's handlers attached.
    std::shared_ptr<BLQITipViewController> assembleShowingTipToKJVC(
        const std::shared_ptr<platform::UIViewController>& controller, const std::shared_ptr<platform::UIView>& target,
        const std::shared_ptr<KJTipElement>& step);
    // The presenting worker: blocks its thread while the tip is on screen.
    // request: the number showTip gave the presentation when it was asked for (0: none). A request
    // for a step that has been presented since it was made is dropped.
    void concurrentTipPresentQueue(const std::shared_ptr<BLQITipViewController>& tipController,
                                   const std::shared_ptr<platform::UIViewController>& controller,
                                   uint64_t request);
    // The two ends of every presentation: the step is shown, or it is not (the step, when given,
    // is kept to be tried again when its screen scrolls).
    void handleShowTipSuccess(const std::shared_ptr<KJTipElement>& step);
    void handleShowTipFailure(const std::shared_ptr<KJTipElement>& step);
    void attachButtonActions(const std::shared_ptr<BLQITipViewController>& tipController,
                             const std::shared_ptr<KJTipElement>& step,
                             const std::shared_ptr<platform::UIViewController>& controller);
    // Offers the screen's next campaign after the delay (seconds).
    void showNextCampaign(const std::shared_ptr<platform::UIViewController>& controller, double delay);
    // Gives a step that lost its campaign the campaign that holds an equal step.
    void reConnectTipSeries(const std::shared_ptr<KJTipElement>& step);
    void showMessageForGetPreviewTipBack();
    // A new forest finder, whatever the version.
    std::shared_ptr<KJTargettingWidgetV2> getWidgetTargettingAlgoTool(const std::optional<std::string>& version) override;
    // Keeps a new custom guide controller for the block under the key (see BLQInternalBaseGuideController).
    void registerGuideBlock(std::shared_ptr<BLQIGuideController> block, const std::string& key) override;
    std::shared_ptr<BLQITipViewController> retrieveGuideBlockForKey(const std::string& key) const;
    // The direct subviews of every window, windows in the application's order. Main queue.
    static std::vector<std::shared_ptr<platform::UIView>> getSubviewsInAllWindows();
    // The first window that holds a cover view.
    static std::shared_ptr<platform::UIWindow> getWindowContainsQXTip();

    // Notification handlers.
    void pollTipChangeNotificationHandler(const platform::Notification& notification);
    void installUpdateSuccessNotificationHandler(const platform::Notification& notification);
    // The notification's object is the new window size (std::shared_ptr<platform::CGSize>).
    void orientationChangedNotificationHandler(const platform::Notification& notification);

    // The index of the last step presented, and when, per campaign.
    std::optional<int64_t> shownTipIndex(const std::string& feedId) const;
    std::optional<platform::Date> lastShownTime(const std::string& feedId) const;
    // Test-only: the bound (seconds) of the presenting worker's wait for its tip to come on screen,
    // 0 from start-up on. The library never calls it.
    void setAutoDismissedTimeIntervalForTesting(double seconds);
    std::vector<std::shared_ptr<KJFeedObject>> innerFeedObjects() const;

private:
    KJTipManager() = default;
    void start(std::shared_ptr<BLQIFeedBackInterface> faqListUI);

    std::shared_ptr<BLQITipManagerDelegate> delegate() const;
    std::shared_ptr<BLQITipTriggers> triggers() const;
    std::shared_ptr<BLQITipCacheManager> cacheManager() const;
    static bool isInPreviewMode();
    void reportPreviewState(int64_t state, const std::string& message) const;

    // Live list changes (under mutex_).
    void setInnerTipSeriesLocked(SeriesList list);
    void writeTipsToDefaults(const SeriesList& list) const;
    // Removes the campaign's entries from the two per-campaign maps.
    void forgetShownState(const std::string& feedId);
    void setShownState(const std::string& feedId, int64_t index, std::optional<platform::Date> time);
    // Dismisses the tip controller on screen (when there is one) with its cover view removed.
    void dismissCurrentTipController(std::function<void()> completion = nullptr);
    // Unhooks a campaign that is not a page-open one, then removes it.
    void endCampaign(const std::shared_ptr<KJTipSeriesElement>& series);
    void bookmarkTour(const std::shared_ptr<KJTipSeriesElement>& series, int64_t index);
    void signalConcurrentTips() const;

    // Presentation.
    void presentAfterDelay(const std::shared_ptr<platform::UIViewController>& controller,
                           const std::shared_ptr<platform::UIView>& target, const std::shared_ptr<KJTipElement>& step,
                           uint64_t request);
    // False (and logged) when the step was presented after the request for it was made; else the
    // step counts as presented now.
    bool claimPresentation(const KJTipElement& step, uint64_t request);
    void targetNotFound(const std::shared_ptr<KJTipElement>& step,
                        const std::shared_ptr<platform::UIViewController>& controller);
    // The step is still the one shown by the worker's hold: the cover view is in a window with
    // subviews and a tip controller is current.
    bool tipStillOnScreen(const std::shared_ptr<BLQITipViewController>& tipController, bool* coverInWindow);

    // The step handlers.
    void outsideTapped(const std::shared_ptr<KJTipElement>& step, const std::weak_ptr<platform::UIViewController>& vc,
                       bool preview, bool report);
    void closeTapped(const std::shared_ptr<KJTipElement>& step, const std::weak_ptr<platform::UIViewController>& vc,
                     bool preview, bool report);
    void previousTapped(const std::shared_ptr<KJTipElement>& step, const std::weak_ptr<platform::UIViewController>& vc,
                        bool preview, bool report, bool triggerAction);
    void nextTapped(const std::shared_ptr<KJTipElement>& step, const std::weak_ptr<platform::UIViewController>& vc,
                    bool preview, bool report, bool triggerAction);
    // The dialog the step's close button may ask for. With reportAnswer its answer makes the step's
    // one report, as the close would have made it but with the answer's delete flag.
    void showDismissDialog(const std::shared_ptr<KJTipElement>& step, bool reportAnswer,
                           const std::string& stepId, bool lastStep);

    mutable std::mutex mutex_;

    std::weak_ptr<BLQITipManagerDelegate> delegate_;
    std::shared_ptr<BLQITipTriggers> triggers_;
    std::shared_ptr<BLQITipCacheManager> cacheManager_;
    std::shared_ptr<BLQIFeedBackInterface> faqListUI_;
    std::vector<std::shared_ptr<platform::NotificationObserver>> observers_;

    bool isBridgeInitCalled_ = false;
    bool isCarouselIntegrated_ = false;
    std::vector<std::shared_ptr<KJFeedObject>> innerFeedObjects_;
    std::map<std::string, std::shared_ptr<BLQITipViewController>> customGuideBlocks_;
    std::optional<platform::Date> datePoll_;
    std::optional<platform::Date> feedsReceivedTime_;
    platform::CGSize currentWindowSize_;
    std::optional<std::string> currentWindowOrientation_;
    std::map<std::string, int64_t> tipSeriesElementShown_;
    std::map<std::string, platform::Date> tipSeriesSincelastShown_;
    std::weak_ptr<platform::UIViewController> customerCurrentVC_;
    std::optional<std::string> currentRCTViewName_;
    std::optional<std::string> currentDisplayedTipFeedID_;
    SeriesList innerTipSeries_;
    // Changes with every change of the live list.
    uint64_t innerGeneration_ = 0;
    std::shared_ptr<BLQITipViewController> currentTipViewController_;
    std::shared_ptr<platform::UIView> tipCoverView_;
    std::optional<std::string> onDemandGuideId_;
    std::weak_ptr<platform::UIView> previewModePanel_;
    std::shared_ptr<platform::DispatchSemaphore> concurrentTipsSemaphore_;
    std::shared_ptr<std::mutex> singleTipLock_;
    std::shared_ptr<std::mutex> showLauncherBtnClickLock_;
    int64_t singleTipShowingCount_ = 0;
    bool isSDKIntegrationCorrect_ = false;
    std::weak_ptr<KJTipSeriesElement> currentTipSeries_;
    double autoDismissedTimeInterval_ = 0.0;
    int32_t currentTipType_ = 0;
    std::shared_ptr<KJTipSeriesElement> multipleTourSeries_;
    int64_t multipleTourIndex_ = 0;
    // Presentations are numbered when they are asked for and again when a worker presents them;
    // per step (feed id and step id), the number of its latest presentation.
    uint64_t presentationNumber_ = 0;
    std::map<std::string, uint64_t> stepPresentedAt_;

    // The campaign cache as last read, and what of it the live list has taken in.
    KJStoredCampaigns stored_;
    uint64_t mergedStoreGeneration_ = 0;
    uint64_t mergedInnerGeneration_ = 0;
};

}  // namespace brindlecue
