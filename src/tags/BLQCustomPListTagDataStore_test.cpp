#include "tags/BLQCustomPListTagDataStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "storage/TagError.h"
#include "support/RecordingLoggerManager.h"

namespace brindlecue {
namespace {

using Result = BLQITagDataStore::Result;

class PListTagStoreTest : public ::testing::Test {
protected:
    // Runs the store's queued work and answers the completion's result.
    Result wait(const std::function<void(BLQITagDataStore::Completion)>& start) {
        std::promise<Result> promise;
        start([&](Result r) { promise.set_value(std::move(r)); });
        return promise.get_future().get();
    }
    std::string valueOf(const Result& r) {
        auto* tag = std::get_if<std::shared_ptr<BLQTagDTO>>(&r);
        return tag ? (*tag)->value : "error: " + std::get<platform::Error>(r).localizedDescription();
    }
    std::vector<SwiftTag> file() const { return store->PListManager()->readTags(); }

    std::shared_ptr<testsupport::RecordingLoggerManager> logger =
        testsupport::RecordingLoggerManager::install();
    std::shared_ptr<BLQCustomPListTagDataStore> store = std::make_shared<BLQCustomPListTagDataStore>();
};

TEST_F(PListTagStoreTest, SavesMoveTheirKeyToTheEndAndIncrementsAddToIntegers) {
    EXPECT_EQ(store->PListManager()->plistFilePath.filename(), "CST.plist");
    for (const char* v : {"a", "b"})
        wait([&](auto done) { store->saveTag("plan", std::any(std::string(v)), done); });
    wait([&](auto done) { store->saveTag("lang", std::any(std::string("en")), done); });
    EXPECT_EQ(valueOf(wait([&](auto done) { store->saveTag("plan", std::any(2.5), done); })), "2.5");
    EXPECT_EQ(file(), (std::vector<SwiftTag>{{"lang", "en"}, {"plan", "2.5"}}));

    // Completes with the amount, not the new total.
    EXPECT_EQ(valueOf(wait([&](auto done) { store->incrementTag("count", 3, done); })), "3");
    EXPECT_EQ(valueOf(wait([&](auto done) { store->incrementTag("count", 2, done); })), "2");
    EXPECT_EQ(store->getTag("count")->value, "5");
    // A value that is no integer stays as it is.
    EXPECT_EQ(valueOf(wait([&](auto done) { store->incrementTag("lang", 1, done); })), "1");
    EXPECT_EQ(store->getTag("lang")->value, "en");
}

TEST_F(PListTagStoreTest, DeletesAndUnreadableFiles) {
    std::ofstream(store->PListManager()->plistFilePath)
        << "<plist><dict><key>key</key><string>a</string></dict></plist>";
    EXPECT_FALSE(store->getTag("a"));
    // The next write replaces what could not be read.
    store->deleteTag("a");
    wait([&](auto done) { store->saveTag("lang", std::any(std::string("en")), done); });
    EXPECT_EQ(file(), (std::vector<SwiftTag>{{"lang", "en"}}));
    EXPECT_TRUE(logger->contains("Tag: PList Tags Data Store -> delete Tag: a", 2));
}

TEST_F(PListTagStoreTest, ChangesFromSeveralStoresAtOnceAreAllKept) {
    auto other = std::make_shared<BLQCustomPListTagDataStore>();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            auto& s = t % 2 ? other : store;
            for (int i = 0; i < 15; ++i) {
                wait([&](auto done) {
                    s->saveTag("k" + std::to_string(t) + "_" + std::to_string(i), std::any(int64_t{i}), done);
                });
                wait([&](auto done) { s->incrementTag("total", 1, done); });
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(file().size(), 61u);
    EXPECT_EQ(store->getTag("total")->value, "60");
}

TEST_F(PListTagStoreTest, AFailedWriteIsReportedAndLeavesTheFileAsItWas) {
    wait([&](auto done) { store->saveTag("plan", std::any(std::string("gold")), done); });
    // A directory in the file's place cannot be replaced by the file.
    auto path = store->PListManager()->plistFilePath;
    std::filesystem::remove(path);
    std::filesystem::create_directories(path / "blocked");
    auto result = wait([&](auto done) { store->saveTag("plan", std::any(std::string("silver")), done); });
    ASSERT_TRUE(std::holds_alternative<platform::Error>(result));
    EXPECT_EQ(std::get<platform::Error>(result).domain(), TagError::kDomain);
    EXPECT_EQ(logger->count("Tag: PList Tags Data Store -> error writing to PList: "), 1u);
    auto incremented = wait([&](auto done) { store->incrementTag("visits", 1, done); });
    ASSERT_TRUE(std::holds_alternative<platform::Error>(incremented));
    EXPECT_EQ(std::get<platform::Error>(incremented).domain(), TagError::kDomain);
    EXPECT_EQ(logger->count("Tag: PList Tags Data Store -> increment Tag: visits"), 0u);
    EXPECT_EQ(logger->count("Tag: PList Tags Data Store -> save Tag: plan with value: silver"), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(path / "blocked"));
    // No temporary file is left behind.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path.parent_path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}


TEST_F(PListTagStoreTest, AnIncrementPastTheIntegerRangeOrOfASignedTextIsHandledAsTheIntegerItReads) {
    wait([&](auto done) { store->saveTag("max", std::any(std::string("9223372036854775807")), done); });
    auto refused = wait([&](auto done) { store->incrementTag("max", 1, done); });
    ASSERT_TRUE(std::holds_alternative<platform::Error>(refused));
    EXPECT_NE(valueOf(refused).find("the sum leaves the 64-bit integer range"), std::string::npos);
    EXPECT_EQ(store->getTag("max")->value, "9223372036854775807");
    EXPECT_TRUE(logger->contains(
        "Tag: Refused to increment tag with key: max by 1, the sum leaves the 64-bit integer range", 5));

    // One leading sign is an integer; a sign alone, two signs or other text is not.
    for (const auto& pair : std::vector<std::pair<std::string, std::string>>{
             {"+5", "6"}, {"-5", "-4"}, {"+", "+"}, {"+-5", "+-5"}, {"", ""}, {"5 ", "5 "}}) {
        const std::string stored = pair.first;
        wait([&](auto done) { store->saveTag("n", std::any(stored), done); });
        EXPECT_EQ(valueOf(wait([&](auto done) { store->incrementTag("n", 1, done); })), "1") << stored;
        EXPECT_EQ(store->getTag("n")->value, pair.second) << stored;
    }
}

TEST_F(PListTagStoreTest, LookupsOfAMissingFileOrKeyAndValuesWithoutTextFindNothing) {
    EXPECT_FALSE(store->getTag("plan"));
    EXPECT_TRUE(logger->contains("Tag: PList Tags Data Store -> get Tag: not found for key: plan", 2));
    wait([&](auto done) { store->saveTag("plan", std::any(std::string("gold")), done); });
    EXPECT_FALSE(store->getTag("lang"));
    EXPECT_TRUE(logger->contains("Tag: PList Tags Data Store -> get Tag: not found for key lang", 2));
    EXPECT_EQ(store->getTag("plan")->value, "gold");
    EXPECT_TRUE(logger->contains("Tag: PList Tags Data Store -> get Tag: found with key: plan", 2));

    // A value without a text form stores nothing and says so.
    auto refused = wait([&](auto done) { store->saveTag("flag", std::any(true), done); });
    ASSERT_TRUE(std::holds_alternative<platform::Error>(refused));
    EXPECT_EQ(std::get<platform::Error>(refused).domain(), TagError::kDomain);
    EXPECT_EQ(file(), (std::vector<SwiftTag>{{"plan", "gold"}}));

    // A deletion of a key that is there removes it only; work without a completion still runs.
    store->saveTag("lang", std::any(std::string("en")), nullptr);
    store->incrementTag("visits", 2, nullptr);
    store->deleteTag("plan");
    store->saveTag(std::shared_ptr<BLQTagDTO>(), nullptr);
    wait([&](auto done) { store->saveTag(std::make_shared<BLQTagDTO>("theme", "dark"), done); });
    EXPECT_EQ(file(), (std::vector<SwiftTag>{{"lang", "en"}, {"visits", "2"}, {"theme", "dark"}}));

    // A list in the file with one element that is no key and value pair reads as no tags.
    std::ofstream(store->PListManager()->plistFilePath)
        << R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><array>)"
        << "<dict><key>key</key><string>a</string><key>value</key><string>1</string></dict>"
        << "<dict><key>key</key><string>b</string><key>value</key><integer>2</integer></dict>"
        << "</array></plist>";
    EXPECT_FALSE(store->getTag("a"));
    EXPECT_TRUE(file().empty());
    // So do bytes that are no property list, and an empty file.
    std::ofstream(store->PListManager()->plistFilePath) << "not a property list";
    EXPECT_FALSE(store->getTag("a"));
    EXPECT_TRUE(file().empty());
    std::ofstream(store->PListManager()->plistFilePath, std::ios::trunc).close();
    EXPECT_FALSE(store->getTag("a"));
    EXPECT_TRUE(file().empty());
    wait([&](auto done) { store->saveTag("lang", std::any(std::string("fr")), done); });
    EXPECT_EQ(file(), (std::vector<SwiftTag>{{"lang", "fr"}}));
}

TEST_F(PListTagStoreTest, SavingSeveralTagsLogsEachOutcome) {
    store->saveTags({std::make_shared<BLQTagDTO>("plan", "gold"), nullptr, std::make_shared<BLQTagDTO>("lang", "en")});
    wait([&](auto done) { store->incrementTag("after", 1, done); });  // the queue runs in order
    EXPECT_EQ(file(), (std::vector<SwiftTag>{{"plan", "gold"}, {"lang", "en"}, {"after", "1"}}));
    EXPECT_TRUE(logger->contains("Tag: Multi-save - Saved tag, key: planm value: gold", 2));
    EXPECT_TRUE(logger->contains("Tag: Multi-save - Saved tag, key: langm value: en", 2));

    // A write that fails is logged with the record that was meant to be kept.
    auto path = store->PListManager()->plistFilePath;
    std::filesystem::remove(path);
    std::filesystem::create_directories(path / "blocked");
    store->saveTags({std::make_shared<BLQTagDTO>("plan", "silver")});
    wait([&](auto done) { store->incrementTag("after", 1, done); });
    EXPECT_EQ(logger->count("Tag: Multi-save - Failed to save tag, key: planm value: silver, error: "), 1u);
}

}  // namespace
}  // namespace brindlecue
