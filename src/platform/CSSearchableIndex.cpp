#include "platform/CSSearchableIndex.h"

#include "platform/TestingReset.h"
#include "platform/dispatch/DispatchQueue.h"

namespace brindlecue::platform {

std::shared_ptr<CSSearchableIndex> CSSearchableIndex::defaultSearchableIndex() {
    static std::shared_ptr<CSSearchableIndex> index = [] {
        TestingReset::add("CSSearchableIndex", [] { resetForTesting(); });
        return std::make_shared<CSSearchableIndex>();
    }();
    return index;
}

void CSSearchableIndex::resetForTesting() {
    auto index = defaultSearchableIndex();
    std::lock_guard lock(index->mutex_);
    index->items_.clear();
    index->nextFailure_.reset();
}

void CSSearchableIndex::complete(Completion completion, std::function<void()> change) {
    std::optional<Error> error;
    {
        std::lock_guard lock(mutex_);
        if (nextFailure_) {
            error = std::move(nextFailure_);
            nextFailure_.reset();
        } else {
            change();
        }
    }
    if (!completion) return;
    DispatchQueue::global()->async([completion = std::move(completion), error] { completion(error); });
}

void CSSearchableIndex::indexSearchableItems(std::vector<CSSearchableItem> items, Completion completion) {
    complete(std::move(completion), [this, &items] {
        for (auto& item : items) items_[item.uniqueIdentifier] = std::move(item);
    });
}

void CSSearchableIndex::deleteSearchableItemsWithIdentifiers(const std::vector<std::string>& identifiers,
                                                             Completion completion) {
    complete(std::move(completion), [this, &identifiers] {
        for (const auto& identifier : identifiers) items_.erase(identifier);
    });
}

void CSSearchableIndex::deleteAllSearchableItems(Completion completion) {
    complete(std::move(completion), [this] { items_.clear(); });
}

std::vector<CSSearchableItem> CSSearchableIndex::items() const {
    std::lock_guard lock(mutex_);
    std::vector<CSSearchableItem> out;
    for (const auto& [identifier, item] : items_) out.push_back(item);
    return out;
}

void CSSearchableIndex::failNextChange(Error error) {
    std::lock_guard lock(mutex_);
    nextFailure_ = std::move(error);
}

}  // namespace brindlecue::platform
