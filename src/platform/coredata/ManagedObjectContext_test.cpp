#include <gtest/gtest.h>

#include <algorithm>

#include "platform/NotificationCenter.h"
#include "platform/coredata/CoreDataError.h"
#include "platform/coredata/ManagedObjectContext.h"
#include "platform/coredata/TestModel_test.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

using namespace brindlecue::platform;
using namespace brindlecue::platform::testing;

namespace {

struct ContextTest : ::testing::Test {
    void SetUp() override {
        Clock::useVirtual();
        std::filesystem::remove_all(PersistentContainer::defaultDirectoryURL());  // when run in one process
        container = loadTestContainer();
        main = container->viewContext();
    }
    void TearDown() override { Clock::useReal(); }

    size_t countOf(const std::shared_ptr<ManagedObjectContext>& context, const std::string& entity,
                   PredicatePtr predicate = nullptr) {
        FetchRequest request(entity);
        request.setPredicate(std::move(predicate));
        return context->performAndWait([&] { return context->count(request).value_or(999); });
    }

    std::unique_ptr<PersistentContainer> container;
    std::shared_ptr<ManagedObjectContext> main;
};

bool holds(const std::vector<std::shared_ptr<ManagedObject>>& list, const std::shared_ptr<ManagedObject>& o) {
    return std::find(list.begin(), list.end(), o) != list.end();
}

}  // namespace

TEST_F(ContextTest, InsertRunsTheHookOnceAndKeepsOneObjectPerRow) {
    auto install = main->insertNewObject<TestInstall>("Install");
    ASSERT_TRUE(install);
    EXPECT_EQ(install->awakeCount, 1);
    EXPECT_EQ(install->dateValue("createdDate"), Date::now());
    EXPECT_EQ(install->stringValue("installId")->size(), 36u);
    EXPECT_EQ(install->boolValue("isRegisteredWithServer"), false);  // the model's default
    auto other = main->insertNewObject("Install");
    EXPECT_NE(install->objectID(), other->objectID());
    EXPECT_TRUE(install->isInserted());
    EXPECT_EQ(main->insertedObjects().size(), 2u);
    EXPECT_EQ(main->insertNewObject("NoSuchEntity"), nullptr);

    ASSERT_TRUE(main->save());
    EXPECT_FALSE(main->hasChanges());
    EXPECT_FALSE(install->isInserted());
    EXPECT_EQ(install->awakeCount, 1);

    // The same row is the same object in this context, however it is reached.
    auto fetched = main->fetch(FetchRequest("Install"));
    ASSERT_TRUE(fetched);
    EXPECT_TRUE(holds(*fetched, install));
    EXPECT_EQ(main->existingObject(install->objectID()), install);

    // Another context has its own object for the row, with the stored values.
    auto background = container->newBackgroundContext();
    background->performAndWait([&] {
        auto there = background->existingObject(install->objectID());
        ASSERT_TRUE(there);
        EXPECT_NE(there, std::static_pointer_cast<ManagedObject>(install));
        EXPECT_EQ(there->stringValue("installId"), install->stringValue("installId"));
        Error error;
        EXPECT_EQ(background->existingObject({"Install", 999}, &error), nullptr);
        EXPECT_EQ(error.code(), static_cast<int64_t>(CoreDataError::CoreData));
    });

    std::string store = container->persistentStoreCoordinator()->storeIdentifier();
    std::string uri = install->objectID().uriRepresentation(store);
    EXPECT_EQ(container->persistentStoreCoordinator()->managedObjectIDForURIRepresentation(uri),
              install->objectID());
    EXPECT_FALSE(ManagedObjectID::fromURIRepresentation(uri, "another-store"));
}

TEST_F(ContextTest, ChangeSetsTrackUpdatesAndDeletionsUntilSaved) {
    auto a = main->insertNewObject("Install");
    auto b = main->insertNewObject("Install");
    ASSERT_TRUE(main->save());

    EXPECT_TRUE(a->setValue("appKey", "key-a"));
    EXPECT_TRUE(a->isUpdated());
    EXPECT_TRUE(holds(main->updatedObjects(), a));
    main->deleteObject(b);
    EXPECT_TRUE(b->isDeleted());
    EXPECT_TRUE(holds(main->deletedObjects(), b));
    EXPECT_EQ(countOf(main, "Install"), 1u);  // the fetch already leaves out the deletion

    ASSERT_TRUE(main->save());
    EXPECT_TRUE(main->updatedObjects().empty());
    EXPECT_TRUE(main->deletedObjects().empty());
    EXPECT_EQ(b->managedObjectContext(), nullptr);
    EXPECT_FALSE(b->setValue("appKey", "gone"));

    auto background = container->newBackgroundContext();
    EXPECT_EQ(countOf(background, "Install"), 1u);
    EXPECT_EQ(countOf(background, "Install", Predicate::equal("appKey", "key-a")), 1u);

    // An object deleted before it was ever saved simply goes.
    auto c = main->insertNewObject("Install");
    main->deleteObject(c);
    EXPECT_FALSE(main->hasChanges());
}

TEST_F(ContextTest, RelationshipsKeepTheirInverseInStep) {
    auto install = main->insertNewObject("Install");
    auto other = main->insertNewObject("Install");
    auto s1 = main->insertNewObject("Session");
    auto s2 = main->insertNewObject("Session");

    EXPECT_TRUE(s1->setRelatedObject("install", install));
    EXPECT_TRUE(install->addRelatedObject("sessions", s2));
    EXPECT_EQ(s2->relatedObject("install"), install);
    EXPECT_EQ(install->relatedObjects("sessions").size(), 2u);

    EXPECT_TRUE(other->addRelatedObject("sessions", s2));  // moves it
    EXPECT_EQ(install->relatedObjects("sessions"), std::vector<std::shared_ptr<ManagedObject>>{s1});
    EXPECT_EQ(s2->relatedObject("install"), other);
    EXPECT_TRUE(other->removeRelatedObject("sessions", s2));
    EXPECT_EQ(s2->relatedObject("install"), nullptr);
    EXPECT_FALSE(install->removeRelatedObject("sessions", s2));

    // The id of a to-one relationship's object is read without the object; none for nil, for a
    // to-many relationship and for an unknown key.
    EXPECT_EQ(s1->relatedObjectID("install"), install->objectID());
    EXPECT_EQ(s2->relatedObjectID("install"), std::nullopt);
    EXPECT_EQ(install->relatedObjectID("sessions"), std::nullopt);
    EXPECT_EQ(s1->relatedObjectID("nothing"), std::nullopt);

    EXPECT_FALSE(s1->setRelatedObject("install", s2));        // wrong entity
    EXPECT_FALSE(s1->setRelatedObject("sessions", install));  // not a to-one
    auto stray = ManagedObject::create(container->managedObjectModel()->entity("Install"));
    EXPECT_FALSE(s1->setRelatedObject("install", stray));  // not in this context
    ASSERT_TRUE(main->save());

    // Read back from the store by another context.
    auto background = container->newBackgroundContext();
    background->performAndWait([&] {
        auto there = background->existingObject(install->objectID());
        auto sessions = there->relatedObjects("sessions");
        ASSERT_EQ(sessions.size(), 1u);
        EXPECT_EQ(sessions[0]->objectID(), s1->objectID());
        EXPECT_EQ(sessions[0]->relatedObject("install"), there);
        EXPECT_EQ(background->existingObject(s2->objectID())->relatedObject("install"), nullptr);
    });

    // Links set while the other side's set is unread show when it is read, before and after
    // the save: a new member, and one moved from one stored install to the other.
    auto third = container->newBackgroundContext();
    third->performAndWait([&] {
        auto from = third->existingObject(install->objectID());
        auto to = third->existingObject(other->objectID());
        auto moved = third->existingObject(s1->objectID());
        auto added = third->insertNewObject("Session");
        EXPECT_TRUE(added->setRelatedObject("install", from));
        EXPECT_TRUE(moved->setRelatedObject("install", to));
        EXPECT_EQ(from->relatedObjects("sessions"), std::vector<std::shared_ptr<ManagedObject>>{added});
        EXPECT_EQ(to->relatedObjects("sessions"), std::vector<std::shared_ptr<ManagedObject>>{moved});
        ASSERT_TRUE(third->save());
    });
    auto fourth = container->newBackgroundContext();
    fourth->performAndWait([&] {
        EXPECT_EQ(fourth->existingObject(install->objectID())->relatedObjects("sessions").size(), 1u);
        auto sessions = fourth->existingObject(other->objectID())->relatedObjects("sessions");
        ASSERT_EQ(sessions.size(), 1u);
        EXPECT_EQ(sessions[0]->objectID(), s1->objectID());
    });
}

TEST_F(ContextTest, DeletionNullifiesOrCascadesByRule) {
    auto install = main->insertNewObject("Install");
    auto session = main->insertNewObject("Session");
    auto tag = main->insertNewObject("Tag");
    session->setRelatedObject("install", install);
    tag->setRelatedObject("install", install);
    ASSERT_TRUE(main->save());

    main->deleteObject(install);
    EXPECT_EQ(session->relatedObject("install"), nullptr);
    EXPECT_TRUE(session->isUpdated());
    EXPECT_TRUE(tag->isDeleted());
    ASSERT_TRUE(main->save());

    auto background = container->newBackgroundContext();
    EXPECT_EQ(countOf(background, "Install"), 0u);
    EXPECT_EQ(countOf(background, "Tag"), 0u);
    EXPECT_EQ(countOf(background, "Session", Predicate::isNil("install")), 1u);
}

TEST_F(ContextTest, ValuesOfTheWrongKindAreRefused) {
    auto install = main->insertNewObject("Install");
    auto event = main->insertNewObject("UserEvent");
    EXPECT_FALSE(install->setValue("appId", "12"));
    EXPECT_FALSE(install->setValue("appId", 1.5));
    EXPECT_FALSE(install->setValue("noSuchKey", 1));
    EXPECT_FALSE(event->setValue("status", 70000));  // beyond 16 bits
    EXPECT_FALSE(install->setValue("createdDate", "yesterday"));
    EXPECT_TRUE(install->setValue("appId", int64_t{1} << 40));
    EXPECT_TRUE(install->setValue("isRegisteredWithServer", 1));
    EXPECT_TRUE(install->setValue("score", 3));
    EXPECT_TRUE(install->setValue("appKey", std::optional<std::string>()));
    EXPECT_EQ(install->integerValue("appId"), int64_t{1} << 40);
    EXPECT_EQ(install->boolValue("isRegisteredWithServer"), true);
    EXPECT_EQ(install->doubleValue("score"), 3.0);
    EXPECT_FALSE(install->stringValue("appKey"));
    EXPECT_EQ(event->integerValue("status"), 0);
}

TEST_F(ContextTest, FailedSaveWritesNothingAndKeepsTheChanges) {
    auto tag = main->insertNewObject("Tag");
    auto install = main->insertNewObject("Install");
    tag->setValue("key", Value());
    Error error;
    EXPECT_FALSE(main->save(&error));
    EXPECT_EQ(error.code(), static_cast<int64_t>(CoreDataError::MissingMandatoryProperty));
    EXPECT_EQ(error.userInfo()["NSValidationErrorKey"], Value("key"));
    EXPECT_TRUE(main->hasChanges());
    auto background = container->newBackgroundContext();
    EXPECT_EQ(countOf(background, "Install"), 0u);

    tag->setValue("key", "k");
    ASSERT_TRUE(main->save());
    EXPECT_EQ(countOf(background, "Install"), 1u);
    EXPECT_EQ(countOf(background, "Tag", Predicate::equal("value", "")), 1u);
}

TEST_F(ContextTest, TransformableValuesGoThroughTheirTransformer) {
    Value details = Value::dictionary({{"screen", "home"}, {"count", 3}, {"missing", nullptr}});
    auto good = main->insertNewObject("UserEvent");
    good->setValue("details", details);
    good->setValue("payload", Value::data("\x00\x01", 2));
    auto wrong = main->insertNewObject("UserEvent");
    wrong->setValue("details", Value::array({1, 2}));
    ASSERT_TRUE(main->save());

    auto background = container->newBackgroundContext();
    background->performAndWait([&] {
        EXPECT_EQ(background->existingObject(good->objectID())->value("details"), details);
        EXPECT_EQ(background->existingObject(good->objectID())->dataValue("payload"), (Data{0, 1}));
        // Stored, but refused when read back: not a dictionary.
        EXPECT_TRUE(background->existingObject(wrong->objectID())->value("details").isAbsent());
    });

    // Without its transformer the value cannot be stored. The transformer is put back for the
    // tests that follow, however this one ends.
    ValueTransformer::setValueTransformer(nullptr, kTestTransformer);
    struct PutBack {
        ~PutBack() {
            ValueTransformer::setValueTransformer(std::make_shared<TestDictionaryTransformer>(),
                                                  kTestTransformer);
        }
    } putBack;
    auto orphan = main->insertNewObject("UserEvent");
    orphan->setValue("details", details);
    Error error;
    EXPECT_FALSE(main->save(&error));
    EXPECT_EQ(error.code(), static_cast<int64_t>(CoreDataError::ManagedObjectValidation));
    EXPECT_EQ(countOf(background, "UserEvent"), 2u);
}

TEST_F(ContextTest, ConcurrentChangeOfOneRowIsAConflictUntilMerged) {
    auto install = main->insertNewObject("Install");
    install->setValue("appKey", "first");
    ASSERT_TRUE(main->save());

    auto a = container->newBackgroundContext();
    auto b = container->newBackgroundContext();
    auto inB = b->performAndWait([&] { return b->existingObject(install->objectID()); });
    std::optional<Notification> saved;
    auto observer = NotificationCenter::defaultCenter().addObserver(
        ManagedObjectContext::kDidSaveNotification, a, nullptr, [&](const Notification& n) { saved = n; });
    a->performAndWait([&] {
        a->existingObject(install->objectID())->setValue("appKey", "from-a");
        ASSERT_TRUE(a->save());
    });
    NotificationCenter::defaultCenter().removeObserver(observer);
    ASSERT_TRUE(saved);
    ASSERT_EQ(ManagedObjectContext::savedObjectIDs(*saved, ManagedObjectContext::kUpdatedObjectsKey).size(),
              1u);
    EXPECT_EQ(ManagedObjectContext::savedObjectIDs(*saved, ManagedObjectContext::kUpdatedObjectsKey)[0],
              install->objectID());
    EXPECT_TRUE(
        ManagedObjectContext::savedObjectIDs(*saved, ManagedObjectContext::kInsertedObjectsKey).empty());

    b->performAndWait([&] {
        inB->setValue("appId", 7);
        Error error;
        EXPECT_FALSE(b->save(&error));
        EXPECT_EQ(error.code(), static_cast<int64_t>(CoreDataError::MergeConflict));
        b->mergeChangesFromContextDidSaveNotification(*saved);
        EXPECT_EQ(inB->stringValue("appKey"), "from-a");  // merged in
        EXPECT_EQ(inB->integerValue("appId"), 7);         // own change kept
        EXPECT_TRUE(b->save());
    });
    auto check = container->newBackgroundContext();
    EXPECT_EQ(countOf(check, "Install",
                      Predicate::andPredicate(
                          {Predicate::equal("appKey", "from-a"), Predicate::equal("appId", 7)})),
              1u);
}

// Rows of two entities share primary keys; ids of entities whose names are alike must not be taken
// for one another.
TEST(ContextRegistryTest, ObjectsOfAlikeEntitiesWithOneKeyStayApart) {
    std::filesystem::remove_all(PersistentContainer::defaultDirectoryURL());
    auto model = std::make_shared<ManagedObjectModel>();
    EntityDescription session("Session");
    session.addAttribute("name", AttributeType::String);
    EntityDescription station("Station");  // same length, first and last letter
    station.addAttribute("name", AttributeType::String);
    model->addEntity(std::move(session)).addEntity(std::move(station));
    PersistentContainer container("Registry", model);
    std::optional<Error> loadError;
    container.loadPersistentStores(
        [&](const std::filesystem::path&, const std::optional<Error>& e) { loadError = e; });
    ASSERT_FALSE(loadError);

    auto context = container.viewContext();
    auto a = context->insertNewObject("Session");
    auto b = context->insertNewObject("Station");
    ASSERT_TRUE(a && b);
    a->setValue("name", "a");
    b->setValue("name", "b");
    ASSERT_EQ(a->objectID().primaryKey, b->objectID().primaryKey);
    ASSERT_TRUE(context->save());
    EXPECT_EQ(context->existingObject(a->objectID()), a);
    EXPECT_EQ(context->existingObject(b->objectID()), b);

    auto other = container.newBackgroundContext();
    other->performAndWait([&] {
        auto there = other->existingObject(b->objectID());
        auto first = other->existingObject(a->objectID());
        ASSERT_TRUE(there && first);
        EXPECT_EQ(there->stringValue("name"), "b");
        EXPECT_EQ(first->stringValue("name"), "a");
        EXPECT_EQ(other->existingObject(b->objectID()), there);
        auto fetched = other->fetch(FetchRequest("Station"));
        ASSERT_TRUE(fetched && fetched->size() == 1);
        EXPECT_EQ(fetched->front(), there);
    });
}

TEST_F(ContextTest, ObjectsMadeOutsideAContextAreInsertedOnce) {
    auto entity = container->managedObjectModel()->entity("Install");
    auto install = std::dynamic_pointer_cast<TestInstall>(ManagedObject::create(entity));
    ASSERT_TRUE(install);
    EXPECT_TRUE(install->setValue("appKey", "early"));
    EXPECT_EQ(install->awakeCount, 0);
    EXPECT_EQ(install->managedObjectContext(), nullptr);
    ASSERT_TRUE(main->insertObject(install));
    EXPECT_EQ(install->awakeCount, 1);
    EXPECT_EQ(install->managedObjectContext(), main);
    EXPECT_FALSE(main->insertObject(install));
    ASSERT_TRUE(main->save());
    EXPECT_EQ(countOf(container->newBackgroundContext(), "Install", Predicate::equal("appKey", "early")), 1u);
}

// The reads of one block share a read transaction: a save made meanwhile, by another context or
// by the block itself, is seen by the block's next read all the same.
TEST_F(ContextTest, ReadsOfABlockSeeWhatIsSavedMeanwhile) {
    auto reader = container->newBackgroundContext();
    auto writer = container->newBackgroundContext();
    auto keyed = [](const char* key) { return Predicate::equal("appKey", key); };
    reader->performAndWait([&] {
        FetchRequest request("Install");
        request.setPredicate(keyed("late"));
        EXPECT_EQ(reader->count(request), 0u);
        writer->performAndWait([&] {
            writer->insertNewObject("Install")->setValue("appKey", "late");
            ASSERT_TRUE(writer->save());
        });
        EXPECT_EQ(reader->count(request), 1u);
        reader->insertNewObject("Install")->setValue("appKey", "own");
        ASSERT_TRUE(reader->save());
        request.setPredicate(keyed("own"));
        EXPECT_EQ(reader->count(request), 1u);
    });
    EXPECT_EQ(countOf(main, "Install"), 2u);
}

TEST_F(ContextTest, ABlockIsLastQueuedUntilAnythingIsQueuedAfterIt) {
    auto background = container->newBackgroundContext();
    std::vector<int> ran;
    const uint64_t first = background->performNumbered([&] { ran.push_back(1); });
    EXPECT_TRUE(background->isLastQueued(first));
    background->perform([&] { ran.push_back(2); });
    EXPECT_FALSE(background->isLastQueued(first));

    const uint64_t third = background->performNumbered([&] { ran.push_back(3); });
    EXPECT_GT(third, first);
    EXPECT_TRUE(background->isLastQueued(third));
    // A block that waits for its turn comes after it too, also once it has run.
    background->performAndWait([&] { ran.push_back(4); });
    EXPECT_FALSE(background->isLastQueued(third));
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4}));

    // The main queue takes work from elsewhere as well: nothing queued there counts as last.
    const uint64_t onMain = main->performNumbered([] {});
    EXPECT_FALSE(main->isLastQueued(onMain));
    RunLoop::main().runUntilIdle();
}

// Deleted objects, objects of another context or entity and misnamed relationships change no
// link: every side stays as it was.
TEST_F(ContextTest, LinksToDeletedForeignOrWrongObjectsAreRefused) {
    auto install = main->insertNewObject("Install");
    auto kept = main->insertNewObject("Session");
    ASSERT_TRUE(install->addRelatedObject("sessions", kept));
    auto gone = main->insertNewObject("Session");
    auto tag = main->insertNewObject("Tag");
    ASSERT_TRUE(main->save());
    main->deleteObject(gone);

    EXPECT_FALSE(gone->setRelatedObject("install", install));     // set on a deleted object
    EXPECT_FALSE(install->addRelatedObject("sessions", gone));    // a deleted member
    EXPECT_FALSE(install->addRelatedObject("install", kept));     // not a to-many
    EXPECT_FALSE(install->addRelatedObject("sessions", nullptr));
    EXPECT_FALSE(install->addRelatedObject("sessions", tag));     // another entity
    EXPECT_FALSE(install->removeRelatedObject("sessions", tag));
    EXPECT_FALSE(install->removeRelatedObject("tags", kept));
    EXPECT_FALSE(install->removeRelatedObject("sessions", nullptr));
    EXPECT_EQ(install->relatedObject("sessions"), nullptr);      // a to-many read as to-one
    EXPECT_TRUE(kept->relatedObjects("install").empty());         // a to-one read as to-many
    EXPECT_TRUE(install->relatedObjects("nothing").empty());

    // Objects of another context cannot be linked or unlinked here.
    auto background = container->newBackgroundContext();
    background->performAndWait([&] {
        auto there = background->existingObject(kept->objectID());
        auto fresh = background->insertNewObject("Session");
        EXPECT_FALSE(install->addRelatedObject("sessions", fresh));
        EXPECT_FALSE(install->removeRelatedObject("sessions", there));
    });
    EXPECT_EQ(install->relatedObjects("sessions"), std::vector<std::shared_ptr<ManagedObject>>{kept});
    EXPECT_EQ(kept->relatedObject("install"), install);
    EXPECT_EQ(gone->relatedObjectID("install"), std::nullopt);

    // A deleted install's sessions lose their link when it goes.
    main->deleteObject(install);
    EXPECT_FALSE(install->addRelatedObject("sessions", main->insertNewObject("Session")));
    ASSERT_TRUE(main->save());
    EXPECT_EQ(kept->relatedObject("install"), nullptr);
}

// Object URIs come back from outside: only the store's own, naming a known entity and a key
// above zero, give an id.
TEST_F(ContextTest, ObjectURIsOfAnotherFormGiveNoId) {
    auto coordinator = container->persistentStoreCoordinator();
    const std::string store = coordinator->storeIdentifier();
    const std::string base = "x-coredata://" + store;
    EXPECT_EQ(coordinator->managedObjectIDForURIRepresentation(base + "/Install/p7"), (ManagedObjectID{"Install", 7}));
    for (const std::string& uri :
         {std::string("http://") + store + "/Install/p7", base, base + "/", base + "Install/p7", base + "/Install",
          base + "//p7", base + "/Install/7", base + "/Install/p", base + "/Install/p0", base + "/Install/p-3",
          base + "/Install/p7x", base + "/Install/p99999999999999999999", base + "/Nothing/p7",
          std::string("x-coredata://other/Install/p7")})
        EXPECT_FALSE(coordinator->managedObjectIDForURIRepresentation(uri)) << uri;
}
