#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brindlecue {

// The outcome of one shown step as the server knows it.
enum class BLQFeedResult : int64_t {
    rejected = -1,
    postponed = 0,
    accepted = 1,
    previous = 2,
    next = 3,
    pageChange = 4,
};

// None outside -1 to 4.
std::optional<BLQFeedResult> BLQFeedResultFromRawValue(int64_t raw);
// "rejected", "postponed", "accepted", "previous", "next", "page-change".
std::string asStringForServer(BLQFeedResult result);

// The server word of a result, for callers of the older layer.
class BLQFeedResultUtils {
public:
    static std::string convertEnumToServerString(BLQFeedResult result);
};

}  // namespace brindlecue
