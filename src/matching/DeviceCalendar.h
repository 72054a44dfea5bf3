#pragma once

#include <optional>

#include "platform/Date.h"
#include "platform/DateComponents.h"

namespace brindlecue {

// Dates and their fields in the device's current calendar (Gregorian) and time zone.
class DeviceCalendar {
public:
    // The fields a repeat condition's time unit names.
    enum class Field { second, minute, hour, day, weekday, month, year };

    // Year, month, day, hour, minute and second of the date; fractions of a second are dropped.
    static platform::DateComponents components(platform::Date date);
    // The date of the fields (missing ones count as the first month, the first day or 0); values
    // out of their range carry into larger fields. None when a field does not fit the calendar.
    static std::optional<platform::Date> date(const platform::DateComponents& components);
};

}  // namespace brindlecue
