#pragma once

#include <memory>

#include "foundation/BLQILoggable.h"
#include "platform/UserDefaults.h"
#include "storage/BLQITagDataStore.h"

namespace brindlecue {

// A tag store over the app's user defaults: one entry per tag, named by the key itself. Not the
// store the library registers; an alternative without a database.
//
// Every entry holds the tag's text (a number or a date is kept as the text the other stores
// write), so whatever is saved or incremented reads back as a tag. Everything runs on the
// caller's thread and completes before returning; a write that does not reach the file completes
// with an error. Lines it logs begin "Tag: ".
class BLQUserDefaultsTagDataStore final : public BLQITagDataStore,
                                          public BLQILoggable,
                                          public std::enable_shared_from_this<BLQUserDefaultsTagDataStore> {
public:
    // The standard user defaults unless others are given; they must outlive the store.
    explicit BLQUserDefaultsTagDataStore(platform::UserDefaults* defaults = nullptr);

    void deleteTag(const std::string& key) override;
    // Only an entry that holds text is a tag.
    std::shared_ptr<BLQTagDTO> getTag(const std::string& key) override;
    // Does nothing: the entries keep no install.
    void associateTagsMissingInstall(const std::shared_ptr<BLQInstallDTO>& install) override;
    // Starts from the stored integer (0 when the entry is missing or is no decimal 64-bit
    // integer); a sum beyond the 64-bit range is refused with an error. Completes with the key and
    // the amount (not the new total).
    void incrementTag(const std::string& key, int64_t value, Completion completion) override;
    // A value of a kind that has no text stores nothing and completes with an error.
    void saveTag(const std::string& key, const std::any& value, Completion completion) override;
    void saveTag(const std::shared_ptr<BLQTagDTO>& tag, Completion completion) override;
    void saveTags(const std::vector<std::shared_ptr<BLQTagDTO>>& tags) override;

private:
    platform::UserDefaults& defaults() const;
    // Stores the text and syncs; an error when the file could not be written.
    std::optional<platform::Error> store(const std::string& key, const std::string& text);

    platform::UserDefaults* defaults_;
};

}  // namespace brindlecue
