#include "facade/BLQAppStatusFetchHandler.h"

namespace brindlecue {

std::shared_ptr<BLQIAppStatusManager> BLQAppStatusFetchHandler::manager() const {
    std::lock_guard lock(mutex_);
    return manager_.lock();
}

void BLQAppStatusFetchHandler::setManager(std::shared_ptr<BLQIAppStatusManager> manager) {
    std::lock_guard lock(mutex_);
    manager_ = manager;
}

void BLQAppStatusFetchHandler::handleAppStatusSuccess(const BLQAppStatusModel& model) {
    std::shared_ptr<BLQIAppStatusManager> manager;
    {
        std::lock_guard lock(mutex_);
        manager = manager_.lock();
    }
    if (manager) manager->updateAppStatusModel(model);
}

void BLQAppStatusFetchHandler::handleAppStatusFailure(const platform::Error&) {}

}  // namespace brindlecue
