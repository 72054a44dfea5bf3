#include "foundation/BLQDateUtils.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unicode/timezone.h>

#include "platform/CaptureLogSink.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/Clock.h"

namespace brindlecue {
namespace {

using platform::Clock;
using platform::Date;
using platform::Value;

// 2024-06-15 13:45:30 UTC, a Saturday.
constexpr double kSaturday = 1718459130.0;

Date utc(const char* text) {
    auto d = blqGetDateFormatter()->dateFromString(text);
    EXPECT_TRUE(d) << text;
    return d.value_or(Date());
}

void useDeviceZone(const char* zone) {
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zone)));
}

TEST(BLQDateUtils, FormatsInUtc) {
    Date d = Date::fromTimeIntervalSince1970(1709647629.0);
    EXPECT_EQ(blqFormatDate(d), "2024-03-05 14:07:09");
    EXPECT_EQ(blqFormatISODate(d.addingTimeInterval(0.25)), "2024-03-05T14:07:09.250+0000");
    EXPECT_EQ(blqGetDateFormatter("HH:mm", "Asia/Tokyo", std::nullopt)->stringFromDate(d), "23:07");
}

TEST(BLQDateUtils, ParsesEveryListedFormat) {
    struct Case {
        const char* text;
        const char* expected;  // UTC, "yyyy-MM-dd HH:mm:ss"
    } cases[] = {
        {"2024-01-31 10:00:00", "2024-01-31 10:00:00"},
        {"2024-01-31T10:00:00.250", "2024-01-31 10:00:00"},
        {"2024-01-31T10:00:00+0200", "2024-01-31 08:00:00"},
        {"2024-01-31T10:00:00.500-0100", "2024-01-31 11:00:00"},
        {"2024-01-31T10:00:00", "2024-01-31 10:00:00"},
        {"2024-01-31", "2024-01-31 00:00:00"},
        {"31/01/2024 10:00:00", "2024-01-31 10:00:00"},
        {"31/01/2024", "2024-01-31 00:00:00"},
        {"01/02/2024", "2024-02-01 00:00:00"},
        {"12/31/2024 23:59:59", "2024-12-31 23:59:59"},
        {"12/31/2024", "2024-12-31 00:00:00"},
    };
    for (const Case& c : cases) {
        auto d = blqParseDate(Value(c.text));
        ASSERT_TRUE(d) << c.text;
        EXPECT_EQ(blqFormatDate(*d), c.expected) << c.text;
    }
    EXPECT_EQ(blqParseDate(Value("2024-01-31T10:00:00.250"))->timeIntervalSince1970(),
              utc("2024-01-31 10:00:00").timeIntervalSince1970() + 0.25);
    EXPECT_EQ(*blqParseDate(Value("2024-01-31"), 3600), utc("2024-01-31 01:00:00"));
}

// A date read from whole milliseconds writes those milliseconds, and what it writes reads back to
// the same text: the seconds of "59.99" times 1,000 fall a hair below 59,990 ms.
TEST(BLQDateUtils, AWrittenDateReadsBackToTheSameText) {
    auto date = blqParseDate(Value("2038-02-28T23:59:59.99+05:30"));
    ASSERT_TRUE(date);
    EXPECT_EQ(blqFormatISODate(*date), "2038-02-28T18:29:59.990+0000");
    for (const char* text : {"2038-02-28T18:29:59.990+0000", "2024-01-31T10:00:00.001+0000",
                             "1969-12-31T23:59:59.999+0000", "2999-07-04T12:34:56.123+0000"}) {
        auto read = blqParseDate(Value(text));
        ASSERT_TRUE(read) << text;
        EXPECT_EQ(blqFormatISODate(*read), text);
    }
}

TEST(BLQDateUtils, MillisecondTimeStampsReadAsTheirFormatReadsThem) {
    auto formatter = blqGetDateFormatter(std::string("yyyy-MM-dd'T'HH:mm:ss.SSSZ"));
    for (const char* text : {"2024-01-31T10:00:00.250Z", "2024-02-29T23:59:59.999+0530",
                             "1969-07-20T20:17:40.123-0800", "2000-03-01T00:00:00.007-08:00"}) {
        auto date = blqParseDate(Value(text));
        ASSERT_TRUE(date) << text;
        EXPECT_EQ(date, formatter->dateFromString(text)) << text;
    }
    for (const char* text : {"2023-02-29T00:00:00.000Z", "2024-01-31T24:00:00.000Z", "2024-01-31T10:00:00.250+2400"}) {
        EXPECT_FALSE(blqParseDate(Value(text))) << text;
    }
    EXPECT_EQ(blqParseDate(Value("2024-01-31T10:00:00.000Z"), 60), utc("2024-01-31 10:01:00"));
}

TEST(BLQDateUtils, MalformedDatesGiveNothing) {
    for (const char* text :
         {"tomorrow", "2024-13-01", "2024-02-30", "31/13/2024", "2024-01-31 10:00:00 junk", ""}) {
        EXPECT_EQ(blqParseDate(Value(text)), std::nullopt) << text;
        EXPECT_EQ(blqParseDate(Value(text), 3600), std::nullopt) << text;
    }
    EXPECT_EQ(blqParseDate(Value::null()), std::nullopt);
    EXPECT_EQ(blqParseDate(Value(1704067200)), std::nullopt);
    EXPECT_EQ(blqParseDate(Value()), std::nullopt);
}

TEST(BLQDateUtils, AFractionOfManyDigitsIsNoDate) {
    // Found by fuzzing: a feed date with a long fraction of a second stopped the process.
    EXPECT_EQ(blqParseDate(
                  Value("2024-02-29T23:59:59.99232222222222222222222222222222222222222222222222222222222222"
                        "222222")),
              std::nullopt);
    EXPECT_EQ(blqParseDate(Value("2030-01-01T00:00:00.0888888888888888888888888888888888888800Z")),
              std::nullopt);
    // Up to 32 digits the fraction reads as before.
    EXPECT_EQ(blqParseDate(Value("2024-01-31T10:00:00.123456789Z")),
              blqParseDate(Value("2024-01-31T10:00:00.123Z")));
}

class RepeatConditionDates : public testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual(kSaturday);
        useDeviceZone("UTC");
    }
    void TearDown() override { Clock::useReal(); }
};

TEST_F(RepeatConditionDates, AddsTheUnitToNow) {
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("3d", "after_delay"), "2024-6-18T13:45:30.000");
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("90s", "after_delay"), "2024-6-15T13:47:0.000");
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("2m", ""), "2024-6-15T13:47:30.000");
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("1Y", ""), "2025-6-15T13:45:30.000");
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("M", ""), "2024-7-15T13:45:30.000");
    // An unknown unit, or no digits before it, adds nothing.
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("5x", ""), "2024-6-15T13:45:30.000");
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("d", ""), blqNextRepeatConditonDate("1d", ""));
}

TEST_F(RepeatConditionDates, CountsBeyondTheCalendarsRangeAreHeldToIt) {
    // Found by fuzzing: a count of weeks that overflowed when made days.
    const std::string weeks = blqParseRepeatConditionTimeUnits("9999999999999999999999w", "time_next");
    EXPECT_FALSE(weeks.empty());
    EXPECT_EQ(weeks, blqParseRepeatConditionTimeUnits("2147483647w", "time_next"));
    EXPECT_EQ(weeks, blqParseRepeatConditionTimeUnits("306783379w", "time_next"));
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("-9999999999999999999999d", ""),
              blqParseRepeatConditionTimeUnits("-2147483648d", ""));
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("9999999999999999999999s", ""),
              blqParseRepeatConditionTimeUnits("2147483647s", ""));
}

TEST_F(RepeatConditionDates, TimeNextTruncatesToTheStartOfTheUnit) {
    platform::CaptureLogSink capture;
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("h", "time_next"), "2024-6-15T14:0:0.000");
    EXPECT_THAT(capture.messages(), testing::ElementsAre(" C == h Next== 2024-6-15T14:0:0.000"));
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("m", "time_next"), "2024-6-15T13:46:0.000");
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("2d", "time_next"), "2024-6-17T0:0:0.000");
    // A truncated day or month is the first, so the text reads back as a real date.
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("1M", "time_next"), "2024-7-1T0:0:0.000");
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("Y", "time_next"), "2025-1-1T0:0:0.000");
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("30s", "time_next"), "2024-6-15T13:46:0.000");
    auto back = blqParseDate(Value(blqParseRepeatConditionTimeUnits("1M", "time_next")));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, utc("2024-07-01 00:00:00"));
}

TEST_F(RepeatConditionDates, WeeksLandOnMonday) {
    platform::CaptureLogSink capture;
    // Saturday plus a week is Saturday the 22nd; its Monday is the 17th.
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("w", "time_next"), "2024-06-17T13:45:30.000");
    EXPECT_THAT(capture.messages(), testing::ElementsAre("Before Date == 2024-06-22 13:45:30 +0000",
                                                         " C == w Next== 2024-06-17T13:45:30.000"));
}

TEST_F(RepeatConditionDates, UseTheDeviceTimeZone) {
    useDeviceZone("Asia/Tokyo");  // 22:45:30 local
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("d", "time_next"), "2024-6-16T0:0:0.000");
    EXPECT_EQ(blqParseRepeatConditionTimeUnits("1h", ""), "2024-6-15T23:45:30.000");
}

TEST(BLQDateUtilsSwitches, DisabledUntilAMomentThenEnabled) {
    Clock::useVirtual(kSaturday);
    blqSaveToUserDefaults("feature.off", 60);
    EXPECT_DOUBLE_EQ(platform::UserDefaults::standard().double_("feature.off"),
                     Date::fromTimeIntervalSince1970(kSaturday + 60).timeIntervalSinceReferenceDate());
    EXPECT_FALSE(isFeatureEnabled("feature.off"));
    Clock::advance(59);
    EXPECT_FALSE(isFeatureEnabled("feature.off"));
    Clock::advance(1);
    EXPECT_TRUE(isFeatureEnabled("feature.off"));

    blqSaveToUserDefaults("feature.forever", -1);
    EXPECT_EQ(platform::UserDefaults::standard().object("feature.forever"), Value(-1));
    EXPECT_TRUE(isFeatureEnabled("feature.forever"));

    EXPECT_TRUE(isFeatureEnabled("missing"));
    EXPECT_TRUE(isFeatureEnabled("feature.off", Value("later")));
    EXPECT_TRUE(isFeatureEnabled("feature.off", Value(0)));
    EXPECT_FALSE(isFeatureEnabled("x", Value(Date::now().timeIntervalSinceReferenceDate() + 1)));
    Clock::useReal();
}

}  // namespace
}  // namespace brindlecue
