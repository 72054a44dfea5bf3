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
    uint64_t asked = 0;
    {
        std::lock_guard lock(mutex_);
        if (knownAppKey_ == appKey) return current_;
        asked = learned_;
    }
    auto session = dataStore_->getSessionForAppKey(*appKey);
    std::lock_guard lock(mutex_);
    // What the manager did meanwhile (a creation, a close) is newer than the store's answer.
    if (learned_ == asked) {
        knownAppKey_ = *appKey;
        current_ = session;
        ++learned_;
    }
    return session;
}

void BLQSessionManager::remember(const std::string& appKey, std::shared_ptr<BLQSessionDTO> session) {
    std::lock_guard lock(mutex_);
    knownAppKey_ = appKey;
    current_ = std::move(session);
    ++learned_;
}

void BLQSessionManager::closeCurrentSession() {
    auto session = getCurrentSession();
    if (!session) return;
    log("Session: Closing session: " + std::to_string(session->id), BLQLoggingLevel::info);
    setIsSessionStarted(false);
    auto closed = std::make_shared<BLQSessionDTO>(*session);
    closed->endTime = platform::Date::now();
    if (auto appKey = appDetails_->appKey()) remember(*appKey, nullptr);
    saveSession(closed);
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
        install, [self = shared_from_this(), appKey = appDetails_->appKey(), success = std::move(success),
                  failure = std::move(failure)](BLQISessionDataStore::CreateResult result) {
            if (auto* error = std::get_if<SessionError>(&result)) {
                self->log("Session: failed to create new session, error: " + error->description(),
                          BLQLoggingLevel::error);
                if (failure) failure(*error);
                return;
            }
            auto session = std::get<std::shared_ptr<BLQSessionDTO>>(std::move(result));
            self->log("Session: created new session: " + std::to_string(session->id), BLQLoggingLevel::info);
            if (appKey && !appKey->empty()) self->remember(*appKey, session);
            self->setIsSessionStarted(true);
            if (success) success(std::move(session));
        });
}

void BLQSessionManager::saveSession(const std::shared_ptr<BLQSessionDTO>& session) {
    if (session && session->endTime) {
        // A caller that closes the open session itself: it is no longer the open one.
        std::lock_guard lock(mutex_);
        if (current_ && current_->id == session->id) {
            current_.reset();
            ++learned_;
        }
    }
    dataStore_->saveSession(session);
}

}  // namespace brindlecue
