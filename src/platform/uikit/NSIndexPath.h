#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace brindlecue::platform {

// A section and a row (tables) or item (collections). Ordered by section, then row.
struct NSIndexPath {
    int64_t section = 0;
    int64_t row = 0;

    static NSIndexPath forRow(int64_t row, int64_t section) { return {section, row}; }
    static NSIndexPath forItem(int64_t item, int64_t section) { return {section, item}; }
    int64_t item() const { return row; }

    auto operator<=>(const NSIndexPath&) const = default;
    bool operator==(const NSIndexPath&) const = default;
};

}  // namespace brindlecue::platform
