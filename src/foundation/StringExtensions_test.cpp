#include "foundation/StringExtensions.h"

#include <gtest/gtest.h>
#include <unicode/timezone.h>

#include "foundation/DateExtensions.h"
#include "foundation/ISO8601Formatter.h"
#include "platform/dispatch/Clock.h"

namespace brindlecue {
namespace {

using platform::Date;

constexpr double k20240131T10 = 1706695200;  // 2024-01-31T10:00:00Z

void useTimeZone(const char* id) {
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(id));
}

TEST(ISO8601, WritesMillisecondsInGMTAndReadsBothForms) {
    EXPECT_EQ(toISO8601String(Date::fromTimeIntervalSince1970(k20240131T10)), "2024-01-31T10:00:00.000Z");
    EXPECT_EQ(toISO8601String(Date::fromTimeIntervalSince1970(k20240131T10 + 0.123)),
              "2024-01-31T10:00:00.123Z");
    EXPECT_EQ(toISO8601String(Date::fromTimeIntervalSince1970(-0.5)), "1969-12-31T23:59:59.500Z");

    EXPECT_EQ(toISO8601Date("2024-01-31T10:00:00.000Z"), Date::fromTimeIntervalSince1970(k20240131T10));
    EXPECT_EQ(toISO8601Date("2024-01-31T10:00:00Z"), Date::fromTimeIntervalSince1970(k20240131T10));
    EXPECT_EQ(toISO8601Date("2024-01-31T12:30:00.5+02:30"),
              Date::fromTimeIntervalSince1970(k20240131T10 + 0.5));
    auto written = toISO8601String(Date::fromTimeIntervalSince1970(k20240131T10 + 86400 * 29 + 0.75));
    EXPECT_EQ(toISO8601Date(written), Date::fromTimeIntervalSince1970(k20240131T10 + 86400 * 29 + 0.75));
}

TEST(ISO8601, MalformedTextsGiveNothing) {
    for (const char* text :
         {"", "2024", "2024-01-31T10:00:00", "2024-02-30T10:00:00Z", "2024-13-01T00:00:00Z",
          "2024-01-31T24:00:00Z", "2024-01-31T10:00:00.Z", "2024-01-31T10:00:00Zjunk", "2024-01-31 10:00:00Z",
          "2024-01-31T10:00:00+2:00", "abcd-ef-ghTij:kl:mnZ"}) {
        EXPECT_FALSE(toISO8601Date(text)) << text;
    }
    EXPECT_EQ(ISO8601Formatter::iso8601withoutFractionalSeconds().dateFromString("2024-01-31T10:00:00.000Z"),
              std::nullopt);
    EXPECT_EQ(ISO8601Formatter(true).stringFromDate(Date::fromTimeIntervalSince1970(1e300)), "");
}

TEST(ToDate, TriesEachReaderInOrder) {
    useTimeZone("America/New_York");
    EXPECT_EQ(toDate("86400"), Date::fromTimeIntervalSince1970(86400));
    EXPECT_EQ(toDate("2024-01-31T10:00:00"), Date::fromTimeIntervalSince1970(k20240131T10));
    EXPECT_EQ(toDate("2024-01-31"), Date::fromTimeIntervalSince1970(k20240131T10 - 10 * 3600));
    // Midnight in the device's time zone, five hours behind UTC in January.
    EXPECT_EQ(toDate("01/31/2024"), Date::fromTimeIntervalSince1970(k20240131T10 - 5 * 3600));
    for (const char* text : {"", " 86400", "31/01/2024", "2024-01-31x", "nan", "inf", "yesterday", "0x"}) {
        EXPECT_FALSE(toDate(text)) << text;
    }
    EXPECT_EQ(toUnixTimeStampDate("1.5e3"), Date::fromTimeIntervalSince1970(1500));
}

TEST(DateExtensions, TimeZoneOffsetsTruncateToHours) {
    Date january = Date::fromTimeIntervalSince1970(k20240131T10);
    useTimeZone("Asia/Kolkata");
    EXPECT_EQ(getTimezoneOffsetInHours(january), 5);
    useTimeZone("Australia/Brisbane");
    EXPECT_EQ(getTimeZoneOffsetInMilitaryHours(january), 100);
    useTimeZone("America/New_York");
    EXPECT_EQ(getTimeZoneOffsetInMilitaryHours(january), -50);
    // Daylight saving time counts.
    EXPECT_EQ(getTimezoneOffsetInHours(january.addingTimeInterval(180 * 86400)), -4);
}

TEST(DateExtensions, MinuteAndSecondWindowsWorkInBothDirections) {
    platform::Clock::useVirtual();
    Date now = Date::now();
    EXPECT_TRUE(isAtLeastXMinutesOld(now.addingTimeInterval(-600), 10));
    EXPECT_TRUE(isAtLeastXMinutesInTheFuture(now.addingTimeInterval(-600), 10));
    EXPECT_FALSE(isAtLeastXMinutesOld(now.addingTimeInterval(599), 10));
    EXPECT_TRUE(isAtLeastXMinutesOlder(now, 1, now.addingTimeInterval(60)));
    EXPECT_TRUE(isAtLeastXMinutesNewer(now, 1, now.addingTimeInterval(-60)));
    EXPECT_TRUE(isAtLeastXMinutesOlder(now, INT64_MIN, now));
    EXPECT_TRUE(isWithinTheLastXSeconds(now.addingTimeInterval(-30), 30));
    platform::Clock::advance(31);
    EXPECT_FALSE(isWithinTheLastXSeconds(now, 30));
}

TEST(TextComparison, EditDistanceCountsUserPerceivedCharacters) {
    EXPECT_EQ(levenshtein("flaw", "lawn"), 2);
    EXPECT_EQ(levenshtein("", "abc"), 3);
    EXPECT_EQ(levenshtein("kitten", "sitting"), 3);
    // "é" written as e + combining accent is one character; so is a flag.
    EXPECT_EQ(levenshtein("cafe\xCC\x81", "cafe"), 1);
    EXPECT_EQ(levenshtein("\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7", ""), 1);
    EXPECT_EQ(computeSimilarityPercentage("flaw", "lawn"), 50);
    EXPECT_EQ(computeSimilarityPercentage("abc", "abd"), 67);
    EXPECT_EQ(computeSimilarityPercentage("abc", "xyz"), 0);
    EXPECT_EQ(computeSimilarityPercentage("same", "same"), 100);
    EXPECT_EQ(computeSimilarityPercentage("", ""), 100);
}

}  // namespace
}  // namespace brindlecue
