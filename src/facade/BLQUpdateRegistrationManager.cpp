#include "facade/BLQUpdateRegistrationManager.h"

#include <utility>

#include "facade/BLQInstallRegistrationManager.h"
#include "network/BLQHTTPRequestError.h"

namespace brindlecue {

BLQUpdateRegistrationManager::BLQUpdateRegistrationManager(
    std::shared_ptr<BLQIAppDetailsProvider> appDetails, std::shared_ptr<BLQIInstallDataStore> dataStore,
    std::shared_ptr<BLQIUpdateNetworkRequester> networkRequester,
    BLQResponseValidator<BLQInstallValidator> validator)
    : dataStore_(std::move(dataStore)),
      appDetails_(std::move(appDetails)),
      networkRequester_(std::move(networkRequester)),
      validator_(std::move(validator)) {}

std::shared_ptr<BLQIUpdateRegistrationDelegate> BLQUpdateRegistrationManager::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void BLQUpdateRegistrationManager::setDelegate(std::shared_ptr<BLQIUpdateRegistrationDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
}

void BLQUpdateRegistrationManager::registerInstallUpdate(const std::shared_ptr<BLQInstallDTO>&,
                                                         Handler handler) {
    auto appKey = appDetails_->appKey();
    if (!appKey || appKey->empty()) {
        constexpr const char* kMessage = "Update: No appKey specified";
        return fail(kMessage, BLQLoggingLevel::warning, BLQHTTPRequestError::unknownError(kMessage),
                    std::move(handler));
    }
    auto install = dataStore_->getInstallForAppKey(*appKey);
    if (!install) {
        constexpr const char* kMessage = "Update: Attempted an update, but found no current install";
        return fail(kMessage, BLQLoggingLevel::warning, BLQHTTPRequestError::unknownError(kMessage),
                    std::move(handler));
    }
    BLQInstallRegistrationManager::fillInstall(*install, *appDetails_);

    auto self = shared_from_this();
    networkRequester_->sendInstallUpdateRequest(
        *install,
        [self, install, handler](const platform::Value& answer, const platform::URL& url) {
            self->handleAnswer(install, answer, url, handler);
        },
        [self, handler](const platform::Error& error) {
            self->log("Update: Registration failed: Error occurred: " + error.localizedDescription() + ")",
                      BLQLoggingLevel::error);
            self->reportFailure(error, handler);
        });
}

void BLQUpdateRegistrationManager::handleAnswer(const std::shared_ptr<BLQInstallDTO>& install,
                                                const platform::Value& answer, const platform::URL& url,
                                                Handler handler) {
    if (!validator_.responseValidator()->validateResponse(answer, install.get(), "Update")) {
        std::string message =
            "Update: Registration failed: Successful response, but invalid install received from server. "
            "Sent: " +
            install->asDictionary().description() + ", received: " + answer.description();
        return fail(message, BLQLoggingLevel::error,
                    BLQHTTPRequestError::invalidReturnedObjectFromServer(message), std::move(handler));
    }
    install->appId = BLQInstallRegistrationManager::appIdFromAnswer(answer);
    dataStore_->saveInstall(install);
    log("Update: Registration successful - install ID: " + install->installId.value_or("null") +
            " - received JSON: " + answer.description(),
        BLQLoggingLevel::info);
    if (auto target = delegate()) target->onUpdateSuccess(answer, url, std::move(handler));
}

void BLQUpdateRegistrationManager::fail(const std::string& message, BLQLoggingLevel level,
                                        const BLQHTTPRequestError& error, Handler handler) {
    log(message, level);
    reportFailure(error.toError(), std::move(handler));
}

void BLQUpdateRegistrationManager::reportFailure(const platform::Error& error, Handler handler) {
    if (auto target = delegate()) target->onUpdateFailure(error, std::move(handler));
}

}  // namespace brindlecue
