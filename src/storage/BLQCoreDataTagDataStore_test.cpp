#include "storage/BLQCoreDataTagDataStore.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>

#include "storage/BLQCoreDataInstallDataStore.h"
#include "storage/BLQInstall.h"
#include "storage/BLQTag.h"
#include "storage/StoreTestSupport_test.h"

namespace brindlecue {
namespace {

using Result = BLQITagDataStore::Result;

class TagStoreTest : public testing::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        store = std::make_shared<BLQCoreDataTagDataStore>(context);
    }
    std::string value(const std::string& key) {
        auto tag = store->getTag(key);
        return tag ? tag->value : "<none>";
    }
    Result increment(const std::string& key, int64_t by) {
        std::optional<Result> out;
        store->incrementTag(key, by, [&](Result r) { out = std::move(r); });
        settle();
        return *out;
    }
    std::shared_ptr<BLQCoreDataTagDataStore> store;
};

TEST_F(TagStoreTest, KeysAreMatchedExactlyAndSuperTagPatternsAsExpressions) {
    store->saveTag("user_id", std::any(int64_t{42}), nullptr);
    store->saveTag("a_supertag_b", std::any(std::string("x")), nullptr);
    settle();
    EXPECT_EQ(value("user_id"), "42");
    logger->clear();
    EXPECT_EQ(value("user"), "<none>");
    EXPECT_EQ(logger->lines(), (std::vector<Line>{{"all Tag []", 2},
                                                  {"Tag: Couldn't find Tag with key: user", 2},
                                                  {"Tag: Couldn't find Tag with key: user", 4}}));
    // Saving "user" makes a tag of its own rather than rewriting "user_id".
    store->saveTag("user", std::any(std::string("ann")), nullptr);
    settle();
    EXPECT_EQ(value("user_id"), "42");
    EXPECT_EQ(value("user"), "ann");

    EXPECT_EQ(value("a_supertag_.*"), "x");     // a pattern
    EXPECT_EQ(value("a_supertag_"), "<none>");  // no pattern character: looked up exactly
    EXPECT_TRUE(BLQCoreDataTagDataStore::isRegexPattern("a?"));
    EXPECT_FALSE(BLQCoreDataTagDataStore::isRegexPattern("a_b.c"));
}

TEST_F(TagStoreTest, NumbersAreStoredAsTheirTextAndValuesWithoutTextAreRefused) {
    // A refused save completes at once, the others once written: kept by call, not by order.
    std::vector<std::optional<Result>> results(4);
    auto keep = [&](size_t i) { return [&results, i](Result r) { results[i] = std::move(r); }; };
    store->saveTag("whole", std::any(5.0), keep(0));
    store->saveTag("fraction", std::any(0.1), keep(1));
    store->saveTag("flag", std::any(std::string("on")), keep(2));
    store->saveTag("flag", std::any(true), keep(3));
    settle();
    for (const auto& r : results) ASSERT_TRUE(r);
    EXPECT_EQ(std::get<std::shared_ptr<BLQTagDTO>>(*results[0])->value, "5");
    EXPECT_EQ(std::get<std::shared_ptr<BLQTagDTO>>(*results[1])->value, "0.1");
    EXPECT_EQ(value("whole"), "5");
    EXPECT_EQ(value("fraction"), "0.1");
    // A Boolean has no text: the save fails and the earlier value stays.
    ASSERT_TRUE(std::holds_alternative<platform::Error>(*results[3]));
    EXPECT_EQ(std::get<platform::Error>(*results[3]).domain(), "BrindlecueSDK.TagError");
    EXPECT_EQ(value("flag"), "on");

    logger->clear();
    EXPECT_EQ(value("kj_supertag_(home*"), "<none>");
    EXPECT_EQ(logger->linesStartingWith("Tag: Invalid super-tag pattern").size(), 1u);
}

TEST_F(TagStoreTest, IncrementsReadDecimalTextAndRefuseToOverflow) {
    auto made = std::get<std::shared_ptr<BLQTagDTO>>(increment("count", 3));
    EXPECT_EQ(made->key, "count");
    EXPECT_EQ(made->value, "3");
    store->saveTag("count", std::any(std::string("12")), nullptr);
    EXPECT_EQ(std::get<std::shared_ptr<BLQTagDTO>>(increment("count", -2))->value, "10");
    store->saveTag("count", std::any(2.5), nullptr);
    EXPECT_EQ(std::get<std::shared_ptr<BLQTagDTO>>(increment("count", 1))->value, "1");
    store->saveTag("count", std::any(std::string("many")), nullptr);
    EXPECT_EQ(std::get<std::shared_ptr<BLQTagDTO>>(increment("count", 1))->value, "1");
    // One optional sign.
    store->saveTag("count", std::any(std::string("+7")), nullptr);
    EXPECT_EQ(std::get<std::shared_ptr<BLQTagDTO>>(increment("count", 1))->value, "8");
    for (const char* malformed : {"+-5", "++5", "--5", "-+5"}) {
        store->saveTag("count", std::any(std::string(malformed)), nullptr);
        EXPECT_EQ(std::get<std::shared_ptr<BLQTagDTO>>(increment("count", 1))->value, "1") << malformed;
    }

    store->saveTag("count", std::any(std::numeric_limits<int64_t>::max() - 1), nullptr);
    EXPECT_EQ(std::get<std::shared_ptr<BLQTagDTO>>(increment("count", 1))->value, "9223372036854775807");
    logger->clear();
    auto refused = increment("count", 1);
    ASSERT_TRUE(std::holds_alternative<platform::Error>(refused));
    EXPECT_EQ(value("count"), "9223372036854775807");
    EXPECT_EQ(logger->linesStartingWith("Tag: Refused").size(), 1u);
}

TEST_F(TagStoreTest, ASaveThatFailsReportsATagErrorAndLeavesTheEarlierValue) {
    store->saveTag("lang", std::any(std::string("en")), nullptr);
    settle();
    // Another writer's change that cannot be saved (a tag without its key) makes the context's
    // saves fail.
    std::shared_ptr<platform::ManagedObject> broken;
    context->performAndWait([&] {
        broken = context->insertNewObject(BLQTag::kEntityName);
        broken->setValue("key", platform::Value());
    });
    std::vector<std::optional<Result>> results(3);
    auto keep = [&](size_t i) { return [&results, i](Result r) { results[i] = std::move(r); }; };
    store->saveTag("lang", std::any(std::string("fr")), keep(0));
    store->saveTag("plan", std::any(std::string("gold")), keep(1));
    store->incrementTag("visits", 1, keep(2));
    settle();
    for (const auto& r : results) {
        ASSERT_TRUE(r) << "every caller hears back";
        ASSERT_TRUE(std::holds_alternative<platform::Error>(*r));
        EXPECT_EQ(std::get<platform::Error>(*r).domain(), "BrindlecueSDK.TagError");
    }
    EXPECT_EQ(logger->linesStartingWith("Tag: Failed to save context with error: ").size(), 3u);
    EXPECT_EQ(value("lang"), "en");
    EXPECT_EQ(value("plan"), "<none>");

    // Once the broken change is gone, saves succeed again, and none of the failed changes
    // reaches the file with them.
    context->performAndWait([&] { context->deleteObject(broken); });
    std::optional<Result> later;
    store->saveTag("theme", std::any(std::string("dark")), [&](Result r) { later = std::move(r); });
    settle();
    ASSERT_TRUE(later);
    EXPECT_TRUE(std::holds_alternative<std::shared_ptr<BLQTagDTO>>(*later));
    mainContext()->performAndWait([&] {
        auto stored = mainContext()->fetch(BLQTag::fetchRequest());
        ASSERT_TRUE(stored);
        std::map<std::string, std::string> tags;
        for (const auto& object : *stored)
            tags[object->stringValue("key").value_or("?")] = object->stringValue("value").value_or("?");
        EXPECT_EQ(tags, (std::map<std::string, std::string>{{"lang", "en"}, {"theme", "dark"}}));
    });
}

TEST_F(TagStoreTest, DeletingAndLinkingToTheInstall) {
    store->saveTags({std::make_shared<BLQTagDTO>("a", "1"), std::make_shared<BLQTagDTO>("b", "2")});
    settle();
    EXPECT_EQ(logger->linesStartingWith("Tag: Multi-save"),
              (std::vector<Line>{{"Tag: Multi-save - Saved tag, key: am value: 1", 2},
                                 {"Tag: Multi-save - Saved tag, key: bm value: 2", 2}}));

    std::shared_ptr<BLQInstallDTO> install;
    std::make_shared<BLQCoreDataInstallDataStore>(context)->createInstallForAppKey(
        "key-1",
        [&](BLQIInstallDataStore::CreateResult r) { install = std::get<std::shared_ptr<BLQInstallDTO>>(r); });
    settle();
    logger->clear();
    auto noId = std::make_shared<BLQInstallDTO>(*install);
    noId->installId.reset();
    store->associateTagsMissingInstall(noId);
    store->deleteTag("missing");
    settle();
    EXPECT_EQ(logger->linesStartingWith("Tag: "),
              (std::vector<Line>{
                  {"Tag: Failed to retrieve Install to associate with tags, no installId supplied", 4},
                  {"Tag: Failed to retrieve Install to associate with Tags missing Install", 4},
                  {"Tag: Couldn't find Tag with key: missing", 2},
                  {"Tag: Unable to delete UserEvent for tag with key: missing -> tag not found", 5},
              }));

    store->associateTagsMissingInstall(install);
    store->deleteTag("a");
    settle();
    EXPECT_EQ(value("a"), "<none>");
    context->performAndWait([&] {
        auto request = BLQTag::fetchRequest();
        request.setPredicate(BLQTag::findByMissingInstall());
        EXPECT_EQ(context->fetch(request)->size(), 0u);
        auto installs = context->fetch(BLQInstall::fetchRequest());
        ASSERT_EQ(installs->size(), 1u);
        EXPECT_EQ(installs->front()->relatedObjects("tags").size(), 1u);
    });
}

}  // namespace
}  // namespace brindlecue
