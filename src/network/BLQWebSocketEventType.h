#pragma once

#include <optional>
#include <string_view>

namespace brindlecue {

// The websocket message types, coded as their raw values. All are lower case with underscores
// except "userEvent".
enum class BLQWebSocketEventType {
    config,
    guide,
    guideDelete,
    hostChange,
    log,
    preview,
    register_,
    screenshot,
    status,
    tagSync,
    update,
    updateFeed,
    userEvent,
};

std::string_view rawValue(BLQWebSocketEventType type);
// Exact, case-sensitive match against the 13 raw values; none for any other text.
std::optional<BLQWebSocketEventType> BLQWebSocketEventTypeFromRawValue(std::string_view text);

}  // namespace brindlecue
