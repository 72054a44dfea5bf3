#pragma once

#include <cstdint>
#include <string>

#include "platform/Date.h"

namespace brindlecue {

// The date as the shared ISO-8601 formatter with fractional seconds writes it:
// 2024-01-31T10:00:00.000Z.
std::string toISO8601String(platform::Date date);

// The offset from GMT of the default time zone at the date, in whole hours truncated toward zero
// (+05:30 gives 5), and the same times ten (+10:00 gives 100, -05:00 gives -50).
int64_t getTimezoneOffsetInHours(platform::Date date);
int64_t getTimeZoneOffsetInMilitaryHours(platform::Date date);

// True when the two dates are at least the given minutes apart, in either direction. Both names
// make the same test.
bool isAtLeastXMinutesOlder(platform::Date date, int64_t minutes, platform::Date than);
bool isAtLeastXMinutesNewer(platform::Date date, int64_t minutes, platform::Date than);
// The same against now.
bool isAtLeastXMinutesOld(platform::Date date, int64_t minutes);
bool isAtLeastXMinutesInTheFuture(platform::Date date, int64_t minutes);
// True when the date is at most the given seconds away from now, in either direction.
bool isWithinTheLastXSeconds(platform::Date date, double seconds);

}  // namespace brindlecue
