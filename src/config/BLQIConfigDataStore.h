#pragma once

#include <any>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "foundation/BLQLogHandlerModel.h"
#include "foundation/BLQLoggingLevel.h"
#include "platform/Date.h"

namespace brindlecue {

// The kinds a stored setting can be read back as.
enum class BLQConfigValueType { date, integer, loggingLevel, integerList, logHandlerList, text, other };

// Where the persisted configuration lives: one text per configuration key.
class BLQIConfigDataStore {
public:
    virtual ~BLQIConfigDataStore() = default;

    // The stored text of the key converted to the kind asked for, answered before returning: a
    // Date, an int64_t, a BLQLoggingLevel, a std::vector<int64_t>, a
    // std::vector<BLQLogHandlerModel> or a std::string. Empty when the key has no setting, the
    // setting no text, the text does not convert, or the kind is none of these.
    virtual std::any getConfigSetting(const std::string& key, BLQConfigValueType type) = 0;
    // Several settings, each answered as getConfigSetting answers it, in the order asked; a
    // store may read them in one go.
    virtual std::vector<std::any> getConfigSettings(
        const std::vector<std::pair<std::string, BLQConfigValueType>>& requests) {
        std::vector<std::any> out;
        out.reserve(requests.size());
        for (const auto& [key, type] : requests) out.push_back(getConfigSetting(key, type));
        return out;
    }
    // Stores the value's text form under the key, creating the setting when the key has none.
    // The write may complete after the call returns.
    virtual void setConfigSetting(const std::string& key, const std::any& value) = 0;

    // Typed reading: getConfigSetting<BLQLoggingLevel>("BLQ_CONFIG_DEBUG_LOG_LEVEL").
    template <class T>
    std::optional<T> getConfigSetting(const std::string& key) {
        std::any value = getConfigSetting(key, valueTypeOf<T>());
        if (const T* typed = std::any_cast<T>(&value)) return *typed;
        return std::nullopt;
    }

    template <class T>
    static constexpr BLQConfigValueType valueTypeOf() {
        if constexpr (std::is_same_v<T, platform::Date>) return BLQConfigValueType::date;
        else if constexpr (std::is_same_v<T, int64_t>) return BLQConfigValueType::integer;
        else if constexpr (std::is_same_v<T, BLQLoggingLevel>) return BLQConfigValueType::loggingLevel;
        else if constexpr (std::is_same_v<T, std::vector<int64_t>>) return BLQConfigValueType::integerList;
        else if constexpr (std::is_same_v<T, std::vector<BLQLogHandlerModel>>)
            return BLQConfigValueType::logHandlerList;
        else if constexpr (std::is_same_v<T, std::string>) return BLQConfigValueType::text;
        else return BLQConfigValueType::other;
    }
};

}  // namespace brindlecue
