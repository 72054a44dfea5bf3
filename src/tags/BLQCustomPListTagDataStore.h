#pragma once

#include <memory>

#include "foundation/BLQILoggable.h"
#include "platform/dispatch/DispatchQueue.h"
#include "storage/BLQITagDataStore.h"
#include "tags/CustomPListManager.h"

namespace brindlecue {

// A tag store over the property-list file of CustomPListManager ("CST.plist" in the documents
// directory). Not the store the library registers; an alternative over a plain file.
//
// Writing operations return at once and run, in the order they were called, on the store's serial
// queue, where their completions run too; each reads, changes and writes the file as one step of
// the owner. getTag reads the file on the caller's thread. A save or increment whose write fails
// completes with the write error. Lines it logs begin "Tag: ". Held by shared_ptr: queued work
// keeps the store alive.
class BLQCustomPListTagDataStore final : public BLQITagDataStore,
                                         public BLQILoggable,
                                         public std::enable_shared_from_this<BLQCustomPListTagDataStore> {
public:
    BLQCustomPListTagDataStore();

    // Removes the first entry with the key and writes the list back (also when there was none).
    void deleteTag(const std::string& key) override;
    std::shared_ptr<BLQTagDTO> getTag(const std::string& key) override;
    // Does nothing: the file keeps no install.
    void associateTagsMissingInstall(const std::shared_ptr<BLQInstallDTO>& install) override;
    // A missing key starts at the amount; a stored value that is not a decimal 64-bit integer is
    // left as it is; a sum beyond the 64-bit range is refused with an error. Completes with the
    // key and the amount (not the new total).
    void incrementTag(const std::string& key, int64_t value, Completion completion) override;
    // Moves the key to the end of the list with the value's text. A value of a kind that has no
    // text stores nothing and completes with an error.
    void saveTag(const std::string& key, const std::any& value, Completion completion) override;
    void saveTag(const std::shared_ptr<BLQTagDTO>& tag, Completion completion) override;
    void saveTags(const std::vector<std::shared_ptr<BLQTagDTO>>& tags) override;

    const std::shared_ptr<CustomPListManager>& PListManager() const { return manager_; }

private:
    std::shared_ptr<CustomPListManager> manager_;
    std::shared_ptr<platform::DispatchQueue> queue_;
};

}  // namespace brindlecue
