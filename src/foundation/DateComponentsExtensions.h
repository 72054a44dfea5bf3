#pragma once

#include <optional>
#include <string_view>

#include "platform/DateComponents.h"

namespace brindlecue {

// ISO-8601 durations ("P1Y2M10DT2H30M", "P2W") as date components. A fraction is carried down one
// unit at a time (years into months, days into hours, hours into minutes, minutes into seconds);
// a week count gives days only. Throws DurationParsingError: invalidFormat for a text that does
// not begin with "P" or holds a value that is not a finite number fitting in 64 bits,
// unsupportedFractionsForMonth for a month count with a fraction.
platform::DateComponents from8601String(std::string_view text);
// The same; none on any error.
std::optional<platform::DateComponents> durationFrom8601String(std::string_view text);

}  // namespace brindlecue

namespace brindlecue::platform {

// Field-wise sum and difference of second, minute, hour, day, week of year, month and year; a
// field missing on one side counts as 0, missing on both stays missing. Results that do not fit
// in 64 bits saturate.
DateComponents operator+(const DateComponents& lhs, const DateComponents& rhs);
DateComponents operator-(const DateComponents& lhs, const DateComponents& rhs);

}  // namespace brindlecue::platform
