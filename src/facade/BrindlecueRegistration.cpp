// The facade's side of the start call: install registration or update, retries, sessions, the
// feeds of the install answer and the one-time start work.

#include <atomic>

#include "config/BLQIConfigManager.h"
#include "config/BLQIInstallRegistrationManager.h"
#include "config/BLQISessionManager.h"
#include "config/BLQIUpdateRegistrationManager.h"
#include "config/BLQInstallNotificationKeys.h"
#include "events/BLQIUserEventManager.h"
#include "facade/Brindlecue.h"
#include "feed/BLQIFeedManager.h"
#include "feed/KJFeedObject.h"
#include "foundation/BLQDeviceUtils.h"
#include "foundation/BLQUtils.h"
#include "foundation/KJInterceptor.h"
#include "network/KJHTTPSessionManager.h"
#include "network/KJJSONSessionManager.h"
#include "platform/Device.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/DispatchSemaphore.h"
#include "tags/BLQITagManager.h"
#include "tags/BLQTagKey.h"

namespace brindlecue {

using platform::UserDefaults;
using platform::Value;

namespace {

constexpr const char* kSentAppId = "SentInstall_AppId";
constexpr const char* kSentAppKey = "SentInstall_AppKey";
constexpr const char* kSentClientVersion = "SentInstall_ClientVersion";
constexpr const char* kSentKjVersion = "SentInstall_KjVersion";
constexpr const char* kSentMode = "SentInstall_Mode";
constexpr const char* kSentCarrier = "SentInstall_Carrier";
constexpr const char* kSentOSVersion = "SentInstall_OSVersion";
constexpr const char* kNumTimesAppUsed = "NumTimesAppUsed";
constexpr const char* kLanguageKey = "TAG_KJLANGUAGE";

// A stored SentInstall value that is present and not empty.
std::optional<std::string> sentValue(const char* key) {
    Value value = UserDefaults::standard().object(key);
    if (value.isNil()) return std::nullopt;
    std::string text = value.isString() ? *value.getString() : value.stringValue();
    if (text.empty()) return std::nullopt;
    return text;
}

}  // namespace

void Brindlecue::registerInstallForApp(const std::string& appKey, bool debugMode, Completion completion) {
    {
        std::lock_guard lock(mutex_);
        if (isRegisterInstallForAppCalled_) return;
        if (completion) registrationCompletionBlock_ = std::move(completion);
        isSuperTagsEnabled_ = true;
        appKey_ = appKey;
    }
    configManager_->setAppKey(appKey);
    configManager_->setSDKVersion(kVersion);
    setLegacyHeader("X-App-Key", appKey);
    {
        std::lock_guard lock(mutex_);
        isRegisterInstallForAppCalled_ = true;
        isDebugMode_ = debugMode;
    }
    std::weak_ptr<Brindlecue> weak = std::static_pointer_cast<Brindlecue>(shared_from_this());
    registerInstall(
        [weak](std::shared_ptr<BLQInstallDTO> install, std::optional<platform::Error>) {
            if (!install) return;
            platform::DispatchQueue::global()->async([weak] {
                if (auto facade = weak.lock()) facade->runStartBlock();
            });
        },
        2);
}

void Brindlecue::prepareForRegisteringNewAppKey() {
    std::lock_guard lock(mutex_);
    isRegisterInstallForAppCalled_ = false;
}

void Brindlecue::registerInstall(InstallHandler handler, int32_t retryCounter) {
    auto retriesLeft = std::make_shared<std::atomic<int32_t>>(retryCounter);
    std::weak_ptr<Brindlecue> weak = std::static_pointer_cast<Brindlecue>(shared_from_this());
    registerOrUpdateInstallWithHandler(
        [weak, handler, retriesLeft](std::shared_ptr<BLQInstallDTO> install, std::optional<platform::Error>) {
            auto facade = weak.lock();
            if (!facade) return;
            auto current = facade->currentInstall();
            if (current && current->isRegisteredWithServer) {
                if (handler) handler(install, std::nullopt);
                return;
            }
            int32_t left = retriesLeft->load();
            if (left <= 0) return;
            left = --*retriesLeft;
            facade->log("Install: Registration failed, so retrying... retries left after this one: " +
                            std::to_string(left),
                        2);
            facade->registerInstall(handler, left);
        });
}

void Brindlecue::registerOrUpdateInstallWithHandler(InstallHandler handler) {
    if (!enabled()) {
        if (handler) handler(nullptr, std::nullopt);
        return;
    }
    std::weak_ptr<Brindlecue> weak = std::static_pointer_cast<Brindlecue>(shared_from_this());
    platform::DispatchQueue::global(platform::DispatchQueue::Priority::High)->async([weak, handler] {
        auto facade = weak.lock();
        if (!facade) return;
        facade->installSemaphore_->wait();
        auto current = facade->currentInstall();
        if (current && current->isRegisteredWithServer) {
            facade->registerUpdateWithInstall(current, [weak, handler](std::shared_ptr<BLQInstallDTO> install,
                                                                       std::optional<platform::Error> error) {
                if (auto f = weak.lock())
                    f->installCompletion(std::move(install), std::move(error), handler, true);
            });
        } else {
            facade->registerInstallWithHandler([weak, handler](std::shared_ptr<BLQInstallDTO> install,
                                                               std::optional<platform::Error> error) {
                if (auto f = weak.lock())
                    f->installCompletion(std::move(install), std::move(error), handler, false);
            });
        }
    });
}

void Brindlecue::registerInstallWithHandler(InstallHandler handler) {
    if (blqStrIsEmpty(appKey() ? Value(*appKey()) : Value())) {
        log("Warning: Please setup APP_KEY in Info.plist or pass in by parameter.", 4);
        if (handler)
            handler(nullptr, platform::Error::withDescription(kErrorDomain, 0, "app_key must be given."));
        return;
    }
    installManager_->registerInstallWithHandler(std::move(handler));
}

void Brindlecue::registerUpdateWithInstall(const std::shared_ptr<BLQInstallDTO>& install,
                                           InstallHandler handler) {
    updateManager_->registerInstallUpdate(install, std::move(handler));
}

void Brindlecue::installCompletion(std::shared_ptr<BLQInstallDTO> install,
                                   std::optional<platform::Error> error, const InstallHandler& handler,
                                   bool isUpdate) {
    auto& center = platform::NotificationCenter::defaultCenter();
    auto self = shared_from_this();
    if (error) {
        installSemaphore_->signal();
        platform::Notification::ObjectMap objects{
            {BLQInstallNotificationKeys::error, std::make_shared<platform::Error>(*error)}};
        if (isUpdate) {
            if (auto current = currentInstall()) objects[BLQInstallNotificationKeys::install] = current;
        }
        center.post(isUpdate ? BLQInstallNotificationKeys::updateFailureNotification
                             : BLQInstallNotificationKeys::installFailureNotification,
                    self, Value::dictionary({}), objects);
        if (handler) handler(std::move(install), std::move(error));
        return;
    }
    if (isUpdate) {
        auto previous = sentValue(kSentClientVersion);
        if (previous && *previous != clientVersion())
            userEventManager_->sendUserEventWithCode(8052, *previous, Value());
    } else {
        auto current = currentInstall();
        std::string installId = current && current->installId ? *current->installId : "";
        setLegacyHeader("X-Installid", installId.empty() ? "null" : installId);
    }
    writeSentInstall();
    platform::Notification::ObjectMap objects;
    if (auto current = currentInstall()) objects[BLQInstallNotificationKeys::install] = current;
    center.post(isUpdate ? BLQInstallNotificationKeys::updateSuccessNotification
                         : BLQInstallNotificationKeys::installSuccessNotification,
                self, Value::dictionary({}), objects);
    installSemaphore_->signal();
    if (handler) handler(std::move(install), std::nullopt);
}

void Brindlecue::writeSentInstall() {
    auto& defaults = UserDefaults::standard();
    auto id = appId();
    defaults.set(kSentAppId, id ? Value(*id) : Value(""));
    defaults.set(kSentAppKey, Value(appKey().value_or("")));
    std::string version = clientVersion();
    defaults.setString(kSentClientVersion, version);
    tagString(version, BLQTagKey::clientVersion());
    defaults.setString(kSentKjVersion, kVersion);
    defaults.setInteger(kSentMode, blqAppMode());
    defaults.setString(kSentCarrier, blqGetCarrierName());
    defaults.setString(kSentOSVersion, platform::Device::systemVersion());
    defaults.synchronize();
}

void Brindlecue::setLegacyHeader(const std::string& field, const std::optional<std::string>& value) {
    KJHTTPSessionManager::sharedInstance()->requestSerializer()->setValue(value, field);
    KJJSONSessionManager::sharedInstance()->requestSerializer()->setValue(value, field);
}

bool Brindlecue::checkInstallChangeForLaunch() {
    auto differs = [](const char* key, const std::string& now) {
        auto stored = sentValue(key);
        return stored && *stored != now;
    };
    return differs(kSentAppKey, appKey().value_or("")) || differs(kSentClientVersion, clientVersion()) ||
           differs(kSentKjVersion, kVersion) || differs(kSentCarrier, blqGetCarrierName()) ||
           differs(kSentOSVersion, platform::Device::systemVersion());
}

bool Brindlecue::hasValidInstall() {
    auto install = currentInstall();
    return install && install->isRegisteredWithServer;
}

// ---- The registration managers' callbacks ---------------------------------------------------------

void Brindlecue::onInstallRegistrationSuccess(const Value& response, const platform::URL&,
                                              InstallHandler handler) {
    processInstallOrUpdate("Install", std::move(handler));
    processInstallationFeeds(response);
}

void Brindlecue::onInstallRegistrationFailure(const platform::Error& error, InstallHandler handler) {
    if (handler) handler(nullptr, error);
}

void Brindlecue::onUpdateSuccess(const Value&, const platform::URL&, InstallHandler handler) {
    processInstallOrUpdate("Update", std::move(handler));
}

void Brindlecue::onUpdateFailure(const platform::Error& error, InstallHandler handler) {
    if (handler) handler(nullptr, error);
}

void Brindlecue::processInstallOrUpdate(const std::string& prefix, InstallHandler handler) {
    auto install = installManager_->getCurrentInstall();
    if (install && install->appId) configManager_->setAppId(install->appId);
    saveTagsForInstallOrUpdate(install);
    createNewSessionWithInstall(install, prefix, std::move(handler));
}

void Brindlecue::saveTagsForInstallOrUpdate(const std::shared_ptr<BLQInstallDTO>& install) {
    if (!install) return;
    if (install->carrier)
        tagManager_->saveTagWithKey(BLQTagKey::carrierName(), std::any(*install->carrier), nullptr, nullptr);
    if (install->model)
        tagManager_->saveTagWithKey(BLQTagKey::model(), std::any(*install->model), nullptr, nullptr);
}

void Brindlecue::createNewSessionWithInstall(const std::shared_ptr<BLQInstallDTO>& install,
                                             const std::string& prefix, InstallHandler handler) {
    std::weak_ptr<Brindlecue> weak = std::static_pointer_cast<Brindlecue>(shared_from_this());
    sessionManager_->createNewSession(
        install,
        [weak, prefix, handler](std::shared_ptr<BLQSessionDTO> session) {
            auto facade = weak.lock();
            if (!facade) return;
            facade->log(prefix + ": Using session: " + std::to_string(session->id), 2);
            facade->feedManager_->fetchFeeds(std::nullopt);
            facade->tagManager_->saveTagWithKey(BLQTagKey::session(), std::any(int64_t{session->id}), nullptr,
                                                nullptr);
            if (handler) handler(facade->currentInstall(), std::nullopt);
        },
        [weak, prefix, handler](const SessionError& error) {
            auto facade = weak.lock();
            if (!facade) return;
            platform::Error failure = error.toError();
            facade->log(prefix + ": Failed to create new session, error: " + failure.localizedDescription(),
                        2);
            if (handler) handler(facade->currentInstall(), failure);
        });
}

void Brindlecue::processInstallationFeeds(const Value& response) {
    const Value& feeds = response["feeds"];
    if (feeds.isArray() && feeds.count() >= 1) {
        log("Install: Register install includes feeds: " + feeds.description() + ", will process now.", 2);
        convertFeedsAndSendForProcessing(feeds);
    } else {
        log("Install: Register install v3/installs does not include any feeds, response from server: " +
                response.description(),
            2);
    }
}

void Brindlecue::convertFeedsAndSendForProcessing(const Value& feeds) {
    std::vector<std::shared_ptr<KJFeedObject>> records;
    if (const auto* items = feeds.getArray()) {
        for (const auto& item : *items) {
            if (!item.isDictionary()) continue;
            if (auto record = KJFeedObject::createFromDictionary(item)) records.push_back(std::move(record));
        }
    }
    feedManager_->processFeeds(records, BLQFeedOrigin::completeFeed);
}

void Brindlecue::hostDidChange() {
    prepareForRegisteringNewAppKey();
    std::string key;
    bool debug;
    {
        std::lock_guard lock(mutex_);
        key = appKey_.value_or("");
        debug = isDebugMode_;
    }
    registerInstallForApp(key, debug, nullptr);
}

void Brindlecue::checkForLanguageUpdate() {
    auto languages = platform::Device::preferredLanguages();
    std::string language = languages.empty() ? "" : languages.front();
    Value stored = UserDefaults::standard().object(kLanguageKey);
    std::string storedText =
        stored.isString() ? *stored.getString() : (stored.isNil() ? "" : stored.stringValue());
    if (!storedText.empty() && storedText == language) return;
    tagUserLanguage(language);
    UserDefaults::standard().setString(kLanguageKey, language);
}

// ---- The start work -----------------------------------------------------------------------------------

void Brindlecue::runStartBlock() {
    auto& center = platform::NotificationCenter::defaultCenter();
    center.post("KJ_LMBridge_CreateLocationManager");
    center.post("KJ_CrashBridge_CreateObject");
    auto& defaults = UserDefaults::standard();
    if (defaults.integer(kNumTimesAppUsed) != 0) {
        userEventManager_->sendUserEventWithCode(8102, "App started and engine initialized", Value());
    } else {
        userEventManager_->sendUserEventWithCode(8102, "App first run", Value());
        tagDatetime(platform::Date::now(), BLQTagKey::firstRun());
        defaults.setInteger(kNumTimesAppUsed, 1);
    }
    checkForLanguageUpdate();
    tagUserCountry();
    defaults.synchronize();
    checkUtcOffsetUpdate();
    if (autoIntegrateAppDelegate()) {
        std::weak_ptr<Brindlecue> weak = std::static_pointer_cast<Brindlecue>(shared_from_this());
        platform::DispatchQueue::main()->async([weak] {
            if (auto facade = weak.lock()) facade->interposeAppDelegate();
        });
    }
    Completion completion;
    {
        std::lock_guard lock(mutex_);
        completion = registrationCompletionBlock_;
    }
    if (completion) completion();
}

void Brindlecue::interposeAppDelegate() {
    auto app = platform::UIApplication::sharedApplication();
    auto current = app->delegate();
    if (std::dynamic_pointer_cast<KJInterceptor>(current)) return;
    auto interceptor = platform::make<KJInterceptor>();
    interceptor->setFirstResponder(shared_from_this());
    interceptor->setSecondResponder(current);
    {
        std::lock_guard lock(mutex_);
        appDelegateInterceptor_ = interceptor;
        originalAppDelegate_ = current;
    }
    app->setDelegate(interceptor);
}

}  // namespace brindlecue
