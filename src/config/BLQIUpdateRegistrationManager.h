#pragma once

#include <memory>

#include "config/BLQIUpdateRegistrationDelegate.h"
#include "config/BLQInstallDTO.h"

namespace brindlecue {

// Sends the refreshed facts of an install the server already knows and stores the answer. Every
// outcome goes to the delegate together with the caller's handler, which the manager hands on and
// never calls itself.
class BLQIUpdateRegistrationManager {
public:
    using Handler = BLQIUpdateRegistrationDelegate::Handler;

    virtual ~BLQIUpdateRegistrationManager() = default;

    virtual std::shared_ptr<BLQIUpdateRegistrationDelegate> delegate() const = 0;
    // Kept weakly: the delegate (the facade) outlives the manager's work.
    virtual void setDelegate(std::shared_ptr<BLQIUpdateRegistrationDelegate> delegate) = 0;

    // The install passed in is not consulted: the update always reads the stored install of the
    // current app key. Exactly one delegate call follows when a delegate is set.
    virtual void registerInstallUpdate(const std::shared_ptr<BLQInstallDTO>& install, Handler handler) = 0;
};

}  // namespace brindlecue
