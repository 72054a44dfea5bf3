#pragma once

#include <cstdint>
#include <optional>

namespace brindlecue {

// What a user event reports.
enum class BLQUserEventCode : int64_t {
    unspecified = 0,
    utcOffset = 8050,
    heartbeat = 8051,
    clientVersionChanged = 8052,
    appStart = 8102,
    appActive = 8103,
    appBackground = 8104,
    appSessionComplete = 8105,
    pageEnter = 8108,
    pageExit = 8109,
    reserved8110 = 8110,
    feedAcknowledged = 8200,
    feedResult = 8201,
    tagIncremented = 8997,
    tagDeleted = 8998,
    tagUpdated = 8999,
    error = 9103,
};

// The code of a raw value; none for a value that is not one of the codes above.
constexpr std::optional<BLQUserEventCode> BLQUserEventCodeFromRawValue(int64_t raw) {
    switch (raw) {
        case 0: case 8050: case 8051: case 8052: case 8102: case 8103: case 8104: case 8105:
        case 8108: case 8109: case 8110: case 8200: case 8201: case 8997: case 8998: case 8999:
        case 9103:
            return static_cast<BLQUserEventCode>(raw);
        default:
            return std::nullopt;
    }
}

constexpr int64_t rawValue(BLQUserEventCode code) {
    return static_cast<int64_t>(code);
}

}  // namespace brindlecue
