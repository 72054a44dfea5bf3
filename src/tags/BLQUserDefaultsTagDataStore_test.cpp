#include "tags/BLQUserDefaultsTagDataStore.h"

#include <gtest/gtest.h>

#include "platform/AppContainer.h"
#include "support/RecordingLoggerManager.h"

namespace brindlecue {
namespace {

using Result = BLQITagDataStore::Result;

TEST(UserDefaultsTagStore, EveryEntryIsKeptAsTextSoNumbersAndCountersReadBack) {
    auto logger = testsupport::RecordingLoggerManager::install();
    auto store = std::make_shared<BLQUserDefaultsTagDataStore>();
    std::vector<Result> results;
    auto keep = [&](Result r) { results.push_back(std::move(r)); };

    store->saveTag("score", std::any(2.5), keep);
    store->saveTag("plan", std::any(std::string("gold")), keep);
    store->incrementTag("plan", 3, keep);
    store->incrementTag("plan", 2, keep);
    store->saveTag("flag", std::any(true), keep);
    ASSERT_EQ(results.size(), 5u);
    EXPECT_EQ(std::get<std::shared_ptr<BLQTagDTO>>(results[3])->value, "2");
    EXPECT_TRUE(std::holds_alternative<platform::Error>(results[4]));

    // A second store over the same defaults reads what the first wrote.
    platform::UserDefaults::resetStandardForTesting();
    auto reread = std::make_shared<BLQUserDefaultsTagDataStore>();
    EXPECT_EQ(reread->getTag("score")->value, "2.5");
    EXPECT_EQ(reread->getTag("plan")->value, "5");  // a text that was no integer started from 0
    EXPECT_FALSE(reread->getTag("flag"));
    EXPECT_TRUE(logger->contains("Tag: User Defaults Tags Data Store -> not found for key: flag", 2));

    reread->deleteTag("plan");
    EXPECT_FALSE(reread->getTag("plan"));
    EXPECT_TRUE(platform::UserDefaults::standard().object("plan").isAbsent());
}

}  // namespace
}  // namespace brindlecue
