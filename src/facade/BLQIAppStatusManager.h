#pragma once

#include <memory>

#include "config/BLQAppStatusModel.h"
#include "facade/BLQIAppStatusDelegate.h"

namespace brindlecue {

// Keeps the configuration in step with the server's app-status document.
class BLQIAppStatusManager {
public:
    virtual ~BLQIAppStatusManager() = default;
    virtual std::shared_ptr<BLQIAppStatusDelegate> delegate() const = 0;
    virtual void setDelegate(std::shared_ptr<BLQIAppStatusDelegate> delegate) = 0;
    // Queues one check now and returns at once.
    virtual void shouldCheckForAppStatus() = 0;
    // Applies a fetched document to the configuration, on the caller's thread.
    virtual void updateAppStatusModel(const BLQAppStatusModel& model) = 0;
};

}  // namespace brindlecue
