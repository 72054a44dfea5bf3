#include "storage/BLQCoreDataSessionDataStore.h"

#include <gtest/gtest.h>

#include "storage/BLQCoreDataInstallDataStore.h"
#include "storage/BLQSession.h"
#include "storage/StoreTestSupport_test.h"

namespace brindlecue {
namespace {

using platform::Clock;
using platform::Date;
using Result = BLQISessionDataStore::CreateResult;

class SessionStoreTest : public testing::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        store = std::make_shared<BLQCoreDataSessionDataStore>(context);
        auto installs = std::make_shared<BLQCoreDataInstallDataStore>(context);
        installs->createInstallForAppKey("key-1", [&](BLQIInstallDataStore::CreateResult r) {
            install = std::get<std::shared_ptr<BLQInstallDTO>>(r);
        });
        settle();
    }
    std::shared_ptr<BLQSessionDTO> create() {
        std::shared_ptr<BLQSessionDTO> made;
        store->createSessionForInstall(install, [&](Result r) { made = std::get<std::shared_ptr<BLQSessionDTO>>(r); });
        settle();
        return made;
    }
    size_t sessionCount() {
        return context->performAndWait([&] { return *context->count(BLQSession::fetchRequest()); });
    }
    std::shared_ptr<BLQCoreDataSessionDataStore> store;
    std::shared_ptr<BLQInstallDTO> install;
};

TEST_F(SessionStoreTest, IdsFollowTheLargestStoredIdAndNeverRepeat) {
    auto first = create();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->id, 1);
    EXPECT_EQ(first->startTime, Date::now());
    EXPECT_TRUE(first->isOpen());
    ASSERT_TRUE(first->install);
    EXPECT_EQ(first->install->installId, install->installId);

    // Two creates queued back to back, before either save has run or reached the main context.
    std::vector<int64_t> ids;
    for (int i = 0; i < 2; ++i)
        store->createSessionForInstall(install, [&](Result r) {
            ids.push_back(std::get<std::shared_ptr<BLQSessionDTO>>(r)->id);
        });
    settle();
    EXPECT_EQ(ids, (std::vector<int64_t>{2, 3}));

    // With sessions 1 (closed), 2 and 7 stored, the next one is 8.
    first->endTime = Date::now();
    store->saveSession(first);
    context->performAndWait([&] {
        auto request = BLQSession::fetchRequest();
        request.setPredicate(BLQSession::findBySessionId(3, "key-1"));
        context->fetch(request)->front()->setValue("id", 7);
    });
    BLQCoreData::sharedInstance().saveContext();
    settle();
    EXPECT_EQ(create()->id, 8);
}

TEST_F(SessionStoreTest, TheOpenSessionIsTheOneWithoutAnEndTime) {
    EXPECT_FALSE(store->getSessionForAppKey("key-1"));
    auto session = create();
    Clock::advance(60);
    auto closing = std::make_shared<BLQSessionDTO>(*session);
    closing->endTime = Date::now();
    store->saveSession(closing);
    settle();
    EXPECT_FALSE(store->getSessionForAppKey("key-1"));

    // The closed session is no longer found, so saving it again changes and logs nothing.
    auto reopening = std::make_shared<BLQSessionDTO>(*session);
    store->saveSession(reopening);
    store->saveSession(std::make_shared<BLQSessionDTO>(99, Date::now(), std::nullopt, install, std::nullopt));
    store->saveSession(std::make_shared<BLQSessionDTO>(1, Date::now(), std::nullopt, nullptr, std::nullopt));
    settle();
    EXPECT_FALSE(store->getSessionForAppKey("key-1"));

    auto next = create();
    auto open = store->getSessionForAppKey("key-1");
    ASSERT_TRUE(open);
    EXPECT_EQ(open->id, next->id);
    EXPECT_EQ(logger->linesStartingWith("Session: "),
              (std::vector<Line>{{"Session: Couldn't find 'open' Session with appKey: key-1", 4},
                                 {"Session: Couldn't find 'open' Session with appKey: key-1", 4},
                                 {"Session: Couldn't find 'open' Session with appKey: key-1", 4}}));

    // The stored record carries the end time the close wrote.
    context->performAndWait([&] {
        auto request = BLQSession::fetchRequest();
        request.setPredicate(BLQSession::findBySessionId(session->id, "key-1"));
        auto closed = std::dynamic_pointer_cast<BLQSession>(context->fetch(request)->front());
        EXPECT_EQ(closed->endTime(), closing->endTime);
        EXPECT_EQ(closed->startTime(), session->startTime);
    });
}

TEST_F(SessionStoreTest, ACreationThatCannotFindItsInstallFailsAndInsertsNothing) {
    std::vector<std::string> failures;
    auto record = [&](Result r) { failures.push_back(std::get<SessionError>(r).message()); };
    auto noId = std::make_shared<BLQInstallDTO>(*install);
    noId->installId.reset();
    auto unknown = std::make_shared<BLQInstallDTO>(*install);
    unknown->installId = "unknown-id";
    store->createSessionForInstall(noId, record);
    store->createSessionForInstall(unknown, record);
    settle();
    EXPECT_EQ(failures,
              (std::vector<std::string>{"Session: No installId present on the Install object, aborting",
                                        "Session: Couldn't find Install to associate Session with, installId : unknown-id"}));
    EXPECT_EQ(logger->lines(), (std::vector<Line>{{failures[0], 4}, {failures[1], 4}}));
    EXPECT_EQ(sessionCount(), 0u);
    EXPECT_EQ(create()->id, 1);
    EXPECT_EQ(SessionError::creationError("x").toError().domain(), "BrindlecueSDK.SessionError");
}

}  // namespace
}  // namespace brindlecue
