#include "storage/BLQCoreDataUserEventDataStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <future>

#include "platform/NotificationCenter.h"
#include "platform/TestingReset.h"
#include "storage/BLQCoreDataInstallDataStore.h"
#include "storage/BLQCoreDataSessionDataStore.h"
#include "storage/BLQCoreDataTagDataStore.h"
#include "storage/BLQPersistentContainer.h"
#include "storage/BLQTag.h"
#include "storage/BLQTagDTO.h"
#include "storage/BLQUserEvent.h"
#include "storage/StoreTestSupport_test.h"

namespace brindlecue {
namespace {

using platform::Date;
using platform::Value;
using EventPtr = std::shared_ptr<BLQUserEventDTO>;

class UserEventStoreTest : public testing::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        store = std::make_shared<BLQCoreDataUserEventDataStore>(context);
        std::make_shared<BLQCoreDataInstallDataStore>(context)->createInstallForAppKey(
            "key-1", [&](BLQIInstallDataStore::CreateResult r) { install = std::get<std::shared_ptr<BLQInstallDTO>>(r); });
        settle();
    }
    std::shared_ptr<BLQSessionDTO> openSession() {
        std::shared_ptr<BLQSessionDTO> made;
        std::make_shared<BLQCoreDataSessionDataStore>(context)->createSessionForInstall(
            install, [&](BLQISessionDataStore::CreateResult r) { made = std::get<std::shared_ptr<BLQSessionDTO>>(r); });
        settle();
        return made;
    }
    EventPtr create() {
        EventPtr made;
        store->createUserEventObject([&](BLQIUserEventDataStore::CreateResult r) { made = std::get<EventPtr>(r); });
        settle();
        return made;
    }
    std::vector<EventPtr> unsent() {
        std::vector<EventPtr> found;
        store->findUnsentUserEvents([&](BLQIUserEventDataStore::ListResult r) { found = std::get<0>(r); });
        settle();
        return found;
    }
    // A copy to hand to a queued operation, so that the test can go on editing its own record.
    static EventPtr copy(const EventPtr& event) { return std::make_shared<BLQUserEventDTO>(*event); }
    // The stored tag row that the event links, as "key=value", or none.
    std::optional<std::string> linkedTag(const std::string& id) {
        return context->performAndWait([&]() -> std::optional<std::string> {
            auto request = BLQUserEvent::fetchRequest();
            request.setPredicate(BLQUserEvent::findById(id));
            auto found = context->fetch(request);
            if (!found || found->empty()) return std::nullopt;
            auto tag = found->front()->relatedObject<BLQTag>("tag");
            if (!tag) return std::nullopt;
            return tag->key() + "=" + tag->valueText();
        });
    }

    std::shared_ptr<BLQCoreDataUserEventDataStore> store;
    std::shared_ptr<BLQInstallDTO> install;
};

// Rows of the store file with the event id, read through a connection of its own.
int storedRowsWithId(const std::filesystem::path& file, const std::string& id) {
    sqlite3* db = nullptr;
    int count = -1;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM UserEvent WHERE id = ?", -1, &stmt, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(stmt, 1, id.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(stmt) == SQLITE_ROW) count = sqlite3_column_int(stmt, 0);
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return count;
}

TEST_F(UserEventStoreTest, ABurstKeepsItsPlaceAmongOtherWorkAndHearsOfEachEventOnDisk) {
    auto session = openSession();
    auto tags = std::make_shared<BLQCoreDataTagDataStore>(context);
    const auto file = BLQCoreData::sharedInstance().persistentContainer()->storeURL();
    // Touched on the store's queue only.
    std::vector<std::string> heard;
    std::vector<int> rowsWhenHeard;
    auto record = [&](bool tagged) {
        store->createUserEventObject(
            [&, tagged](const EventPtr& event) {
                event->session = session;
                if (tagged) event->tag = std::make_shared<BLQTagDTO>("level", "1");
            },
            [&](BLQIUserEventDataStore::CreateResult result) {
                const auto& event = std::get<EventPtr>(result);
                heard.push_back(*event->id);
                rowsWhenHeard.push_back(storedRowsWithId(file, *event->id));
            });
    };
    // Recorded one after another without waiting: the events share the store's blocks, but an
    // event asked for after other work on the context (the tag's save) still comes after it.
    for (int i = 0; i < 20; ++i) record(false);
    record(true);
    tags->saveTag("level", std::any(std::string("1")), nullptr);
    record(true);
    for (int i = 0; i < 20; ++i) record(false);
    settle();

    ASSERT_EQ(heard.size(), 42u);
    EXPECT_EQ(rowsWhenHeard, std::vector<int>(42, 1));  // each completion ran with its event on disk
    EXPECT_FALSE(linkedTag(heard[20]));                 // made before the tag was saved
    EXPECT_EQ(linkedTag(heard[21]), "level=1");
    for (const auto& id : {heard[20], heard[21]}) {
        auto tagged = store->getUserEvent(id);
        ASSERT_TRUE(tagged->tag);
        EXPECT_EQ(tagged->tag->value, "1");
    }
    // Completions came in the order the events were asked for, which is the order they were made.
    std::vector<std::string> made = context->performAndWait([&] {
        auto objects = *context->fetch(BLQUserEvent::fetchRequest());
        std::sort(objects.begin(), objects.end(), [](const auto& a, const auto& b) {
            return a->objectID().primaryKey < b->objectID().primaryKey;
        });
        std::vector<std::string> ids;
        for (const auto& object : objects) ids.push_back(*object->stringValue("id"));
        return ids;
    });
    EXPECT_EQ(made, heard);
    for (const auto& id : heard) EXPECT_EQ(store->getUserEvent(id)->session->id, session->id);
}

TEST_F(UserEventStoreTest, EventsHandedToARunningBatchAreStoredByItsOneSave) {
    auto session = openSession();
    using platform::ManagedObjectContext;
    // Touched on the store's queue only.
    std::vector<size_t> insertedPerSave;
    auto& center = platform::NotificationCenter::defaultCenter();
    auto observer = center.addObserver(ManagedObjectContext::kDidSaveNotification, context, nullptr,
                                       [&](const platform::Notification& n) {
                                           insertedPerSave.push_back(
                                               ManagedObjectContext::savedObjectIDs(
                                                   n, ManagedObjectContext::kInsertedObjectsKey)
                                                   .size());
                                       });
    std::promise<void> allHeard;
    int heard = 0;
    std::function<void(int)> record = [&](int more) {
        store->createUserEventObject(
            [&, more](const EventPtr& event) {
                event->session = session;
                // Recorded while the batch that makes this event runs.
                if (more > 0) record(more - 1);
            },
            [&](BLQIUserEventDataStore::CreateResult result) {
                EXPECT_TRUE(std::holds_alternative<EventPtr>(result));
                if (++heard == 10) allHeard.set_value();
            });
    };
    // Nothing else is queued on the context meanwhile: the events are handed to the batch as
    // it runs.
    record(9);
    ASSERT_EQ(allHeard.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
    settle();
    center.removeObserver(observer);

    EXPECT_EQ(heard, 10);
    EXPECT_EQ(insertedPerSave, std::vector<size_t>{10});
    EXPECT_EQ(unsent().size(), 10u);
}

TEST_F(UserEventStoreTest, ANewEventIsUnsentWithoutSessionAndIsOfferedOnlyOnceLinked) {
    auto event = create();
    ASSERT_TRUE(event && event->id);
    EXPECT_EQ(event->id->size(), 36u);
    EXPECT_EQ(*event->id, [&] { std::string s = *event->id; for (auto& c : s) c = std::tolower(c); return s; }());
    EXPECT_EQ(event->status, BLQUserEventStatus::unsent);
    EXPECT_FALSE(event->session);
    EXPECT_FALSE(event->tag);
    EXPECT_TRUE(event->createdDate);
    EXPECT_TRUE(store->getUserEvent(*event->id)->modifiedDate);
    EXPECT_TRUE(unsent().empty());

    auto session = openSession();
    // A session record of another id links nothing.
    auto otherSession = std::make_shared<BLQSessionDTO>(*session);
    otherSession->id = 42;
    store->associateUserEventsWithoutSessionToSession(otherSession);
    settle();
    EXPECT_TRUE(unsent().empty());
    store->associateUserEventsWithoutSessionToSession(session);
    auto offered = unsent();
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0]->id, event->id);
    ASSERT_TRUE(offered[0]->session);
    EXPECT_EQ(offered[0]->session->id, session->id);
    EXPECT_EQ(logger->linesStartingWith("UserEvent: "),
              (std::vector<Line>{{"UserEvent: Failed to retrieve Session to associate with UserEvents missing Session", 4}}));
}

TEST_F(UserEventStoreTest, SavingWritesTheRecordAndChangesStatusesInBulk) {
    auto session = openSession();
    auto tags = std::make_shared<BLQCoreDataTagDataStore>(context);
    tags->saveTag("user_id", std::any(std::string("7")), nullptr);
    std::vector<EventPtr> events{create(), create(), create()};
    for (auto& e : events) {
        e->session = session;
        e->code = BLQUserEventCode::tagUpdated;
        e->details = Value::dictionary({{"feed_id", 12}});
        e->tag = std::make_shared<BLQTagDTO>("user_id", "7");
        e->sdkVersion = "4.2.0";
    }
    std::vector<EventPtr> copies;
    for (auto& e : events) copies.push_back(copy(e));
    store->saveUserEvents(copies);
    EXPECT_EQ(unsent().size(), 3u);

    for (auto& e : events) e->status = BLQUserEventStatus::sent;
    copies.clear();
    for (auto& e : events) copies.push_back(copy(e));
    store->saveUserEvents(copies);
    settle();
    EXPECT_TRUE(unsent().empty());
    auto stored = store->getUserEvent(*events[0]->id);
    EXPECT_EQ(stored->status, BLQUserEventStatus::sent);
    EXPECT_EQ(stored->code, BLQUserEventCode::tagUpdated);
    EXPECT_EQ(stored->details, Value::dictionary({{"feed_id", 12}}));
    EXPECT_EQ(stored->sdkVersion, "4.2.0");
    ASSERT_TRUE(stored->tag);
    EXPECT_EQ(stored->tag->key, "user_id");
    EXPECT_EQ(linkedTag(*events[0]->id), "user_id=7");

    // "user" is not "user_id": a record naming a tag that is not stored unlinks the tag (and the
    // event keeps the key and value it names); a record without a tag or session keeps both links.
    auto unlinking = copy(stored);
    unlinking->tag = std::make_shared<BLQTagDTO>("user", "7");
    unlinking->session.reset();
    store->saveUserEvent(unlinking);
    settle();
    stored = store->getUserEvent(*events[0]->id);
    EXPECT_FALSE(linkedTag(*events[0]->id));
    ASSERT_TRUE(stored->tag);
    EXPECT_EQ(stored->tag->key, "user");
    ASSERT_TRUE(stored->session);
}

TEST_F(UserEventStoreTest, EventsLinkTheTagThatHasTheirKeyNow) {
    auto session = openSession();
    auto tags = std::make_shared<BLQCoreDataTagDataStore>(context);
    auto saveWithTag = [&](const std::string& value) {
        auto event = create();
        event->session = session;
        event->tag = std::make_shared<BLQTagDTO>("level", value);
        store->saveUserEvent(copy(event));
        settle();
        return store->getUserEvent(*event->id);
    };
    tags->saveTag("level", std::any(std::string("1")), nullptr);
    settle();
    auto first = saveWithTag("1");
    ASSERT_TRUE(first->tag);
    EXPECT_EQ(first->tag->value, "1");
    EXPECT_EQ(linkedTag(*first->id), "level=1");

    // Deleted, the tag links no event; made again under the key, the new tag is the one linked.
    tags->deleteTag("level");
    settle();
    EXPECT_FALSE(linkedTag(*saveWithTag("1")->id));
    tags->saveTag("level", std::any(std::string("2")), nullptr);
    settle();
    auto third = saveWithTag("2");
    ASSERT_TRUE(third->tag);
    EXPECT_EQ(third->tag->value, "2");
    EXPECT_EQ(linkedTag(*third->id), "level=2");
    EXPECT_FALSE(linkedTag(*first->id));
}

// A tag event is sent with the tag as it was recorded: a later change of the tag's value or its
// deletion changes nothing of what the event says.
TEST_F(UserEventStoreTest, ATagEventKeepsTheKeyAndValueItWasRecordedWith) {
    auto session = openSession();
    auto tags = std::make_shared<BLQCoreDataTagDataStore>(context);
    auto record = [&](BLQUserEventCode code, const std::string& key, const std::string& value) {
        store->createUserEventObject(
            [=](const EventPtr& event) {
                event->code = code;
                event->session = session;
                event->tag = std::make_shared<BLQTagDTO>(key, value);
            },
            nullptr);
    };
    // As the tag manager records them: each event after the store has saved the value it names,
    // and the deletion's event before the tag is deleted.
    tags->saveTag("plan", std::any(std::string("one")), nullptr);
    record(BLQUserEventCode::tagUpdated, "plan", "one");
    tags->saveTag("plan", std::any(std::string("two")), nullptr);
    record(BLQUserEventCode::tagUpdated, "plan", "two");
    tags->saveTag("tier", std::any(std::string("gold")), nullptr);
    record(BLQUserEventCode::tagUpdated, "tier", "gold");
    record(BLQUserEventCode::tagDeleted, "tier", "gold");
    tags->deleteTag("tier");
    settle();

    auto said = [&] {
        std::vector<std::string> out;
        for (const auto& event : unsent()) {
            out.push_back(std::to_string(rawValue(event->code)) + " " +
                          (event->tag ? event->tag->key + "=" + event->tag->value : "no tag"));
        }
        std::sort(out.begin(), out.end());
        return out;
    };
    const std::vector<std::string> recorded{"8998 tier=gold", "8999 plan=one", "8999 plan=two",
                                            "8999 tier=gold"};
    EXPECT_EQ(said(), recorded);
    // A later value, or the deletion of the tag still linked, changes nothing.
    tags->saveTag("plan", std::any(std::string("three")), nullptr);
    settle();
    EXPECT_EQ(said(), recorded);
    tags->deleteTag("plan");
    settle();
    EXPECT_EQ(said(), recorded);
}

// Runs statements on the store file through a connection of its own; false when one fails.
bool execOnStoreFile(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    bool done = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return done;
}

// Events stored before events kept their tag's key and value have only the link to the tag row.
// Such an event, read from a file of that older form, reports the value the tag had until the
// tag changes: a change or a deletion first gives it that value, never a later one.
TEST_F(UserEventStoreTest, AnEventOfAnOlderFileKeepsTheTagValueItHadWhenTheTagChangesOrGoes) {
    auto session = openSession();
    auto tags = std::make_shared<BLQCoreDataTagDataStore>(context);
    // An event linked to the tag with no key or value of its own, as the older form stored it.
    auto linkOnly = [&](const std::string& tagKey) {
        auto event = create();
        event->session = session;
        event->code = BLQUserEventCode::tagUpdated;
        store->saveUserEvent(copy(event));
        settle();
        context->performAndWait([&] {
            auto request = BLQUserEvent::fetchRequest();
            request.setPredicate(BLQUserEvent::findById(*event->id));
            auto stored = context->fetch(request)->front();
            auto tagRequest = BLQTag::fetchRequest();
            tagRequest.setPredicate(BLQTag::findByKey(tagKey));
            stored->setRelatedObject("tag", context->fetch(tagRequest)->front());
            stored->setValue("tagKey", Value());
            stored->setValue("tagValue", Value());
            ASSERT_TRUE(context->save());
        });
        return *event->id;
    };
    tags->saveTag("level", std::any(std::string("1")), nullptr);
    tags->saveTag("count", std::any(std::string("10")), nullptr);
    settle();
    const std::string first = linkOnly("level");
    const std::string counted = linkOnly("count");

    // The file is made older: no tag columns in its events, and a model it was not made by.
    const auto file = BLQCoreData::sharedInstance().persistentContainer()->storeURL();
    store.reset();
    tags.reset();
    context.reset();
    platform::TestingReset::runAll();
    ASSERT_TRUE(execOnStoreFile(file,
                                "ALTER TABLE UserEvent DROP COLUMN tagKey;"
                                "ALTER TABLE UserEvent DROP COLUMN tagValue;"
                                "UPDATE Z_METADATA SET Z_VALUE = 'older' WHERE Z_KEY = 'NSStoreModelVersionHash';"));
    context = BLQCoreData::sharedInstance().backgroundContext();
    store = std::make_shared<BLQCoreDataUserEventDataStore>(context);
    tags = std::make_shared<BLQCoreDataTagDataStore>(context);

    auto tagOf = [&](const std::string& id) -> std::string {
        auto stored = store->getUserEvent(id);
        return stored && stored->tag ? stored->tag->key + "=" + stored->tag->value : "no tag";
    };
    EXPECT_EQ(tagOf(first), "level=1") << "the tag as it is";
    EXPECT_EQ(tagOf(counted), "count=10");

    tags->saveTag("level", std::any(std::string("2")), nullptr);
    tags->incrementTag("count", 5, nullptr);
    settle();
    EXPECT_EQ(tagOf(first), "level=1") << "a later value is not the event's";
    EXPECT_EQ(tagOf(counted), "count=10");
    EXPECT_EQ(linkedTag(first), "level=2");

    // An event of the older form linked after the change keeps the value it met.
    const std::string second = linkOnly("level");
    tags->saveTag("level", std::any(std::string("3")), nullptr);
    settle();
    EXPECT_EQ(tagOf(second), "level=2");
    tags->deleteTag("level");
    settle();
    EXPECT_FALSE(linkedTag(first));
    EXPECT_EQ(tagOf(first), "level=1");
    EXPECT_EQ(tagOf(second), "level=2");

    // What was kept is in the file, and is what the upload reads.
    std::vector<std::string> values;
    for (const auto& event : unsent())
        values.push_back(event->tag ? event->tag->key + "=" + event->tag->value : "no tag");
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, (std::vector<std::string>{"count=10", "level=1", "level=2"}));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* read = nullptr;
    sqlite3_prepare_v2(db, "SELECT tagValue FROM UserEvent WHERE id = ?", -1, &read, nullptr);
    sqlite3_bind_text(read, 1, first.c_str(), -1, SQLITE_TRANSIENT);
    ASSERT_EQ(sqlite3_step(read), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(read, 0)), "1");
    sqlite3_finalize(read);
    sqlite3_close(db);
}

TEST_F(UserEventStoreTest, AnEventSavedAfterItsSessionClosedKeepsIt) {
    auto session = openSession();
    auto event = create();
    event->session = session;
    store->saveUserEvent(copy(event));
    auto closed = std::make_shared<BLQSessionDTO>(*session);
    closed->endTime = Date::now();
    std::make_shared<BLQCoreDataSessionDataStore>(context)->saveSession(closed);
    settle();

    event->session = closed;
    event->status = BLQUserEventStatus::sending;
    store->saveUserEvent(copy(event));
    settle();
    auto stored = store->getUserEvent(*event->id);
    ASSERT_TRUE(stored->session);
    EXPECT_EQ(stored->session->id, session->id);
    EXPECT_EQ(stored->status, BLQUserEventStatus::sending);

    // A session that cannot be found (its install has no app key, or no session has its id)
    // leaves the event with the session it has.
    auto keyless = std::make_shared<BLQInstallDTO>(*install);
    keyless->appKey.reset();
    event->session = std::make_shared<BLQSessionDTO>(session->id, std::nullopt, std::nullopt, keyless, std::nullopt);
    store->saveUserEvent(copy(event));
    auto unknown = std::make_shared<BLQSessionDTO>(*session);
    unknown->id = 999;
    event->session = unknown;
    event->status = BLQUserEventStatus::sent;
    store->saveUserEvent(copy(event));
    settle();
    stored = store->getUserEvent(*event->id);
    ASSERT_TRUE(stored->session);
    EXPECT_EQ(stored->session->id, session->id);
    EXPECT_EQ(stored->status, BLQUserEventStatus::sent);
}

TEST_F(UserEventStoreTest, MissingEventsAreLoggedAndLeaveTheOthersUntouched) {
    std::vector<EventPtr> events{create(), create(), create()};
    auto ghost = copy(events[1]);
    ghost->id = "ghost";
    store->deleteUserEvents({events[0], ghost, events[2]});
    settle();
    EXPECT_FALSE(store->getUserEvent(*events[0]->id));
    EXPECT_TRUE(store->getUserEvent(*events[1]->id));
    EXPECT_FALSE(store->getUserEvent(*events[2]->id));
    logger->clear();

    auto noId = copy(events[1]);
    noId->id.reset();
    store->saveUserEvent(ghost);
    store->saveUserEvent(noId);
    store->deleteUserEvent(noId);
    settle();
    EXPECT_EQ(logger->lines(),
              (std::vector<Line>{
                  {"UserEvent: Couldn't find UserEvent with id: ghost", 4},
                  {"UserEvent: Attempting to save UserEvent, but doesn't exist in DB, aborting.", 4},
                  {"UserEvent: Attempting to save UserEvent, which has no id, aborting.", 4},
                  {"UserEvent: Attempting to delete UserEvent which doesn't have an id, aborting.", 4},
              }));
}

}  // namespace
}  // namespace brindlecue
