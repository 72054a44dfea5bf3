#pragma once

#include <any>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/BLQILoggable.h"
#include "storage/BLQITagDataStore.h"
#include "tags/BLQITagManager.h"

namespace brindlecue {

class BLQIInstallRegistrationManager;
class BLQITagNetworkRequester;
class BLQIUserEventManager;

// Keeps tags in the tag store and reports every change as a user event: 8999 for a tag added or
// updated (only when its value is new or changed, or the save is forced), 8997 for every
// increment, 8998 for every deletion. Keys in tagServerBlacklistKeys make no event on save unless
// forced; deleting a key in priorityDeleteKeys is also sent to the server at once. After a change
// the tags stored before the install existed are linked to the current install.
//
// No lock or queue of its own: lookups run on the caller's thread through the store, the rest of
// a save or an increment (events, install link, the caller's blocks) on the store's completion
// thread. Every line it logs begins "Tag: ". Held by shared_ptr: a save or increment in progress
// keeps the manager alive.
class BLQTagManager : public BLQITagManager,
                      public BLQILoggable,
                      public std::enable_shared_from_this<BLQTagManager> {
public:
    BLQTagManager(std::shared_ptr<BLQITagDataStore> dataStore,
                  std::shared_ptr<BLQITagNetworkRequester> networkRequester,
                  std::shared_ptr<BLQIUserEventManager> userEventManager,
                  std::shared_ptr<BLQIInstallRegistrationManager> installManager,
                  std::vector<std::string> tagServerBlacklistKeys,
                  std::vector<std::string> priorityDeleteKeys);

    void deleteTagWithKey(const std::string& key) final { deleteTag(key); }
    std::shared_ptr<BLQTagDTO> getTagWithKey(const std::string& key) final { return getTag(key); }
    std::string getTagValueWithKey(const std::string& key) final { return getTagValue(key); }
    void incrementTagWithKey(const std::string& key, int64_t value) final { incrementTag(key, value); }
    void saveTagWithKey(const std::string& key, const std::any& value, SuccessBlock success,
                        FailureBlock failure) final {
        saveTag(key, value, std::move(success), std::move(failure));
    }
    void saveTagWithKey(const std::string& key, const std::any& value, SuccessBlock success,
                        FailureBlock failure, bool forceSend) final {
        saveTag(key, value, std::move(success), std::move(failure), forceSend);
    }

    // The members a subclass may override; they call one another through these entries.
    virtual void deleteTag(const std::string& key);
    virtual std::shared_ptr<BLQTagDTO> getTag(const std::string& key);
    virtual std::string getTagValue(const std::string& key);
    virtual void incrementTag(const std::string& key, int64_t value);
    virtual void saveTag(const std::string& key, const std::any& value, SuccessBlock success,
                         FailureBlock failure);
    virtual void saveTag(const std::string& key, const std::any& value, SuccessBlock success,
                         FailureBlock failure, bool forceSend);
    // True without an existing tag, for a value that has no text, and when the value's text (as
    // the store writes it) differs from the existing tag's value. The key is not used.
    virtual bool tagValueIsNewOrChanged(const std::string& key, const std::optional<std::any>& value,
                                        const std::shared_ptr<BLQTagDTO>& existingTag);

    const std::shared_ptr<BLQITagDataStore>& dataStore() const { return dataStore_; }
    const std::vector<std::string>& tagServerBlacklistKeys() const { return tagServerBlacklistKeys_; }
    const std::vector<std::string>& priorityDeleteKeys() const { return priorityDeleteKeys_; }

private:
    void linkTagsToCurrentInstall();
    void finishSave(const std::string& key, const std::any& value, const std::shared_ptr<BLQTagDTO>& existing,
                    bool forceSend, const BLQITagDataStore::Result& result, const SuccessBlock& success,
                    const FailureBlock& failure);

    const std::shared_ptr<BLQITagDataStore> dataStore_;
    const std::shared_ptr<BLQITagNetworkRequester> networkRequester_;
    const std::shared_ptr<BLQIUserEventManager> userEventManager_;
    const std::shared_ptr<BLQIInstallRegistrationManager> installManager_;
    const std::vector<std::string> tagServerBlacklistKeys_;
    const std::vector<std::string> priorityDeleteKeys_;
};

}  // namespace brindlecue
