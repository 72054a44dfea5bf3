#include "tags/BLQTagManager.h"

#include <gtest/gtest.h>

#include "config/BLQInstallDTO.h"
#include "storage/TagError.h"
#include "support/RecordingLoggerManager.h"
#include "tags/BLQTagKey.h"
#include "tags/BLQTagTestDoubles_test.h"

namespace brindlecue {
namespace {

class TagManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        install->current = std::make_shared<BLQInstallDTO>(
            std::string("abc"), 42, std::string("app-key"), std::nullopt, std::nullopt, std::nullopt,
            std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, true,
            std::nullopt, std::nullopt, std::nullopt);
    }

    // Saves and answers how the save ended: "success", "failure" or "pending".
    std::string save(const std::string& key, std::any value, bool force = false) {
        std::string outcome = "pending";
        manager->saveTagWithKey(
            key, value, [&] { outcome = "success"; }, [&](const platform::Error&) { outcome = "failure"; },
            force);
        return outcome;
    }
    std::vector<std::string> messages() const { return events->events(); }
    std::string tagValue(size_t i) const { return events->sent().at(i).tag.value().value; }

    std::shared_ptr<testsupport::RecordingLoggerManager> logger =
        std::make_shared<testsupport::RecordingLoggerManager>();
    testsupport::ScopedLoggerManager loggerInstalled{logger};
    std::shared_ptr<testing::InMemoryTagStore> store = std::make_shared<testing::InMemoryTagStore>();
    std::shared_ptr<testing::FakeTagRequester> requester = std::make_shared<testing::FakeTagRequester>();
    std::shared_ptr<testing::RecordingUserEventManager> events =
        std::make_shared<testing::RecordingUserEventManager>();
    std::shared_ptr<testing::FakeInstallManager> install = std::make_shared<testing::FakeInstallManager>();
    std::shared_ptr<BLQTagManager> manager = std::make_shared<BLQTagManager>(
        store, requester, events, install, std::vector<std::string>{BLQTagKey::previewMode()},
        std::vector<std::string>{BLQTagKey::previewMode()});
};

TEST_F(TagManagerTest, ASaveIsReportedOnlyWhenItsValueIsNewOrChangedOrForced) {
    EXPECT_EQ(save("plan", std::string("gold")), "success");
    EXPECT_EQ(save("plan", std::string("gold")), "success");
    EXPECT_EQ(save("plan", std::string("silver")), "success");
    EXPECT_EQ(save("plan", std::string("silver"), true), "success");
    EXPECT_EQ(messages(),
              (std::vector<std::string>{"8999 Added or updated tag: plan", "8999 Added or updated tag: plan",
                                        "8999 Added or updated tag: plan"}));
    EXPECT_EQ(tagValue(1), "silver");
    EXPECT_EQ(store->associations, 4);

    // A number is compared by the text the store keeps: 2.0 saved as "2", then the integer 2.
    events->clear();
    save("score", 2.0);
    save("score", int64_t{2});
    save("score", 2.5);
    EXPECT_EQ(messages(), (std::vector<std::string>{"8999 Added or updated tag: score",
                                                    "8999 Added or updated tag: score"}));
    EXPECT_EQ(tagValue(1), "2.5");

    // The preview-mode key makes an event only when forced; without an install nothing is linked.
    events->clear();
    install->current = nullptr;
    save(BLQTagKey::previewMode(), std::string("true"));
    EXPECT_TRUE(messages().empty());
    save(BLQTagKey::previewMode(), std::string("true"), true);
    EXPECT_EQ(messages(), (std::vector<std::string>{"8999 Added or updated tag: kj_preview_mode"}));
    EXPECT_EQ(store->associations, 7);

    // An increment is always reported, even one that changes nothing.
    events->clear();
    manager->incrementTagWithKey("count", 0);
    EXPECT_EQ(messages(), (std::vector<std::string>{"8997 Incremented tag: count"}));
}

TEST_F(TagManagerTest, AFailedSaveReachesTheFailureBlockOnly) {
    store->failWith = platform::Error::withDescription("Test", 3, "disk full");
    EXPECT_EQ(save("plan", std::string("gold")), "failure");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(store->associations, 0);
    EXPECT_TRUE(logger->contains("Tag: Failed to save tag: plan, value: gold, error: disk full", 4));

    // An increment that fails is only logged.
    manager->incrementTagWithKey("count", 2);
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(logger->contains("Tag: Failed to increment tag: count, value: 2, error: disk full", 4));
}

TEST_F(TagManagerTest, DeletionsAreReportedAndPreviewModeIsAlsoSentToTheServer) {
    EXPECT_EQ(manager->getTagValueWithKey("missing"), "");
    manager->deleteTagWithKey("missing");
    EXPECT_TRUE(
        logger->contains("Tag: Did not delete tag with key: missing as no tag existed with that key", 2));
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(store->deleted.empty());

    store->tags = {{"plan", "gold"}, {"kj_preview_mode", "true"}};
    manager->deleteTagWithKey("plan");
    EXPECT_TRUE(requester->deletedKeys.empty());

    requester->failWith = platform::Error::withDescription("Test", 1, "offline");
    manager->deleteTagWithKey(BLQTagKey::previewMode());
    EXPECT_EQ(requester->deletedKeys, std::vector<std::string>{"kj_preview_mode"});
    EXPECT_TRUE(
        logger->contains("Tag: Failed to send priority delete for key: kj_preview_mode, error: offline", 2));
    // The event carries the tag as it was before the store forgot it.
    EXPECT_EQ(messages(),
              (std::vector<std::string>{"8998 Deleted tag: plan", "8998 Deleted tag: kj_preview_mode"}));
    EXPECT_EQ(tagValue(1), "true");
    EXPECT_EQ(store->deleted, (std::vector<std::string>{"plan", "kj_preview_mode"}));
    EXPECT_TRUE(store->tags.empty());
}


// A store that completes its saves without a record.
class SilentTagStore final : public BLQITagDataStore {
public:
    void deleteTag(const std::string&) override {}
    std::shared_ptr<BLQTagDTO> getTag(const std::string&) override { return nullptr; }
    void associateTagsMissingInstall(const std::shared_ptr<BLQInstallDTO>&) override {}
    void incrementTag(const std::string&, int64_t, Completion completion) override { completion(nullptr); }
    void saveTag(const std::string&, const std::any&, Completion completion) override { completion(nullptr); }
    void saveTag(const std::shared_ptr<BLQTagDTO>&, Completion completion) override { completion(nullptr); }
    void saveTags(const std::vector<std::shared_ptr<BLQTagDTO>>&) override {}
};

TEST_F(TagManagerTest, AStoreThatKeepsNoRecordFailsTheSaveAndAManagerWithoutInstallsStillWorks) {
    auto silent = std::make_shared<BLQTagManager>(std::make_shared<SilentTagStore>(), requester, events, install,
                                                  std::vector<std::string>{}, std::vector<std::string>{});
    std::optional<platform::Error> failed;
    silent->saveTagWithKey(
        "plan", std::any(std::string("gold")), [] {}, [&](const platform::Error& e) { failed = e; }, false);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->domain(), TagError::kDomain);
    EXPECT_NE(failed->localizedDescription().find("The tag store kept no tag for key: plan"), std::string::npos);
    EXPECT_TRUE(messages().empty());

    // Without an install manager saves, increments and deletions go on and link nothing.
    auto alone = std::make_shared<BLQTagManager>(store, nullptr, events, nullptr, std::vector<std::string>{},
                                                 std::vector<std::string>{BLQTagKey::previewMode()});
    std::string outcome;
    alone->saveTagWithKey(
        "plan", std::any(std::string("gold")), [&] { outcome = "success"; }, nullptr, false);
    alone->incrementTagWithKey("count", 1);
    store->tags[BLQTagKey::previewMode()] = "true";
    alone->deleteTagWithKey(BLQTagKey::previewMode());
    EXPECT_EQ(outcome, "success");
    EXPECT_EQ(store->associations, 0);
    EXPECT_EQ(messages(), (std::vector<std::string>{"8999 Added or updated tag: plan", "8997 Incremented tag: count",
                                                    "8998 Deleted tag: kj_preview_mode"}));
}

TEST_F(TagManagerTest, APriorityDeletionTheServerTookIsLogged) {
    store->tags = {{"kj_preview_mode", "true"}};
    manager->deleteTagWithKey(BLQTagKey::previewMode());
    EXPECT_EQ(requester->deletedKeys, std::vector<std::string>{"kj_preview_mode"});
    EXPECT_TRUE(logger->contains("Tag: Successfully sent priority delete for key: kj_preview_mode", 2));
    EXPECT_EQ(store->deleted, std::vector<std::string>{"kj_preview_mode"});
}

}  // namespace
}  // namespace brindlecue
