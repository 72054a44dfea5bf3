#include "matching/BLQDurationFilterMatcher.h"

#include "foundation/DateComponentsExtensions.h"
#include "foundation/StringExtensions.h"
#include "matching/DeviceCalendar.h"

namespace brindlecue {

BLQDurationFilterMatcher::BLQDurationFilterMatcher(std::string type, std::string op, std::string value,
                                                   std::string tag, std::optional<std::string> units,
                                                   std::optional<std::string> timing)
    : BLQFilterMatcher(std::move(type), std::move(op), std::move(value), std::move(tag), std::move(units),
                       std::move(timing)),
      currentDate(platform::Date::now()) {}

std::shared_ptr<BLQDurationFilterMatcher> BLQDurationFilterMatcher::fromDocument(
    const BLQConditionDocument& d) {
    return std::make_shared<BLQDurationFilterMatcher>(d.type, d.op, d.value, d.tag, d.units, d.timing);
}

std::optional<platform::Date> BLQDurationFilterMatcher::referenceDate() const {
    auto duration = durationFrom8601String(value);
    if (!duration) return std::nullopt;
    platform::DateComponents now = DeviceCalendar::components(currentDate);
    return DeviceCalendar::date(isNegativeDuration ? now - *duration : now + *duration);
}

bool BLQDurationFilterMatcher::performMatch(const BLQTagDTO& tagRecord) {
    if (value.starts_with("-")) {
        isNegativeDuration = true;
        value.erase(0, 1);
    }
    if (op != "lt" && op != "lte" && op != "gt" && op != "gte") return false;
    auto date = toDate(tagRecord.value);
    if (!date) return false;
    auto reference = referenceDate();
    if (!reference) return false;
    return compareByOp(op, *date, *reference).value_or(false);
}

}  // namespace brindlecue
