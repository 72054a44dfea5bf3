#pragma once

#include <cstdint>
#include <optional>

namespace brindlecue {

// A user event's way to the server.
enum class BLQUserEventStatus : int64_t {
    unsent = 0,
    sending = 1,
    sent = 2,
    deduped = 3,
    disabled = 4,
};

// The status of a raw value; none outside 0 to 4.
constexpr std::optional<BLQUserEventStatus> BLQUserEventStatusFromRawValue(int64_t raw) {
    if (raw < 0 || raw > 4) return std::nullopt;
    return static_cast<BLQUserEventStatus>(raw);
}

constexpr int64_t rawValue(BLQUserEventStatus status) {
    return static_cast<int64_t>(status);
}

}  // namespace brindlecue
