#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <set>

#include "platform/AppContainer.h"
#include "platform/NotificationCenter.h"
#include "platform/coredata/CoreDataError.h"
#include "platform/coredata/TestModel_test.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"

using namespace brindlecue::platform;
using namespace brindlecue::platform::testing;

namespace {

struct ContainerTest : ::testing::Test {
    void SetUp() override {
        Clock::useVirtual();
        std::filesystem::remove_all(PersistentContainer::defaultDirectoryURL());  // when run in one process
    }
    void TearDown() override {
        RunLoop::main().runUntilIdle();
        Clock::useReal();
    }
};

size_t countOf(const std::shared_ptr<ManagedObjectContext>& context, const std::string& entity,
               PredicatePtr predicate = nullptr) {
    FetchRequest request(entity);
    request.setPredicate(std::move(predicate));
    return context->performAndWait([&] { return context->count(request).value_or(999); });
}

}  // namespace

TEST_F(ContainerTest, StoreIsAWalDatabaseInApplicationSupport) {
    std::optional<Error> error;
    auto container = loadTestContainer(&error);
    EXPECT_FALSE(error);
    auto expected = AppContainer::libraryDirectory() / "Application Support" / "Brindlecue.sqlite";
    EXPECT_EQ(container->storeURL(), expected);
    ASSERT_TRUE(std::filesystem::exists(expected));

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(expected.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &stmt, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "wal");
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

TEST_F(ContainerTest, AFileOfAnOlderModelGainsTheColumnsAndIndexesItLacks) {
    auto path = PersistentContainer::defaultDirectoryURL() / "Brindlecue.sqlite";
    std::filesystem::create_directories(path.parent_path());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE Install (Z_PK INTEGER PRIMARY KEY, Z_OPT INTEGER NOT NULL DEFAULT 1, "
                           "appKey TEXT); INSERT INTO Install VALUES (7, 1, 'old');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    std::optional<Error> error;
    auto container = loadTestContainer(&error);
    ASSERT_FALSE(error) << error->description();
    auto context = container->newBackgroundContext();
    context->performAndWait([&] {
        auto old = context->existingObject({"Install", 7});
        ASSERT_TRUE(old);
        EXPECT_EQ(old->stringValue("appKey"), "old");
        EXPECT_FALSE(old->integerValue("appId"));
        old->setValue("appId", 3);
        auto added = context->insertNewObject("Install");
        EXPECT_GT(added->objectID().primaryKey, 7);
        EXPECT_TRUE(context->save());
    });
    EXPECT_EQ(countOf(context, "Install", Predicate::equal("appId", 3)), 1u);

    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name", -1, &stmt,
                                 nullptr),
              SQLITE_OK);
    std::set<std::string> indexes;
    while (sqlite3_step(stmt) == SQLITE_ROW) indexes.insert(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    EXPECT_EQ(indexes, (std::set<std::string>{"Session_install_INDEX", "Tag_install_INDEX", "UserEvent_session_INDEX",
                                              "sqlite_autoindex_Z_METADATA_1"}));
}

namespace {

// What the file's metadata holds under the key.
std::optional<std::string> metadataValue(const std::filesystem::path& file, const std::string& key) {
    sqlite3* db = nullptr;
    std::optional<std::string> out;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT Z_VALUE FROM Z_METADATA WHERE Z_KEY = ?", -1, &stmt, nullptr) ==
            SQLITE_OK) {
            sqlite3_bind_text(stmt, 1, key.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(stmt) == SQLITE_ROW)
                out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return out;
}

std::optional<Error> load(PersistentContainer& container) {
    std::optional<Error> error;
    container.loadPersistentStores(
        [&](const std::filesystem::path&, const std::optional<Error>& e) { error = e; });
    return error;
}

}  // namespace

TEST_F(ContainerTest, TheFileKeepsItsModelsHashAndALaterModelStillUpgradesIt) {
    auto first = makeTestModel();
    auto path = PersistentContainer::defaultDirectoryURL() / "Brindlecue.sqlite";
    std::string identifier;
    ManagedObjectID kept;
    {
        PersistentContainer container("Brindlecue", first);
        ASSERT_FALSE(load(container));
        auto context = container.newBackgroundContext();
        context->performAndWait([&] {
            auto install = context->insertNewObject("Install");
            install->setValue("appKey", "kept");
            ASSERT_TRUE(context->save());
            kept = install->objectID();
        });
        identifier = container.persistentStoreCoordinator()->storeIdentifier();
    }
    EXPECT_EQ(metadataValue(path, "NSStoreModelVersionHash"), first->versionHash());

    // The same model again: the same store, and keys go on from the rows it holds.
    {
        PersistentContainer container("Brindlecue", first);
        ASSERT_FALSE(load(container));
        EXPECT_EQ(container.persistentStoreCoordinator()->storeIdentifier(), identifier);
        auto context = container.newBackgroundContext();
        context->performAndWait([&] {
            EXPECT_EQ(context->existingObject(kept)->stringValue("appKey"), "kept");
            EXPECT_GT(context->insertNewObject("Install")->objectID().primaryKey, kept.primaryKey);
            EXPECT_TRUE(context->save());
        });
    }

    // A later model with a new attribute, defaulted: the old rows gain the column and its value,
    // and the file the new hash.
    auto grown = std::make_shared<ManagedObjectModel>();
    for (const auto& entity : first->entities()) {
        EntityDescription copy = *entity;
        if (copy.name() == "Install") copy.addAttribute("channel", AttributeType::String, true, "store");
        grown->addEntity(std::move(copy));
    }
    ASSERT_NE(grown->versionHash(), first->versionHash());
    PersistentContainer container("Brindlecue", grown);
    ASSERT_FALSE(load(container));
    EXPECT_EQ(container.persistentStoreCoordinator()->storeIdentifier(), identifier);
    EXPECT_EQ(metadataValue(path, "NSStoreModelVersionHash"), grown->versionHash());
    auto context = container.newBackgroundContext();
    context->performAndWait([&] {
        auto install = context->existingObject(kept);
        ASSERT_TRUE(install);
        EXPECT_EQ(install->stringValue("channel"), "store");
        EXPECT_GT(context->insertNewObject("Install")->objectID().primaryKey, kept.primaryKey + 1);
        EXPECT_TRUE(context->save());
    });
    EXPECT_EQ(countOf(context, "Install"), 3u);
}

TEST(ManagedObjectModel, TheVersionHashFollowsEverythingTheStoreIsMadeOf) {
    auto base = [] {
        EntityDescription tag("Tag");
        tag.addAttribute("key", AttributeType::String, false, "")
            .addAttribute("count", AttributeType::Integer64);
        return tag;
    };
    ManagedObjectModel a, b;
    a.addEntity(base());
    b.addEntity(base());
    EXPECT_EQ(a.versionHash(), b.versionHash());
    EXPECT_EQ(a.versionHash().size(), 32u);

    auto hashWith = [&](const std::function<void(EntityDescription&)>& change) {
        EntityDescription tag = base();
        change(tag);
        ManagedObjectModel model;
        model.addEntity(std::move(tag));
        return model.versionHash();
    };
    std::set<std::string> hashes{a.versionHash()};
    hashes.insert(hashWith([](EntityDescription& t) { t.addIndex("key"); }));
    hashes.insert(hashWith([](EntityDescription& t) { t.addAttribute("note", AttributeType::String); }));
    hashes.insert(hashWith([](EntityDescription& t) { t.addAttribute("note", AttributeType::Binary); }));
    hashes.insert(
        hashWith([](EntityDescription& t) { t.addAttribute("note", AttributeType::String, true, "x"); }));
    hashes.insert(
        hashWith([](EntityDescription& t) { t.addTransformableAttribute("note", kTestTransformer); }));
    EXPECT_EQ(hashes.size(), 6u);

    // A model changed after its hash was asked for has another one.
    const std::string before = a.versionHash();
    a.addEntity(EntityDescription("Other"));
    EXPECT_NE(a.versionHash(), before);
}

TEST_F(ContainerTest, StoreThatCannotLoadIsReportedNotFatal) {
    auto url = PersistentContainer::defaultDirectoryURL() / "Brindlecue.sqlite";
    std::filesystem::create_directories(url.parent_path());
    std::ofstream(url) << "this is not a database, just some text that fills the header and more of it";

    std::optional<Error> error;
    auto container = loadTestContainer(&error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), kCocoaErrorDomain);
    EXPECT_EQ(error->code(), static_cast<int64_t>(CoreDataError::FileReadCorrupt));
    ASSERT_TRUE(error->underlyingError());
    EXPECT_EQ(error->underlyingError()->domain(), kSQLiteErrorDomain);

    // The container stays usable; what touches the store fails with an error.
    auto main = container->viewContext();
    Error fetchError;
    EXPECT_FALSE(main->fetch(FetchRequest("Install"), &fetchError));
    EXPECT_EQ(fetchError.code(), static_cast<int64_t>(CoreDataError::CoreData));
    main->insertNewObject("Install");
    EXPECT_FALSE(main->save());

    PersistentContainer unnamed("NoModelHere");
    std::optional<Error> missing;
    unnamed.loadPersistentStores(
        [&](const std::filesystem::path&, const std::optional<Error>& e) { missing = e; });
    EXPECT_TRUE(missing);
}

TEST_F(ContainerTest, ModelRegisteredUnderTheNameIsFound) {
    ManagedObjectModel::registerNamed("Brindlecue", makeTestModel());
    PersistentContainer container("Brindlecue");
    std::optional<Error> error;
    container.loadPersistentStores(
        [&](const std::filesystem::path&, const std::optional<Error>& e) { error = e; });
    EXPECT_FALSE(error);
    EXPECT_TRUE(container.viewContext()->insertNewObject("Session"));
}

TEST_F(ContainerTest, DataSurvivesClosingAndReopening) {
    Value details = Value::dictionary({{"a", 1}, {"b", Value::array({"x", 2.5})}});
    Date when = Date::now().addingTimeInterval(0.25);
    ManagedObjectID installID, sessionID;
    {
        auto container = loadTestContainer();
        auto context = container->newBackgroundContext();
        context->performAndWait([&] {
            auto install = context->insertNewObject("Install");
            install->setValue("appKey", "ключ-✓");
            install->setValue("appId", INT64_MAX);
            install->setValue("isRegisteredWithServer", true);
            install->setValue("score", -0.5);
            auto session = context->insertNewObject("Session");
            session->setValue("id", 42);
            session->setValue("startTime", when);
            session->setRelatedObject("install", install);
            auto event = context->insertNewObject("UserEvent");
            event->setValue("details", details);
            event->setValue("status", -3);
            event->setRelatedObject("session", session);
            ASSERT_TRUE(context->save());
            installID = install->objectID();
            sessionID = session->objectID();
        });
    }
    auto container = loadTestContainer();
    auto context = container->newBackgroundContext();
    context->performAndWait([&] {
        auto install = context->existingObject(installID);
        ASSERT_TRUE(install);
        EXPECT_EQ(install->stringValue("appKey"), "ключ-✓");
        EXPECT_EQ(install->integerValue("appId"), INT64_MAX);
        EXPECT_EQ(install->boolValue("isRegisteredWithServer"), true);
        EXPECT_EQ(install->doubleValue("score"), -0.5);
        EXPECT_EQ(install->stringValue("installId")->size(), 36u);
        auto sessions = install->relatedObjects("sessions");
        ASSERT_EQ(sessions.size(), 1u);
        EXPECT_EQ(sessions[0]->objectID(), sessionID);
        EXPECT_EQ(sessions[0]->dateValue("startTime"), when);
        auto events = sessions[0]->relatedObjects("userEvents");
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0]->value("details"), details);
        EXPECT_EQ(events[0]->integerValue("status"), -3);

        // New objects after the reopen take fresh keys.
        auto next = context->insertNewObject("Install");
        EXPECT_GT(next->objectID().primaryKey, installID.primaryKey);
        EXPECT_TRUE(context->save());
    });
    EXPECT_EQ(countOf(context, "Install"), 2u);
}

// New rows go in many to a statement while a run of one entity lasts: runs broken by other
// entities, runs longer than a statement takes and the rows left over all come back as saved.
TEST_F(ContainerTest, LongRunsOfNewRowsComeBackWholeAndInTheirPlaces) {
    const std::vector<int> runs = {70, 1, 33, 31, 64};  // events, then a tag between each run
    std::vector<ManagedObjectID> eventIDs, tagIDs;
    {
        auto container = loadTestContainer();
        auto context = container->newBackgroundContext();
        context->performAndWait([&] {
            auto session = context->insertNewObject("Session");
            session->setValue("id", 7);
            int n = 0;
            for (size_t r = 0; r < runs.size(); ++r) {
                for (int i = 0; i < runs[r]; ++i, ++n) {
                    auto event = context->insertNewObject("UserEvent");
                    event->setValue("id", "e" + std::to_string(n));
                    event->setValue("status", n % 5);
                    if (n % 3 == 0) event->setValue("details", Value::dictionary({{"n", n}}));
                    if (n % 2 == 0) event->setRelatedObject("session", session);
                    eventIDs.push_back(event->objectID());
                }
                auto tag = context->insertNewObject("Tag");
                tag->setValue("key", "t" + std::to_string(r));
                tagIDs.push_back(tag->objectID());
            }
            ASSERT_TRUE(context->save());
        });
    }
    auto container = loadTestContainer();
    auto context = container->newBackgroundContext();
    EXPECT_EQ(countOf(context, "UserEvent"), eventIDs.size());
    EXPECT_EQ(countOf(context, "UserEvent", Predicate::isNotNil("session")), (eventIDs.size() + 1) / 2);
    context->performAndWait([&] {
        for (size_t n = 0; n < eventIDs.size(); ++n) {
            auto event = context->existingObject(eventIDs[n]);
            ASSERT_TRUE(event) << n;
            EXPECT_EQ(event->stringValue("id"), "e" + std::to_string(n));
            EXPECT_EQ(event->integerValue("status"), static_cast<int64_t>(n % 5));
            EXPECT_EQ(event->value("details"),
                      n % 3 == 0 ? Value::dictionary({{"n", static_cast<int64_t>(n)}}) : Value())
                << n;
            EXPECT_EQ(event->relatedObject("session") != nullptr, n % 2 == 0) << n;
        }
        for (size_t r = 0; r < tagIDs.size(); ++r) {
            auto tag = context->existingObject(tagIDs[r]);
            ASSERT_TRUE(tag);
            EXPECT_EQ(tag->stringValue("key"), "t" + std::to_string(r));
        }
    });
}

// Two containers over one file hand out the same new keys: the second save fails on a row
// inside a run, and none of its rows stays behind.
TEST_F(ContainerTest, ASaveThatFailsInsideARunOfNewRowsLeavesNoneOfThem) {
    auto first = loadTestContainer();
    auto second = loadTestContainer();
    auto late = second->newBackgroundContext();
    late->performAndWait([&] { late->insertNewObject("UserEvent")->setValue("id", "late-0"); });
    auto early = first->newBackgroundContext();
    early->performAndWait([&] {
        for (int i = 0; i < 40; ++i) early->insertNewObject("UserEvent")->setValue("id", "early");
        ASSERT_TRUE(early->save());
    });
    late->performAndWait([&] {
        for (int i = 1; i < 40; ++i) late->insertNewObject("UserEvent")->setValue("id", "late");
        Error error;
        EXPECT_FALSE(late->save(&error));
        EXPECT_NE(error.localizedDescription().find("Cannot insert"), std::string::npos)
            << error.localizedDescription();
    });
    auto reader = first->newBackgroundContext();
    EXPECT_EQ(countOf(reader, "UserEvent"), 40u);
    EXPECT_EQ(countOf(reader, "UserEvent", Predicate::equal("id", "early")), 40u);
}

TEST_F(ContainerTest, TwoPrivateContextsSavingAtOnceLoseNothing) {
    auto container = loadTestContainer();
    constexpr int kPerContext = 300;
    auto group = DispatchGroup::create();
    std::atomic<int> failures{0};
    std::vector<std::shared_ptr<ManagedObjectContext>> contexts = {container->newBackgroundContext(),
                                                                   container->newBackgroundContext()};
    for (size_t c = 0; c < contexts.size(); ++c) {
        auto context = contexts[c];
        group->enter();
        context->perform([&, context, c] {
            for (int round = 0; round < 3; ++round) {
                for (int i = 0; i < kPerContext / 3; ++i) {
                    auto tag = context->insertNewObject("Tag");
                    tag->setValue("key", "c" + std::to_string(c) + "-" + std::to_string(round) + "-" +
                                             std::to_string(i));
                }
                if (!context->save()) ++failures;
            }
            group->leave();
        });
    }
    group->wait();
    EXPECT_EQ(failures, 0);
    auto reader = container->newBackgroundContext();
    EXPECT_EQ(countOf(reader, "Tag"), 2u * kPerContext);
    EXPECT_EQ(countOf(reader, "Tag", Predicate::matches("key", "c1-.*")), size_t{kPerContext});
}

// Wired the way the library's stack wires it: every save of the background context is merged
// into the main context on the main queue.
TEST_F(ContainerTest, BackgroundSaveReachesTheMainContextOnlyThroughTheMerge) {
    auto container = loadTestContainer();
    auto main = container->viewContext();
    auto install = main->insertNewObject("Install");
    install->setValue("appKey", "old");
    auto doomed = main->insertNewObject("Tag");
    ASSERT_TRUE(main->save());
    EXPECT_TRUE(install->relatedObjects("sessions").empty());

    auto background = container->newBackgroundContext();
    std::atomic<int> merges{0};
    auto observer = NotificationCenter::defaultCenter().addObserver(
        ManagedObjectContext::kDidSaveNotification, background, nullptr, [&, main](const Notification& n) {
            // Posted on the background context's queue (which a wait from the main thread may run
            // on that thread, as the platform does), not on the main queue.
            EXPECT_NE(DispatchQueue::currentLabel(), DispatchQueue::main()->label());
            main->perform([&, main, n] {
                EXPECT_TRUE(isMainThread());
                main->mergeChangesFromContextDidSaveNotification(n);
                ++merges;
            });
        });

    background->performAndWait([&] {
        auto there = background->existingObject(install->objectID());
        there->setValue("appKey", "new");
        auto session = background->insertNewObject("Session");
        session->setValue("id", 1);
        there->addRelatedObject("sessions", session);
        background->deleteObject(background->existingObject(doomed->objectID()));
        ASSERT_TRUE(background->save());
    });

    // Saved, but the main context still shows what it had.
    EXPECT_EQ(merges, 0);
    EXPECT_EQ(install->stringValue("appKey"), "old");
    EXPECT_TRUE(install->relatedObjects("sessions").empty());
    EXPECT_EQ(doomed->managedObjectContext(), main);

    RunLoop::main().runUntilIdle();
    EXPECT_EQ(merges, 1);
    EXPECT_EQ(install->stringValue("appKey"), "new");
    auto sessions = install->relatedObjects("sessions");
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0]->relatedObject("install"), install);
    EXPECT_EQ(doomed->managedObjectContext(), nullptr);
    EXPECT_FALSE(main->hasChanges());
    NotificationCenter::defaultCenter().removeObserver(observer);
}

TEST_F(ContainerTest, AutomaticMergingBringsInOtherContextsSaves) {
    auto container = loadTestContainer();
    auto main = container->viewContext();
    auto install = main->insertNewObject("Install");
    ASSERT_TRUE(main->save());

    auto background = container->newBackgroundContext();
    background->setAutomaticallyMergesChangesFromParent(true);
    auto there = background->performAndWait([&] { return background->existingObject(install->objectID()); });

    install->setValue("appKey", "from-main");
    ASSERT_TRUE(main->save());
    // The merge was queued on the background context before this block.
    background->performAndWait([&] { EXPECT_EQ(there->stringValue("appKey"), "from-main"); });

    background->setAutomaticallyMergesChangesFromParent(false);
    install->setValue("appKey", "unseen");
    ASSERT_TRUE(main->save());
    background->performAndWait([&] { EXPECT_EQ(there->stringValue("appKey"), "from-main"); });
}

// A model the store cannot hold is refused when the store is loaded, with the reason, before
// any file is made; the container stays usable and reports the refusal on every touch.
TEST_F(ContainerTest, AModelTheStoreCannotHoldIsRefusedBeforeAFileIsMade) {
    using Build = std::function<void(ManagedObjectModel&)>;
    auto entity = [](const char* name) { return EntityDescription(name); };
    const std::vector<std::pair<std::string, Build>> invalid = {
        {"Invalid or duplicate entity name \"Z_PRIMARYKEY\"",
         [&](ManagedObjectModel& m) { m.addEntity(entity("Z_PRIMARYKEY")); }},
        {"Invalid or duplicate entity name \"\"", [&](ManagedObjectModel& m) { m.addEntity(entity("")); }},
        {"Invalid or duplicate entity name \"Tag\"",
         [&](ManagedObjectModel& m) { m.addEntity(entity("Tag")).addEntity(entity("Tag")); }},
        {"Invalid or duplicate property \"key\" in entity Tag",
         [&](ManagedObjectModel& m) {
             EntityDescription tag("Tag");
             tag.addAttribute("key", AttributeType::String).addAttribute("key", AttributeType::Integer64);
             m.addEntity(std::move(tag));
         }},
        {"Invalid or duplicate property \"Z_PK\" in entity Tag",
         [&](ManagedObjectModel& m) {
             EntityDescription tag("Tag");
             tag.addAttribute("Z_PK", AttributeType::Integer64);
             m.addEntity(std::move(tag));
         }},
        {"Transformable attribute Tag.details names no value transformer",
         [&](ManagedObjectModel& m) {
             EntityDescription tag("Tag");
             tag.addTransformableAttribute("details", "");
             m.addEntity(std::move(tag));
         }},
        {"Relationship Tag.owner has no destination entity Owner",
         [&](ManagedObjectModel& m) {
             EntityDescription tag("Tag");
             tag.addToOneRelationship("owner", "Owner", "tags");
             m.addEntity(std::move(tag));
         }},
        {"Relationship Tag.owner has no matching inverse",
         [&](ManagedObjectModel& m) {
             EntityDescription tag("Tag"), owner("Owner");
             tag.addToOneRelationship("owner", "Owner", "tags");
             owner.addToManyRelationship("labels", "Tag", "owner");
             m.addEntity(std::move(tag)).addEntity(std::move(owner));
         }},
        {"Relationship Tag.owner has no matching inverse",
         [&](ManagedObjectModel& m) {
             EntityDescription tag("Tag"), owner("Owner"), other("Other");
             tag.addToOneRelationship("owner", "Owner", "tags");
             owner.addToManyRelationship("tags", "Other", "owner");
             other.addToOneRelationship("owner", "Owner", "tags");
             m.addEntity(std::move(tag)).addEntity(std::move(owner)).addEntity(std::move(other));
         }},
        {"Relationship Tag.owners and its inverse are both to-many",
         [&](ManagedObjectModel& m) {
             EntityDescription tag("Tag"), owner("Owner");
             tag.addToManyRelationship("owners", "Owner", "tags");
             owner.addToManyRelationship("tags", "Tag", "owners");
             m.addEntity(std::move(tag)).addEntity(std::move(owner));
         }},
        {"Invalid or duplicate property \"key\" in entity Tag",
         [&](ManagedObjectModel& m) {
             EntityDescription tag("Tag"), owner("Owner");
             tag.addAttribute("key", AttributeType::String).addToOneRelationship("key", "Owner", "tags");
             owner.addToManyRelationship("tags", "Tag", "key");
             m.addEntity(std::move(tag)).addEntity(std::move(owner));
         }},
    };
    const auto url = PersistentContainer::defaultDirectoryURL() / "Refused.sqlite";
    for (const auto& [reason, build] : invalid) {
        auto model = std::make_shared<ManagedObjectModel>();
        build(*model);
        PersistentContainer container("Refused", model);
        std::optional<Error> error;
        container.loadPersistentStores([&](const std::filesystem::path&, const std::optional<Error>& e) { error = e; });
        ASSERT_TRUE(error) << reason;
        EXPECT_EQ(error->code(), static_cast<int64_t>(CoreDataError::CoreData)) << reason;
        EXPECT_NE(error->description().find(reason), std::string::npos) << error->description();
        EXPECT_FALSE(std::filesystem::exists(url)) << reason;
        Error fetchError;
        EXPECT_FALSE(container.viewContext()->fetch(FetchRequest("Tag"), &fetchError)) << reason;
    }

    // A coordinator holds one store: adding another is refused and the first stays.
    auto container = loadTestContainer();
    auto again = container->persistentStoreCoordinator()->addPersistentStore(
        PersistentContainer::defaultDirectoryURL() / "Second.sqlite");
    ASSERT_TRUE(again);
    EXPECT_NE(again->description().find("The coordinator already has a store"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(PersistentContainer::defaultDirectoryURL() / "Second.sqlite"));
    auto main = container->viewContext();
    main->insertNewObject("Tag")->setValue("key", "k");
    EXPECT_TRUE(main->save());
    EXPECT_EQ(countOf(container->newBackgroundContext(), "Tag"), 1u);
}
