#pragma once

#include <cstdint>
#include <optional>

#include "platform/Date.h"
#include "platform/DateComponents.h"

namespace brindlecue {

// Calendar arithmetic in the device's current calendar (Gregorian) and time zone.
class DeviceCalendar {
public:
    enum class Field { second, minute, hour, day, weekday, month, year };

    // Year, month, day, hour, minute and second of the date; fractions of a second are dropped.
    static platform::DateComponents components(platform::Date date);
    // The date of the fields (missing ones count as the first month, the first day or 0); values
    // out of their range carry into larger fields. None when a field does not fit the calendar.
    static std::optional<platform::Date> date(const platform::DateComponents& components);
    // The date moved by the amount of the field, larger fields carrying; adding to the weekday
    // moves by days. None when the amount does not fit the calendar.
    static std::optional<platform::Date> adding(Field field, int64_t amount, platform::Date date);
};

}  // namespace brindlecue
