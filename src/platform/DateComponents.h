#pragma once

#include <cstdint>
#include <optional>

namespace brindlecue::platform {

// Calendar fields, each either present with a value or missing. Not tied to a calendar or a
// time zone.
struct DateComponents {
    std::optional<int64_t> year;
    std::optional<int64_t> month;
    std::optional<int64_t> day;
    std::optional<int64_t> hour;
    std::optional<int64_t> minute;
    std::optional<int64_t> second;
    std::optional<int64_t> weekOfYear;

    bool operator==(const DateComponents&) const = default;
};

}  // namespace brindlecue::platform
