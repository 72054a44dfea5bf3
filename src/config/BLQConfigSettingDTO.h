#pragma once

#include <optional>
#include <string>
#include <utility>

#include "platform/Date.h"
#include "platform/Value.h"

namespace brindlecue {

// One persisted configuration setting: a configuration key, its value as text, and the dates of
// the stored record.
class BLQConfigSettingDTO {
public:
    BLQConfigSettingDTO(std::optional<std::string> key, std::optional<std::string> value,
                        std::optional<platform::Date> createdDate, std::optional<platform::Date> modifiedDate)
        : key(std::move(key)), value(std::move(value)), createdDate(createdDate), modifiedDate(modifiedDate) {}

    // {"key", "value", "created", "modified"}, all text: dates as ISO-8601 with fractional
    // seconds, and "" for a field that is absent.
    platform::Value asDictionary() const;

    std::optional<std::string> key;
    std::optional<std::string> value;
    std::optional<platform::Date> createdDate;
    std::optional<platform::Date> modifiedDate;
};

}  // namespace brindlecue
