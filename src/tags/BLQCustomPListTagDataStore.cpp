#include "tags/BLQCustomPListTagDataStore.h"

#include <algorithm>

#include "foundation/UtilsForAny.h"
#include "storage/TagError.h"
#include "storage/TagStoreSupport.h"

namespace brindlecue {

BLQCustomPListTagDataStore::BLQCustomPListTagDataStore()
    : manager_(std::make_shared<CustomPListManager>()),
      queue_(platform::DispatchQueue::serial("com.brindlecue.plist-tag-store-queue")) {}

void BLQCustomPListTagDataStore::deleteTag(const std::string& key) {
    queue_->async([self = shared_from_this(), key] {
        self->manager_->updateTags([&](std::vector<SwiftTag>& tags) {
            auto it = std::find_if(tags.begin(), tags.end(), [&](const SwiftTag& t) { return t.key == key; });
            if (it != tags.end()) tags.erase(it);
            return true;
        });
        self->log("Tag: PList Tags Data Store -> delete Tag: " + key, BLQLoggingLevel::info);
    });
}

std::shared_ptr<BLQTagDTO> BLQCustomPListTagDataStore::getTag(const std::string& key) {
    // Writes replace the file whole, so reading it without the owner's lock sees one list.
    std::optional<std::vector<SwiftTag>> tags;
    if (auto bytes = CustomPListManager::readFile(manager_->plistFilePath))
        tags = CustomPListManager::decode(*bytes);
    if (!tags) {
        log("Tag: PList Tags Data Store -> get Tag: not found for key: " + key, BLQLoggingLevel::info);
        return nullptr;
    }
    auto it = std::find_if(tags->begin(), tags->end(), [&](const SwiftTag& t) { return t.key == key; });
    if (it == tags->end()) {
        log("Tag: PList Tags Data Store -> get Tag: not found for key " + key, BLQLoggingLevel::info);
        return nullptr;
    }
    log("Tag: PList Tags Data Store -> get Tag: found with key: " + key, BLQLoggingLevel::info);
    return it->toObjcTag();
}

void BLQCustomPListTagDataStore::associateTagsMissingInstall(const std::shared_ptr<BLQInstallDTO>&) {}

void BLQCustomPListTagDataStore::incrementTag(const std::string& key, int64_t value, Completion completion) {
    queue_->async([self = shared_from_this(), key, value, completion = std::move(completion)] {
        bool overflow = false;
        auto error = self->manager_->updateTags([&](std::vector<SwiftTag>& tags) {
            auto it = std::find_if(tags.begin(), tags.end(), [&](const SwiftTag& t) { return t.key == key; });
            if (it == tags.end()) {
                tags.push_back(SwiftTag{key, std::to_string(value)});
                return true;
            }
            // A stored value that is no integer stays as it is.
            auto current = tagstore::strictInteger(it->value);
            if (!current) return true;
            int64_t sum = 0;
            if (__builtin_add_overflow(*current, value, &sum)) {
                overflow = true;
                return false;
            }
            it->value = std::to_string(sum);
            return true;
        });
        if (error && !overflow) {
            error = TagError::specificError("Tag: PList Tags Data Store -> could not increment tag: " + key +
                                            ", error: " + error->localizedDescription())
                        .toError();
        } else if (overflow) {
            error =
                TagError::specificError("Tag: Refused to increment tag with key: " + key + " by " +
                                        std::to_string(value) + ", the sum leaves the 64-bit integer range")
                    .toError();
            self->log(error->localizedDescription(), BLQLoggingLevel::error);
        } else {
            self->log(
                "Tag: PList Tags Data Store -> increment Tag: " + key + " by value: " + std::to_string(value),
                BLQLoggingLevel::info);
        }
        if (!completion) return;
        if (error)
            completion(*error);
        else
            completion(std::make_shared<BLQTagDTO>(key, std::to_string(value)));
    });
}

void BLQCustomPListTagDataStore::saveTag(const std::string& key, const std::any& value,
                                         Completion completion) {
    std::optional<std::string> text = UtilsForAny::convertToString(value);
    queue_->async([self = shared_from_this(), key, text, completion = std::move(completion)] {
        if (!text) {
            if (completion) completion(tagstore::valueWithoutText(key));
            return;
        }
        auto error = self->manager_->updateTags([&](std::vector<SwiftTag>& tags) {
            std::erase_if(tags, [&](const SwiftTag& t) { return t.key == key; });
            tags.push_back(SwiftTag{key, *text});
            return true;
        });
        if (!error)
            self->log("Tag: PList Tags Data Store -> save Tag: " + key + " with value: " + *text,
                      BLQLoggingLevel::info);
        if (!completion) return;
        if (error)
            completion(TagError::specificError("Tag: PList Tags Data Store -> could not save tag: " + key +
                                               ", error: " + error->localizedDescription())
                           .toError());
        else
            completion(std::make_shared<BLQTagDTO>(key, *text));
    });
}

void BLQCustomPListTagDataStore::saveTag(const std::shared_ptr<BLQTagDTO>& tag, Completion completion) {
    if (!tag) return;
    saveTag(tag->key, std::any(tag->value), std::move(completion));
}

void BLQCustomPListTagDataStore::saveTags(const std::vector<std::shared_ptr<BLQTagDTO>>& tags) {
    for (const auto& record : tags) {
        if (record) saveTag(record, tagstore::multiSaveCompletion(shared_from_this(), record));
    }
}

}  // namespace brindlecue
