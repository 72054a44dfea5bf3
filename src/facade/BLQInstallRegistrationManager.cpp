#include "facade/BLQInstallRegistrationManager.h"

#include <cmath>
#include <utility>

#include "matching/BLQSemanticVersionFactory.h"
#include "network/BLQHTTPRequestError.h"
#include "platform/Date.h"
#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue {

namespace {

constexpr const char* kNoAppKey = "Install: No appKey specified";
// Seconds after a successful answer at which its log line is written, from the main queue.
constexpr double kSuccessLogDelay = 1.0;

}  // namespace

BLQInstallRegistrationManager::BLQInstallRegistrationManager(
    std::shared_ptr<BLQIAppDetailsProvider> appDetails, std::shared_ptr<BLQIInstallDataStore> dataStore,
    std::shared_ptr<BLQIConfigManager> configManager,
    std::shared_ptr<BLQIInstallNetworkRequester> networkRequester,
    BLQResponseValidator<BLQInstallValidator> validator)
    : dataStore_(std::move(dataStore)),
      appDetails_(std::move(appDetails)),
      configManager_(std::move(configManager)),
      networkRequester_(std::move(networkRequester)),
      validator_(std::move(validator)) {}

std::shared_ptr<BLQIInstallRegistrationDelegate> BLQInstallRegistrationManager::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void BLQInstallRegistrationManager::setDelegate(std::shared_ptr<BLQIInstallRegistrationDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
}

std::shared_ptr<BLQInstallDTO> BLQInstallRegistrationManager::getCurrentInstall() {
    auto appKey = appDetails_->appKey();
    if (!appKey || appKey->empty()) {
        log(kNoAppKey, BLQLoggingLevel::warning);
        return nullptr;
    }
    {
        std::lock_guard lock(mutex_);
        if (currentInstall_) return currentInstall_;
    }
    // The store is asked outside the lock: it answers on its own queue.
    auto stored = dataStore_->getInstallForAppKey(*appKey);
    std::lock_guard lock(mutex_);
    if (!currentInstall_) currentInstall_ = stored;
    return currentInstall_;
}

std::shared_ptr<BLQInstallDTO> BLQInstallRegistrationManager::getInstallForAppKey(const std::string& appKey) {
    return dataStore_->getInstallForAppKey(appKey);
}

void BLQInstallRegistrationManager::registerInstallWithHandler(Handler handler) {
    auto appKey = appDetails_->appKey();
    if (!appKey || appKey->empty()) {
        return fail(kNoAppKey, BLQLoggingLevel::warning, BLQHTTPRequestError::unknownError(kNoAppKey),
                    std::move(handler));
    }
    if (auto stored = dataStore_->getInstallForAppKey(*appKey))
        return registerInstall(stored, std::move(handler));

    dataStore_->createInstallForAppKey(*appKey, [self = shared_from_this(), handler = std::move(handler)](
                                                    BLQIInstallDataStore::CreateResult result) {
        if (auto* error = std::get_if<platform::Error>(&result)) {
            std::string message =
                "Install: Error occurred during creation of new Install: " + error->localizedDescription();
            return self->fail(message, BLQLoggingLevel::warning, BLQHTTPRequestError::unknownError(message),
                              handler);
        }
        auto created = std::get<std::shared_ptr<BLQInstallDTO>>(result);
        if (!created) {
            std::string message = "Install: Error occurred during creation of new Install: no install";
            return self->fail(message, BLQLoggingLevel::warning, BLQHTTPRequestError::unknownError(message),
                              handler);
        }
        self->registerInstall(created, handler);
    });
}

void BLQInstallRegistrationManager::fillInstall(BLQInstallDTO& install,
                                                const BLQIAppDetailsProvider& appDetails) {
    install.appKey = appDetails.appKey();
    install.platform = appDetails.developmentPlatform();
    install.sdkVersion = appDetails.sdkVersion();
    install.clientAppVersion = appDetails.clientVersion();
    install.carrier = appDetails.carrier();
    install.model = appDetails.model();
}

std::optional<int64_t> BLQInstallRegistrationManager::appIdFromAnswer(const platform::Value& answer) {
    const platform::Value& value = answer["app_id"];
    if (auto integer = value.getInteger()) return *integer;
    if (!value.isReal()) return std::nullopt;
    double real = *value.getNumber();
    // 2^63 is the first whole double beyond the signed 64-bit range; -2^63 is inside it.
    constexpr double kLimit = 9223372036854775808.0;
    if (!std::isfinite(real) || real != std::trunc(real) || real >= kLimit || real < -kLimit)
        return std::nullopt;
    return static_cast<int64_t>(real);
}

void BLQInstallRegistrationManager::registerInstall(const std::shared_ptr<BLQInstallDTO>& install,
                                                    Handler handler) {
    fillInstall(*install, *appDetails_);

    const auto& version = install->clientAppVersion;
    if (!version || !BLQSemanticVersionFactory::create(*version)) {
        std::string message =
            "Install: Registration failed: Invalid client app version detected. Please provide a valid "
            "semantic "
            "version for your app. Found version: " +
            (version ? *version : std::string("nil"));
        return fail(message, BLQLoggingLevel::error, BLQHTTPRequestError::failedToParseRequestBody(message),
                    std::move(handler));
    }

    auto self = shared_from_this();
    networkRequester_->sendInstallRequest(
        *install,
        [self, install, handler](const platform::Value& answer, const platform::URL& url) {
            self->handleAnswer(install, answer, url, handler);
        },
        [self, handler](const platform::Error& error) {
            self->log("Install: Registration failed: Error occurred: " + error.localizedDescription() + ")",
                      BLQLoggingLevel::error);
            self->reportFailure(error, handler);
        });
}

void BLQInstallRegistrationManager::handleAnswer(const std::shared_ptr<BLQInstallDTO>& install,
                                                 const platform::Value& answer, const platform::URL& url,
                                                 Handler handler) {
    const std::string exchange =
        "Sent: " + install->asDictionary().description() + ", received: " + answer.description();

    if (!validator_.responseValidator()->validateResponse(answer, install.get(), "Install")) {
        dataStore_->deleteInstall(install);
        std::string message =
            "Install: Registration failed: Successful response, but invalid install received from server. " +
            exchange;
        return fail(message, BLQLoggingLevel::error,
                    BLQHTTPRequestError::invalidReturnedObjectFromServer(message), std::move(handler));
    }

    if (configManager_->checkForHostChange(answer, url.absoluteString())) {
        std::string message =
            "Install: Registration failed: Host change is required. From: " + url.absoluteString() + " to " +
            configManager_->getHost() + "). " + exchange;
        return fail(message, BLQLoggingLevel::error,
                    BLQHTTPRequestError::invalidReturnedObjectFromServer(message), std::move(handler));
    }

    install->appId = appIdFromAnswer(answer);
    install->isRegisteredWithServer = true;
    install->registrationDate = platform::Date::now();
    dataStore_->saveInstall(install);
    {
        std::lock_guard lock(mutex_);
        currentInstall_ = install;
    }

    std::string successLine =
        "Install: Registration successful - install ID: " + install->installId.value_or("null") +
        " - received JSON: " + answer.description();
    platform::DispatchQueue::main()->asyncAfter(kSuccessLogDelay, [self = shared_from_this(), successLine] {
        self->log(successLine, BLQLoggingLevel::info);
    });

    if (auto target = delegate()) target->onInstallRegistrationSuccess(answer, url, std::move(handler));
}

void BLQInstallRegistrationManager::fail(const std::string& message, BLQLoggingLevel level,
                                         const BLQHTTPRequestError& error, Handler handler) {
    log(message, level);
    reportFailure(error.toError(), std::move(handler));
}

void BLQInstallRegistrationManager::reportFailure(const platform::Error& error, Handler handler) {
    if (auto target = delegate()) target->onInstallRegistrationFailure(error, std::move(handler));
}

}  // namespace brindlecue
