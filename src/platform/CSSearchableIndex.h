#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/Value.h"

namespace brindlecue::platform {

// What a searchable item shows in the system's search: its content type, title, description,
// thumbnail (PNG bytes) and keywords.
struct CSSearchableItemAttributeSet {
    std::string contentType;
    std::optional<std::string> title;
    std::optional<std::string> contentDescription;
    std::optional<Data> thumbnailData;
    std::vector<std::string> keywords;
};

struct CSSearchableItem {
    std::string uniqueIdentifier;
    std::optional<std::string> domainIdentifier;
    CSSearchableItemAttributeSet attributeSet;
};

// The device's index of searchable items, kept in memory for the process. Every change completes
// asynchronously on a global queue, with an error or none; an item indexed again under its
// identifier replaces the earlier one.
class CSSearchableIndex {
public:
    static constexpr const char* kUTTypeImage = "public.image";
    using Completion = std::function<void(const std::optional<Error>& error)>;

    static std::shared_ptr<CSSearchableIndex> defaultSearchableIndex();
    // Test-only: forgets every item and any failure set. The library never calls it.
    static void resetForTesting();

    void indexSearchableItems(std::vector<CSSearchableItem> items, Completion completion);
    void deleteSearchableItemsWithIdentifiers(const std::vector<std::string>& identifiers,
                                              Completion completion);
    void deleteAllSearchableItems(Completion completion);

    // The items now indexed, in identifier order.
    std::vector<CSSearchableItem> items() const;
    // Test-only: the next change fails with this error and changes nothing.
    void failNextChange(Error error);

private:
    void complete(Completion completion, std::function<void()> change);

    mutable std::mutex mutex_;
    std::map<std::string, CSSearchableItem> items_;
    std::optional<Error> nextFailure_;
};

}  // namespace brindlecue::platform
