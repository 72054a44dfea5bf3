#pragma once

#include <memory>
#include <string>

#include "config/BLQIInstallRegistrationDelegate.h"
#include "config/BLQInstallDTO.h"

namespace brindlecue {

// Registers this app install with the server for the first time and keeps the accepted install.
// Every outcome of a registration goes to the delegate together with the caller's handler, which
// the manager hands on and never calls itself.
class BLQIInstallRegistrationManager {
public:
    using Handler = BLQIInstallRegistrationDelegate::Handler;

    virtual ~BLQIInstallRegistrationManager() = default;

    virtual std::shared_ptr<BLQIInstallRegistrationDelegate> delegate() const = 0;
    // Kept weakly: the delegate (the facade) outlives the manager's work.
    virtual void setDelegate(std::shared_ptr<BLQIInstallRegistrationDelegate> delegate) = 0;

    // The install of the current app key; null without an app key or a stored install.
    virtual std::shared_ptr<BLQInstallDTO> getCurrentInstall() = 0;
    // The stored install of the app key, straight from the store; null when there is none.
    virtual std::shared_ptr<BLQInstallDTO> getInstallForAppKey(const std::string& appKey) = 0;
    // Returns at once or after handing the work to the store or the network; exactly one delegate
    // call follows when a delegate is set.
    virtual void registerInstallWithHandler(Handler handler) = 0;
};

}  // namespace brindlecue
