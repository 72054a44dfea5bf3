#include "config/BLQConfigSettingDTO.h"

#include "foundation/DateExtensions.h"

namespace brindlecue {

platform::Value BLQConfigSettingDTO::asDictionary() const {
    auto dateText = [](const std::optional<platform::Date>& d) { return d ? toISO8601String(*d) : std::string(); };
    return platform::Value::dictionary({{"key", key.value_or("")},
                                        {"value", value.value_or("")},
                                        {"created", dateText(createdDate)},
                                        {"modified", dateText(modifiedDate)}});
}

}  // namespace brindlecue
