#include "tags/BLQUserDefaultsTagDataStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/AppContainer.h"
#include "storage/TagError.h"
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


TEST(UserDefaultsTagStore, IncrementsAddToIntegersAndRefuseToLeaveTheirRange) {
    auto logger = testsupport::RecordingLoggerManager::install();
    auto store = std::make_shared<BLQUserDefaultsTagDataStore>();
    std::vector<Result> results;
    auto keep = [&](Result r) { results.push_back(std::move(r)); };
    // An integer entry another writer left is counted from.
    platform::UserDefaults::standard().setInteger("launches", 4);
    store->incrementTag("launches", 3, keep);
    EXPECT_EQ(store->getTag("launches")->value, "7");
    store->saveTag("max", std::any(std::string("9223372036854775807")), keep);
    store->incrementTag("max", 1, keep);
    ASSERT_EQ(results.size(), 3u);
    ASSERT_TRUE(std::holds_alternative<platform::Error>(results[2]));
    EXPECT_EQ(store->getTag("max")->value, "9223372036854775807");
    EXPECT_TRUE(logger->contains(
        "Tag: Refused to increment tag with key: max by 1, the sum leaves the 64-bit integer range", 5));
    // Without completions the work is done all the same.
    store->incrementTag("launches", 1, nullptr);
    store->saveTag("plan", std::any(std::string("gold")), nullptr);
    store->saveTag(std::shared_ptr<BLQTagDTO>(), nullptr);
    EXPECT_EQ(store->getTag("launches")->value, "8");
    EXPECT_EQ(store->getTag("plan")->value, "gold");

    store->saveTags({std::make_shared<BLQTagDTO>("lang", "en"), nullptr});
    EXPECT_EQ(store->getTag("lang")->value, "en");
    EXPECT_TRUE(logger->contains("Tag: Multi-save - Saved tag, key: langm value: en", 2));
}

TEST(UserDefaultsTagStore, DefaultsThatCannotBeWrittenFailTheSave) {
    auto logger = testsupport::RecordingLoggerManager::install();
    // The defaults file's folder is a file: nothing can be written there.
    auto blocker = platform::AppContainer::documentsDirectory() / "blocker";
    std::filesystem::create_directories(blocker.parent_path());
    std::ofstream(blocker) << "x";
    platform::UserDefaults defaults(blocker / "prefs.plist");
    auto store = std::make_shared<BLQUserDefaultsTagDataStore>(&defaults);
    std::vector<Result> results;
    auto keep = [&](Result r) { results.push_back(std::move(r)); };
    store->saveTag("plan", std::any(std::string("gold")), keep);
    store->incrementTag("visits", 1, keep);
    ASSERT_EQ(results.size(), 2u);
    for (const auto& result : results) {
        ASSERT_TRUE(std::holds_alternative<platform::Error>(result));
        EXPECT_EQ(std::get<platform::Error>(result).domain(), TagError::kDomain);
    }
    EXPECT_NE(std::get<platform::Error>(results[0]).localizedDescription().find("could not write tag: plan"),
              std::string::npos);
    EXPECT_EQ(logger->count("Tag: User Defaults Tags Data Store -> save Tag: plan"), 0u);
    EXPECT_EQ(logger->count("Tag: User Defaults Tags Data Store -> increment Tag: visits"), 0u);
}

}  // namespace
}  // namespace brindlecue
