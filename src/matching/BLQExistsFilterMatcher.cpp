#include "matching/BLQExistsFilterMatcher.h"

namespace brindlecue {

std::shared_ptr<BLQExistsFilterMatcher> BLQExistsFilterMatcher::fromDocument(const BLQConditionDocument& d) {
    return std::make_shared<BLQExistsFilterMatcher>(d.type, d.op, d.value, d.tag, d.units, d.timing);
}

bool BLQExistsFilterMatcher::performMatch(const BLQTagDTO& tagRecord) {
    if (op != "exists") return false;
    if (value == "true") return !tagRecord.value.empty();
    if (value == "false") return tagRecord.value.empty();
    return false;
}

}  // namespace brindlecue
