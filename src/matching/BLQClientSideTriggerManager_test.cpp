#include "matching/BLQClientSideTriggerManager.h"

#include <gtest/gtest.h>

#include "feed/KJFeedConditions.h"
#include "support/RecordingLoggerManager.h"
#include "tags/BLQTagTestDoubles_test.h"

namespace brindlecue {
namespace {

using platform::Value;

KJFeedConditions::List conditions(std::initializer_list<Value> objects) {
    return KJFeedConditions::createFeedConditionsArray(Value(platform::Array(objects)));
}

Value condition(const char* type, const char* op, const char* value, const char* tag) {
    return Value::dictionary({{"type", type}, {"op", op}, {"value", value}, {"tag", tag}});
}

class TriggerManagerTest : public ::testing::Test {
protected:
    std::shared_ptr<testsupport::RecordingLoggerManager> logger =
        testsupport::RecordingLoggerManager::install();
    std::shared_ptr<testing::InMemoryTagStore> store = std::make_shared<testing::InMemoryTagStore>();
    BLQClientSideTriggerManager manager{store};
};

TEST_F(TriggerManagerTest, ConditionsWithoutMatchersPass) {
    EXPECT_TRUE(manager.checkForMatchesWithTriggerConditions({}));
    EXPECT_TRUE(
        manager.checkForMatchesWithTriggerConditions(conditions({condition("colour", "eq", "red", "a")})));
    EXPECT_TRUE(store->lookedUp.empty());
}

TEST_F(TriggerManagerTest, EveryTagMustBeStoredAndAcceptedAndTheFirstFailureEndsTheTest) {
    auto both = conditions({condition("string", "eq", "gold", "A"), condition("numeric", "gt", "3", "B")});
    store->tags = {{"B", "5"}};
    EXPECT_FALSE(manager.checkForMatchesWithTriggerConditions(both));
    EXPECT_EQ(store->lookedUp, std::vector<std::string>{"A"});
    EXPECT_EQ(logger->linesStartingWith("CST: "),
              (std::vector<testsupport::LogLine>{{"CST: Failed to find tag with key: A", 2}}));

    logger->clear();
    store->tags["A"] = "Gold";
    EXPECT_FALSE(manager.checkForMatchesWithTriggerConditions(both));
    EXPECT_EQ(
        logger->linesStartingWith("CST: "),
        (std::vector<testsupport::LogLine>{{"CST: Failed to match tag with key: A, local value = Gold", 2}}));

    store->tags["A"] = "gold";
    EXPECT_TRUE(manager.checkForMatchesWithTriggerConditions(both));
    // Presence is required before any matcher runs, even for "exists" with "false".
    EXPECT_FALSE(manager.checkForMatchesWithTriggerConditions(
        conditions({condition("exists", "exists", "false", "C")})));
    store->tags["C"] = "";
    EXPECT_TRUE(manager.checkForMatchesWithTriggerConditions(
        conditions({condition("exists", "exists", "false", "C")})));
}

}  // namespace
}  // namespace brindlecue
