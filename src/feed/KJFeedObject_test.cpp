#include "feed/KJFeedObject.h"

#include <gtest/gtest.h>

namespace brindlecue {
namespace {

using platform::Value;

Value parse(const std::string& text) {
    return Value::fromJSON(text).value_or(Value());
}

const char* kItem = R"({
    "id": 42, "app_key": "key-1", "campaign": 17, "campaignid": "c-17", "type": "CAMPAIGN", "priority": "3",
    "activates": "2026-01-01T00:00:00.000Z", "expires": "2026-02-01 12:30:00", "modified": "yesterday",
    "created": 1767225600, "content": {"setup": {"tool": "tip"}, "payload": [{"meta": {}}], "extra": 1},
    "repeat_conditions": [{"type": "seen_count", "op": "lt", "value": 3}], "trigger_conditions": "not a list",
    "deletion_conditions": [{"type": "time_next", "repeat": "infinite"}, {"type": "seen_count"}]})";

TEST(KJFeedObject, AFeedItemBecomesARecordWithItsConditionTextsAndReadableDatesOnly) {
    auto feed = KJFeedObject::createFromDictionary(parse(kItem));
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->feed_id(), "42");
    EXPECT_EQ(feed->campaign(), "17");
    EXPECT_EQ(feed->priority(), 3);
    EXPECT_FALSE(feed->isPreview());
    EXPECT_EQ(feed->activates(), platform::Date::fromTimeIntervalSince1970(1767225600));
    EXPECT_EQ(feed->expires(), platform::Date::fromTimeIntervalSince1970(1769949000));
    EXPECT_FALSE(feed->modified());
    EXPECT_FALSE(feed->created());
    EXPECT_EQ(feed->content(), parse(R"({"setup": {"tool": "tip"}, "payload": [{"meta": {}}]})"));
    EXPECT_EQ(parse(*feed->repeat_conditions())["repeat_conditions"][0]["currentValue"], Value("0"));
    EXPECT_FALSE(feed->trigger_conditions());
    EXPECT_EQ(feed->deletion_conditions(),
              R"({"deletion_conditions": [{"type": "infinite","op": "infinite","value": "infinite"}]})");

    // The stored form reads back to the same record; absent dates are left out of it.
    Value stored = feed->serializeToDictionary();
    EXPECT_EQ(stored["activates"], Value("2026-01-01T00:00:00.000+0000"));
    EXPECT_TRUE(stored["modified"].isAbsent());
    auto back = KJFeedObject::loadFromDictionary(stored);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->serializeToDictionary(), stored);
    EXPECT_EQ(back->expires(), feed->expires());
    EXPECT_TRUE(
        KJFeedObject::createFromDictionary(parse(R"({"id": "abc", "type": "PREVIEW"})"))->isPreview());
}

TEST(KJFeedObject, AnItemWithoutAnIdIsRefused) {
    for (const char* item :
         {R"({"app_key": "key-1"})", R"({"id": null})", R"({"id": ""})", R"({"id": {"a": 1}})"})
        EXPECT_FALSE(KJFeedObject::createFromDictionary(parse(item))) << item;
}

TEST(KJFeedObject, PushContentGivesTitleMessageAndThePayloadOfItsDataEntry) {
    auto push = [](const std::string& content) {
        return KJFeedObject::createFromDictionary(parse(R"({"id": 1, "content": )" + content + "}"));
    };
    auto split = push(R"({"aps": {"alert": "Héllo world"}, "l": 5, "d": "{\"x\": null, \"y\": 2}"})");
    EXPECT_EQ(split->title(), "Héllo");
    EXPECT_EQ(split->message(), "world");
    EXPECT_EQ(split->content(), parse(R"({"x": "", "y": 2})"));

    auto whole = push(R"({"aps": {"alert": "  Hello world\n"}, "d": "no json"})");
    EXPECT_EQ(whole->title(), "");
    EXPECT_EQ(whole->message(), "Hello world");
    EXPECT_EQ(whole->content(), parse(R"({"value": "no json"})"));
    EXPECT_FALSE(push(R"({"aps": {"alert": "Hi"}, "l": 50})")->title());
}

}  // namespace
}  // namespace brindlecue
