#pragma once

#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "config/BLQInstallDTO.h"
#include "platform/Error.h"

namespace brindlecue {

// Where the install of an app key is kept: created, read, updated and deleted by the install
// registration and update managers.
class BLQIInstallDataStore {
public:
    using CreateResult = std::variant<std::shared_ptr<BLQInstallDTO>, platform::Error>;

    virtual ~BLQIInstallDataStore() = default;

    virtual void createInstallForAppKey(const std::string& appKey, std::function<void(CreateResult)> completion) = 0;
    // Null when the app key has no install.
    virtual std::shared_ptr<BLQInstallDTO> getInstallForAppKey(const std::string& appKey) = 0;
    virtual void saveInstall(const std::shared_ptr<BLQInstallDTO>& install) = 0;
    virtual void deleteInstall(const std::shared_ptr<BLQInstallDTO>& install) = 0;
};

}  // namespace brindlecue
