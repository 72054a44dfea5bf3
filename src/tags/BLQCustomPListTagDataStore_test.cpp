#include "tags/BLQCustomPListTagDataStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "support/RecordingLoggerManager.h"
#include "tags/TagError.h"

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

}  // namespace
}  // namespace brindlecue
