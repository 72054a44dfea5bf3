#include "tags/BLQUserDefaultsTagDataStore.h"

#include "foundation/UtilsForAny.h"
#include "storage/TagError.h"
#include "storage/TagStoreSupport.h"

namespace brindlecue {

BLQUserDefaultsTagDataStore::BLQUserDefaultsTagDataStore(platform::UserDefaults* defaults)
    : defaults_(defaults) {}

platform::UserDefaults& BLQUserDefaultsTagDataStore::defaults() const {
    return defaults_ ? *defaults_ : platform::UserDefaults::standard();
}

std::optional<platform::Error> BLQUserDefaultsTagDataStore::store(const std::string& key,
                                                                  const std::string& text) {
    auto& d = defaults();
    d.setString(key, text);
    if (d.synchronize()) return std::nullopt;
    return TagError::specificError("Tag: User Defaults Tags Data Store -> could not write tag: " + key)
        .toError();
}

void BLQUserDefaultsTagDataStore::deleteTag(const std::string& key) {
    auto& d = defaults();
    d.remove(key);
    d.synchronize();
    log("Tag: User Defaults Tags Data Store -> delete Tag: " + key, BLQLoggingLevel::info);
}

std::shared_ptr<BLQTagDTO> BLQUserDefaultsTagDataStore::getTag(const std::string& key) {
    platform::Value entry = defaults().object(key);
    if (const std::string* text = entry.getString()) {
        log("Tag: User Defaults Tags Data Store -> found with key: " + key, BLQLoggingLevel::info);
        return std::make_shared<BLQTagDTO>(key, *text);
    }
    log("Tag: User Defaults Tags Data Store -> not found for key: " + key, BLQLoggingLevel::info);
    return nullptr;
}

void BLQUserDefaultsTagDataStore::associateTagsMissingInstall(const std::shared_ptr<BLQInstallDTO>&) {}

void BLQUserDefaultsTagDataStore::incrementTag(const std::string& key, int64_t value, Completion completion) {
    platform::Value entry = defaults().object(key);
    std::optional<int64_t> current = entry.getInteger();
    if (const std::string* text = entry.getString()) current = tagstore::strictInteger(*text);
    int64_t sum = 0;
    std::optional<platform::Error> error;
    if (__builtin_add_overflow(current.value_or(0), value, &sum)) {
        error = TagError::specificError("Tag: Refused to increment tag with key: " + key + " by " +
                                        std::to_string(value) + ", the sum leaves the 64-bit integer range")
                    .toError();
    } else {
        error = store(key, std::to_string(sum));
    }
    if (error)
        log(error->localizedDescription(), BLQLoggingLevel::error);
    else
        log("Tag: User Defaults Tags Data Store -> increment Tag: " + key +
                " by value: " + std::to_string(value),
            BLQLoggingLevel::info);
    if (!completion) return;
    if (error)
        completion(*error);
    else
        completion(std::make_shared<BLQTagDTO>(key, std::to_string(value)));
}

void BLQUserDefaultsTagDataStore::saveTag(const std::string& key, const std::any& value,
                                          Completion completion) {
    std::optional<std::string> text = UtilsForAny::convertToString(value);
    std::optional<platform::Error> error = text ? store(key, *text) : tagstore::valueWithoutText(key);
    if (!error)
        log("Tag: User Defaults Tags Data Store -> save Tag: " + key + " with value: " + *text,
            BLQLoggingLevel::info);
    if (!completion) return;
    if (error)
        completion(*error);
    else
        completion(std::make_shared<BLQTagDTO>(key, *text));
}

void BLQUserDefaultsTagDataStore::saveTag(const std::shared_ptr<BLQTagDTO>& tag, Completion completion) {
    if (!tag) return;
    saveTag(tag->key, std::any(tag->value), std::move(completion));
}

void BLQUserDefaultsTagDataStore::saveTags(const std::vector<std::shared_ptr<BLQTagDTO>>& tags) {
    for (const auto& record : tags) {
        if (record) saveTag(record, tagstore::multiSaveCompletion(shared_from_this(), record));
    }
}

}  // namespace brindlecue
