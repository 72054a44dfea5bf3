#pragma once

#include <memory>
#include <string>

#include "config/BLQISessionDataStore.h"
#include "foundation/BLQILoggable.h"
#include "platform/coredata/ManagedObjectContext.h"

namespace brindlecue {

// The session store over a Core Data context. All work runs on the context's queue: the lookup
// blocks its caller, the other operations return at once and run in call order. Failures are log
// lines prefixed "Session: "; creation also reports them to its completion. Owned by a
// shared_ptr (its queued work keeps it alive).
class BLQCoreDataSessionDataStore final : public BLQISessionDataStore,
                                          public BLQILoggable,
                                          public std::enable_shared_from_this<BLQCoreDataSessionDataStore> {
public:
    explicit BLQCoreDataSessionDataStore(std::shared_ptr<platform::ManagedObjectContext> context)
        : context_(std::move(context)) {}

    // Finds the install by the record's install id first; only then inserts the session (next
    // id, started now) and links it. A failure inserts nothing.
    void createSessionForInstall(const std::shared_ptr<BLQInstallDTO>& install,
                                 std::function<void(CreateResult)> completion) override;
    std::shared_ptr<BLQSessionDTO> getSessionForAppKey(const std::string& appKey) override;
    void saveSession(const std::shared_ptr<BLQSessionDTO>& session) override;

    const std::shared_ptr<platform::ManagedObjectContext>& context() const { return context_; }

private:
    std::shared_ptr<platform::ManagedObjectContext> context_;
};

}  // namespace brindlecue
