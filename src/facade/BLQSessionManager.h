#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "facade/BLQIAppDetailsProvider.h"
#include "facade/BLQISessionDataStore.h"
#include "facade/BLQISessionManager.h"
#include "foundation/BLQILoggable.h"

namespace brindlecue {

// Sessions of the current app key over the session store: at most one is open; creating one
// closes the open one first. The store numbers sessions and decides which one is open. Made with
// make_shared: a creation in flight keeps the manager alive.
class BLQSessionManager final : public BLQISessionManager,
                                public BLQILoggable,
                                public std::enable_shared_from_this<BLQSessionManager> {
public:
    BLQSessionManager(std::shared_ptr<BLQISessionDataStore> dataStore,
                      std::shared_ptr<BLQIAppDetailsProvider> appDetails);

    bool isSessionStarted() const override { return isSessionStarted_.load(); }
    void setIsSessionStarted(bool started) override { isSessionStarted_.store(started); }

    std::shared_ptr<BLQSessionDTO> getCurrentSession() override;
    void closeCurrentSession() override;
    std::shared_ptr<BLQSessionDTO> getSessionForAppKey(const std::string& appKey) override;
    void createNewSession(const std::shared_ptr<BLQInstallDTO>& install, Success success,
                          Failure failure) override;
    void saveSession(const std::shared_ptr<BLQSessionDTO>& session) override;

private:
    // Written by the caller's thread and by the store's queue.
    std::atomic<bool> isSessionStarted_{false};
    const std::shared_ptr<BLQISessionDataStore> dataStore_;
    const std::shared_ptr<BLQIAppDetailsProvider> appDetails_;
};

}  // namespace brindlecue
