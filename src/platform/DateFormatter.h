#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/Date.h"

namespace brindlecue::platform {

// The platform's date formatter: an ICU date pattern with a time zone and a locale. Parsing takes
// numbers with fewer digits than the pattern shows ("2024-7-1" for "yyyy-MM-dd"), but the whole
// text must match and every field must be in range. Not safe to share between threads.
class DateFormatter {
public:
    DateFormatter();
    ~DateFormatter();
    DateFormatter(const DateFormatter&) = delete;
    DateFormatter& operator=(const DateFormatter&) = delete;

    const std::string& dateFormat() const { return format_; }
    const std::string& timeZone() const { return timeZone_; }
    const std::string& locale() const { return locale_; }
    void setDateFormat(std::string pattern);
    // An ICU zone id ("UTC", "Europe/Paris"); the empty text stands for the device's zone.
    void setTimeZone(std::string zoneId);
    void setLocale(std::string localeId);

    std::string stringFromDate(Date date) const;
    // None for a text that does not read whole, and for one with a run of more than 32 digits
    // (no date field has that many; ICU would stop the process on a fraction that long).
    std::optional<Date> dateFromString(const std::string& text) const;

private:
    struct Impl;
    void rebuild();

    std::string format_;
    std::string timeZone_;
    std::string locale_ = "en_US_POSIX";
    std::unique_ptr<Impl> impl_;
};

}  // namespace brindlecue::platform
