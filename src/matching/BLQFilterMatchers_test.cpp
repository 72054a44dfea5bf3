// The six typed matchers, each against the tag values a campaign's condition meets in practice.

#include <gtest/gtest.h>

#include "foundation/DateExtensions.h"
#include "matching/BLQDurationFilterMatcher.h"
#include "matching/BLQMatchableFactory.h"
#include "platform/dispatch/Clock.h"
#include "support/RecordingLoggerManager.h"

namespace brindlecue {
namespace {

// Whether a fresh matcher of the condition accepts the tag value.
bool match(const std::string& type, const std::string& op, const std::string& value,
           const std::string& tagValue, const std::string& key = "t") {
    auto matcher = BLQMatchableFactory::create(type, op, value, key);
    EXPECT_TRUE(matcher) << type << " " << op << " " << value;
    return matcher && matcher->performMatch(BLQTagDTO(key, tagValue));
}

TEST(BLQFilterMatchers, StringsCompareCaseSensitivelyAsCanonicalText) {
    EXPECT_TRUE(match("string", "starts_with", "Pre", "Premium"));
    EXPECT_FALSE(match("string", "startswith", "Pre", "premium"));
    EXPECT_TRUE(match("string", "not_contains", "x", "abc"));
    EXPECT_TRUE(match("string", "ends_with", "um", "Premium"));
    EXPECT_TRUE(match("string", "neq", "gold", "Gold"));
    // An empty value begins, ends and is contained in every text.
    EXPECT_TRUE(match("string", "contains", "", "abc"));
    EXPECT_FALSE(match("string", "not_contains", "", "abc"));
    // A precomposed "é" equals "e" with a combining accent, and is not "e".
    EXPECT_TRUE(match("string", "eq", "caf\xC3\xA9", "cafe\xCC\x81"));
    EXPECT_FALSE(match("string", "starts_with", "cafe", "cafe\xCC\x81"));
}

TEST(BLQFilterMatchers, NumbersAndDates) {
    EXPECT_TRUE(match("numeric", "gte", "10", "10"));
    EXPECT_TRUE(match("numeric", "gte", "10", "10.0"));
    EXPECT_FALSE(match("numeric", "gte", "10", "9.99"));
    EXPECT_TRUE(match("numeric", "eq", "0.1", "0.1"));
    for (const char* op : {"eq", "neq", "lt", "lte", "gt", "gte"}) {
        EXPECT_FALSE(match("numeric", op, "10", "ten")) << op;
        EXPECT_FALSE(match("numeric", op, "10", "")) << op;
        EXPECT_FALSE(match("numeric", op, "10", " 10")) << op;
    }
    EXPECT_FALSE(match("numeric", "between", "10", "10"));

    EXPECT_TRUE(match("datetime", "lt", "2024-01-01T00:00:00Z", "2023-12-31T23:59:59Z"));
    EXPECT_FALSE(match("datetime", "lt", "2024-01-01T00:00:00Z", "2024-01-01T00:00:00Z"));
    EXPECT_TRUE(match("datetime", "lte", "2024-01-01T00:00:00Z", "2024-01-01T00:00:00Z"));
    EXPECT_TRUE(match("datetime", "eq", "2024-01-01T00:00:00Z", "1704067200"));  // a Unix time stamp
}

TEST(BLQFilterMatchers, PresenceNeedsOpExistsAndATrueOrFalseValue) {
    EXPECT_FALSE(match("exists", "exists", "true", ""));
    EXPECT_TRUE(match("exists", "exists", "true", "0"));
    EXPECT_TRUE(match("exists", "exists", "false", ""));
    EXPECT_FALSE(match("exists", "eq", "true", "0"));
    EXPECT_TRUE(match("boolean", "exists", "false", "1"));  // "boolean" under "exists" asks for a value
}

TEST(BLQFilterMatchers, VersionsOrderNumericallyAndUnreadableOnesAreLogged) {
    auto logger = testsupport::RecordingLoggerManager::install();
    EXPECT_TRUE(match("version", "gte", "2.1.0", "2.1.0"));
    EXPECT_TRUE(match("version", "gte", "2.1.0", "2.10.0"));
    EXPECT_FALSE(match("version", "gte", "2.1.0", "2.0.9"));
    EXPECT_FALSE(match("version", "gte", "2.10.0", "2.9.9"));
    EXPECT_TRUE(match("string", "lt", "1.2.10", "1.2.3", "kj_client_version"));
    EXPECT_TRUE(logger->lines().empty());

    EXPECT_FALSE(match("version", "gte", "2.1.0", "", "app_version"));
    EXPECT_FALSE(match("version", "gte", "1.2.3.4", "2.1.0", "app_version"));
    EXPECT_EQ(
        logger->lines(),
        (std::vector<testsupport::LogLine>{
            {"VersionMatcher: Stored tag value is not a valid semantic version, tagValue: , tagKey: "
             "app_version",
             4},
            {"VersionMatcher: Filter value is not a valid semantic version, filterValue: 1.2.3.4, filterKey: "
             "app_version",
             4}}));
}

TEST(BLQFilterMatchers, DurationsCountFromTheMomentTheMatcherWasMade) {
    platform::Clock::useVirtual();
    const double day = 86400;
    auto daysFromNow = [&](double days) {
        return toISO8601String(platform::Date::now().addingTimeInterval(days * day));
    };
    EXPECT_TRUE(match("timediff", "lt", "-P30D", daysFromNow(-31)));
    EXPECT_FALSE(match("timediff", "lt", "-P30D", daysFromNow(-29)));
    EXPECT_TRUE(match("timedelta", "gt", "P1D", daysFromNow(2)));
    EXPECT_TRUE(match("multistep", "lte", "-P1W", daysFromNow(-8)));
    for (const char* op : {"lt", "lte", "gt", "gte"})
        EXPECT_FALSE(match("tag_timediff", op, "30 days", daysFromNow(0)));
    EXPECT_FALSE(match("timediff", "eq", "P1D", daysFromNow(1)));
    EXPECT_FALSE(match("timediff", "gt", "-P9223372036854775807M", daysFromNow(0)));  // beyond the calendar
    EXPECT_FALSE(match("timediff", "lt", "P1D", "yesterday"));

    // The reference is the matcher's birth, not the test; the sign is taken off once and kept.
    BLQDurationFilterMatcher matcher("timediff", "lt", "-P1D", "t");
    const std::string twoDaysAgo = daysFromNow(-2);
    platform::Clock::advance(3 * day);
    EXPECT_TRUE(matcher.performMatch(BLQTagDTO("t", twoDaysAgo)));
    EXPECT_TRUE(matcher.performMatch(BLQTagDTO("t", twoDaysAgo)));  // still backwards
}


TEST(BLQFilterMatchers, NegatedAndSpelledTogetherStringOperatorsAndUnknownOnes) {
    EXPECT_TRUE(match("string", "endswith", "um", "Premium"));
    EXPECT_FALSE(match("string", "ends_with", "UM", "Premium"));
    EXPECT_TRUE(match("string", "not_starts_with", "Gold", "Premium"));
    EXPECT_FALSE(match("string", "not_startswith", "Pre", "Premium"));
    EXPECT_TRUE(match("string", "not_ends_with", "Gold", "Premium"));
    EXPECT_FALSE(match("string", "not_endswith", "ium", "Premium"));
    EXPECT_FALSE(match("string", "contains", "mium", "Pre"));
    // An operator no matcher knows matches nothing, whatever the value.
    for (const char* op : {"matches", "EQ", "", "starts-with"}) EXPECT_FALSE(match("string", op, "Pre", "Premium")) << op;
}

TEST(BLQFilterMatchers, VersionsCompareByEveryOperator) {
    struct Case {
        const char* op;
        const char* tag;
        bool matches;
    };
    // Against the filter value 2.1.0; build metadata takes part in the order.
    for (const Case c : {Case{"eq", "2.1.0", true}, Case{"eq", "2.1.1", false}, Case{"neq", "2.1.1", true},
                         Case{"neq", "2.1.0", false}, Case{"lt", "2.0.9", true}, Case{"lt", "2.1.0", false},
                         Case{"lte", "2.1.0", true}, Case{"lte", "2.1.1", false}, Case{"gt", "3.0.0", true},
                         Case{"gt", "2.1.0", false}, Case{"gt", "2.1.0+7", true}, Case{"neq", "2.1.0+007", true},
                         Case{"between", "2.1.0", false},
                         // No pre-release: a patch with a hyphen reads as 0.
                         Case{"eq", "2.1.5-beta", true}, Case{"lt", "2.1.0-beta", false}})
        EXPECT_EQ(match("version", c.op, "2.1.0", c.tag), c.matches) << c.op << " " << c.tag;
}

}  // namespace
}  // namespace brindlecue
