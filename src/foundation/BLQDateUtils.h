#pragma once

// The older layer's date helpers: formatters, lenient date reading, repeat-condition dates, and
// the disabled-until switches kept in the user defaults.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Date.h"
#include "platform/DateFormatter.h"
#include "platform/Value.h"

namespace brindlecue {

// A fresh formatter; a missing argument takes "yyyy-MM-dd HH:mm:ss", "UTC" or "en_US".
std::unique_ptr<platform::DateFormatter> blqGetDateFormatter(
    const std::optional<std::string>& format = std::nullopt,
    const std::optional<std::string>& timeZone = std::nullopt,
    const std::optional<std::string>& locale = std::nullopt);
// "2024-03-05 14:07:09", in UTC.
std::string blqFormatDate(platform::Date date);
// "2024-03-05T14:07:09.000+0000".
std::string blqFormatISODate(platform::Date date);
// Reads a date text with the default format, then the fallback formats in order; formats without
// a zone read the text as UTC. Non-text, empty text, null or an unreadable text give none. The
// offset (seconds) is added to a date that was read. Parses one at a time, process-wide.
std::optional<platform::Date> blqParseDate(const platform::Value& value, int32_t offset = 0);

// The text of the future moment a repeat condition waits for: a count and a unit letter
// (s, m, h, d, w, M, Y; a bare letter counts 1) added to now in the device's time zone. In mode
// "time_next" the smaller fields are truncated (seconds, minutes and hours to 0; day and month
// to 1). Written "%ld-%ld-%ldT%ld:%ld:%ld.000"; for "w" the Monday of that week, written
// "yyyy-MM-dd'T'HH:mm:ss.SSS".
std::string blqNextRepeatConditonDate(const std::string& unit, const std::string& mode);
std::string blqParseRepeatConditionTimeUnits(const std::string& unit, const std::string& mode);

// Stores under the key the moment now plus the seconds (as seconds since the reference date), or
// the integer -1 for seconds -1.
void blqSaveToUserDefaults(const std::string& key, int32_t seconds);
// The value (or, when it is absent, the user-defaults entry under the key) read as a
// disabled-until moment: not a number, 0 or a moment that has passed is enabled.
bool isFeatureEnabled(const std::string& key, const platform::Value& value = platform::Value());

}  // namespace brindlecue
