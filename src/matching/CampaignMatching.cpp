#include "matching/CampaignMatching.h"

#include <cmath>

#include "feed/KJFeedConditions.h"
#include "platform/DateFormatter.h"
#include "storage/KJDBManager.h"
#include "storage/TagStoreSupport.h"

namespace brindlecue {

namespace {

int64_t integerOf(const std::string& text) {
    return platform::Value(text).integerValue();
}

std::optional<platform::Date> storedDate(const std::string& text) {
    platform::DateFormatter formatter;
    formatter.setTimeZone("");
    formatter.setDateFormat("yyyy-MM-dd'T'HH:mm:ss.SSS");
    return formatter.dateFromString(text);
}

// The whole numbers of the list; other elements are left out.
std::vector<int64_t> wholeNumbers(const platform::Value& list) {
    std::vector<int64_t> numbers;
    const platform::Array* array = list.getArray();
    if (array == nullptr) return numbers;
    for (const auto& element : *array) {
        if (auto i = element.getInteger()) {
            numbers.push_back(*i);
        } else if (element.isReal()) {
            double d = *element.getNumber();
            if (std::isfinite(d) && std::trunc(d) == d && std::fabs(d) < 9.2e18)
                numbers.push_back(static_cast<int64_t>(d));
        }
    }
    return numbers;
}

}  // namespace

std::optional<QXRepeatConditionsType> QXRepeatConditionsTypeFromText(const std::string& word) {
    using T = QXRepeatConditionsType;
    if (word == "seen_count") return T::seen_count;
    if (word == "after_delay") return T::after_delay;
    if (word == "time_next") return T::time_next;
    if (word == "time_weekday") return T::time_weekday;
    if (word == "after_sessions") return T::after_sessions;
    if (word == "never") return T::never_type;
    if (word == "always") return T::always_type;
    if (word == "page_seen_count") return T::page_seen_count;
    return std::nullopt;
}

CampaignMatching& CampaignMatching::sharedInstance() {
    static CampaignMatching* instance = new CampaignMatching();
    return *instance;
}

void CampaignMatching::registerWithCampaignCache(KJDBManager& cache) {
    cache.updateCollaborators([](KJDBManager::Collaborators& c) {
        c.evaluate = [](const KJDBManager::DeletionConditions& conditions) {
            return sharedInstance().evaluate(conditions);
        };
    });
}

bool CampaignMatching::evaluate(const std::vector<std::shared_ptr<KJFeedConditions>>& conditions) const {
    if (conditions.empty()) return false;
    bool all = true;
    for (const auto& condition : conditions) all = (condition && evaluateType(*condition)) && all;
    return all;
}

bool CampaignMatching::evaluateType(const KJFeedConditions& condition) const {
    switch (QXRepeatConditionsTypeFromText(condition.type).value_or(QXRepeatConditionsType::seen_count)) {
        case QXRepeatConditionsType::always_type:
            return true;
        case QXRepeatConditionsType::never_type:
            return evaluateNever(condition);
        case QXRepeatConditionsType::after_delay:
            return evaluateAfterDelay(condition);
        case QXRepeatConditionsType::time_next:
            return evaluateTimeNext(condition);
        default:
            return evaluateOperators(condition);
    }
}

bool CampaignMatching::evaluateOperators(const KJFeedConditions& condition) const {
    if (condition.op == "less_than") return evaluateLessThan(condition);
    if (condition.op == "greater_than_equal") return greater_than_equal(condition);
    if (condition.op == "equal") return equal(condition);
    return false;
}

bool CampaignMatching::evaluateLessThan(const KJFeedConditions& condition) const {
    return integerOf(condition.currentValue) < integerOf(condition.value);
}

bool CampaignMatching::greater_than_equal(const KJFeedConditions& condition) const {
    return integerOf(condition.currentValue) >= integerOf(condition.value);
}

bool CampaignMatching::greater_than(const KJFeedConditions& condition) const {
    return integerOf(condition.currentValue) > integerOf(condition.value);
}

bool CampaignMatching::equal(const KJFeedConditions& condition) const {
    if (!wholeNumbers(condition.value_array).empty()) return check_value_array_conditions(condition);
    return integerOf(condition.currentValue) == integerOf(condition.value);
}

bool CampaignMatching::check_value_array_conditions(const KJFeedConditions& condition) const {
    const int64_t count = integerOf(condition.currentValue);
    for (int64_t n : wholeNumbers(condition.value_array))
        if (n == count) return true;
    return false;
}

bool CampaignMatching::evaluateNever(const KJFeedConditions& condition) const {
    return integerOf(condition.currentValue) < 1;
}

bool CampaignMatching::storedDateHasPassed(const KJFeedConditions& condition) const {
    if (!parseRCTimeUnits(condition.value).field) return false;
    auto date = storedDate(condition.currentValue);
    return date && platform::Date::now() > *date;
}

bool CampaignMatching::evaluateTimeNext(const KJFeedConditions& condition) const {
    return storedDateHasPassed(condition);
}

bool CampaignMatching::evaluateAfterDelay(const KJFeedConditions& condition) const {
    return storedDateHasPassed(condition);
}

bool CampaignMatching::evaluateEventType(const KJFeedConditions& condition) const {
    auto type = QXRepeatConditionsTypeFromText(condition.type);
    if (!type) return false;
    switch (*type) {
        case QXRepeatConditionsType::seen_count:
            return greater_than_equal(condition);
        case QXRepeatConditionsType::page_seen_count:
            return check_value_array_conditions(condition);
        case QXRepeatConditionsType::after_delay:
        case QXRepeatConditionsType::time_next:
        case QXRepeatConditionsType::never_type:
        case QXRepeatConditionsType::always_type:
            return evaluateType(condition);
        default:
            return false;
    }
}

bool CampaignMatching::evaluateAfterSessions(const KJFeedConditions&) const {
    return false;
}

bool CampaignMatching::check_for_page_seen_count(const KJFeedConditions& condition) const {
    return condition.type == "page_seen_count";
}

CampaignMatching::TimeUnits CampaignMatching::parseRCTimeUnits(const std::string& timeUnit) {
    if (timeUnit.empty()) return {};
    TimeUnits out;
    using F = DeviceCalendar::Field;
    switch (timeUnit.back()) {
        case 's':
            out.field = F::second;
            break;
        case 'm':
            out.field = F::minute;
            break;
        case 'h':
            out.field = F::hour;
            break;
        case 'd':
            out.field = F::day;
            break;
        case 'w':
            out.field = F::weekday;
            break;
        case 'M':
            out.field = F::month;
            break;
        case 'Y':
            out.field = F::year;
            break;
        default:
            break;
    }
    out.count = timeUnit.size() == 1
                    ? 1
                    : tagstore::strictInteger(timeUnit.substr(0, timeUnit.size() - 1)).value_or(0);
    return out;
}

}  // namespace brindlecue
