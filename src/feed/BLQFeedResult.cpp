#include "feed/BLQFeedResult.h"

namespace brindlecue {

std::optional<BLQFeedResult> BLQFeedResultFromRawValue(int64_t raw) {
    if (raw < -1 || raw > 4) return std::nullopt;
    return static_cast<BLQFeedResult>(raw);
}

std::string asStringForServer(BLQFeedResult result) {
    switch (result) {
        case BLQFeedResult::rejected:
            return "rejected";
        case BLQFeedResult::postponed:
            return "postponed";
        case BLQFeedResult::accepted:
            return "accepted";
        case BLQFeedResult::previous:
            return "previous";
        case BLQFeedResult::next:
            return "next";
        case BLQFeedResult::pageChange:
            return "page-change";
    }
    return "accepted";
}

std::string BLQFeedResultUtils::convertEnumToServerString(BLQFeedResult result) {
    return asStringForServer(result);
}

}  // namespace brindlecue
