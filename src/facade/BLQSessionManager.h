#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "config/BLQIAppDetailsProvider.h"
#include "config/BLQISessionDataStore.h"
#include "config/BLQISessionManager.h"
#include "foundation/BLQILoggable.h"

namespace brindlecue {

// Sessions of the current app key over the session store: at most one is open; creating one
// closes the open one first. The store numbers sessions and decides which one is open. Made with
// make_shared: a creation in flight keeps the manager alive.
//
// The manager remembers the open session: the first question for an app key asks the store (a
// session an earlier process left open), and from then on the manager answers from memory, since
// it is the one that opens sessions (its creation's completion) and closes them. Closing hands
// the store a copy of the record with its end time, so records already given out (to events)
// stay as they were.
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
    // Remembers the session as the open one of the app key (none: the key has none open).
    void remember(const std::string& appKey, std::shared_ptr<BLQSessionDTO> session);

    // Written by the caller's thread and by the store's queue.
    std::atomic<bool> isSessionStarted_{false};
    mutable std::mutex mutex_;
    // The app key whose open session is known; none until the first question.
    std::optional<std::string> knownAppKey_;
    std::shared_ptr<BLQSessionDTO> current_;
    // Counts what the manager learned, so that a slower store answer does not replace it.
    uint64_t learned_ = 0;
    const std::shared_ptr<BLQISessionDataStore> dataStore_;
    const std::shared_ptr<BLQIAppDetailsProvider> appDetails_;
};

}  // namespace brindlecue
