#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "config/BLQIConfigManagerDelegate.h"
#include "config/BLQIInstallRegistrationDelegate.h"
#include "config/BLQIUpdateRegistrationDelegate.h"
#include "facade/BLQIAppStatusDelegate.h"
#include "feed/BLQIFeedExt.h"
#include "feed/BLQIFeedReceivedDelegate.h"
#include "platform/Date.h"
#include "platform/NotificationCenter.h"
#include "platform/Value.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIApplicationDelegate.h"
#include "presentation/BLQITipPresentationFacade.h"
#include "preview/BLQIPreviewModeDelegate.h"
#include "preview/BLQIPreviewModeFacade.h"
#include "targeting/BLQITargetingAlgorithm.h"
#include "tips/BLQITipManagerDelegate.h"

namespace brindlecue {

class BLQIAppStatusManager;
class BLQIClientSideTriggerManager;
class BLQIConfigEventManager;
class BLQIConfigManager;
class BLQICustomGuideHelper;
class BLQIFeedManager;
class BLQIGuideController;
class BLQIInstallRegistrationManager;
class BLQILoggerManager;
class BLQIPreviewModeManager;
class BLQISessionManager;
class BLQITagManager;
class BLQITipManager;
class BLQIUpdateRegistrationManager;
class BLQIUserEventManager;
class KJFeedObject;
class KJFriendlyNameObject;
class KJInterceptor;
class KJTipTriggers;
class KJViewActivity;

namespace platform {
class DispatchSemaphore;
class NotificationObserver;
class NSUserActivity;
class OperationQueue;
class UIImage;
class UIViewController;
}  // namespace platform

// The library's front door: the one facade object a host starts with its app key. It builds every
// manager when it is first made, follows the application's life cycle through the platform's
// notifications, registers or updates the install (one attempt at a time, with two retries),
// opens sessions and asks for the feed, keeps the page visits of the host's screens, takes the
// host's tags, guides and deep links, stands in for the host's application delegate, and is the
// delegate of the managers that report back to it.
//
// Threads: the life-cycle handlers run on the main thread (where the platform posts); registration
// and update run on the high-priority global queue one at a time under a semaphore; the one-time
// start work on the default global queue; the work of entering the background on a serial
// operation queue. The facade's own state is guarded by one mutex, never held while it calls out.
class Brindlecue final : public platform::UIApplicationDelegate,
                         public BLQIAppStatusDelegate,
                         public BLQIConfigManagerDelegate,
                         public BLQIInstallRegistrationDelegate,
                         public BLQIUpdateRegistrationDelegate,
                         public BLQIFeedReceivedDelegate,
                         public BLQITargetingAlgorithmDelegate,
                         public BLQITipManagerDelegate,
                         public BLQITipPresentationFacade,
                         public BLQIPreviewModeDelegate,
                         public BLQIPreviewModeFacade,
                         public BLQIFeedExt {
public:
    // The install (or none) and the error (or none) of a registration or update.
    using InstallHandler =
        std::function<void(std::shared_ptr<BLQInstallDTO>, std::optional<platform::Error>)>;
    using Completion = std::function<void()>;
    using OpenURLHandler = std::function<void(const std::string& url)>;
    using BackgroundFetchCompletion = std::function<void(int64_t fetchResult)>;

    static constexpr const char* kVersion = "3.0.3";
    static constexpr const char* kDelayLaunchOptionsNotification = "BrindlecueDelayLaunchOptionsNotification";
    static constexpr const char* kInitBridgeNotification = "KJ_InitBridge_Notification";
    static constexpr const char* kErrorDomain = "KJErrorDomain";
    // UIBackgroundFetchResult
    static constexpr int64_t kBackgroundFetchResultNewData = 0;

    // The one facade, made on first use (the composer, the managers, the observers) and kept for
    // the process. Its first call starts the internal notification bus.
    static std::shared_ptr<Brindlecue> sharedInstance();
    // Test-only: stops observing, takes the facade off the application and the published seams and
    // forgets it, so that the next sharedInstance builds a new one. The library never calls it.
    static void resetForTesting();

    Brindlecue();
    ~Brindlecue() override;
    std::string className() const override { return "Brindlecue"; }
    void didConstruct() override;

    // ---- Start and registration ------------------------------------------------------------------

    // The host's start call: once per process (until prepareForRegisteringNewAppKey), with the
    // app key and debug flag; the completion runs on a global queue after the first successful
    // registration and the start work.
    void registerInstallForApp(const std::string& appKey, bool debugMode, Completion completion);
    void prepareForRegisteringNewAppKey();
    void registerInstall(InstallHandler handler, int32_t retryCounter);
    void registerOrUpdateInstallWithHandler(InstallHandler handler);
    void registerInstallWithHandler(InstallHandler handler);
    void registerUpdateWithInstall(const std::shared_ptr<BLQInstallDTO>& install, InstallHandler handler);
    bool checkInstallChangeForLaunch();
    bool hasValidInstall() override;
    void processInstallOrUpdate(const std::string& prefix, InstallHandler handler);
    void saveTagsForInstallOrUpdate(const std::shared_ptr<BLQInstallDTO>& install);
    void createNewSessionWithInstall(const std::shared_ptr<BLQInstallDTO>& install, const std::string& prefix,
                                     InstallHandler handler);
    void processInstallationFeeds(const platform::Value& response);
    void convertFeedsAndSendForProcessing(const platform::Value& feeds);
    void hostDidChange() override;
    void checkForLanguageUpdate();

    // ---- Life cycle -------------------------------------------------------------------------------

    void applicationDidFinishLaunchingNotificationHandler(const platform::Notification& notification);
    void applicationWillResignActiveNotificationHandler(const platform::Notification& notification);
    void applicationDidEnterBackgroundNotificationHandler(const platform::Notification& notification);
    void applicationWillEnterForegroundNotificationHandler(const platform::Notification& notification);
    void applicationDidBecomeActiveNotificationHandler(const platform::Notification& notification);
    void applicationWillTerminateNotificationHandler(const platform::Notification& notification);
    void applicationDidReceiveMemoryWarningNotificationHandler(const platform::Notification& notification);
    void timeZoneChangeNotificationHandler(const platform::Notification& notification);

    void kjNotifyPageEnter(const std::optional<std::string>& page, bool sendEnter, bool sendExit);
    void kjNotifyPageExit(const std::optional<std::string>& page, bool clearEnterHistory);
    void kjRegularTask(BackgroundFetchCompletion completion, bool needComplete);
    void checkUtcOffsetUpdate();
    void sendAppCompleteLogline();
    void endBackgroundTask(platform::UIBackgroundTaskIdentifier task);
    std::shared_ptr<platform::UIViewController> topMostViewController() const override;
    std::shared_ptr<platform::UIViewController> topViewController(
        const std::shared_ptr<platform::UIViewController>& controller, int32_t loopCount) const;

    // ---- Public interface: tags -----------------------------------------------------------------

    bool tagString(const std::string& value, const std::string& key, bool forceUpdate = false);
    bool tagNumeric(double value, const std::string& key, bool forceUpdate = false);
    bool tagDatetime(const std::optional<platform::Date>& value, const std::string& key,
                     bool forceUpdate = false);
    // A text, a date or a number; anything else is refused.
    bool tagUserId(const platform::Value& value, bool forceUpdate = false);
    bool tagUserLanguage(const std::string& language);
    bool tagUserCountry();
    bool removeTag(const std::string& key);
    bool incrementTag(const std::string& key);
    bool incrementTag(double amount, const std::string& key);
    bool tagExists(const std::string& key);
    // The key cut to 500 characters (with a warning); the phone tag's format.
    std::string checkTagKey(const std::string& key);
    bool checkTagValue(const platform::Value& value, const std::string& key);

    // ---- Public interface: screens, guides, links ------------------------------------------------

    void kjNotifyPageEnter(const std::string& page);
    void kjNotifyPageExit(const std::string& page);
    bool kjCustomActivityList(const std::vector<std::shared_ptr<KJFriendlyNameObject>>& list);
    void submitFriendlyNames();
    void setReactViewName(const std::string& name);
    void showOnDemandGuide(const std::string& campaignId);
    void registerGuideBlock(std::shared_ptr<BLQIGuideController> block, const std::string& key);
    void addGuide(const platform::Value& customPayload);
    // Always false: the library never claims a link for itself.
    bool openURL(const std::string& url);
    bool continueUserActivity(const std::shared_ptr<platform::NSUserActivity>& activity);
    void indexSpotlightSearchForIdentifier(const std::string& identifier, const std::string& deeplink,
                                           const std::string& title, const std::string& description,
                                           const std::shared_ptr<platform::UIImage>& thumbnail,
                                           const std::vector<std::string>& keywords);
    void deleteSpotlightItemsForIdentifiers(const std::vector<std::string>& identifiers);
    void deleteAllSpotlightItems();
    void logToConsoleAtLevel(int64_t level, const std::string& formattedMessage);
    std::string version() const { return kVersion; }
    void verifySDKVersion() override;
    std::string getFormattedDateTime(double secondsSince1970) const;
    std::string getCurrentFormattedDateTime() const;
    std::shared_ptr<platform::UIApplicationDelegate> getAppDelegate() const;
    bool launchSystemPreferenceSettings();
    std::optional<int64_t> appId();
    void setAppId(std::optional<int64_t> appId);
    std::string clientVersion() const;
    std::shared_ptr<BLQInstallDTO> currentInstall() const;
    std::string developmentPlatform() const override;

    // ---- Delegate callbacks -----------------------------------------------------------------------

    void onAppStatusUpdated(const BLQAppStatusModel& model) override;
    void onFeedTimeStampUpdated(const std::string& timeStamp) override;
    void onInstallRegistrationSuccess(const platform::Value& response, const platform::URL& fromURL,
                                      InstallHandler handler) override;
    void onInstallRegistrationFailure(const platform::Error& error, InstallHandler handler) override;
    void onUpdateSuccess(const platform::Value& response, const platform::URL& fromURL,
                         InstallHandler handler) override;
    void onUpdateFailure(const platform::Error& error, InstallHandler handler) override;
    void onFeedReceivedSuccessWithResponse(const platform::Value& response,
                                           const platform::URL& url) override;
    void onFeedReceivedFailureWithError(const platform::Error& error) override;
    void deleteInfiniteGuides() override;
    void deletedDisabledGuides(const std::vector<std::string>& feedIdsThatStay) override;
    void onPreviewModeToggledWithPreviewModeActive(bool active) override;
    // Preview checks that the manager makes itself need nothing of the facade.
    void onPreviewModeCheckSuccessWithResponse(const platform::Value& response,
                                               const platform::URL& url) override {}
    void onPreviewModeCheckFailureWithError(const platform::Error& error) override {}

    // ---- Application-delegate methods the facade answers first (through its interceptor) ---------

    // The application-delegate selectors the facade answers (registered as its methods).
    static const std::vector<std::string>& applicationDelegateSelectors();
    void applicationDidRegisterUserNotificationSettings(platform::UIApplication& app,
                                                        const platform::Value& settings) override;
    void applicationDidRegisterForRemoteNotificationsWithDeviceToken(platform::UIApplication& app,
                                                                     const platform::Data& token) override;
    void applicationDidFailToRegisterForRemoteNotificationsWithError(platform::UIApplication& app,
                                                                     const platform::Error& error) override;
    void applicationDidReceiveRemoteNotificationFetchCompletionHandler(
        platform::UIApplication& app, const platform::Value& payload,
        std::function<void(int64_t)> completionHandler) override;
    void applicationHandleActionWithIdentifierForRemoteNotification(
        platform::UIApplication& app, const std::string& identifier, const platform::Value& payload,
        std::function<void()> completionHandler) override;
    void applicationDidReceiveLocalNotification(platform::UIApplication& app,
                                                const platform::Value& notification) override;
    void applicationHandleActionWithIdentifierForLocalNotification(
        platform::UIApplication& app, const std::string& identifier, const platform::Value& notification,
        std::function<void()> completionHandler) override;
    void applicationPerformFetchWithCompletionHandler(
        platform::UIApplication& app, std::function<void(int64_t)> completionHandler) override;
    bool applicationOpenURLOptions(platform::UIApplication& app, const std::string& url,
                                   const platform::Value& options) override;
    bool applicationOpenURLSourceApplicationAnnotation(platform::UIApplication& app, const std::string& url,
                                                       const std::string& sourceApplication,
                                                       const platform::Value& annotation) override;
    bool applicationContinueUserActivityRestorationHandler(
        platform::UIApplication& app, const std::shared_ptr<platform::NSUserActivity>& activity,
        std::function<void(const platform::Array&)> restorationHandler) override;

    // ---- Feed results (user events 8200 and 8201) and campaign pruning ------------------------------

    void sendFeedAck(const std::string& feedId) override;
    void notifyFeedResult(const std::string& feedId, BLQFeedResult result);
    void notifyFeedResultWithResults(const std::string& feedId, const platform::Value& results) override;
    void notifyFeedResultOnError(const std::string& feedId, const std::string& campaignId,
                                 const std::string& tipType, const std::string& stepId,
                                 const platform::Value& message) override;
    void notifyFeedResult(const std::optional<std::string>& feedId, const platform::Value& campaignId,
                          BLQFeedResult result, const platform::Value& stepId, bool deleteFeed,
                          bool completed) override;
    void notifyFeedResult(const std::string& feedId, const std::string& campaignId, BLQFeedResult result,
                          const std::string& stepId, bool deleteFeed, bool completed) override;
    void deleteDisabledCampaign();
    std::function<void(const platform::Value&)> newFeedHandler() const;
    void setNewFeedHandler(std::function<void(const platform::Value&)> handler);

    // ---- The tip engine's view of the facade ------------------------------------------------------

    std::optional<std::string> appKey() const override;
    void onDemandCampaignShown() override;
    std::optional<platform::Date> feedsModifiedTime() const override;
    void setFeedsModifiedTime(std::optional<platform::Date> time) override;
    std::shared_ptr<BLQIClientSideTriggerManager> clientSideTriggerManager() const override;
    std::shared_ptr<BLQIPreviewModeManager> previewModeManager() const override;

    // ---- Properties ---------------------------------------------------------------------------------

    bool isDebugMode() const;
    bool isRegisterInstallForAppCalled() const;
    int64_t applicationLifeCycleState() const;
    bool autoIntegrateAppDelegate() const;
    void setAutoIntegrateAppDelegate(bool value);
    std::optional<std::string> onDemandCampaignID() const;
    void setOnDemandCampaignID(std::optional<std::string> campaignId);
    std::optional<std::string> rnViewName() const;
    std::shared_ptr<KJViewActivity> currentView() const;
    std::optional<std::string> loadLocalFeeds() const;
    void setLoadLocalFeeds(std::optional<std::string> feeds);
    void setOpenUrlHandler(OpenURLHandler handler);
    OpenURLHandler openUrlHandler() const;
    std::vector<std::shared_ptr<KJFeedObject>> pollingFeedArray() const;
    void setPollingFeedArray(std::vector<std::shared_ptr<KJFeedObject>> feeds);
    std::shared_ptr<KJInterceptor> appDelegateInterceptor() const;
    std::shared_ptr<platform::UIApplicationDelegate> originalAppDelegate() const;
    std::optional<std::string> sdkVerificationMessage() const;
    std::shared_ptr<platform::OperationQueue> backgroundQueue() const { return backgroundQueue_; }

    std::shared_ptr<BLQILoggerManager> loggerManager() const { return loggerManager_; }
    std::shared_ptr<BLQIAppStatusManager> appStatusManager() const { return appStatusManager_; }
    std::shared_ptr<BLQIConfigManager> configManager() const { return configManager_; }
    std::shared_ptr<BLQIConfigEventManager> configEventManager() const { return configEventManager_; }
    std::shared_ptr<BLQIInstallRegistrationManager> installManager() const { return installManager_; }
    std::shared_ptr<BLQISessionManager> sessionManager() const { return sessionManager_; }
    std::shared_ptr<BLQIUpdateRegistrationManager> updateManager() const { return updateManager_; }
    std::shared_ptr<BLQIUserEventManager> userEventManager() const { return userEventManager_; }
    std::shared_ptr<BLQITagManager> tagManager() const override { return tagManager_; }
    std::shared_ptr<BLQIFeedManager> feedManager() const override { return feedManager_; }
    std::shared_ptr<BLQITipManager> tipManager() const { return tipManager_; }
    std::shared_ptr<BLQITargetingAlgorithm> targetingAlgo() const { return targetingAlgo_; }
    std::shared_ptr<BLQICustomGuideHelper> customGuideHelper() const { return customGuideHelper_; }
    // What the tip engine waits for the user with (the internal bus reaches it directly).
    std::shared_ptr<KJTipTriggers> tipTriggers() const { return tipTriggers_; }

private:
    // Fills the seams of the lower layers that need nothing of the facade's managers (campaign
    // model records, the campaign cache's collaborators, fonts and image decoding, the tip
    // controllers), before the composer builds the tip engine.
    static void connectLowerLayers();
    // Publishes the managers and the facade itself to the layers that reach them at call time.
    void connectToLayers();
    // Logs, as a start-up failure, every seam that was left empty.
    void verifyConnections() const;
    void disconnectFromLayers();
    void applyPreviewServerTimestamp(std::optional<platform::Date> timestamp);
    // The host's delegate when it implements the selector.
    std::shared_ptr<platform::UIApplicationDelegate> hostDelegateFor(const char* selector) const;
    std::shared_ptr<BLQIPreviewModeManager> createPreviewModeManager();
    void setupNotifications();
    void buildManagers();
    void runStartBlock();
    void interposeAppDelegate();
    // The library is enabled (the configuration's enable test, which logs when it is not).
    static bool enabled();
    void log(const std::string& message, int64_t level) const;
    void setLegacyHeader(const std::string& field, const std::optional<std::string>& value);
    void installCompletion(std::shared_ptr<BLQInstallDTO> install, std::optional<platform::Error> error,
                           const InstallHandler& handler, bool isUpdate);
    void writeSentInstall();
    // Adds one operation to the background queue inside a background task; the work runs unless the
    // operation was cancelled, and the task ends either way.
    void runInBackgroundTask(std::function<void()> work);
    void postPushBridge(const std::string& name, platform::Value userInfo,
                        platform::Notification::ObjectMap objects);
    bool saveTag(const std::string& key, const std::any& value, bool forceUpdate);

    std::shared_ptr<BLQILoggerManager> loggerManager_;
    std::shared_ptr<BLQIAppStatusManager> appStatusManager_;
    std::shared_ptr<BLQIConfigManager> configManager_;
    std::shared_ptr<BLQIConfigEventManager> configEventManager_;
    std::shared_ptr<BLQIInstallRegistrationManager> installManager_;
    std::shared_ptr<BLQISessionManager> sessionManager_;
    std::shared_ptr<BLQIUpdateRegistrationManager> updateManager_;
    std::shared_ptr<BLQIUserEventManager> userEventManager_;
    std::shared_ptr<BLQIClientSideTriggerManager> clientSideTriggerManager_;
    std::shared_ptr<BLQITagManager> tagManager_;
    std::shared_ptr<BLQIFeedManager> feedManager_;
    std::shared_ptr<BLQIPreviewModeManager> previewModeManager_;
    std::shared_ptr<BLQITipManager> tipManager_;
    std::shared_ptr<BLQITargetingAlgorithm> targetingAlgo_;
    std::shared_ptr<BLQICustomGuideHelper> customGuideHelper_;
    std::shared_ptr<KJTipTriggers> tipTriggers_;

    std::shared_ptr<platform::OperationQueue> backgroundQueue_;
    std::shared_ptr<platform::DispatchSemaphore> installSemaphore_;
    std::vector<std::shared_ptr<platform::NotificationObserver>> observers_;

    mutable std::mutex mutex_;
    bool isRegisterInstallForAppCalled_ = false;
    bool isFinishLaunchOptionCalled_ = false;
    bool isDebugMode_ = false;
    bool isSuperTagsEnabled_ = true;
    bool autoIntegrateAppDelegate_ = true;
    int64_t applicationLifeCycleState_ = 0;
    Completion registrationCompletionBlock_;
    OpenURLHandler openUrlHandler_;
    std::optional<std::string> appKey_;
    std::optional<int64_t> appId_;
    std::optional<std::string> rnViewName_;
    std::shared_ptr<KJViewActivity> currentView_;
    std::shared_ptr<KJInterceptor> appDelegateInterceptor_;
    std::shared_ptr<platform::UIApplicationDelegate> originalAppDelegate_;
    bool isVerifySDKCalled_ = false;
    std::optional<std::string> sdkVerificationMessage_;
    std::optional<std::string> onDemandCampaignID_;
    std::optional<std::string> loadLocalFeeds_;
    std::optional<platform::Date> feedsModifiedTime_;
    std::vector<std::shared_ptr<KJFeedObject>> pollingFeedArray_;
    std::function<void(const platform::Value&)> newFeedHandler_;
};

}  // namespace brindlecue
