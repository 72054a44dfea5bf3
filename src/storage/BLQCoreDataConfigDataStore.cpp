#include "storage/BLQCoreDataConfigDataStore.h"

#include <charconv>
#include <map>
#include <optional>
#include <vector>

#include "foundation/BLQLoggingLevel.h"
#include "foundation/StringExtensions.h"
#include "foundation/UtilsForAny.h"
#include "storage/BLQConfigSetting.h"
#include "storage/BLQCoreData.h"

namespace brindlecue {

namespace {

// A decimal integer with an optional sign and nothing else.
std::optional<int64_t> readInteger(const std::string& text) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    // One optional sign: "+-5" and "++5" are no integers.
    if (begin != end && *begin == '+') ++begin;
    if (begin == end || (begin != text.data() && *begin == '-') || *begin == '+') return std::nullopt;
    int64_t out = 0;
    auto [ptr, ec] = std::from_chars(begin, end, out);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return out;
}

std::any convert(const std::string& text, BLQConfigValueType type) {
    switch (type) {
        case BLQConfigValueType::date:
            if (auto date = toDate(text)) return *date;
            return {};
        case BLQConfigValueType::integer:
            if (auto n = readInteger(text)) return *n;
            return {};
        case BLQConfigValueType::loggingLevel:
            if (auto n = readInteger(text))
                if (auto level = BLQLoggingLevelFromRawValue(*n)) return *level;
            return {};
        case BLQConfigValueType::integerList:
            return UtilsForAny::convertCSVStringToArrayOfIntegers(text);
        case BLQConfigValueType::logHandlerList:
            return UtilsForAny::convertStringToArrayOfLogHandlers(text);
        case BLQConfigValueType::text:
            return text;
        case BLQConfigValueType::other:
            return {};
    }
    return {};
}

}  // namespace

std::shared_ptr<BLQConfigSetting> BLQCoreDataConfigDataStore::findByKey(const std::string& key) const {
    auto request = BLQConfigSetting::fetchRequest();
    request.setPredicate(BLQConfigSetting::findByKey(key));
    auto found = context_->fetch(request);
    if (!found) {
        logger_.log(platform::LogType::Default, "Config: Failed to retrieve ConfigSetting for key: " + key);
        return nullptr;
    }
    if (found->empty()) {
        logger_.log(platform::LogType::Default, "Config: Couldn't find ConfigSetting for key: " + key);
        return nullptr;
    }
    return std::dynamic_pointer_cast<BLQConfigSetting>(found->front());
}

std::any BLQCoreDataConfigDataStore::getConfigSetting(const std::string& key, BLQConfigValueType type) {
    return context_->performAndWait([&]() -> std::any {
        auto setting = findByKey(key);
        if (!setting) return {};
        auto text = setting->valueText();
        if (!text) return {};
        return convert(*text, type);
    });
}

std::vector<std::any> BLQCoreDataConfigDataStore::getConfigSettings(
    const std::vector<std::pair<std::string, BLQConfigValueType>>& requests) {
    return context_->performAndWait([&] {
        std::vector<std::any> out(requests.size());
        auto found = context_->fetch(BLQConfigSetting::fetchRequest());
        if (!found) {
            for (const auto& request : requests)
                logger_.log(platform::LogType::Default,
                            "Config: Failed to retrieve ConfigSetting for key: " + request.first);
            return out;
        }
        // The first setting of each key, as a fetch by key finds it.
        std::map<std::string, std::shared_ptr<BLQConfigSetting>, std::less<>> byKey;
        for (const auto& object : *found)
            if (auto setting = std::dynamic_pointer_cast<BLQConfigSetting>(object))
                if (auto key = setting->key()) byKey.emplace(*key, std::move(setting));
        for (size_t i = 0; i < requests.size(); ++i) {
            const auto& [key, type] = requests[i];
            auto it = byKey.find(key);
            if (it == byKey.end()) {
                logger_.log(platform::LogType::Default,
                            "Config: Couldn't find ConfigSetting for key: " + key);
                continue;
            }
            if (auto text = it->second->valueText()) out[i] = convert(*text, type);
        }
        return out;
    });
}

void BLQCoreDataConfigDataStore::setConfigSetting(const std::string& key, const std::any& value) {
    std::optional<std::string> text = UtilsForAny::convertToString(value);
    context_->perform([self = shared_from_this(), key, text] {
        auto setting = self->findByKey(key);
        if (!setting) setting = self->context_->insertNewObject<BLQConfigSetting>(BLQConfigSetting::kEntityName);
        if (!setting) return;
        setting->setKey(key);
        setting->setValueText(text);
        BLQCoreData::sharedInstance().saveContext();
    });
}

}  // namespace brindlecue
