#include "matching/DeviceCalendar.h"

#include <unicode/gregocal.h>
#include <unicode/timezone.h>

#include <cmath>
#include <limits>
#include <memory>

namespace brindlecue {

namespace {

std::unique_ptr<icu::GregorianCalendar> makeCalendar() {
    UErrorCode status = U_ZERO_ERROR;
    auto calendar = std::make_unique<icu::GregorianCalendar>(icu::TimeZone::createDefault(), status);
    if (U_FAILURE(status)) return nullptr;
    calendar->setLenient(true);
    return calendar;
}

bool fitsInt32(int64_t value) {
    return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

std::optional<platform::Date> timeOf(icu::Calendar& calendar) {
    UErrorCode status = U_ZERO_ERROR;
    UDate millis = calendar.getTime(status);
    if (U_FAILURE(status) || !std::isfinite(millis)) return std::nullopt;
    return platform::Date::fromTimeIntervalSince1970(millis / 1000.0);
}

}  // namespace

platform::DateComponents DeviceCalendar::components(platform::Date date) {
    platform::DateComponents out;
    auto calendar = makeCalendar();
    if (!calendar) return out;
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(date.millisecondsSince1970(), status);
    out.year = calendar->get(UCAL_EXTENDED_YEAR, status);
    out.month = calendar->get(UCAL_MONTH, status) + 1;
    out.day = calendar->get(UCAL_DATE, status);
    out.hour = calendar->get(UCAL_HOUR_OF_DAY, status);
    out.minute = calendar->get(UCAL_MINUTE, status);
    out.second = calendar->get(UCAL_SECOND, status);
    if (U_FAILURE(status)) return platform::DateComponents();
    return out;
}

std::optional<platform::Date> DeviceCalendar::date(const platform::DateComponents& c) {
    const int64_t year = c.year.value_or(1), month = c.month.value_or(1), day = c.day.value_or(1);
    const int64_t hour = c.hour.value_or(0), minute = c.minute.value_or(0), second = c.second.value_or(0);
    for (int64_t v : {year, month, day, hour, minute, second})
        if (!fitsInt32(v) || v == std::numeric_limits<int32_t>::min()) return std::nullopt;
    auto calendar = makeCalendar();
    if (!calendar) return std::nullopt;
    calendar->clear();
    calendar->set(UCAL_EXTENDED_YEAR, static_cast<int32_t>(year));
    calendar->set(UCAL_MONTH, static_cast<int32_t>(month - 1));
    calendar->set(UCAL_DATE, static_cast<int32_t>(day));
    calendar->set(UCAL_HOUR_OF_DAY, static_cast<int32_t>(hour));
    calendar->set(UCAL_MINUTE, static_cast<int32_t>(minute));
    calendar->set(UCAL_SECOND, static_cast<int32_t>(second));
    calendar->set(UCAL_MILLISECOND, 0);
    return timeOf(*calendar);
}

}  // namespace brindlecue
