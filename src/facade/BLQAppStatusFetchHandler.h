#pragma once

#include <memory>
#include <mutex>

#include "facade/BLQIAppStatusFetchHandler.h"
#include "facade/BLQIAppStatusManager.h"

namespace brindlecue {

// Hands every fetched document to the app-status manager. Fetch failures (a BLQHTTPRequestError,
// a BLQAppStatusError or any other) are dropped: nothing is logged, retried or reported, and the
// manager's polling goes on.
//
// The manager is held weakly: it holds this handler through its dependencies, and whoever created
// it (the facade) keeps it for the life of the process. Set and read under a lock, since documents
// arrive on network threads.
class BLQAppStatusFetchHandler final : public BLQIAppStatusFetchHandler {
public:
    BLQAppStatusFetchHandler() = default;

    void setManager(std::shared_ptr<BLQIAppStatusManager> manager) override;
    std::shared_ptr<BLQIAppStatusManager> manager() const;
    // Calls the manager's updateAppStatusModel on the calling thread; nothing without a manager.
    void handleAppStatusSuccess(const BLQAppStatusModel& model) override;
    void handleAppStatusFailure(const platform::Error& error) override;

private:
    mutable std::mutex mutex_;
    std::weak_ptr<BLQIAppStatusManager> manager_;
};

}  // namespace brindlecue
