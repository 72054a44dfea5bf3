#include "platform/Date.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/dispatch/Clock.h"

namespace brindlecue::platform {

Date Date::now() {
    return Date::fromTimeIntervalSince1970(Clock::now());
}

double Date::timeIntervalSinceNow() const {
    return seconds_ - Clock::now();
}

double Date::millisecondsSince1970() const {
    const double microseconds = std::round(seconds_ * 1e6);
    // Beyond 2^53 microseconds (about 285 years from 1970) a double holds no finer value anyway.
    return std::isfinite(microseconds) ? microseconds / 1e3 : seconds_ * 1e3;
}

std::string Date::description() const {
    // Whole seconds, rounded down so that times before 1970 land in the right second. A time
    // beyond what the calendar counts (it may come from damaged data) has no description.
    const double whole = std::floor(seconds_);
    if (!std::isfinite(whole) || whole < -9.2e18 || whole > 9.2e18) return "(invalid date)";
    std::time_t t = static_cast<std::time_t>(whole);
    std::tm tm{};
    if (gmtime_r(&t, &tm) == nullptr) return "(invalid date)";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02d-%02d %02d:%02d:%02d +0000", tm.tm_year + 1900LL,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

}  // namespace brindlecue::platform
