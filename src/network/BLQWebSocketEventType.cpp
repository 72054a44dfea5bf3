#include "network/BLQWebSocketEventType.h"

#include <array>
#include <utility>

namespace brindlecue {

namespace {

constexpr std::array<std::pair<BLQWebSocketEventType, std::string_view>, 13> kRawValues{{
    {BLQWebSocketEventType::config, "config"},
    {BLQWebSocketEventType::guide, "guide"},
    {BLQWebSocketEventType::guideDelete, "guide_delete"},
    {BLQWebSocketEventType::hostChange, "host_change"},
    {BLQWebSocketEventType::log, "log"},
    {BLQWebSocketEventType::preview, "preview"},
    {BLQWebSocketEventType::register_, "register"},
    {BLQWebSocketEventType::screenshot, "screenshot"},
    {BLQWebSocketEventType::status, "status"},
    {BLQWebSocketEventType::tagSync, "tag_sync"},
    {BLQWebSocketEventType::update, "update"},
    {BLQWebSocketEventType::updateFeed, "update_feed"},
    {BLQWebSocketEventType::userEvent, "userEvent"},
}};

}  // namespace

std::string_view rawValue(BLQWebSocketEventType type) {
    for (const auto& [candidate, raw] : kRawValues) {
        if (candidate == type) return raw;
    }
    return "";
}

std::optional<BLQWebSocketEventType> BLQWebSocketEventTypeFromRawValue(std::string_view text) {
    for (const auto& [type, raw] : kRawValues) {
        if (raw == text) return type;
    }
    return std::nullopt;
}

}  // namespace brindlecue
