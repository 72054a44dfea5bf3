#include "tags/BLQTagManager.h"

#include <algorithm>
#include <variant>

#include "config/BLQIInstallRegistrationManager.h"
#include "events/BLQIUserEventManager.h"
#include "foundation/UtilsForAny.h"
#include "network/BLQITagNetworkRequester.h"
#include "platform/Date.h"
#include "storage/BLQITagDataStore.h"
#include "storage/BLQUserEventCode.h"
#include "storage/TagError.h"

namespace brindlecue {

namespace {

// The value as a log line shows it.
std::string printed(const std::any& value) {
    if (const auto* date = std::any_cast<platform::Date>(&value)) return date->description();
    return UtilsForAny::convertToString(value).value_or("<value of another kind>");
}

bool listed(const std::vector<std::string>& keys, const std::string& key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

}  // namespace

BLQTagManager::BLQTagManager(std::shared_ptr<BLQITagDataStore> dataStore,
                             std::shared_ptr<BLQITagNetworkRequester> networkRequester,
                             std::shared_ptr<BLQIUserEventManager> userEventManager,
                             std::shared_ptr<BLQIInstallRegistrationManager> installManager,
                             std::vector<std::string> tagServerBlacklistKeys,
                             std::vector<std::string> priorityDeleteKeys)
    : dataStore_(std::move(dataStore)),
      networkRequester_(std::move(networkRequester)),
      userEventManager_(std::move(userEventManager)),
      installManager_(std::move(installManager)),
      tagServerBlacklistKeys_(std::move(tagServerBlacklistKeys)),
      priorityDeleteKeys_(std::move(priorityDeleteKeys)) {}

void BLQTagManager::linkTagsToCurrentInstall() {
    if (!installManager_) return;
    if (auto install = installManager_->getCurrentInstall()) dataStore_->associateTagsMissingInstall(install);
}

void BLQTagManager::deleteTag(const std::string& key) {
    auto tag = getTag(key);
    if (!tag) {
        log("Tag: Did not delete tag with key: " + key + " as no tag existed with that key",
            BLQLoggingLevel::info);
        return;
    }
    if (listed(priorityDeleteKeys_, tag->key) && networkRequester_) {
        // The local deletion goes on without waiting; either outcome is only logged.
        auto self = shared_from_this();
        networkRequester_->sendDeleteRequest(
            key,
            [self, key](const platform::Value&, const platform::URL&) {
                self->log("Tag: Successfully sent priority delete for key: " + key, BLQLoggingLevel::info);
            },
            [self, key](const platform::Error& error) {
                self->log("Tag: Failed to send priority delete for key: " + key +
                              ", error: " + error.localizedDescription(),
                          BLQLoggingLevel::info);
            });
    }
    // The server request and the event carry the tag before the store forgets it.
    userEventManager_->sendUserEventWithCode(rawValue(BLQUserEventCode::tagDeleted), tag,
                                             "Deleted tag: " + key, platform::Value(), nullptr);
    dataStore_->deleteTag(key);
    log("Tag: Deleting tag: " + key, BLQLoggingLevel::info);
    linkTagsToCurrentInstall();
}

std::shared_ptr<BLQTagDTO> BLQTagManager::getTag(const std::string& key) {
    log("Tag: Getting tag: " + key, BLQLoggingLevel::info);
    auto tag = dataStore_->getTag(key);
    if (tag) log("Tag: Got tag: " + key + " with value: " + tag->value, BLQLoggingLevel::info);
    return tag;
}

std::string BLQTagManager::getTagValue(const std::string& key) {
    log("Tag: Getting tag: " + key, BLQLoggingLevel::info);
    auto tag = getTag(key);
    std::string value = tag ? tag->value : std::string();
    log("Tag: Got tag: " + key + " with value: " + value, BLQLoggingLevel::info);
    return value;
}

void BLQTagManager::incrementTag(const std::string& key, int64_t value) {
    dataStore_->incrementTag(
        key, value, [self = shared_from_this(), key, value](BLQITagDataStore::Result result) {
            if (auto* error = std::get_if<platform::Error>(&result)) {
                self->log("Tag: Failed to increment tag: " + key + ", value: " + std::to_string(value) +
                              ", error: " + error->localizedDescription(),
                          BLQLoggingLevel::warning);
                return;
            }
            const auto& tag = std::get<std::shared_ptr<BLQTagDTO>>(result);
            self->log("Tag: Incremented tag: " + key + ", new value: " + std::to_string(value),
                      BLQLoggingLevel::info);
            self->userEventManager_->sendUserEventWithCode(rawValue(BLQUserEventCode::tagIncremented), tag,
                                                           "Incremented tag: " + (tag ? tag->key : key),
                                                           platform::Value(), nullptr);
            self->linkTagsToCurrentInstall();
        });
}

void BLQTagManager::saveTag(const std::string& key, const std::any& value, SuccessBlock success,
                            FailureBlock failure) {
    saveTag(key, value, std::move(success), std::move(failure), false);
}

void BLQTagManager::saveTag(const std::string& key, const std::any& value, SuccessBlock success,
                            FailureBlock failure, bool forceSend) {
    // Read before the write is queued: the change test compares with the value before this save.
    auto existing = dataStore_->getTag(key);
    dataStore_->saveTag(
        key, value,
        [self = shared_from_this(), key, value, existing, forceSend, success = std::move(success),
         failure = std::move(failure)](BLQITagDataStore::Result result) {
            self->finishSave(key, value, existing, forceSend, result, success, failure);
        });
}

void BLQTagManager::finishSave(const std::string& key, const std::any& value,
                               const std::shared_ptr<BLQTagDTO>& existing, bool forceSend,
                               const BLQITagDataStore::Result& result, const SuccessBlock& success,
                               const FailureBlock& failure) {
    const auto* saved = std::get_if<std::shared_ptr<BLQTagDTO>>(&result);
    if (!saved || !*saved) {
        // A store that answers without a record has saved nothing that could be reported.
        platform::Error error =
            saved ? TagError::creationError("The tag store kept no tag for key: " + key).toError()
                  : std::get<platform::Error>(result);
        log("Tag: Failed to save tag: " + key + ", value: " + printed(value) +
                ", error: " + error.localizedDescription(),
            BLQLoggingLevel::warning);
        if (failure) failure(error);
        return;
    }
    const BLQTagDTO& tag = **saved;
    log("Tag: Saved tag: " + tag.key + ", value: " + tag.value, BLQLoggingLevel::info);
    bool send = forceSend;
    if (!send && !listed(tagServerBlacklistKeys_, tag.key))
        send = tagValueIsNewOrChanged(key, std::any(tag.value), existing);
    if (send) {
        log("Tag: Creating UserEvent for tag (to be sent to server), " + key + ", value: " + printed(value),
            BLQLoggingLevel::info);
        userEventManager_->sendUserEventWithCode(rawValue(BLQUserEventCode::tagUpdated), *saved,
                                                 "Added or updated tag: " + tag.key, platform::Value(),
                                                 nullptr);
    }
    linkTagsToCurrentInstall();
    if (success) success();
}

bool BLQTagManager::tagValueIsNewOrChanged(const std::string&, const std::optional<std::any>& value,
                                           const std::shared_ptr<BLQTagDTO>& existingTag) {
    // The text the stores write for the value, so that a number compares with its stored text.
    std::optional<std::string> text = value ? UtilsForAny::convertToString(*value) : std::nullopt;
    if (!existingTag || !text) return true;
    return existingTag->value != *text;
}

}  // namespace brindlecue
