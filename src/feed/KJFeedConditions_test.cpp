#include "feed/KJFeedConditions.h"

#include <gtest/gtest.h>

#include "platform/UserDefaults.h"
#include "platform/dispatch/Clock.h"

namespace brindlecue {
namespace {

using platform::Value;
using List = KJFeedConditions::List;

Value parse(const std::string& text) {
    return Value::fromJSON(text).value_or(Value());
}

List conditions(const std::string& json) {
    return KJFeedConditions::createFeedConditionsArray(parse(json));
}

TEST(KJFeedConditions, ASeenCountStartsAtZeroAndCountsEachShowingThroughItsSavedState) {
    List list = conditions(R"([{"type": "seen_count", "op": "lt", "value": 3}, "not an object",
                               {"type": "page_seen_count", "currentValue": 4}, {"type": "infinite"}])");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->value, "3");
    EXPECT_EQ(list[0]->currentValue, "0");
    EXPECT_EQ(list[1]->currentValue, "4");
    EXPECT_EQ(list[2]->currentValue, "");

    // The text kept on arrival holds the initial values and "" for a missing list value.
    Value arrived = parse(KJFeedConditions::getUpdatedFeedConditions(list, "repeat_conditions", false));
    EXPECT_EQ(arrived["repeat_conditions"][0]["currentValue"], Value("0"));
    EXPECT_EQ(arrived["repeat_conditions"][0]["value_array"], Value(""));

    // Each showing advances the counts and the engine saves the text under the list and feed id.
    auto& defaults = platform::UserDefaults::standard();
    const std::string key = KJFeedConditions::savedStateKey("repeat_conditions", "12");
    EXPECT_EQ(key, "repeat_conditions_12");
    for (const char* expected : {"1", "2"}) {
        List merged = KJFeedConditions::getSavedFeedConditions("12", list, "repeat_conditions");
        std::string shown = KJFeedConditions::getUpdatedFeedConditions(merged, "repeat_conditions", true);
        defaults.set(key, Value(shown));
        List reread = KJFeedConditions::createConditionsObject(Value(shown), "repeat_conditions");
        ASSERT_EQ(reread.size(), 3u);
        EXPECT_EQ(reread[0]->currentValue, expected);
        EXPECT_EQ(reread[2]->currentValue, "");
    }
    EXPECT_EQ(KJFeedConditions::getSavedFeedConditions("12", list, "repeat_conditions")[1]->currentValue,
              "6");
    EXPECT_TRUE(KJFeedConditions::createConditionsObject(Value("{not json"), "repeat_conditions").empty());
}

TEST(KJFeedConditions, AConditionAddedByAnUpdateKeepsItsInitialValueWhenMergedWithSavedState) {
    platform::Clock::useVirtual();
    List list = conditions(R"([{"type": "seen_count", "value": 2}, {"type": "after_delay", "value": "1d"}])");
    ASSERT_EQ(list.size(), 2u);
    const std::string nextDate = list[1]->currentValue;
    EXPECT_FALSE(nextDate.empty());

    // Without saved state every condition is taken as it is.
    List merged = KJFeedConditions::getSavedFeedConditions("7", list, "repeat_conditions");
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_EQ(merged[0]->currentValue, "0");

    platform::UserDefaults::standard().set(
        "repeat_conditions_7",
        Value(R"({"repeat_conditions": [{"type": "seen_count", "currentValue": "5"}]})"));
    merged = KJFeedConditions::getSavedFeedConditions("7", list, "repeat_conditions");
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_EQ(merged[0]->currentValue, "5");
    EXPECT_EQ(merged[1]->type, "after_delay");
    EXPECT_EQ(merged[1]->currentValue, nextDate);
    // The records the campaign holds are not changed by the merge.
    EXPECT_EQ(list[0]->currentValue, "0");
}

}  // namespace
}  // namespace brindlecue
