#pragma once

#include <memory>
#include <string>

#include "foundation/BLQILoggable.h"
#include "platform/coredata/ManagedObjectContext.h"
#include "storage/BLQIInstallDataStore.h"

namespace brindlecue {

class BLQInstall;

// The install store over a Core Data context. All work runs on the context's queue: the lookup
// blocks its caller, the other operations return at once and run in call order. It never fails
// towards its callers; failures are log lines prefixed "Install: ". Owned by a shared_ptr (its
// queued work keeps it alive).
class BLQCoreDataInstallDataStore final : public BLQIInstallDataStore,
                                          public BLQILoggable,
                                          public std::enable_shared_from_this<BLQCoreDataInstallDataStore> {
public:
    explicit BLQCoreDataInstallDataStore(std::shared_ptr<platform::ManagedObjectContext> context)
        : context_(std::move(context)) {}

    // A new install with a fresh id for the app key; the completion (on the context's queue)
    // always receives it. Nothing checks for an existing install of the key.
    void createInstallForAppKey(const std::string& appKey, std::function<void(CreateResult)> completion) override;
    std::shared_ptr<BLQInstallDTO> getInstallForAppKey(const std::string& appKey) override;
    // Updates the install found by the record's app key.
    void saveInstall(const std::shared_ptr<BLQInstallDTO>& install) override;
    // Deletes the install found by the record's install id.
    void deleteInstall(const std::shared_ptr<BLQInstallDTO>& install) override;

    const std::shared_ptr<platform::ManagedObjectContext>& context() const { return context_; }

private:
    std::shared_ptr<BLQInstall> findByAppKey(const std::string& appKey) const;
    std::shared_ptr<BLQInstall> findByInstallId(const std::string& installId) const;

    std::shared_ptr<platform::ManagedObjectContext> context_;
};

}  // namespace brindlecue
