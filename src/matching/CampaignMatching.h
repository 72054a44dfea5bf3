#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "matching/DeviceCalendar.h"

namespace brindlecue {

class KJDBManager;
class KJFeedConditions;

// The repeat-condition types, by their words.
enum class QXRepeatConditionsType {
    seen_count,       // "seen_count"
    after_delay,      // "after_delay"
    time_next,        // "time_next"
    time_weekday,     // "time_weekday"
    after_sessions,   // "after_sessions"
    never_type,       // "never"
    always_type,      // "always"
    page_seen_count,  // "page_seen_count"
};
std::optional<QXRepeatConditionsType> QXRepeatConditionsTypeFromText(const std::string& word);

// Decides from a campaign's repeat (or deletion) conditions alone whether it may show now. Reads
// the records and never changes them; their current values (a show count, or the date from which
// the campaign may show again) are kept by the tip engine. Stateless; any thread.
//
// Counters and values are read as the platform reads an integer from text (leading blanks, a
// sign, the leading digits; no digits is 0). Stored dates are read with the pattern
// "yyyy-MM-dd'T'HH:mm:ss.SSS" in the device's time zone. Whatever cannot be read fails its record.
class CampaignMatching {
public:
    struct TimeUnits {
        std::optional<int64_t> count;
        std::optional<DeviceCalendar::Field> field;
    };

    static CampaignMatching& sharedInstance();
    // Lets the campaign cache ask this evaluation of a campaign's deletion conditions.
    static void registerWithCampaignCache(KJDBManager& cache);

    // True when the list is not empty and every record passes its type test.
    bool evaluate(const std::vector<std::shared_ptr<KJFeedConditions>>& conditions) const;
    // "always" passes, "never" until the first show, "after_delay" and "time_next" once now is
    // later than the stored date; every other type word (the empty one too) by its op word.
    bool evaluateType(const KJFeedConditions& condition) const;
    // "less_than", "greater_than_equal" and "equal" of the counter against the value; any other op
    // fails.
    bool evaluateOperators(const KJFeedConditions& condition) const;
    bool evaluateLessThan(const KJFeedConditions& condition) const;
    bool greater_than_equal(const KJFeedConditions& condition) const;
    // The counter equals one of value_array's whole numbers or, when it holds none, the value.
    bool equal(const KJFeedConditions& condition) const;
    bool check_value_array_conditions(const KJFeedConditions& condition) const;
    bool evaluateNever(const KJFeedConditions& condition) const;
    bool evaluateTimeNext(const KJFeedConditions& condition) const;
    // The stored date is already the moment the delay ends (it was computed with the delay when the
    // campaign was received or last shown), so the delay is not added again.
    bool evaluateAfterDelay(const KJFeedConditions& condition) const;

    // Tests that no matching path uses: a second type dispatch ("seen_count" by
    // greater_than_equal, "page_seen_count" by the value list, the time types, "never" and
    // "always" as evaluateType, every other type false), after_sessions (always false), counter
    // greater than value, and whether the type is "page_seen_count".
    bool evaluateEventType(const KJFeedConditions& condition) const;
    bool evaluateAfterSessions(const KJFeedConditions& condition) const;
    bool greater_than(const KJFeedConditions& condition) const;
    bool check_for_page_seen_count(const KJFeedConditions& condition) const;

    // "" gives neither; one letter gives count 1 and its field; a longer text the field of its
    // last letter and the count of the rest as a whole signed decimal (0 when it is not one).
    // Letters: s, m, h, d, w (weekday: moves by days), M, Y; any other gives no field.
    static TimeUnits parseRCTimeUnits(const std::string& timeUnit);

private:
    CampaignMatching() = default;
    bool storedDateHasPassed(const KJFeedConditions& condition) const;
};

}  // namespace brindlecue
