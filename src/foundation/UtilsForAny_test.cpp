#include "foundation/UtilsForAny.h"

#include <gtest/gtest.h>

#include "platform/Date.h"
#include "platform/Value.h"

namespace brindlecue {
namespace {

using platform::Value;

TEST(UtilsForAny, ConvertToStringByKind) {
    EXPECT_EQ(UtilsForAny::convertToString(std::string("abc")), "abc");
    EXPECT_EQ(UtilsForAny::convertToString(int64_t{-42}), "-42");
    EXPECT_EQ(UtilsForAny::convertToString(1.5f), "1.5");
    EXPECT_EQ(UtilsForAny::convertToString(0.1f), "0.1");
    EXPECT_EQ(UtilsForAny::convertToString(platform::Date::fromTimeIntervalSince1970(1706695200.25)),
              "2024-01-31T10:00:00.250Z");
    EXPECT_EQ(UtilsForAny::convertToString(std::vector<int64_t>{8201, 8108}), "8201, 8108");
    EXPECT_FALSE(UtilsForAny::convertToString(true));
    EXPECT_FALSE(UtilsForAny::convertToString(Value::dictionary({{"a", 1}})));
    EXPECT_FALSE(UtilsForAny::convertToString(std::vector<std::string>{"a"}));
    // Untyped values follow the same rules for their kind.
    EXPECT_EQ(UtilsForAny::convertToString(Value(7)), "7");
    EXPECT_EQ(UtilsForAny::convertToString(Value("t")), "t");
    EXPECT_FALSE(UtilsForAny::convertToString(Value(true)));
}

TEST(UtilsForAny, DoublesAreNeverStoredAsEmptyText) {
    EXPECT_EQ(UtilsForAny::convertToString(3600.0), "3600");
    EXPECT_EQ(UtilsForAny::convertToString(-1.0), "-1");
    EXPECT_EQ(UtilsForAny::convertToString(0.1), "0.1");
    EXPECT_EQ(UtilsForAny::convertToString(757382400.123), "757382400.123");
    EXPECT_EQ(UtilsForAny::convertToString(Value(2.5)), "2.5");
}

TEST(UtilsForAny, IntegerListsRoundTripAndSkipBadParts) {
    std::string text = *UtilsForAny::convertToString(std::vector<int64_t>{8201, 8108});
    EXPECT_EQ(UtilsForAny::convertCSVStringToArrayOfIntegers(text), (std::vector<int64_t>{8201, 8108}));
    EXPECT_EQ(UtilsForAny::convertArrayOfIntegersToString({}), "");
    EXPECT_EQ(UtilsForAny::convertCSVStringToArrayOfIntegers("1,,x,3"), (std::vector<int64_t>{1, 3}));
    EXPECT_EQ(UtilsForAny::convertCSVStringToArrayOfIntegers("+7,-3"), (std::vector<int64_t>{7, -3}));
    EXPECT_EQ(UtilsForAny::convertCSVStringToArrayOfIntegers(" 4 ,5x,+-6,+,1.5"), (std::vector<int64_t>{4}));
    EXPECT_TRUE(UtilsForAny::convertCSVStringToArrayOfIntegers("9223372036854775808").empty());
    EXPECT_EQ(UtilsForAny::convertCSVStringToArrayOfIntegers("-9223372036854775808"),
              (std::vector<int64_t>{INT64_MIN}));
    EXPECT_TRUE(UtilsForAny::convertCSVStringToArrayOfIntegers("").empty());
}

TEST(UtilsForAny, LogHandlerListsRoundTripAllOrNothing) {
    BLQLogHandlerModel cloud(BLQLogHandlerName::cloud, BLQLoggingLevel::warning);
    std::string text = UtilsForAny::convertArrayOfLogHandlersToString({cloud});
    auto parsed = Value::fromJSON(text);
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->count(), 1u);
    EXPECT_EQ((*parsed)[0]["name"], Value("cloud"));
    EXPECT_EQ((*parsed)[0]["log_level"], Value(4));
    EXPECT_EQ(text.find(' '), std::string::npos);
    EXPECT_EQ(UtilsForAny::convertStringToArrayOfLogHandlers(text), std::vector<BLQLogHandlerModel>{cloud});
    EXPECT_EQ(UtilsForAny::convertArrayOfLogHandlersToString({}), "[]");

    EXPECT_TRUE(UtilsForAny::convertStringToArrayOfLogHandlers(
                    R"([{"name":"cloud","log_level":4},{"name":"stdout","log_level":9}])")
                    .empty());
    EXPECT_TRUE(UtilsForAny::convertStringToArrayOfLogHandlers("[]").empty());
    EXPECT_TRUE(UtilsForAny::convertStringToArrayOfLogHandlers("not json").empty());
    EXPECT_TRUE(UtilsForAny::convertStringToArrayOfLogHandlers(R"({"name":"cloud","log_level":4})").empty());
}

}  // namespace
}  // namespace brindlecue
