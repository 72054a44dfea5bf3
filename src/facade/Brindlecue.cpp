// The facade's creation, its managers and the application's life cycle.

#include "facade/Brindlecue.h"

#include <cmath>

#include "config/BLQIConfigManager.h"
#include "config/BLQIInstallRegistrationManager.h"
#include "config/BLQISessionManager.h"
#include "config/BLQIUpdateRegistrationManager.h"
#include "config/BLQUtilsFacade.h"
#include "events/BLQIUserEventManager.h"
#include "facade/BLQAppStatusManagerFactory.h"
#include "facade/BLQBrindlecueBridge.h"
#include "facade/BLQDependencyComposer.h"
#include "facade/BLQFacadeLink.h"
#include "facade/BLQIAppStatusManager.h"
#include "facade/BLQIConfigEventManager.h"
#include "facade/BLQLoggerManager.h"
#include "facade/BLQSessionKeys.h"
#include "facade/KJFriendlyNameObject.h"
#include "facade/KJViewActivity.h"
#include "feed/BLQIFeedManager.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipManager.h"
#include "foundation/BLQDateUtils.h"
#include "foundation/BLQUtils.h"
#include "foundation/BLQViewUtils.h"
#include "foundation/KJInterceptor.h"
#include "matching/BLQClientSideTriggerManagerFactory.h"
#include "platform/Device.h"
#include "platform/SystemLog.h"
#include "platform/TestingReset.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/DispatchSemaphore.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITabBarController.h"
#include "platform/uikit/UIWindow.h"
#include "tags/BLQITagManager.h"
#include "tags/BLQTagKey.h"
#include "tags/BLQTagManagerFactory.h"
#include "tips/BLQCustomGuideHelper.h"

namespace brindlecue {

using platform::Notification;
using platform::UserDefaults;
using platform::Value;

namespace {

constexpr const char* kGeoLat = "KJ_GEOLOCATION_LAT";
constexpr const char* kGeoLng = "KJ_GEOLOCATION_LNG";
constexpr const char* kAppStatusSetTime = "APPSTATUS_BRINDLECUE_SET_TIME";
constexpr const char* kEnterPageHistory = "ENTER_PAGE_HISTORY";
constexpr const char* kExitPageHistory = "EXIT_PAGE_HISTORY";
constexpr const char* kUtcOffset = "SETTING_UTC_OFFSET";
constexpr const char* kHeartbeatTime = "REGULAR_HEARTBEAT_LOGTIME";
constexpr double kHeartbeatInterval = 21600;
constexpr int32_t kMaxTopControllerDepth = 25;

// The facade and whether the bus was started. Never destroyed: worker threads may still reach the
// facade while the process exits.
struct Instance {
    std::recursive_mutex mutex;
    std::shared_ptr<Brindlecue> facade;
    bool isBridgeInitCalled = false;
    std::shared_ptr<platform::NotificationObserver> bridgeObserver;
};

Instance& instance() {
    static Instance* shared = new Instance();
    return *shared;
}

// The class's load hook: the launch notification is posted again 2 s later as
// "BrindlecueDelayLaunchOptionsNotification", with the same object and a copy of its options.
const bool kLaunchIsDelayed = [] {
    platform::NotificationCenter::defaultCenter().addObserver(
        platform::UIApplication::UIApplicationDidFinishLaunchingNotification, nullptr, nullptr,
        [](const Notification& launch) {
            Notification delayed(Brindlecue::kDelayLaunchOptionsNotification, launch.object(),
                                 launch.userInfo(), launch.objects());
            platform::DispatchQueue::main()->asyncAfter(
                2.0, [delayed] { platform::NotificationCenter::defaultCenter().post(delayed); });
        });
    return true;
}();

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string storedText(const char* key) {
    return UserDefaults::standard().string(key).value_or("");
}

}  // namespace

// ---- Creation ---------------------------------------------------------------------------------------

std::shared_ptr<Brindlecue> Brindlecue::sharedInstance() {
    auto& shared = instance();
    std::shared_ptr<Brindlecue> facade;
    bool startBridge = false;
    {
        // A call from the thread that is building the facade gets the facade being built; other
        // threads wait until it is built.
        std::lock_guard lock(shared.mutex);
        if (!shared.facade) {
            static bool resetRegistered = [] {
                platform::TestingReset::add("Brindlecue", [] { resetForTesting(); });
                return true;
            }();
            (void)resetRegistered;
            auto made = std::make_shared<Brindlecue>();
            shared.facade = made;
            made->didConstruct();
            made->registerAddress();
        }
        facade = shared.facade;
        if (!shared.isBridgeInitCalled) {
            shared.isBridgeInitCalled = true;
            startBridge = true;
        }
    }
    if (startBridge) {
        // The internal notification bus registers its observers when it hears of the facade.
        bool found = BLQBrindlecueBridge::registerClass();
        platform::SystemLog("com.brindlecue", "BrindlecueSDK")
            .log(platform::LogType::Default,
                 std::string("Bridge for Brindlecue: ") + (found ? "BLQBrindlecueBridge" : "(null)") + ".");
        auto observer = platform::NotificationCenter::defaultCenter().addObserver(
            kInitBridgeNotification, nullptr, nullptr,
            [](const Notification& notification) { BLQBrindlecueBridge::bridgeHandler(notification); });
        {
            std::lock_guard lock(shared.mutex);
            shared.bridgeObserver = observer;
        }
        platform::NotificationCenter::defaultCenter().post(kInitBridgeNotification);
    }
    return facade;
}

void Brindlecue::resetForTesting() {
    auto& shared = instance();
    std::shared_ptr<Brindlecue> facade;
    {
        std::lock_guard lock(shared.mutex);
        facade = std::move(shared.facade);
        shared.facade.reset();
        shared.isBridgeInitCalled = false;
        if (shared.bridgeObserver)
            platform::NotificationCenter::defaultCenter().removeObserver(shared.bridgeObserver);
        shared.bridgeObserver.reset();
    }
    BLQBrindlecueBridge::resetForTesting();
    if (!facade) return;
    auto& center = platform::NotificationCenter::defaultCenter();
    for (const auto& observer : facade->observers_) center.removeObserver(observer);
    facade->observers_.clear();
    auto app = platform::UIApplication::sharedApplication();
    if (std::dynamic_pointer_cast<KJInterceptor>(app->delegate()))
        app->setDelegate(facade->originalAppDelegate());
    facade->backgroundQueue_->cancelAllOperations();
    facade->disconnectFromLayers();
}

Brindlecue::Brindlecue() = default;

Brindlecue::~Brindlecue() {
    auto& center = platform::NotificationCenter::defaultCenter();
    for (const auto& observer : observers_) center.removeObserver(observer);
}

void Brindlecue::didConstruct() {
    UIApplicationDelegate::didConstruct();
    BLQFacadeLink::ConstructionScope building;
    platform::ClassRegistry::registerClass("Brindlecue", "NSObject");
    platform::ClassRegistry::addMethods("Brindlecue", applicationDelegateSelectors());

    auto& defaults = UserDefaults::standard();
    defaults.setInteger(kGeoLat, 0);
    defaults.setInteger(kGeoLng, 0);
    defaults.synchronize();

    backgroundQueue_ = platform::OperationQueue::create("Brindlecue.backgroundQueue");
    backgroundQueue_->setMaxConcurrentOperationCount(1);
    installSemaphore_ = std::make_shared<platform::DispatchSemaphore>(1);

    setupNotifications();
    connectLowerLayers();
    BLQDependencyComposer::composeDependencies();
    buildManagers();
    connectToLayers();
}

void Brindlecue::buildManagers() {
    auto self = std::static_pointer_cast<Brindlecue>(shared_from_this());

    appStatusManager_ = BLQAppStatusManagerFactory::createAppStatusManager();
    appStatusManager_->setDelegate(self);
    configManager_ = BLQConfigManagerFactory::createConfigManager();
    configManager_->setDelegate(self);
    // Events recorded before the host's start call (a screen shown first) carry the version too. The
    // version a launch restored is not written again: only a first launch or a new version writes it.
    if (configManager_->getSDKVersion() != std::optional<std::string>(kVersion))
        configManager_->setSDKVersion(kVersion);
    configEventManager_ = BLQConfigEventManagerFactory::createConfigEventManager();
    configEventManager_->setDelegate(std::dynamic_pointer_cast<BLQIConfigEventDelegate>(configManager_));
    loggerManager_ = std::make_shared<BLQLoggerManager>(configManager_);
    installManager_ = BLQInstallRegistrationManagerFactory::createInstallRegistrationManager();
    installManager_->setDelegate(self);
    sessionManager_ = BLQSessionManagerFactory::createSessionManager();
    updateManager_ = BLQUpdateRegistrationManagerFactory::createUpdateRegistrationManager();
    updateManager_->setDelegate(self);
    userEventManager_ = BLQUserEventManagerFactory::createUserEventManager();
    clientSideTriggerManager_ = BLQClientSideTriggerManagerFactory::createCSTManager();
    tagManager_ = BLQTagManagerFactory::createTagManager();
    feedManager_ = BLQFeedManagerFactory::createFeedManager();
    feedManager_->setDelegate(self);
    previewModeManager_ = createPreviewModeManager();
    tipManager_ = BLQTipManagerFactory::createTipManager();
    targetingAlgo_ = BLQTargetingAlgorithManager::createTargetingAlgorithmManager();
    targetingAlgo_->setDelegate(self);
    customGuideHelper_ = BLQCustomGuideHelperFactory::createHelper();
}

void Brindlecue::setupNotifications() {
    auto& center = platform::NotificationCenter::defaultCenter();
    std::weak_ptr<Brindlecue> weak = std::static_pointer_cast<Brindlecue>(shared_from_this());
    auto observe = [&](const char* name, void (Brindlecue::*handler)(const Notification&)) {
        observers_.push_back(
            center.addObserver(name, nullptr, nullptr, [weak, handler](const Notification& n) {
                if (auto facade = weak.lock()) ((*facade).*handler)(n);
            }));
    };
    using App = platform::UIApplication;
    observe(App::UIApplicationDidFinishLaunchingNotification,
            &Brindlecue::applicationDidFinishLaunchingNotificationHandler);
    observe(kDelayLaunchOptionsNotification, &Brindlecue::applicationDidFinishLaunchingNotificationHandler);
    observe(App::UIApplicationWillResignActiveNotification,
            &Brindlecue::applicationWillResignActiveNotificationHandler);
    observe(App::UIApplicationDidEnterBackgroundNotification,
            &Brindlecue::applicationDidEnterBackgroundNotificationHandler);
    observe(App::UIApplicationWillEnterForegroundNotification,
            &Brindlecue::applicationWillEnterForegroundNotificationHandler);
    observe(App::UIApplicationDidBecomeActiveNotification,
            &Brindlecue::applicationDidBecomeActiveNotificationHandler);
    observe(App::UIApplicationWillTerminateNotification,
            &Brindlecue::applicationWillTerminateNotificationHandler);
    observe(App::UIApplicationDidReceiveMemoryWarningNotification,
            &Brindlecue::applicationDidReceiveMemoryWarningNotificationHandler);
    observe(App::UIApplicationSignificantTimeChangeNotification,
            &Brindlecue::timeZoneChangeNotificationHandler);
}

bool Brindlecue::enabled() {
    return brindlecueIsEnabled();
}

void Brindlecue::log(const std::string& message, int64_t level) const {
    BLQFacadeLink::logToConsoleAtLevel(level, message);
}

// ---- Life cycle -------------------------------------------------------------------------------------

void Brindlecue::applicationDidFinishLaunchingNotificationHandler(const Notification& notification) {
    {
        std::lock_guard lock(mutex_);
        if (isFinishLaunchOptionCalled_) return;
        isFinishLaunchOptionCalled_ = true;
    }
    if (!enabled()) return;
    bool delayed = notification.name() == kDelayLaunchOptionsNotification;
    const Value& options = notification.userInfo();
    log(std::string("Application did finish launching (") + (delayed ? "Delay" : "Normal") +
            ") with launchOptions: " + options.description(),
        2);
    if (delayed) {
        if (const std::string* url = options["UIApplicationLaunchOptionsURLKey"].getString()) openURL(*url);
        if (auto activity =
                notification.object<platform::NSUserActivity>("UIApplicationLaunchOptionsUserActivityKey"))
            continueUserActivity(activity);
        const Value& remote = options["UIApplicationLaunchOptionsRemoteNotificationKey"];
        if (!remote.isNil())
            platform::NotificationCenter::defaultCenter().post(
                "KJ_PushBridge_ReceiveRemoteNotification", nullptr,
                Value::dictionary({{"payload", remote}, {"fgbg", 2}, {"needComplete", false}}));
    }
    if (!options["UIApplicationLaunchOptionsLocationKey"].isAbsent())
        platform::NotificationCenter::defaultCenter().post("KJ_LMBridge_StartMonitorGeoLocation");
    // The platform's minimum background fetch interval (1800 s) has no stand-in to set.
    UserDefaults::standard().remove(kAppStatusSetTime);
}

void Brindlecue::applicationWillResignActiveNotificationHandler(const Notification& notification) {
    if (!enabled()) return;
    log("Application will resignActive with info: " + notification.userInfo().description() + ".", 1);
}

void Brindlecue::applicationDidEnterBackgroundNotificationHandler(const Notification& notification) {
    {
        std::lock_guard lock(mutex_);
        applicationLifeCycleState_ = 2;
    }
    if (!enabled()) return;
    log("Application did enter background with info: " + notification.userInfo().description(), 2);
    platform::NotificationCenter::defaultCenter().post("KJ_LMBridge_StartMonitorGeoLocation");
    kjNotifyPageExit(std::nullopt, false);
    std::weak_ptr<Brindlecue> weak = std::static_pointer_cast<Brindlecue>(shared_from_this());
    runInBackgroundTask([weak] {
        auto facade = weak.lock();
        if (!facade) return;
        facade->userEventManager_->sendUserEventWithCode(
            8104, blqSerializeObjToJson(Value::dictionary({{"action", "App to BG."}})), Value());
        facade->sendAppCompleteLogline();
        facade->sessionManager_->closeCurrentSession();
    });
}

void Brindlecue::applicationWillEnterForegroundNotificationHandler(const Notification& notification) {
    if (!enabled()) return;
    log("Application will enter foreground with info: " + notification.userInfo().description(), 2);
    {
        std::lock_guard lock(mutex_);
        applicationLifeCycleState_ = 0;
    }
    appStatusManager_->shouldCheckForAppStatus();
    auto install = currentInstall();
    if (install && install->isRegisteredWithServer)
        createNewSessionWithInstall(install, "Session", nullptr);
    else
        registerOrUpdateInstallWithHandler(nullptr);
    kjNotifyPageEnter(std::nullopt, true, false);
}

void Brindlecue::applicationDidBecomeActiveNotificationHandler(const Notification& notification) {
    {
        std::lock_guard lock(mutex_);
        applicationLifeCycleState_ = 0;
    }
    auto& center = platform::NotificationCenter::defaultCenter();
    center.post("KJ_PushBridge_SetBadge_Notification", nullptr, Value::dictionary({{"badge", 0}}));
    if (!enabled()) return;
    log("Application did become active with info: " + notification.userInfo().description(), 3);
    center.post("KJ_LMBridge_StartMonitorGeoLocation");
    if (auto install = currentInstall()) {
        center.post("KJ_PushBridge_Register_Notification");
        if (!checkInstallChangeForLaunch() && install->appKey && !install->appKey->empty()) {
            if (auto top = topMostViewController()) {
                log("Author mode find top vc is finally " + top->description() + ".", 2);
                center.post("BLQ_BrindlecueBridge_ShowTip_Notification", nullptr, Value::dictionary({}),
                            {{"vc", top}});
            }
        } else {
            registerOrUpdateInstallWithHandler(nullptr);
        }
    }
    kjRegularTask(nullptr, false);
    center.post("KJ_PushBridge_Smart_Notification");
    auto& defaults = UserDefaults::standard();
    defaults.setDouble(BLQSessionKeys::sessionVisibleTime,
                       platform::Date::now().timeIntervalSinceReferenceDate());
    userEventManager_->sendUserEventWithCode(
        8103, blqSerializeObjToJson(Value::dictionary({{"action", "App opened from BG."}})), Value());
}

void Brindlecue::applicationWillTerminateNotificationHandler(const Notification& notification) {
    if (!enabled()) return;
    log("Application will terminate with info: " + notification.userInfo().description(), 1);
    platform::NotificationCenter::defaultCenter().post("KJ_LMBridge_StartMonitorGeoLocation");
    kjNotifyPageExit(std::nullopt, false);
}

void Brindlecue::applicationDidReceiveMemoryWarningNotificationHandler(const Notification&) {
    if (!enabled()) return;
    log("Brindlecue Received memory warning", 4);
}

void Brindlecue::timeZoneChangeNotificationHandler(const Notification&) {
    log("timeZoneChangeNotificationHandler", 3);
    checkUtcOffsetUpdate();
}

void Brindlecue::runInBackgroundTask(std::function<void()> work) {
    auto app = platform::UIApplication::sharedApplication();
    auto task = std::make_shared<platform::UIBackgroundTaskIdentifier>(platform::UIBackgroundTaskInvalid);
    *task = app->beginBackgroundTask([app, task] { app->endBackgroundTask(*task); });
    auto self = std::make_shared<std::weak_ptr<platform::Operation>>();
    auto operation = platform::Operation::block([self, work = std::move(work), app, task] {
        auto running = self->lock();
        if (running && !running->isCancelled()) work();
        app->endBackgroundTask(*task);
    });
    *self = operation;
    backgroundQueue_->addOperation(operation);
}

void Brindlecue::endBackgroundTask(platform::UIBackgroundTaskIdentifier task) {
    platform::UIApplication::sharedApplication()->endBackgroundTask(task);
}

void Brindlecue::sendAppCompleteLogline() {
    auto& defaults = UserDefaults::standard();
    std::optional<double> visible = defaults.object(BLQSessionKeys::sessionVisibleTime).getNumber();
    if (!visible || *visible == 0 || !sessionManager_->isSessionStarted()) return;
    auto start = platform::Date::fromTimeIntervalSinceReferenceDate(*visible);
    auto now = platform::Date::now();
    userEventManager_->sendUserEventWithCode(
        8105, "",
        Value::dictionary({{"start", blqFormatISODate(start)},
                           {"end", blqFormatISODate(now)},
                           {"length", static_cast<float>(now.timeIntervalSince(start))}}));
    defaults.setInteger(BLQSessionKeys::sessionVisibleTime, 0);
    defaults.synchronize();
}

void Brindlecue::checkUtcOffsetUpdate() {
    int64_t minutes = platform::Device::secondsFromGMT() / 60;
    Value stored = UserDefaults::standard().object(kUtcOffset);
    if (auto number = stored.getNumber(); number && static_cast<int32_t>(*number) == minutes) return;
    std::weak_ptr<Brindlecue> weak = std::static_pointer_cast<Brindlecue>(shared_from_this());
    runInBackgroundTask([weak, minutes] {
        auto facade = weak.lock();
        if (!facade) return;
        // A check queued behind one that has already recorded this offset sends nothing again.
        auto recorded = UserDefaults::standard().object(kUtcOffset).getNumber();
        if (recorded && static_cast<int32_t>(*recorded) == minutes) return;
        facade->tagManager_->saveTagWithKey(BLQTagKey::utcOffset(), std::any(minutes), nullptr, nullptr);
        facade->userEventManager_->sendUserEventWithCode(8050, std::to_string(minutes), Value());
        auto& defaults = UserDefaults::standard();
        defaults.setInteger(kUtcOffset, minutes);
        defaults.synchronize();
    });
}

void Brindlecue::kjNotifyPageEnter(const std::optional<std::string>& page, bool sendEnter, bool sendExit) {
    auto& defaults = UserDefaults::standard();
    std::string name = page && !page->empty() ? *page : storedText(kEnterPageHistory);
    if (sendExit) {
        std::string previous = storedText(kEnterPageHistory);
        if (!previous.empty()) {
            std::string exited = storedText(kExitPageHistory);
            if (!(equalsIgnoringCase(previous, name) && !exited.empty())) kjNotifyPageExit(previous, true);
        }
    }
    if (name.empty()) return;
    std::string display = KJFriendlyNameObject::tryFriendlyName(name).value_or(name);
    if (auto rn = rnViewName(); rn && !rn->empty()) display = *rn;
    if (sendEnter) {
        userEventManager_->sendUserEventWithCode(8108, display, Value());
        {
            std::lock_guard lock(mutex_);
            currentView_ = std::make_shared<KJViewActivity>(display);
        }
        defaults.setString(kExitPageHistory, "");
        defaults.synchronize();
    }
    defaults.setString(kEnterPageHistory, display);
    defaults.synchronize();
}

void Brindlecue::kjNotifyPageExit(const std::optional<std::string>& page, bool clearEnterHistory) {
    auto& defaults = UserDefaults::standard();
    std::string given = page && !page->empty() ? *page : storedText(kEnterPageHistory);
    if (given.empty()) return;
    std::string name = KJFriendlyNameObject::tryFriendlyName(given).value_or(given);
    std::string exited = storedText(kExitPageHistory);
    if (!exited.empty() && equalsIgnoringCase(exited, name)) return;
    userEventManager_->sendUserEventWithCode(8109, name, Value());
    defaults.setString(kExitPageHistory, name);
    defaults.synchronize();
    if (clearEnterHistory) {
        defaults.setString(kEnterPageHistory, "");
        defaults.synchronize();
    }
}

void Brindlecue::kjRegularTask(BackgroundFetchCompletion completion, bool needComplete) {
    auto& defaults = UserDefaults::standard();
    auto last = defaults.object(kHeartbeatTime).getNumber();
    double now = platform::Date::now().timeIntervalSinceReferenceDate();
    bool heartbeatDue = !last || now - *last >= kHeartbeatInterval;
    if (platform::ClassRegistry::exists("KJLocationBridge")) {
        Value info = Value::dictionary({{"needHeartbeatLog", heartbeatDue}, {"needComplete", needComplete}});
        Notification::ObjectMap objects;
        if (completion)
            objects["completionHandler"] = std::make_shared<BackgroundFetchCompletion>(completion);
        platform::NotificationCenter::defaultCenter().post("KJ_LMBridge_RegularTask", nullptr, info, objects);
        return;
    }
    if (heartbeatDue) {
        userEventManager_->sendUserEventWithCode(8051, "Heartbeat", Value());
        // The time of the heartbeat just sent, so that the next one goes out 6 hours later.
        defaults.setDouble(kHeartbeatTime, now);
        defaults.synchronize();
    }
    if (completion && needComplete)
        platform::DispatchQueue::main()->async([completion] { completion(kBackgroundFetchResultNewData); });
}

std::shared_ptr<platform::UIViewController> Brindlecue::topMostViewController() const {
    log("====Finding TopVC: Start ====", 2);
    auto window = blqKeyWindow();
    if (!window) return nullptr;
    return topViewController(window->rootViewController(), 0);
}

std::shared_ptr<platform::UIViewController> Brindlecue::topViewController(
    const std::shared_ptr<platform::UIViewController>& controller, int32_t loopCount) const {
    if (!controller) return nullptr;
    if (loopCount >= kMaxTopControllerDepth) {
        log("Exiting the loop count greater than 25", 2);
        log("====Finding TopVC: End====", 2);
        return nullptr;
    }
    auto presented = controller->presentedViewController();
    if (auto navigation = std::dynamic_pointer_cast<platform::UINavigationController>(presented)) {
        auto last = navigation->viewControllers().empty() ? nullptr : navigation->viewControllers().back();
        log("Presented Navigation VC " + (last ? last->className() : std::string()), 2);
        return topViewController(last, loopCount + 1);
    }
    if (auto navigation = std::dynamic_pointer_cast<platform::UINavigationController>(controller)) {
        auto last = navigation->viewControllers().empty() ? nullptr : navigation->viewControllers().back();
        log("LastController of  Navigation VC " + (last ? last->className() : std::string()), 2);
        return topViewController(last, loopCount + 1);
    }
    if (auto tabs = std::dynamic_pointer_cast<platform::UITabBarController>(controller)) {
        auto selected = tabs->selectedViewController();
        log("Presented VC " + (selected ? selected->className() : std::string()), 2);
        return topViewController(selected, loopCount + 1);
    }
    if (presented) {
        log("Presented VC " + presented->className(), 2);
        return topViewController(presented, loopCount + 1);
    }
    const auto& children = controller->childViewControllers();
    if (!children.empty()) {
        const auto& last = children.back();
        if (std::dynamic_pointer_cast<platform::UINavigationController>(last) ||
            std::dynamic_pointer_cast<platform::UITabBarController>(last)) {
            log("Child VC " + last->className(), 1);
            return topViewController(last, loopCount + 1);
        }
    }
    return controller;
}

}  // namespace brindlecue
