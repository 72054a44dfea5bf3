#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "config/BLQInstallDTO.h"
#include "config/BLQSessionDTO.h"
#include "config/SessionError.h"

namespace brindlecue {

// Where sessions are kept. Sessions are numbered by the store; a session is open while it has no
// end time.
class BLQISessionDataStore {
public:
    using CreateResult = std::variant<std::shared_ptr<BLQSessionDTO>, SessionError>;

    virtual ~BLQISessionDataStore() = default;

    // A new session linked to the stored install with the record's install id: the next id,
    // started now, open. The completion runs once, later, on the store's queue.
    virtual void createSessionForInstall(const std::shared_ptr<BLQInstallDTO>& install,
                                         std::function<void(CreateResult)> completion) = 0;
    // The open session of an install with this app key, answered before returning.
    virtual std::shared_ptr<BLQSessionDTO> getSessionForAppKey(const std::string& appKey) = 0;
    // Writes id, start and end time into the stored open session of that id under the record's
    // install's app key, later, on the store's queue.
    virtual void saveSession(const std::shared_ptr<BLQSessionDTO>& session) = 0;
};

}  // namespace brindlecue
