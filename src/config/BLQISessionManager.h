#pragma once

#include <functional>
#include <memory>
#include <string>

#include "config/BLQInstallDTO.h"
#include "config/BLQSessionDTO.h"
#include "config/SessionError.h"

namespace brindlecue {

// Opens, finds and closes the sessions of the current app key.
class BLQISessionManager {
public:
    using Success = std::function<void(std::shared_ptr<BLQSessionDTO>)>;
    using Failure = std::function<void(const SessionError&)>;

    virtual ~BLQISessionManager() = default;

    // True after this process created a session, false after it closed one.
    virtual bool isSessionStarted() const = 0;
    virtual void setIsSessionStarted(bool started) = 0;
    // The open session of the current app key; null without an app key or an open session.
    virtual std::shared_ptr<BLQSessionDTO> getCurrentSession() = 0;
    // Stamps the open session's end time and stores it; nothing when no session is open.
    virtual void closeCurrentSession() = 0;
    virtual std::shared_ptr<BLQSessionDTO> getSessionForAppKey(const std::string& appKey) = 0;
    // Closes the open session first, then creates the next one for the install. Exactly one of
    // the callbacks runs, once, on the store's queue.
    virtual void createNewSession(const std::shared_ptr<BLQInstallDTO>& install, Success success,
                                  Failure failure) = 0;
    virtual void saveSession(const std::shared_ptr<BLQSessionDTO>& session) = 0;
};

}  // namespace brindlecue
