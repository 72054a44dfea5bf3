#include "foundation/DateExtensions.h"

#include <unicode/timezone.h>

#include <cmath>
#include <memory>

#include "foundation/ISO8601Formatter.h"

namespace brindlecue {

std::string toISO8601String(platform::Date date) {
    return ISO8601Formatter::iso8601withFractionalSeconds().stringFromDate(date);
}

int64_t getTimezoneOffsetInHours(platform::Date date) {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
    UErrorCode status = U_ZERO_ERROR;
    int32_t raw = 0, dst = 0;
    zone->getOffset(date.timeIntervalSince1970() * 1000.0, false, raw, dst, status);
    if (U_FAILURE(status)) return 0;
    int64_t seconds = (static_cast<int64_t>(raw) + dst) / 1000;
    return seconds / 3600;
}

int64_t getTimeZoneOffsetInMilitaryHours(platform::Date date) {
    return getTimezoneOffsetInHours(date) * 10;
}

namespace {

bool minutesApart(platform::Date a, platform::Date b, int64_t minutes) {
    // In doubles, so that no product of minutes overflows.
    return std::fabs(a.timeIntervalSince(b)) >= static_cast<double>(minutes) * 60.0;
}

}  // namespace

bool isAtLeastXMinutesOlder(platform::Date date, int64_t minutes, platform::Date than) {
    return minutesApart(date, than, minutes);
}

bool isAtLeastXMinutesNewer(platform::Date date, int64_t minutes, platform::Date than) {
    return minutesApart(date, than, minutes);
}

bool isAtLeastXMinutesOld(platform::Date date, int64_t minutes) {
    return minutesApart(date, platform::Date::now(), minutes);
}

bool isAtLeastXMinutesInTheFuture(platform::Date date, int64_t minutes) {
    return minutesApart(date, platform::Date::now(), minutes);
}

bool isWithinTheLastXSeconds(platform::Date date, double seconds) {
    return std::fabs(date.timeIntervalSinceNow()) <= seconds;
}

}  // namespace brindlecue
