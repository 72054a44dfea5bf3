#include "foundation/DateComponentsExtensions.h"

#include <gtest/gtest.h>

#include "foundation/DurationParsingError.h"

namespace brindlecue {
namespace {

using platform::DateComponents;

DateComponents dc(std::optional<int64_t> y, std::optional<int64_t> mo, std::optional<int64_t> d,
                  std::optional<int64_t> h, std::optional<int64_t> mi, std::optional<int64_t> s) {
    DateComponents c;
    c.year = y, c.month = mo, c.day = d, c.hour = h, c.minute = mi, c.second = s;
    return c;
}

constexpr std::nullopt_t none = std::nullopt;

TEST(Duration, ReadsDesignatorsAndCarriesFractionsDown) {
    EXPECT_EQ(from8601String("P1Y2M10DT2H30M"), dc(1, 2, 10, 2, 30, 0));
    EXPECT_EQ(from8601String("P0.5Y"), dc(0, 6, none, none, none, none));
    EXPECT_EQ(from8601String("P1Y"), dc(1, 0, none, none, none, none));
    EXPECT_EQ(from8601String("P1DT12H"), dc(none, none, 1, 12, 0, 0));
    EXPECT_EQ(from8601String("P1.5D"), dc(none, none, 1, 12, 0, 0));
    EXPECT_EQ(from8601String("PT1.5H"), dc(none, none, none, 1, 30, 0));
    EXPECT_EQ(from8601String("PT90S"), dc(none, none, none, none, none, 90));
    EXPECT_EQ(from8601String("P"), DateComponents{});
    EXPECT_EQ(from8601String("P0,5Y"), DateComponents{});
}

TEST(Duration, WeeksGiveDaysOnly) {
    EXPECT_EQ(from8601String("P1.5W"), dc(none, none, 10, none, none, none));
    EXPECT_EQ(from8601String("P2W3D"), dc(none, none, 14, none, none, none));
    EXPECT_EQ(from8601String("P3"), dc(none, none, 21, none, none, none));
}

TEST(Duration, ErrorsCarryTheirText) {
    try {
        from8601String("P1.5M");
        FAIL() << "expected a month-fraction error";
    } catch (const DurationParsingError& e) {
        EXPECT_EQ(e.kind(), DurationParsingError::Kind::unsupportedFractionsForMonth);
        EXPECT_EQ(e.text(), "1.5M");
    }
    try {
        from8601String("1D");
        FAIL() << "expected a format error";
    } catch (const DurationParsingError& e) {
        EXPECT_EQ(e.kind(), DurationParsingError::Kind::invalidFormat);
        EXPECT_EQ(e.text(), "1D");
    }
    // Values that cannot be components are format errors, not undefined conversions.
    for (const char* text : {"P1e300D", "P1e400Y", "PnanY", "PT1e30S", "P9e18W", ""}) {
        EXPECT_FALSE(durationFrom8601String(text)) << text;
    }
    EXPECT_EQ(durationFrom8601String("P2D"), dc(none, none, 2, 0, 0, 0));
}

TEST(DateComponentsArithmetic, FieldWiseWithMissingAsZero) {
    DateComponents day;
    day.day = 1;
    DateComponents hours;
    hours.hour = 2;
    EXPECT_EQ(day + hours, dc(none, none, 1, 2, none, none));
    EXPECT_EQ(DateComponents{} - day, dc(none, none, -1, none, none, none));
    DateComponents week;
    week.weekOfYear = 3;
    EXPECT_EQ((week - day).weekOfYear, 3);
    DateComponents big;
    big.second = INT64_MAX;
    DateComponents one;
    one.second = 1;
    EXPECT_EQ((big + one).second, INT64_MAX);
}

}  // namespace
}  // namespace brindlecue
