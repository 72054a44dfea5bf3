#pragma once

#include <cstdint>
#include <optional>

namespace brindlecue {

// Severity of a log message; a higher value is more severe. Components log information at
// `info` and failures at `warning` and `error`. As a console threshold, `debug` lets every
// message through.
enum class BLQLoggingLevel : int64_t {
    trace = 0,
    debug = 1,
    info = 2,
    notice = 3,
    warning = 4,
    error = 5,
};

// The level of a raw value; none outside 0 to 5.
constexpr std::optional<BLQLoggingLevel> BLQLoggingLevelFromRawValue(int64_t raw) {
    if (raw < 0 || raw > 5) return std::nullopt;
    return static_cast<BLQLoggingLevel>(raw);
}

constexpr int64_t rawValue(BLQLoggingLevel level) {
    return static_cast<int64_t>(level);
}

}  // namespace brindlecue
