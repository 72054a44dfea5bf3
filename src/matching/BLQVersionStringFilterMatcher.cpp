#include "matching/BLQVersionStringFilterMatcher.h"

#include "matching/BLQSemanticVersionFactory.h"

namespace brindlecue {

std::shared_ptr<BLQVersionStringFilterMatcher> BLQVersionStringFilterMatcher::fromDocument(
    const BLQConditionDocument& d) {
    return std::make_shared<BLQVersionStringFilterMatcher>(d.type, d.op, d.value, d.tag, d.units, d.timing);
}

bool BLQVersionStringFilterMatcher::performMatch(const BLQTagDTO& tagRecord) {
    auto stored = BLQSemanticVersionFactory::create(tagRecord.value);
    if (!stored) {
        log("VersionMatcher: Stored tag value is not a valid semantic version, tagValue: " + tagRecord.value +
                ", tagKey: " + tagRecord.key,
            BLQLoggingLevel::warning);
        return false;
    }
    auto filter = BLQSemanticVersionFactory::create(value);
    if (!filter) {
        log("VersionMatcher: Filter value is not a valid semantic version, filterValue: " + value +
                ", filterKey: " + getTagKey(),
            BLQLoggingLevel::warning);
        return false;
    }
    return compareByOp(op, *stored, *filter).value_or(false);
}

}  // namespace brindlecue
