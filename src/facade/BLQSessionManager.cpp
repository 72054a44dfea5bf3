#include "facade/BLQSessionManager.h"

#include <utility>
#include <variant>

#include "platform/Date.h"

namespace brindlecue {

BLQSessionManager::BLQSessionManager(std::shared_ptr<BLQISessionDataStore> dataStore,
                                     std::shared_ptr<BLQIAppDetailsProvider> appDetails)
    : dataStore_(std::move(dataStore)), appDetails_(std::move(appDetails)) {}

std::shared_ptr<BLQSessionDTO> BLQSessionManager::getCurrentSession() {
    auto appKey = appDetails_->appKey();
    if (!appKey || appKey->empty()) {
        log("Session: No appKey found yet", BLQLoggingLevel::warning);
        return nullptr;
    }
    return dataStore_->getSessionForAppKey(*appKey);
}

void BLQSessionManager::closeCurrentSession() {
    auto session = getCurrentSession();
    if (!session) return;
    log("Session: Closing session: " + std::to_string(session->id), BLQLoggingLevel::info);
    setIsSessionStarted(false);
    session->endTime = platform::Date::now();
    saveSession(session);
}

std::shared_ptr<BLQSessionDTO> BLQSessionManager::getSessionForAppKey(const std::string& appKey) {
    auto session = dataStore_->getSessionForAppKey(appKey);
    if (session)
        log("Session: found session: " + std::to_string(session->id), BLQLoggingLevel::info);
    else
        log("Session: didn't find an open session", BLQLoggingLevel::info);
    return session;
}

void BLQSessionManager::createNewSession(const std::shared_ptr<BLQInstallDTO>& install, Success success,
                                         Failure failure) {
    if (auto open = getCurrentSession()) {
        log("Session: Found open session: " + std::to_string(open->id) +
                ", closing session and creating a new one",
            BLQLoggingLevel::info);
        closeCurrentSession();
    }
    dataStore_->createSessionForInstall(
        install, [self = shared_from_this(), success = std::move(success),
                  failure = std::move(failure)](BLQISessionDataStore::CreateResult result) {
            if (auto* error = std::get_if<SessionError>(&result)) {
                self->log("Session: failed to create new session, error: " + error->description(),
                          BLQLoggingLevel::error);
                if (failure) failure(*error);
                return;
            }
            auto session = std::get<std::shared_ptr<BLQSessionDTO>>(std::move(result));
            self->log("Session: created new session: " + std::to_string(session->id), BLQLoggingLevel::info);
            self->setIsSessionStarted(true);
            if (success) success(std::move(session));
        });
}

void BLQSessionManager::saveSession(const std::shared_ptr<BLQSessionDTO>& session) {
    dataStore_->saveSession(session);
}

}  // namespace brindlecue
