#include "matching/BLQMatchableFactory.h"

#include <gtest/gtest.h>

#include "feed/KJFeedConditions.h"
#include "matching/BLQExistsFilterMatcher.h"
#include "matching/BLQNumericFilterMatcher.h"
#include "matching/BLQStringFilterMatcher.h"
#include "matching/BLQVersionStringFilterMatcher.h"

namespace brindlecue {
namespace {

using platform::Value;

template <class M>
const M* as(const std::shared_ptr<BLQIMatchable>& matcher) {
    return dynamic_cast<const M*>(matcher.get());
}

TEST(BLQMatchableFactory, TheDictionaryFormFillsDefaultsAndTurnsNumbersIntoText) {
    auto m = BLQMatchableFactory::createFromDictionary(
        Value::dictionary({{"op", ""}, {"operator", "eq"}, {"value", 5}, {"tag", "level"}, {"units", 3}}));
    auto* string = as<BLQStringFilterMatcher>(m);
    ASSERT_TRUE(string);  // no "type": a string condition
    EXPECT_EQ(string->op, "eq");
    EXPECT_EQ(string->value, "5.0");
    EXPECT_TRUE(m->performMatch(BLQTagDTO("level", "5.0")));
    EXPECT_FALSE(m->performMatch(BLQTagDTO("level", "5")));

    m = BLQMatchableFactory::createFromDictionary(Value::dictionary({{"op", "neq"}, {"operator", "eq"}}));
    EXPECT_EQ(as<BLQStringFilterMatcher>(m)->op, "neq");
    for (auto [number, text] : {std::pair{0.1, "0.1"}, {1e8, "1e+08"}}) {
        m = BLQMatchableFactory::createFromDictionary(Value::dictionary({{"value", number}}));
        EXPECT_EQ(as<BLQStringFilterMatcher>(m)->value, text);
    }
}

TEST(BLQMatchableFactory, TypeWordsPickTheMatcherAndUnreadableValuesGiveNone) {
    for (const char* good : {"5", "-2.5", "1e3"})
        EXPECT_TRUE(as<BLQNumericFilterMatcher>(BLQMatchableFactory::create("numeric", "eq", good, "t")))
            << good;
    for (const char* bad : {"abc", " 5", "5x", ""})
        EXPECT_FALSE(BLQMatchableFactory::create("tag_numeric", "eq", bad, "t")) << bad;
    EXPECT_FALSE(BLQMatchableFactory::create("Numeric", "eq", "5", "t"));
    EXPECT_FALSE(BLQMatchableFactory::create("datetime", "lt", "not a date", "t"));
    EXPECT_TRUE(BLQMatchableFactory::create("tag_datetime", "lt", "2024-01-01T00:00:00Z", "t"));

    EXPECT_TRUE(as<BLQVersionStringFilterMatcher>(
        BLQMatchableFactory::create("string", "gte", "1.0", "kj_client_version")));
    EXPECT_TRUE(
        as<BLQStringFilterMatcher>(BLQMatchableFactory::create("string", "gte", "1.0", "app_version")));
    EXPECT_TRUE(as<BLQVersionStringFilterMatcher>(
        BLQMatchableFactory::create("version", "gte", "1.0", "app_version")));

    auto boolean = BLQMatchableFactory::create("boolean", "exists", "false", "t");
    EXPECT_EQ(as<BLQExistsFilterMatcher>(boolean)->value, "true");
}

TEST(BLQMatchableFactory, DocumentsAndConditionLists) {
    auto m = BLQMatchableFactory::createFromJSON(
        R"({"type": "numeric", "op": "gte", "value": "10", "tag": "visits", "units": "days", "extra": 1})");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->getTagKey(), "visits");
    EXPECT_TRUE(m->performMatch(BLQTagDTO("visits", "10.0")));
    // The decoding form requires the four texts.
    EXPECT_FALSE(
        BLQMatchableFactory::createFromJSON(R"({"type": "numeric", "op": "gte", "value": 10, "tag": "v"})"));
    EXPECT_FALSE(BLQMatchableFactory::createFromJSON(R"({"type": "string", "op": "eq", "value": "a"})"));
    EXPECT_FALSE(BLQMatchableFactory::createFromJSON("{"));

    auto conditions = KJFeedConditions::createFeedConditionsArray(Value::array({
        Value::dictionary({{"type", "string"}, {"op", "eq"}, {"value", "gold"}, {"tag", "first"}}),
        Value::dictionary({{"type", "colour"}, {"op", "eq"}, {"value", "red"}, {"tag", "second"}}),
        Value::dictionary({{"type", "numeric"}, {"op", "gt"}, {"value", 3}, {"tag", "third"}}),
    }));
    auto matchers = BLQMatchableFactory::createFromFeedConditions(conditions);
    ASSERT_EQ(matchers.size(), 2u);
    EXPECT_EQ(matchers[0]->getTagKey(), "first");
    EXPECT_EQ(matchers[1]->getTagKey(), "third");
}

}  // namespace
}  // namespace brindlecue
