#pragma once

#include <cstdint>
#include <optional>

namespace brindlecue {

// The host-version argument of the older HTTP clients' requests. Callers pass one or three; the
// URL the clients build does not depend on it.
enum class BLQHostVersion : int64_t {
    zero = 0,
    one = 1,
    two = 2,
    three = 3,
};

// The host version of a raw value; none outside 0 to 3.
constexpr std::optional<BLQHostVersion> BLQHostVersionFromRawValue(int64_t raw) {
    if (raw < 0 || raw > 3) return std::nullopt;
    return static_cast<BLQHostVersion>(raw);
}

constexpr int64_t rawValue(BLQHostVersion version) {
    return static_cast<int64_t>(version);
}

}  // namespace brindlecue
