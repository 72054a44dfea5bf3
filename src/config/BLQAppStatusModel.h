#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/BLQLogHandlerModel.h"
#include "platform/Value.h"

namespace brindlecue {

// The server's run-time tuning of the library, as the app-status endpoint sends it. Every field
// is optional; a decoded document holds exactly what the server gave.
class BLQAppStatusModel {
public:
    // An empty document: disabled time 0, poll interval 0, nothing else.
    BLQAppStatusModel();

    // Decodes a JSON object: an absent or null key leaves its field empty, unknown keys are
    // ignored, and a value of the wrong type fails the whole document (text for a number, a number
    // for text, a fraction for an integer, a list entry that is not a whole number, a log handler
    // that does not decode). Throws DecodingError.
    static BLQAppStatusModel decode(const platform::Value& document);

    // "BLQAppStatusModel(id: nil, disabled: 0, log_level: 3, ...)", every field by its key.
    std::string description() const;

    std::optional<int64_t> id;                                   // "id"; not used
    std::optional<double> disabledTimeInSeconds;                 // "disabled"
    std::optional<int64_t> logLevel;                             // "log_level"
    std::optional<std::vector<BLQLogHandlerModel>> logHandlers;  // "log_handlers"
    std::optional<std::string> feedUpdatedTimeStamp;             // "feed_updated"
    std::optional<std::string> host;                             // "host"
    std::optional<std::string> installId;                        // "installid"; not used
    std::optional<std::string> installToken;                     // "install_token"
    std::optional<std::string> previewMode;                      // "preview_mode"
    std::optional<std::string> superTagsDisabledLevel;           // "supertags_level"
    std::optional<std::string> superTagsFilter;                  // "supertags_filter"
    std::optional<int64_t> appStatusPollInterval;                // "app_status_poll_interval"
    std::optional<std::vector<int64_t>> priorityUserEventCodes;  // "priority_loglines"
    std::optional<std::vector<int64_t>> disabledUserEventCodes;  // "disabled_loglines"
};

// The answer of the app-status endpoint: {"app_status": {...}}, the key required.
class BLQAppStatusResponseModel {
public:
    // Throws DecodingError, also when "app_status" is missing, null or not an object.
    static BLQAppStatusResponseModel decode(const platform::Value& document);

    BLQAppStatusModel appStatus;
};

// A received JSON object as the decoders take it: written out as JSON text and read back. None
// when it cannot be written.
std::optional<platform::Value> writtenAndReadBack(const platform::Value& json);

// Defaults that belong to the app-status document's settings.
enum class BLQAppStatusStringSettings { defaultHost, superTagEnabledDefault, superTagFilterDefault };

// The default host, "enabled" and "(.*)".
std::string rawValue(BLQAppStatusStringSettings setting);
// Exact match only.
std::optional<BLQAppStatusStringSettings> BLQAppStatusStringSettingsFromRawValue(std::string_view text);

// The app-status manager's first poll interval, in seconds.
enum class BLQAppStatusIntSettings : int64_t { defaultInterval = 1 };

std::optional<BLQAppStatusIntSettings> BLQAppStatusIntSettingsFromRawValue(int64_t value);

}  // namespace brindlecue
