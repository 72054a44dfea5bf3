#pragma once

#include <any>
#include <memory>
#include <string>

#include "config/BLQIConfigDataStore.h"
#include "platform/SystemLog.h"
#include "platform/coredata/ManagedObjectContext.h"

namespace brindlecue {

class BLQConfigSetting;

// The configuration store over a Core Data context: one setting per key, its value kept as text.
// Both operations run on the context's queue (reading blocks its caller; writing returns at
// once), so a read after a write of the same key sees the new value. Its failure lines, prefixed
// "Config: ", go straight to the system log. Owned by a shared_ptr.
class BLQCoreDataConfigDataStore final : public BLQIConfigDataStore,
                                         public std::enable_shared_from_this<BLQCoreDataConfigDataStore> {
public:
    explicit BLQCoreDataConfigDataStore(std::shared_ptr<platform::ManagedObjectContext> context)
        : logger_("com.brindlecue", "BrindlecueSDK"), context_(std::move(context)) {}

    using BLQIConfigDataStore::getConfigSetting;
    std::any getConfigSetting(const std::string& key, BLQConfigValueType type) override;
    // One block on the queue and one fetch of the settings for all of them.
    std::vector<std::any> getConfigSettings(
        const std::vector<std::pair<std::string, BLQConfigValueType>>& requests) override;
    void setConfigSetting(const std::string& key, const std::any& value) override;

    const std::shared_ptr<platform::ManagedObjectContext>& context() const { return context_; }

private:
    std::shared_ptr<BLQConfigSetting> findByKey(const std::string& key) const;

    platform::SystemLog logger_;
    std::shared_ptr<platform::ManagedObjectContext> context_;
};

}  // namespace brindlecue
