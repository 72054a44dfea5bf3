#include "storage/BLQCoreDataInstallDataStore.h"

#include <gtest/gtest.h>

#include <cctype>

#include "storage/BLQInstall.h"
#include "storage/StoreTestSupport_test.h"

namespace brindlecue {
namespace {

using platform::Clock;
using platform::Date;

class InstallStoreTest : public testing::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        store = std::make_shared<BLQCoreDataInstallDataStore>(context);
    }
    std::shared_ptr<BLQInstallDTO> create(const std::string& appKey) {
        std::shared_ptr<BLQInstallDTO> made;
        store->createInstallForAppKey(appKey, [&](BLQIInstallDataStore::CreateResult result) {
            made = std::get<std::shared_ptr<BLQInstallDTO>>(result);
        });
        settle();
        return made;
    }
    size_t installCount() {
        return context->performAndWait([&] { return *context->count(BLQInstall::fetchRequest()); });
    }
    std::shared_ptr<BLQCoreDataInstallDataStore> store;
};

TEST_F(InstallStoreTest, CreatesAnInstallWithALowerCaseIdAndFindsItByAppKey) {
    Date createdAt = Date::now();
    std::shared_ptr<BLQInstallDTO> made;
    store->createInstallForAppKey("key-1", [&](BLQIInstallDataStore::CreateResult result) {
        made = std::get<std::shared_ptr<BLQInstallDTO>>(result);
    });
    settle();
    ASSERT_TRUE(made);
    ASSERT_TRUE(made->installId);
    const std::string& id = *made->installId;
    EXPECT_EQ(id.size(), 36u);
    for (size_t i : {8u, 13u, 18u, 23u}) EXPECT_EQ(id[i], '-');
    for (char c : id) EXPECT_TRUE(c == '-' || std::isdigit(c) || (c >= 'a' && c <= 'f')) << id;
    EXPECT_EQ(made->appKey, "key-1");
    EXPECT_FALSE(made->isRegisteredWithServer);
    EXPECT_EQ(made->createdDate, createdAt);
    // The completion runs before the save it requested.
    EXPECT_FALSE(made->modifiedDate);

    auto found = store->getInstallForAppKey("key-1");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->installId, id);
    EXPECT_EQ(found->modifiedDate, createdAt);
    EXPECT_TRUE(logger->lines().empty());

    EXPECT_FALSE(store->getInstallForAppKey("other"));
    EXPECT_EQ(logger->lines(), (std::vector<Line>{{"Install: Couldn't find Install for appKey: other", 4}}));
}

TEST_F(InstallStoreTest, SaveUpdatesTheInstallOfTheRecordsAppKeyOnly) {
    auto made = create("key-1");
    made->sdkVersion = "4.2.0";
    made->isRegisteredWithServer = true;
    made->installId = "rewritten-id";
    Clock::advance(10);
    store->saveInstall(made);
    settle();
    auto found = store->getInstallForAppKey("key-1");
    EXPECT_EQ(found->sdkVersion, "4.2.0");
    EXPECT_TRUE(found->isRegisteredWithServer);
    EXPECT_EQ(found->installId, "rewritten-id");
    EXPECT_EQ(found->modifiedDate, Date::now());

    auto stranger = create("key-2");
    auto keyless = std::make_shared<BLQInstallDTO>(*stranger);
    stranger->appKey = "missing";
    stranger->sdkVersion = "9";
    store->saveInstall(stranger);
    keyless->appKey.reset();
    keyless->sdkVersion = "9";
    store->saveInstall(keyless);
    settle();
    EXPECT_EQ(store->getInstallForAppKey("key-2")->sdkVersion, std::nullopt);
    EXPECT_EQ(logger->linesStartingWith("Install: "),
              (std::vector<Line>{
                  {"Install: Couldn't find Install for appKey: missing", 4},
                  {"Install: Attempting to save Install, but doesn't exist in DB, aborting. If you want to create a "
                   "new install, use the CreateInstallForAppKey function",
                   4},
                  {"Install: Attempting to save Install, but has no AppKey specified. If you want to create a new "
                   "install, use the CreateInstallForAppKey function",
                   4},
              }));
}

TEST_F(InstallStoreTest, DeleteFindsTheInstallByInstallIdOnly) {
    auto made = create("key-1");
    auto impostor = create("key-1");
    EXPECT_EQ(installCount(), 2u);  // nothing stops a second install of a key

    auto idless = std::make_shared<BLQInstallDTO>(*impostor);
    impostor->installId = "not-stored";
    store->deleteInstall(impostor);
    idless->installId.reset();
    store->deleteInstall(idless);
    settle();
    EXPECT_EQ(installCount(), 2u);
    EXPECT_EQ(logger->lines(),
              (std::vector<Line>{
                  {"Install: Couldn't find Install for installId: not-stored", 4},
                  {"Install: Attempting to delete Install, but doesn't exist in DB, aborting.", 4},
                  {"Install: Attempting to delete Install which doesn't have an installId, aborting.", 4},
              }));

    store->deleteInstall(made);
    settle();
    EXPECT_EQ(installCount(), 1u);
    EXPECT_EQ(mainContext()->count(BLQInstall::fetchRequest()), 1u);
}

TEST_F(InstallStoreTest, DictionaryFormsOfTheStoredInstallAndOfTheRecord) {
    auto bare = create("");
    context->performAndWait([&] {
        auto request = BLQInstall::fetchRequest();
        request.setPredicate(BLQInstall::findByInstallId(*bare->installId));
        auto install = std::dynamic_pointer_cast<BLQInstall>(context->fetch(request)->front());
        install->setAppKey(std::nullopt);
        install->setCreatedDate(std::nullopt);
        install->setModifiedDate(std::nullopt);
        auto own = install->asDictionary();
        EXPECT_EQ(own["app_key"], "Harbor_lanternfly");
        EXPECT_EQ(own["app_id"], 417263);
        EXPECT_EQ(own["created"], "");
        EXPECT_EQ(own["modified"], "");
        EXPECT_EQ(own["development_platform"], "");
        EXPECT_EQ(own["operating_system"], "ios");
        EXPECT_EQ(own["id"], *bare->installId);
        EXPECT_EQ(own.count(), 9u);
        install->setAppKey(std::string());
        EXPECT_EQ(install->asDictionary()["app_key"], "");
    });

    BLQInstallDTO record(std::nullopt, 7, std::nullopt, "1.0", std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                         "17.0", std::nullopt, Date::fromTimeIntervalSince1970(1709647629.123), std::nullopt, true,
                         std::nullopt, std::nullopt, std::nullopt);
    auto document = record.asDictionary();
    EXPECT_EQ(document.count(), 11u);
    EXPECT_TRUE(document["id"].isNull());
    EXPECT_TRUE(document["app_key"].isNull());
    EXPECT_EQ(document["created"], "2024-03-05T14:07:09.123Z");
    EXPECT_EQ(document["modified"], "");
    EXPECT_EQ(document["carrier_name"], "");
    EXPECT_EQ(document["blq_version"], "1.0");
    EXPECT_EQ(document["qx_version"], "1.0");
    EXPECT_TRUE(document["osVersion"].isAbsent());
}

}  // namespace
}  // namespace brindlecue
