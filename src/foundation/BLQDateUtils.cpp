#include "foundation/BLQDateUtils.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

#include <unicode/calendar.h>
#include <unicode/gregocal.h>
#include <unicode/timezone.h>

#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/DispatchSemaphore.h"

namespace brindlecue {

using platform::Date;
using platform::Value;

namespace {

constexpr const char* kDefaultFormat = "yyyy-MM-dd HH:mm:ss";
constexpr const char* kDefaultTimeZone = "UTC";
constexpr const char* kDefaultLocale = "en_US";

constexpr std::array<const char*, 9> kFallbackFormats = {
    "yyyy-MM-dd'T'HH:mm:ss.SSS",
    "yyyy-MM-dd'T'HH:mm:ssZ",
    "yyyy-MM-dd'T'HH:mm:ss.SSSZ",
    "yyyy-MM-dd'T'HH:mm:ss",
    "yyyy-MM-dd",
    "dd/MM/yyyy HH:mm:ss",
    "dd/MM/yyyy",
    "MM/dd/yyyy HH:mm:ss",
    "MM/dd/yyyy",
};

const platform::SystemLog& systemLog() {
    static const platform::SystemLog log("com.brindlecue", "BrindlecueSDK");
    return log;
}

platform::DispatchSemaphore& dateParseLock() {
    // Lives for the process: parsing may run on worker threads while the process exits.
    static auto* lock = new platform::DispatchSemaphore(1);
    return *lock;
}

}  // namespace

namespace {

// The formatters of the default format and of each fallback format, in order, made once (a
// formatter is costly to make) and used only under the parse lock.
const std::vector<std::unique_ptr<platform::DateFormatter>>& parseFormatters() {
    static const auto* formatters = [] {
        auto* list = new std::vector<std::unique_ptr<platform::DateFormatter>>();
        list->push_back(blqGetDateFormatter());
        for (const char* format : kFallbackFormats) list->push_back(blqGetDateFormatter(std::string(format)));
        return list;
    }();
    return *formatters;
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool readDigits(const std::string& text, size_t at, size_t count, int64_t& out) {
    out = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

// The servers' usual form, "2024-01-31T10:00:00.250" followed by "Z", "+hhmm" or "+hh:mm", read
// without the formatters: only the format "yyyy-MM-dd'T'HH:mm:ss.SSSZ" reads such a text, and it
// gives this moment. Anything else (other shapes, out-of-range fields) is left to the formatters.
std::optional<Date> readMillisecondTimeStamp(const std::string& text) {
    const size_t n = text.size();
    if (n != 24 && n != 28 && n != 29) return std::nullopt;
    if (text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':' ||
        text[19] != '.')
        return std::nullopt;
    int64_t year, month, day, hour, minute, second, millis;
    if (!readDigits(text, 0, 4, year) || !readDigits(text, 5, 2, month) || !readDigits(text, 8, 2, day) ||
        !readDigits(text, 11, 2, hour) || !readDigits(text, 14, 2, minute) || !readDigits(text, 17, 2, second) ||
        !readDigits(text, 20, 3, millis))
        return std::nullopt;
    int64_t offsetMinutes = 0;
    if (n == 24) {
        if (text[23] != 'Z') return std::nullopt;
    } else {
        const char sign = text[23];
        int64_t offsetHours, offsetMins;
        const bool extended = n == 29;
        if ((sign != '+' && sign != '-') || (extended && text[26] != ':') || !readDigits(text, 24, 2, offsetHours) ||
            !readDigits(text, extended ? 27 : 26, 2, offsetMins) || offsetHours > 23 || offsetMins > 59)
            return std::nullopt;
        offsetMinutes = (sign == '-' ? -1 : 1) * (offsetHours * 60 + offsetMins);
    }
    static constexpr int64_t kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1 || month < 1 || month > 12 || day < 1 ||
        day > kMonthDays[month - 1] + (month == 2 && leap ? 1 : 0) || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const int64_t seconds = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
                            offsetMinutes * 60;
    // As the formatter reckons: whole milliseconds, then seconds.
    return Date::fromTimeIntervalSince1970(static_cast<double>(seconds * 1000 + millis) / 1000.0);
}

}  // namespace

std::unique_ptr<platform::DateFormatter> blqGetDateFormatter(const std::optional<std::string>& format,
                                                             const std::optional<std::string>& timeZone,
                                                             const std::optional<std::string>& locale) {
    auto f = std::make_unique<platform::DateFormatter>();
    f->setLocale(locale.value_or(kDefaultLocale));
    f->setTimeZone(timeZone.value_or(kDefaultTimeZone));
    f->setDateFormat(format.value_or(kDefaultFormat));
    return f;
}

std::string blqFormatDate(Date date) {
    return blqGetDateFormatter()->stringFromDate(date);
}

std::string blqFormatISODate(Date date) {
    return blqGetDateFormatter("yyyy-MM-dd'T'HH:mm:ss.SSSZ", "UTC", "en_US")->stringFromDate(date);
}

std::optional<Date> blqParseDate(const Value& value, int32_t offset) {
    const std::string* text = value.getString();
    if (text == nullptr || text->empty()) return std::nullopt;

    std::optional<Date> date = readMillisecondTimeStamp(*text);
    if (date) return offset != 0 ? date->addingTimeInterval(offset) : date;
    dateParseLock().wait();
    for (const auto& formatter : parseFormatters()) {
        date = formatter->dateFromString(*text);
        if (date) break;
    }
    dateParseLock().signal();

    if (date && offset != 0) date = date->addingTimeInterval(offset);
    return date;
}

std::string blqNextRepeatConditonDate(const std::string& unit, const std::string& mode) {
    return blqParseRepeatConditionTimeUnits(unit, mode);
}

std::string blqParseRepeatConditionTimeUnits(const std::string& unitText, const std::string& mode) {
    std::string text = unitText.size() == 1 ? "1" + unitText : unitText;
    char unit = text.empty() ? '\0' : text.back();
    // The integer value of the leading digits (with an optional sign) of what precedes the unit,
    // held to the 32-bit range the calendar adds in (a week's days are reckoned in 64 bits).
    long count = text.empty() ? 0 : std::strtol(text.substr(0, text.size() - 1).c_str(), nullptr, 10);
    count = std::clamp<long>(count, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());

    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar calendar(icu::TimeZone::createDefault(), icu::Locale("en_US"), status);
    calendar.setTime(Date::now().timeIntervalSince1970() * 1000.0, status);
    auto add = [&](UCalendarDateFields field, long amount) {
        amount = std::clamp<long>(amount, std::numeric_limits<int32_t>::min(),
                                  std::numeric_limits<int32_t>::max());
        calendar.add(field, static_cast<int32_t>(amount), status);
    };
    switch (unit) {
        case 's':
            add(UCAL_SECOND, count);
            break;
        case 'm':
            add(UCAL_MINUTE, count);
            break;
        case 'h':
            add(UCAL_HOUR_OF_DAY, count);
            break;
        case 'd':
            add(UCAL_DATE, count);
            break;
        case 'w':
            add(UCAL_DATE, count * 7);
            break;
        case 'M':
            add(UCAL_MONTH, count);
            break;
        case 'Y':
            add(UCAL_YEAR, count);
            break;
        default:
            break;
    }
    long year = calendar.get(UCAL_YEAR, status);
    long month = calendar.get(UCAL_MONTH, status) + 1;
    long day = calendar.get(UCAL_DATE, status);
    long hour = calendar.get(UCAL_HOUR_OF_DAY, status);
    long minute = calendar.get(UCAL_MINUTE, status);
    long second = calendar.get(UCAL_SECOND, status);
    long weekday = calendar.get(UCAL_DAY_OF_WEEK, status);  // 1 is Sunday
    Date moment = Date::fromTimeIntervalSince1970(calendar.getTime(status) / 1000.0);

    if (mode == "time_next") {
        // A truncated day or month is the first one, never the non-existent 0.
        switch (unit) {
            case 'Y':
                month = 1;
                [[fallthrough]];
            case 'M':
                day = 1;
                [[fallthrough]];
            case 'd':
                hour = 0;
                [[fallthrough]];
            case 'h':
                minute = 0;
                [[fallthrough]];
            case 'm':
                second = 0;
                break;
            default:
                break;
        }
    }

    std::string result;
    if (unit == 'w') {
        systemLog().log(platform::LogType::Default, "Before Date == " + moment.description());
        Date monday = moment.addingTimeInterval(static_cast<double>(2 - weekday) * 86400.0);
        result = blqGetDateFormatter("yyyy-MM-dd'T'HH:mm:ss.SSS", "", "en_US")->stringFromDate(monday);
    } else {
        result = std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day) + "T" +
                 std::to_string(hour) + ":" + std::to_string(minute) + ":" + std::to_string(second) + ".000";
    }
    systemLog().log(platform::LogType::Default,
                    " C == " + (text.empty() ? std::string() : std::string(1, unit)) + " Next== " + result);
    return result;
}

void blqSaveToUserDefaults(const std::string& key, int32_t seconds) {
    auto& defaults = platform::UserDefaults::standard();
    if (seconds != -1) {
        defaults.set(key, Value(Date::now().timeIntervalSinceReferenceDate() + seconds));
    } else {
        defaults.set(key, Value(-1));
    }
    defaults.synchronize();
}

bool isFeatureEnabled(const std::string& key, const Value& value) {
    Value v = value.isAbsent() ? platform::UserDefaults::standard().object(key) : value;
    auto until = v.getNumber();
    if (!until || *until == 0) return true;
    return Date::now().timeIntervalSinceReferenceDate() >= *until;
}

}  // namespace brindlecue
