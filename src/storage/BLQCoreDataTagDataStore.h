#pragma once

#include <any>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/BLQILoggable.h"
#include "platform/coredata/ManagedObjectContext.h"
#include "storage/BLQITagDataStore.h"

namespace brindlecue {

class BLQInstall;
class BLQTag;

// The tag store over a Core Data context. A key is found exactly, except a super-tag pattern (a
// key holding "_supertag_" and one of # $ % ^ & * ?), which is matched as a regular expression
// against every stored key (a pattern that does not compile matches nothing). All work runs on the
// context's queue, one block per operation and per list element; only getTag blocks its caller.
// Completions run on the context's queue. Failures are log lines prefixed "Tag: ". Owned by a
// shared_ptr (its queued work keeps it alive).
class BLQCoreDataTagDataStore final : public BLQITagDataStore,
                                      public BLQILoggable,
                                      public std::enable_shared_from_this<BLQCoreDataTagDataStore> {
public:
    explicit BLQCoreDataTagDataStore(std::shared_ptr<platform::ManagedObjectContext> context)
        : context_(std::move(context)) {}

    void deleteTag(const std::string& key) override;
    std::shared_ptr<BLQTagDTO> getTag(const std::string& key) override;
    void associateTagsMissingInstall(const std::shared_ptr<BLQInstallDTO>& install) override;
    // A text that is not an optional sign and decimal digits counts as 0. A sum beyond the 64-bit
    // range is refused: the tag keeps its value and the completion receives an error.
    void incrementTag(const std::string& key, int64_t value, Completion completion) override;
    // A value of a kind that has no text (a Boolean, a dictionary, ...) stores nothing and
    // completes with an error. The completion runs once the save has reached the file; a save
    // that fails completes with a tag error and leaves the earlier value (or no tag).
    void saveTag(const std::string& key, const std::any& value, Completion completion) override;
    void saveTag(const std::shared_ptr<BLQTagDTO>& tag, Completion completion) override;
    void saveTags(const std::vector<std::shared_ptr<BLQTagDTO>>& tags) override;

    const std::shared_ptr<platform::ManagedObjectContext>& context() const { return context_; }

    // True when the text holds one of # $ % ^ & * ?.
    static bool isRegexPattern(const std::string& text);

private:
    std::shared_ptr<BLQInstall> getInstall(const BLQInstallDTO& install) const;
    std::shared_ptr<BLQTag> findTag(const std::string& key) const;
    void saveTagNow(const std::string& key, const std::optional<std::string>& text,
                    const Completion& completion);
    void saveContext() const;
    // Saves the tag's change and completes with the record, or, when the save fails, undoes the
    // change (a new tag goes, an existing one gets its previous text back) and completes with a
    // tag error.
    void saveChange(const std::shared_ptr<BLQTag>& tag, const std::optional<std::string>& previous,
                    const std::shared_ptr<BLQTagDTO>& record, const Completion& completion);

    std::shared_ptr<platform::ManagedObjectContext> context_;
};

}  // namespace brindlecue
