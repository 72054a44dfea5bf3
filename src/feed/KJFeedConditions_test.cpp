#include "feed/KJFeedConditions.h"

#include <gtest/gtest.h>

#include "foundation/BLQUtils.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/Clock.h"

namespace brindlecue {
namespace {

using platform::Value;
using List = KJFeedConditions::List;

List conditions(const std::string& json) {
    return KJFeedConditions::createFeedConditionsArray(Value::fromJSON(json).value_or(Value()));
}

TEST(KJFeedConditions, ASeenCountStartsAtZeroAndCountsEachShowingThroughItsSavedState) {
    List list = conditions(R"([{"type": "seen_count", "op": "lt", "value": 3}, "not an object",
                               {"type": "page_seen_count", "currentValue": 4}, {"type": "infinite"}])");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->value, "3");
    Value arrived =
        *Value::fromJSON(KJFeedConditions::getUpdatedFeedConditions(list, "repeat_conditions", false));
    EXPECT_EQ(arrived["repeat_conditions"][0]["currentValue"], Value("0"));
    EXPECT_EQ(arrived["repeat_conditions"][0]["value_array"], Value(""));

    // After each showing the engine saves the advanced text under the list's name and the feed id.
    for (const char* expected : {"1", "2"}) {
        List merged = KJFeedConditions::getSavedFeedConditions("12", list, "repeat_conditions");
        std::string shown = KJFeedConditions::getUpdatedFeedConditions(merged, "repeat_conditions", true);
        platform::UserDefaults::standard().set("repeat_conditions_12", Value(shown));
        List reread = KJFeedConditions::createConditionsObject(Value(shown), "repeat_conditions");
        ASSERT_EQ(reread.size(), 3u);
        EXPECT_EQ(reread[0]->currentValue, expected);
        EXPECT_EQ(reread[2]->currentValue, "");
    }
    EXPECT_EQ(KJFeedConditions::getSavedFeedConditions("12", list, "repeat_conditions")[1]->currentValue,
              "6");
    EXPECT_TRUE(KJFeedConditions::createConditionsObject(Value("{not json"), "repeat_conditions").empty());
}

TEST(KJFeedConditions, TextsThatLookLikeNullMembersKeepTheListWhole) {
    // Found by fuzzing: a tag holding ": null}" made the kept text of the list unreadable, and every
    // condition of the campaign was lost.
    List list =
        conditions(R"([{"|ype": "seen_count", "op": "|t", "value": "3"}, {"#ype": "tag_string", "op": "eq",
        "tag": "p: null}lan", "value": "pro", "valuo_array": ["pro", "tEam"]}])");
    ASSERT_EQ(list.size(), 2u);
    for (bool increment : {false, true}) {
        std::string kept = KJFeedConditions::getUpdatedFeedConditions(list, "trigger_conditions", increment);
        List reread = KJFeedConditions::createConditionsObject(Value(kept), "trigger_conditions");
        ASSERT_EQ(reread.size(), 2u);
        EXPECT_EQ(reread[1]->tag, "p: null}lan");
        EXPECT_EQ(reread[0]->op, "|t");
    }
}

TEST(KJFeedConditions, AConditionAddedByAnUpdateKeepsItsInitialValueWhenMergedWithSavedState) {
    platform::Clock::useVirtual();
    List list = conditions(R"([{"type": "seen_count", "value": 2}, {"type": "after_delay", "value": "1d"}])");
    const std::string nextDate = list.at(1)->currentValue;
    EXPECT_FALSE(nextDate.empty());

    platform::UserDefaults::standard().set(
        "repeat_conditions_7",
        Value(R"({"repeat_conditions": [{"type": "seen_count", "currentValue": "5"}]})"));
    List merged = KJFeedConditions::getSavedFeedConditions("7", list, "repeat_conditions");
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_EQ(merged[0]->currentValue, "5");
    EXPECT_EQ(merged[1]->currentValue, nextDate);
    EXPECT_EQ(list[0]->currentValue, "0");  // the campaign's own records are left as they are
}


TEST(KJFeedConditions, TheConditionTextIsThePrettyJSONOfTheConditionObjectsWhateverItHolds) {
    platform::Clock::useVirtual();
    // Plain texts, texts to escape, a list value, a number value, an empty list and a list with
    // a null record: the text is, byte for byte, that of the condition objects written as JSON.
    const char* lists[] = {
        R"([{"type": "seen_count", "op": "lt", "value": 3}, {"type": "after_delay", "value": "1d"}])",
        R"([{"type": "tag_string", "op": "eq", "tag": "say \"hi\"\\", "value": "caf\u00e9\n"}])",
        R"([{"type": "tag_string", "tag": "plan", "value_array": ["pro", "team"]}, {"type": "always"}])",
        R"([{"type": "tag_number", "value_array": 7, "tag": "\u007f"}])",
        R"([])",
    };
    for (const char* json : lists) {
        List list = conditions(json);
        if (std::string(json) == "[]") list.push_back(nullptr);
        for (bool increment : {false, true}) {
            platform::Array objects;
            for (const auto& condition : list)
                if (condition) objects.push_back(KJFeedConditions::dictKeys(*condition, increment));
            EXPECT_EQ(KJFeedConditions::getUpdatedFeedConditions(list, "repeat_conditions", increment),
                      KJFeedConditions::jsonToString(Value(std::move(objects)), "repeat_conditions"))
                << json;
        }
    }
}


TEST(KJFeedConditions, AConditionTextReadsBackAsTheGeneralReadingReadsIt) {
    platform::Clock::useVirtual();
    auto fields = [](const List& list) {
        std::vector<std::string> out;
        for (const auto& c : list)
            out.insert(out.end(), {c->type, c->op, c->tag, c->value, c->currentValue, c->value_array.description()});
        return out;
    };
    List list = conditions(R"([{"type": "seen_count", "op": "lt", "value": 3}, {"type": "after_delay", "value": "1d"},
                               {"type": "tag_string", "tag": "plan", "value": "pro"}])");
    const std::string plain = KJFeedConditions::getUpdatedFeedConditions(list, "repeat_conditions", false);
    // The same text with its current values emptied, spaced otherwise, under another name, with a
    // text to escape, cut short, with a list value: each reads as the general reading reads it.
    std::string emptied = plain;
    for (size_t at = 0; (at = emptied.find("\"currentValue\": \"", at)) != std::string::npos;) {
        at += 17;
        emptied.erase(at, emptied.find('"', at) - at);
    }
    const std::string texts[] = {
        plain,
        emptied,
        std::string(plain).insert(1, " "),
        KJFeedConditions::getUpdatedFeedConditions(list, "trigger_conditions", false),
        KJFeedConditions::getUpdatedFeedConditions(conditions(R"([{"type": "tag_string", "tag": "a\"b"}])"),
                                                   "repeat_conditions", false),
        plain.substr(0, plain.size() - 3),
        KJFeedConditions::getUpdatedFeedConditions(
            conditions(R"([{"type": "tag_string", "value_array": ["pro", "team"]}])"), "repeat_conditions", false),
        KJFeedConditions::getUpdatedFeedConditions({}, "repeat_conditions", false),
    };
    for (const std::string& text : texts) {
        const List general =
            KJFeedConditions::createFeedConditionsArray(blqParseObjectToDict(Value(text))["repeat_conditions"]);
        EXPECT_EQ(fields(KJFeedConditions::createConditionsObject(Value(text), "repeat_conditions")), fields(general))
            << text;
    }
    EXPECT_EQ(KJFeedConditions::createConditionsObject(Value(plain), "repeat_conditions").size(), 3u);
    EXPECT_EQ(KJFeedConditions::createConditionsObject(Value(emptied), "repeat_conditions").at(0)->currentValue, "0");
}

// Texts that JSON writes with a backslash escape (a backslash, a line feed, a tab) read back as they
// were, through the text a saved condition state keeps.
TEST(KJFeedConditions, EscapedTextsReadBackAsTheyWere) {
    platform::Clock::useVirtual();
    auto condition = std::make_shared<KJFeedConditions>();
    condition->type = "tag_string";
    condition->op = "eq";
    condition->tag = "path";
    condition->value = "C:\\dir";
    condition->currentValue = "x";
    condition->value_array = Value("line\none\ttwo");
    auto plainOne = std::make_shared<KJFeedConditions>(*condition);
    plainOne->value = "plain";
    plainOne->value_array = Value("");
    for (const List& list : {List{condition}, List{plainOne, condition}}) {
        const std::string text =
            KJFeedConditions::getUpdatedFeedConditions(list, "trigger_conditions", false);
        ASSERT_NE(text.find("C:\\\\dir"), std::string::npos) << text;
        const List read = KJFeedConditions::createConditionsObject(Value(text), "trigger_conditions");
        ASSERT_EQ(read.size(), list.size()) << text;
        const auto& back = read.back();
        EXPECT_EQ(back->value, "C:\\dir");
        EXPECT_EQ(back->tag, "path");
        EXPECT_EQ(back->currentValue, "x");
        EXPECT_EQ(back->value_array, Value("line\none\ttwo"));
    }
}

}  // namespace
}  // namespace brindlecue
