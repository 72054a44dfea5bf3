#include "storage/BLQCoreDataTagDataStore.h"

#include <optional>

#include "config/BLQInstallDTO.h"
#include "foundation/UtilsForAny.h"
#include "platform/coredata/RegularExpression.h"
#include "storage/BLQCoreData.h"
#include "storage/BLQInstall.h"
#include "storage/BLQTag.h"
#include "storage/BLQUserEvent.h"
#include "storage/TagError.h"
#include "storage/TagStoreSupport.h"

namespace brindlecue {

namespace {

constexpr const char* kSuperTagMarker = "_supertag_";

std::string describe(const std::vector<std::shared_ptr<BLQTag>>& tags) {
    std::string out = "[";
    for (size_t i = 0; i < tags.size(); ++i) {
        if (i > 0) out += ", ";
        out += "BLQTag(key: " + tags[i]->key() + ", value: " + tags[i]->valueText() + ")";
    }
    return out + "]";
}

}  // namespace

bool BLQCoreDataTagDataStore::isRegexPattern(const std::string& text) {
    return text.find_first_of("#$%^&*?") != std::string::npos;
}

void BLQCoreDataTagDataStore::saveContext() const {
    platform::Error error;
    if (!BLQCoreData::sharedInstance().saveContext(&error))
        log("Tag: Failed to save context with error: " + error.description(), BLQLoggingLevel::error);
}

std::shared_ptr<BLQTag> BLQCoreDataTagDataStore::findTag(const std::string& key) const {
    bool superTagPattern = key.find(kSuperTagMarker) != std::string::npos && isRegexPattern(key);
    if (superTagPattern && !platform::RegularExpression::cached(key)) {
        log("Tag: Invalid super-tag pattern, no tag matches it: " + key, BLQLoggingLevel::warning);
        return nullptr;
    }
    auto request = BLQTag::fetchRequest();
    request.setPredicate(superTagPattern ? BLQTag::findByRegexSearch(key) : BLQTag::findByKey(key));
    auto found = context_->fetch(request);
    if (!found) {
        log("Tag: Failed to retrieve Tag with key: " + key, BLQLoggingLevel::error);
        return nullptr;
    }
    std::vector<std::shared_ptr<BLQTag>> tags;
    for (const auto& object : *found)
        if (auto tag = std::dynamic_pointer_cast<BLQTag>(object)) tags.push_back(std::move(tag));
    log("all Tag " + describe(tags), BLQLoggingLevel::info);
    if (tags.empty()) {
        log("Tag: Couldn't find Tag with key: " + key, BLQLoggingLevel::info);
        return nullptr;
    }
    return tags.front();
}

std::shared_ptr<BLQInstall> BLQCoreDataTagDataStore::getInstall(const BLQInstallDTO& dto) const {
    if (!dto.installId) {
        log("Tag: Failed to retrieve Install to associate with tags, no installId supplied",
            BLQLoggingLevel::warning);
        return nullptr;
    }
    auto request = BLQInstall::fetchRequest();
    request.setPredicate(BLQInstall::findByInstallId(*dto.installId));
    auto found = context_->fetch(request);
    if (!found) {
        log("Tag: Failed to retrieve Install with installId: " + *dto.installId, BLQLoggingLevel::error);
        return nullptr;
    }
    return found->empty() ? nullptr : std::dynamic_pointer_cast<BLQInstall>(found->front());
}

void BLQCoreDataTagDataStore::deleteTag(const std::string& key) {
    context_->perform([self = shared_from_this(), key] {
        auto tag = self->findTag(key);
        if (!tag) {
            self->log("Tag: Unable to delete UserEvent for tag with key: " + key + " -> tag not found",
                      BLQLoggingLevel::error);
            return;
        }
        // The events of the tag not yet sent keep its key and value.
        BLQUserEvent::keepValuesOfTag(tag);
        self->context_->deleteObject(tag);
        self->saveContext();
    });
}

std::shared_ptr<BLQTagDTO> BLQCoreDataTagDataStore::getTag(const std::string& key) {
    return context_->performAndWait([&]() -> std::shared_ptr<BLQTagDTO> {
        auto tag = findTag(key);
        if (!tag) {
            log("Tag: Couldn't find Tag with key: " + key, BLQLoggingLevel::warning);
            return nullptr;
        }
        return tag->toDTO();
    });
}

void BLQCoreDataTagDataStore::associateTagsMissingInstall(const std::shared_ptr<BLQInstallDTO>& installDTO) {
    context_->perform([self = shared_from_this(), installDTO] {
        auto install = installDTO ? self->getInstall(*installDTO) : nullptr;
        if (!install) {
            self->log("Tag: Failed to retrieve Install to associate with Tags missing Install",
                      BLQLoggingLevel::warning);
            return;
        }
        auto request = BLQTag::fetchRequest();
        request.setPredicate(BLQTag::findByMissingInstall());
        auto found = self->context_->fetch(request);
        if (!found) {
            self->log("Tag: Failed to retrieve Tags which were missing 'install'", BLQLoggingLevel::error);
            return;
        }
        for (const auto& tag : *found) tag->setRelatedObject("install", install);
        self->saveContext();
    });
}

void BLQCoreDataTagDataStore::incrementTag(const std::string& key, int64_t amount, Completion completion) {
    context_->perform([self = shared_from_this(), key, amount, completion = std::move(completion)] {
        auto tag = self->findTag(key);
        int64_t current = tag ? tagstore::strictInteger(tag->valueText()).value_or(0) : 0;
        int64_t sum = 0;
        if (__builtin_add_overflow(current, amount, &sum)) {
            std::string message = "Tag: Refused to increment tag with key: " + key + " by " +
                                  std::to_string(amount) + ", the sum leaves the 64-bit integer range";
            self->log(message, BLQLoggingLevel::error);
            if (completion) completion(TagError::specificError(message).toError());
            return;
        }
        std::optional<std::string> previous = tag ? std::optional(tag->valueText()) : std::nullopt;
        if (!tag) tag = self->context_->insertNewObject<BLQTag>(BLQTag::kEntityName);
        if (!tag) {
            if (completion)
                completion(TagError::creationError("Tag: Could not create tag with key: " + key).toError());
            return;
        }
        if (previous && (*previous != std::to_string(sum) || tag->key() != key))
            BLQUserEvent::keepValuesOfTag(tag);
        tag->setKey(key);
        tag->setValueText(std::to_string(sum));
        self->saveChange(tag, previous, std::make_shared<BLQTagDTO>(tag->key(), tag->valueText()),
                         completion);
    });
}

void BLQCoreDataTagDataStore::saveChange(const std::shared_ptr<BLQTag>& tag,
                                         const std::optional<std::string>& previous,
                                         const std::shared_ptr<BLQTagDTO>& record,
                                         const Completion& completion) {
    BLQCoreData::sharedInstance().saveContextReportingFailure(
        [self = shared_from_this(), tag, previous, record, completion](std::optional<platform::Error> error) {
            if (!error) {
                if (completion) completion(record);
                return;
            }
            self->log("Tag: Failed to save context with error: " + error->description(),
                      BLQLoggingLevel::error);
            // The caller hears that the tag was not saved, so the change must not reach the file
            // with a later save: it is undone unless a later change of the tag followed it.
            if (tag->valueText() == record->value) {
                if (!previous)
                    self->context_->deleteObject(tag);
                else
                    tag->setValueText(*previous);
            }
            if (completion)
                completion(TagError::specificError("Tag: Could not save tag with key: " + record->key +
                                                   ", error: " + error->localizedDescription())
                               .toError());
        });
}

void BLQCoreDataTagDataStore::saveTagNow(const std::string& key, const std::optional<std::string>& text,
                                         const Completion& completion) {
    // A value without a text form is refused: storing "" would report a save that lost the value.
    if (!text) {
        log("Tag: Refused to save tag with key: " + key + ", its value has no text form",
            BLQLoggingLevel::error);
        if (completion) completion(tagstore::valueWithoutText(key));
        return;
    }
    auto tag = findTag(key);
    std::optional<std::string> previous = tag ? std::optional(tag->valueText()) : std::nullopt;
    if (!tag) tag = context_->insertNewObject<BLQTag>(BLQTag::kEntityName);
    if (!tag) {
        if (completion)
            completion(TagError::creationError("Tag: Could not create tag with key: " + key).toError());
        return;
    }
    // The events linked to the tag that kept no value of their own keep the one they were recorded with.
    if (previous && (*previous != *text || tag->key() != key)) BLQUserEvent::keepValuesOfTag(tag);
    tag->setKey(key);
    tag->setValueText(*text);
    saveChange(tag, previous, tag->toDTO(), completion);
}

void BLQCoreDataTagDataStore::saveTag(const std::string& key, const std::any& value, Completion completion) {
    std::optional<std::string> text = UtilsForAny::convertToString(value);
    context_->perform([self = shared_from_this(), key, text, completion = std::move(completion)] {
        self->saveTagNow(key, text, completion);
    });
}

void BLQCoreDataTagDataStore::saveTag(const std::shared_ptr<BLQTagDTO>& tag, Completion completion) {
    if (!tag) return;
    saveTag(tag->key, std::any(tag->value), std::move(completion));
}

void BLQCoreDataTagDataStore::saveTags(const std::vector<std::shared_ptr<BLQTagDTO>>& tags) {
    for (const auto& record : tags) {
        if (record) saveTag(record, tagstore::multiSaveCompletion(shared_from_this(), record));
    }
}

}  // namespace brindlecue
