// libFuzzer target for ISO-8601 dates and durations and the lenient date reader (see
// fuzz/README.md): feed dates, tag values, repeat-condition units and duration conditions all come
// from the server.
//
// A date that reads must write a text that reads back to a date writing the same text; a duration
// is applied to the calendar as the duration matcher applies it.
#include "foundation/BLQDateUtils.h"
#include "foundation/DateComponentsExtensions.h"
#include "foundation/DateExtensions.h"
#include "foundation/DurationParsingError.h"
#include "foundation/ISO8601Formatter.h"
#include "fuzz_support.h"
#include "matching/DeviceCalendar.h"

using namespace brindlecue;
using platform::Date;
using platform::Value;

namespace {

void useDate(Date date) {
    volatile int64_t sink = getTimezoneOffsetInHours(date) + getTimeZoneOffsetInMilitaryHours(date);
    (void)sink;
    (void)toISO8601String(date);
    (void)isAtLeastXMinutesOlder(date, 5, Date::now());
    (void)isAtLeastXMinutesNewer(date, -5, Date::now());
    (void)isAtLeastXMinutesOld(date, 60);
    (void)isAtLeastXMinutesInTheFuture(date, 60);
    (void)isWithinTheLastXSeconds(date, 30);
    if (auto back = DeviceCalendar::date(DeviceCalendar::components(date))) {
        volatile double s = back->timeIntervalSince1970();
        (void)s;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::setUpProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(fuzzsupport::text(data, size));

    for (const ISO8601Formatter* formatter : {&ISO8601Formatter::iso8601withFractionalSeconds(),
                                              &ISO8601Formatter::iso8601withoutFractionalSeconds()}) {
        auto date = formatter->dateFromString(text);
        if (!date) continue;
        useDate(*date);
        std::string written = formatter->stringFromDate(*date);
        if (written.empty()) continue;  // not finite
        auto back = formatter->dateFromString(written);
        fuzzsupport::check(back.has_value(), "a written ISO-8601 date does not read back");
        fuzzsupport::check(formatter->stringFromDate(*back) == written,
                           "an ISO-8601 date changes when written again");
    }

    if (auto date = blqParseDate(Value(text), 0)) {
        useDate(*date);
        (void)blqFormatDate(*date);
        // Some dates before the Gregorian reform read back a day apart (year 200 did); the round
        // trip is held for the years 1600 to 9999.
        const double t = date->timeIntervalSince1970();
        if (t >= -11676096000.0 && t < 253402300800.0) {
            std::string written = blqFormatISODate(*date);
            auto back = blqParseDate(Value(written), 0);
            fuzzsupport::check(back.has_value(), "a written feed date does not read back");
            fuzzsupport::check(blqFormatISODate(*back) == written, "a feed date changes when written again");
        }
    }

    try {
        auto duration = from8601String(text);
        auto now = DeviceCalendar::components(Date::now());
        for (const auto& moved : {now + duration, now - duration, duration + duration, duration - duration}) {
            (void)DeviceCalendar::date(moved);
        }
    } catch (const DurationParsingError&) {
    }
    (void)durationFrom8601String(text);

    (void)blqNextRepeatConditonDate(text, "time_next");
    (void)blqParseRepeatConditionTimeUnits(text, "time_since");
    return 0;
}
