#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "foundation/BLQLoggingLevel.h"

namespace brindlecue {

// The built-in configuration, used for every setting the store cannot give back.
class BLQConfigDefaults {
public:
    static constexpr int64_t appStatusPollInterval = 10;  // seconds
    static constexpr BLQLoggingLevel logLevel = BLQLoggingLevel::info;
    static constexpr double sdkDisabledTime = 0;  // enabled

    // The API host, scheme and host without a trailing "/".
    static const std::string& host();
    // The host an app starts with: the text its information property list gives under
    // "BLQ_CONFIG_ALIVE_HOST" (a host app's own server, such as a staging one), else host().
    static std::string appHost();
    // From a host to the other names it also answers as (all lower case): the default host to
    // the secure and the plain address of its one alias name.
    static const std::map<std::string, std::vector<std::string>>& hostAliases();
    // The user-event codes sent at once, in this order: 8102, 8104, 8103, 8051, 8999, 8997,
    // 8998, 8200, 8201, 8050.
    static const std::vector<int64_t>& priorityUserEventCodes();
    // Empty.
    static const std::vector<int64_t>& disabledUserEventCodes();
};

}  // namespace brindlecue
