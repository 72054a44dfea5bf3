#pragma once

#include <memory>

#include "config/BLQAppStatusModel.h"
#include "platform/Error.h"

namespace brindlecue {

class BLQIAppStatusManager;

// Where a fetcher delivers the outcome of one app-status fetch.
class BLQIAppStatusFetchHandler {
public:
    virtual ~BLQIAppStatusFetchHandler() = default;
    virtual void setManager(std::shared_ptr<BLQIAppStatusManager> manager) = 0;
    virtual void handleAppStatusSuccess(const BLQAppStatusModel& model) = 0;
    virtual void handleAppStatusFailure(const platform::Error& error) = 0;
};

}  // namespace brindlecue
