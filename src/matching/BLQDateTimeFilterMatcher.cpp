#include "matching/BLQDateTimeFilterMatcher.h"

#include "foundation/StringExtensions.h"

namespace brindlecue {

std::shared_ptr<BLQDateTimeFilterMatcher> BLQDateTimeFilterMatcher::fromDocument(
    const BLQConditionDocument& d) {
    auto date = toDate(d.value);
    if (!date) return nullptr;
    return std::make_shared<BLQDateTimeFilterMatcher>(d.type, d.op, *date, d.tag, d.units, d.timing);
}

bool BLQDateTimeFilterMatcher::performMatch(const BLQTagDTO& tagRecord) {
    auto date = toDate(tagRecord.value);
    if (!date) return false;
    return compareByOp(op, *date, value).value_or(false);
}

}  // namespace brindlecue
