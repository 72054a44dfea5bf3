#include "matching/CampaignMatching.h"

#include <gtest/gtest.h>

#include <unicode/timezone.h>

#include "feed/KJFeedConditions.h"
#include "platform/DateFormatter.h"
#include "platform/dispatch/Clock.h"
#include "storage/KJDBManager.h"

namespace brindlecue {
namespace {

using platform::Value;

std::shared_ptr<KJFeedConditions> record(std::string type, std::string op, std::string value,
                                         std::string currentValue, Value valueArray = Value("")) {
    auto c = std::make_shared<KJFeedConditions>();
    c->type = std::move(type);
    c->op = std::move(op);
    c->value = std::move(value);
    c->currentValue = std::move(currentValue);
    c->value_array = std::move(valueArray);
    return c;
}

bool passes(const std::shared_ptr<KJFeedConditions>& c) {
    return CampaignMatching::sharedInstance().evaluate({c});
}

// The stored form of a date that many seconds from now.
std::string storedDate(double secondsFromNow) {
    platform::DateFormatter formatter;
    formatter.setTimeZone("");
    formatter.setDateFormat("yyyy-MM-dd'T'HH:mm:ss.SSS");
    return formatter.stringFromDate(platform::Date::now().addingTimeInterval(secondsFromNow));
}

TEST(CampaignMatching, CountersAndTheirOperators) {
    EXPECT_FALSE(CampaignMatching::sharedInstance().evaluate({}));
    for (const char* count : {"0", "1", "2"})
        EXPECT_TRUE(passes(record("seen_count", "less_than", "3", count)));
    EXPECT_FALSE(passes(record("seen_count", "less_than", "3", "3")));
    EXPECT_TRUE(passes(record("page_seen_count", "greater_than_equal", "2", " 2 views")));
    EXPECT_FALSE(passes(record("seen_count", "greater_than", "1", "5")));
    EXPECT_TRUE(passes(record("", "equal", "0", "")));  // no type: by its op; empty texts read as 0

    // The value list wins when it holds numbers.
    auto list = Value::array({1, 5});
    EXPECT_TRUE(passes(record("seen_count", "equal", "2", "5", list)));
    EXPECT_FALSE(passes(record("seen_count", "equal", "2", "2", list)));
    EXPECT_TRUE(passes(record("seen_count", "equal", "2", "2", Value::array({"x"}))));

    EXPECT_TRUE(passes(record("never", "", "", "0")));
    EXPECT_FALSE(passes(record("never", "", "", "1")));
    EXPECT_TRUE(passes(record("always", "bogus", "q", "x")));
    // Every record is tested and all must pass.
    EXPECT_FALSE(CampaignMatching::sharedInstance().evaluate(
        {record("always", "", "", "0"), record("seen_count", "less_than", "1", "4")}));
}

TEST(CampaignMatching, TimeConditionsPassOnceTheStoredDateHasPassed) {
    platform::Clock::useVirtual();
    EXPECT_TRUE(passes(record("time_next", "", "d", storedDate(-60))));
    EXPECT_FALSE(passes(record("time_next", "", "d", storedDate(3600))));
    EXPECT_FALSE(passes(record("time_next", "", "q", storedDate(-60))));

    // The next date that the condition writes after a show already includes the delay: the delay
    // is not added again.
    auto shown = record("after_delay", "", "1h", "");
    shown->currentValue = KJFeedConditions::updatedCurrentValue(*shown);
    EXPECT_FALSE(passes(shown));
    platform::Clock::advance(3601);
    EXPECT_TRUE(passes(shown));

    for (const char* type : {"after_delay", "time_next"}) {
        EXPECT_FALSE(passes(record(type, "", "1d", "2020-01-01 00:00:00"))) << type;
        EXPECT_FALSE(passes(record(type, "", "1d", ""))) << type;
    }
}

// Each unit, as a show writes its next date and matching reads it: the campaign waits until that
// moment has passed and no longer. The clock starts on Thursday 2026-01-01 00:00:00 UTC.
TEST(CampaignMatching, EveryTimeUnitHoldsTheCampaignBackUntilItsMomentHasPassed) {
    struct Case {
        const char* type;
        const char* value;
        double waits;  // seconds from the show to the moment the campaign may show again
    };
    const Case cases[] = {
        {"after_delay", "30s", 30},
        {"after_delay", "5m", 300},
        {"after_delay", "2Y", 730 * 86400.0},  // 2026 and 2027 have 365 days each
        // A week's delay ends on the Monday of the week it falls in, at the time of the show.
        {"after_delay", "1w", 4 * 86400.0},
        {"time_next", "45s", 45},  // seconds are not rounded
        {"time_next", "m", 60},    // the start of the next minute
        {"time_next", "Y", 365 * 86400.0},
    };
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("UTC"));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + c.value);
        platform::Clock::useVirtual();
        platform::Clock::advance(0.25);  // a show a moment after the minute began
        auto shown = record(c.type, "", c.value, "");
        shown->currentValue = KJFeedConditions::updatedCurrentValue(*shown);
        ASSERT_FALSE(shown->currentValue.empty());
        EXPECT_FALSE(passes(shown));
        platform::Clock::advance(c.waits - 1);
        EXPECT_FALSE(passes(shown)) << "a second before";
        platform::Clock::advance(2);
        EXPECT_TRUE(passes(shown)) << "a second after";
    }
    platform::Clock::useReal();
}

TEST(CampaignMatching, TimeUnitsAndTheCampaignCache) {
    EXPECT_EQ(CampaignMatching::parseRCTimeUnits("h").count, 1);
    EXPECT_EQ(CampaignMatching::parseRCTimeUnits("-3M").count, -3);
    EXPECT_EQ(CampaignMatching::parseRCTimeUnits("xh").count, 0);
    EXPECT_EQ(CampaignMatching::parseRCTimeUnits("-3M").field, DeviceCalendar::Field::month);

    auto cache = KJDBManager::sharedInstance();
    CampaignMatching::registerWithCampaignCache(*cache);
    EXPECT_TRUE(cache->canDeleteTipSeriesByFeedId({record("always", "", "", "0")}));
    EXPECT_FALSE(cache->canDeleteTipSeriesByFeedId({record("never", "", "", "1")}));
}


TEST(CampaignMatching, DelaysOfEveryUnitPassOnlyOnceTheirTimeIsOver) {
    platform::Clock::useVirtual();
    struct Case {
        const char* value;
        double seconds;  // at least the delay, and less than that by at most `slack`
        double slack;
    };
    // A year is 365 or 366 days.
    for (const Case c : {Case{"30s", 30, 0}, Case{"2m", 120, 0}, Case{"3h", 3 * 3600.0, 0},
                         Case{"1Y", 365 * 86400.0, 86400}}) {
        auto shown = record("after_delay", "", c.value, "");
        shown->currentValue = KJFeedConditions::updatedCurrentValue(*shown);
        EXPECT_FALSE(passes(shown)) << c.value;
        platform::Clock::advance(c.seconds - 2);
        EXPECT_FALSE(passes(shown)) << c.value;
        platform::Clock::advance(c.slack + 3);
        EXPECT_TRUE(passes(shown)) << c.value;
    }
    // Weeks: the Monday of the week a week from now, so not at once but within eight days.
    auto weekly = record("after_delay", "", "1w", "");
    weekly->currentValue = KJFeedConditions::updatedCurrentValue(*weekly);
    EXPECT_FALSE(passes(weekly));
    platform::Clock::advance(9 * 86400.0);
    EXPECT_TRUE(passes(weekly));
    // A unit no letter names never passes.
    EXPECT_FALSE(passes(record("after_delay", "", "", storedDate(-60))));

    // Weekday and session types are counters judged by their operator; whole reals in a value list count.
    EXPECT_TRUE(passes(record("time_weekday", "less_than", "3", "1")));
    EXPECT_FALSE(passes(record("after_sessions", "greater_than_equal", "3", "1")));
    EXPECT_TRUE(passes(record("seen_count", "equal", "0", "4", Value::array({2.0, 4.0}))));
    EXPECT_FALSE(passes(record("seen_count", "equal", "0", "4", Value::array({4.5, 1e30}))));
}

}  // namespace
}  // namespace brindlecue
