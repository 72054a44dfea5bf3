#include <gtest/gtest.h>

#include <set>

#include "platform/coredata/ManagedObjectContext.h"
#include "platform/coredata/TestModel_test.h"
#include "platform/dispatch/Clock.h"

using namespace brindlecue::platform;
using namespace brindlecue::platform::testing;

namespace {

struct Row {
    const char* appKey;
    std::optional<int64_t> appId;
    bool registered;
};

// Three installs with sessions; "c" has no app id, "nosession" no sessions.
const Row kInstalls[] = {
    {"alpha", 1, true}, {"beta", 2, false}, {"alphabet", std::nullopt, false}, {"nosession", 4, true}};

struct FetchTest : ::testing::Test {
    void SetUp() override {
        Clock::useVirtual();
        std::filesystem::remove_all(PersistentContainer::defaultDirectoryURL());  // when run in one process
        container = loadTestContainer();
        auto writer = container->newBackgroundContext();
        writer->performAndWait([&] {
            int64_t sessionId = 0;
            for (const Row& r : kInstalls) {
                auto install = writer->insertNewObject("Install");
                install->setValue("appKey", r.appKey);
                install->setValue("appId", r.appId);
                install->setValue("isRegisteredWithServer", r.registered);
                if (std::string(r.appKey) == "nosession") continue;
                for (int i = 0; i < 2; ++i) {
                    auto session = writer->insertNewObject("Session");
                    session->setValue("id", ++sessionId);
                    if (i == 0) session->setValue("endTime", Date::now());
                    install->addRelatedObject("sessions", session);
                }
            }
            auto loose = writer->insertNewObject("Session");
            loose->setValue("id", 100);
            ASSERT_TRUE(writer->save());
        });
        reader = container->newBackgroundContext();
    }
    void TearDown() override { Clock::useReal(); }

    // The values of the key of what the request fetches in the context.
    std::vector<Value> fetchKeys(const std::shared_ptr<ManagedObjectContext>& context,
                                 const FetchRequest& request, const std::string& key) {
        return context->performAndWait([&] {
            std::vector<Value> out;
            auto objects = context->fetch(request);
            EXPECT_TRUE(objects) << request.predicate()->predicateFormat();
            if (objects)
                for (const auto& o : *objects) out.push_back(o->value(key));
            return out;
        });
    }
    std::set<std::string> appKeys(PredicatePtr predicate,
                                  std::shared_ptr<ManagedObjectContext> context = nullptr) {
        FetchRequest request("Install");
        request.setPredicate(std::move(predicate));
        std::set<std::string> out;
        for (const Value& v : fetchKeys(context ? context : reader, request, "appKey"))
            out.insert(v.stringValue());
        return out;
    }
    std::set<int64_t> sessionIds(PredicatePtr predicate) {
        FetchRequest request("Session");
        request.setPredicate(std::move(predicate));
        std::set<int64_t> out;
        for (const Value& v : fetchKeys(reader, request, "id")) out.insert(v.integerValue());
        return out;
    }

    std::unique_ptr<PersistentContainer> container;
    std::shared_ptr<ManagedObjectContext> reader;
};

using Keys = std::set<std::string>;
using Ids = std::set<int64_t>;

}  // namespace

TEST_F(FetchTest, EachPredicateFormSelectsTheStoredRows) {
    EXPECT_EQ(appKeys(Predicate::equal("appKey", "beta")), Keys{"beta"});
    EXPECT_EQ(appKeys(Predicate::equal("appId", 4)), Keys{"nosession"});
    EXPECT_EQ(appKeys(Predicate::equal("isRegisteredWithServer", true)), (Keys{"alpha", "nosession"}));
    EXPECT_EQ(appKeys(Predicate::isNil("appId")), Keys{"alphabet"});
    EXPECT_EQ(appKeys(Predicate::notEqual("appKey", "beta")), (Keys{"alpha", "alphabet", "nosession"}));
    EXPECT_EQ(appKeys(Predicate::notEqual("appId", 1)), (Keys{"beta", "alphabet", "nosession"}));  // nil != 1
    EXPECT_EQ(appKeys(Predicate::contains("appKey", "pha")), (Keys{"alpha", "alphabet"}));
    EXPECT_EQ(appKeys(Predicate::contains("appKey", "")), Keys{});
    EXPECT_EQ(appKeys(Predicate::matches("appKey", "alpha")), Keys{"alpha"});  // the whole text must match
    EXPECT_EQ(appKeys(Predicate::matches("appKey", "al.*")), (Keys{"alpha", "alphabet"}));
    EXPECT_EQ(
        appKeys(Predicate::andPredicate({Predicate::contains("appKey", "a"), Predicate::isNotNil("appId")})),
        (Keys{"alpha", "beta"}));

    // Through the to-one relationship, as the session look-ups do.
    EXPECT_EQ(sessionIds(Predicate::andPredicate(
                  {Predicate::isNotNil("install"), Predicate::equal("install.appKey", "alpha")})),
              (Ids{1, 2}));
    EXPECT_EQ(sessionIds(Predicate::andPredicate({Predicate::isNotNil("install"),
                                                  Predicate::equal("install.appId", 2),
                                                  Predicate::isNil("endTime")})),
              Ids{4});
    EXPECT_EQ(sessionIds(Predicate::isNil("install")), Ids{100});
    EXPECT_EQ(sessionIds(Predicate::isNil("install.appId")), (Ids{5, 6, 100}));

    auto beta = reader->performAndWait([&] {
        FetchRequest request("Install");
        request.setPredicate(Predicate::equal("appKey", "beta"));
        return reader->fetch(request)->front();
    });
    EXPECT_EQ(sessionIds(Predicate::equal("install", beta)), (Ids{3, 4}));
}

TEST_F(FetchTest, SortDescriptorsAndLimitOrderTheResults) {
    FetchRequest latest("Session");
    latest.setSortDescriptors({{"id", false}});
    latest.setFetchLimit(1);
    EXPECT_EQ(fetchKeys(reader, latest, "id"), std::vector<Value>{100});

    FetchRequest byKey("Install");
    byKey.setSortDescriptors({{"appId", true}, {"appKey", false}});
    EXPECT_EQ(fetchKeys(reader, byKey, "appKey"),
              (std::vector<Value>{"alphabet", "alpha", "beta", "nosession"}));

    FetchRequest byInstall("Session");
    byInstall.setSortDescriptors({{"install.appKey", false}, {"id", true}});
    byInstall.setFetchLimit(3);
    EXPECT_EQ(fetchKeys(reader, byInstall, "id"), (std::vector<Value>{3, 4, 5}));

    reader->performAndWait([&] {
        FetchRequest limited("Install");
        limited.setFetchLimit(2);
        EXPECT_EQ(reader->count(limited), 2u);
        EXPECT_EQ(reader->count(FetchRequest("Install")), 4u);
    });
}

TEST_F(FetchTest, UnsavedChangesOfTheContextAreSeen) {
    reader->performAndWait([&] {
        auto added = reader->insertNewObject("Install");
        added->setValue("appKey", "alpha-new");
        auto alpha = reader
                         ->fetch([] {
                             FetchRequest r("Install");
                             r.setPredicate(Predicate::equal("appKey", "alpha"));
                             return r;
                         }())
                         ->front();
        alpha->setValue("appKey", "renamed");
        auto beta = reader
                        ->fetch([] {
                            FetchRequest r("Install");
                            r.setPredicate(Predicate::equal("appKey", "beta"));
                            return r;
                        }())
                        ->front();
        reader->deleteObject(beta);

        auto session = reader->insertNewObject("Session");
        session->setValue("id", 101);
        session->setRelatedObject("install", added);
    });
    EXPECT_EQ(appKeys(Predicate::matches("appKey", "alpha.*")), (Keys{"alphabet", "alpha-new"}));
    EXPECT_EQ(appKeys(Predicate::contains("appKey", "e")),
              (Keys{"renamed", "alpha-new", "alphabet", "nosession"}));
    EXPECT_EQ(sessionIds(Predicate::equal("install.appKey", "alpha-new")), Ids{101});

    FetchRequest latest("Session");
    latest.setSortDescriptors({{"id", false}});
    latest.setFetchLimit(1);
    EXPECT_EQ(fetchKeys(reader, latest, "id"), std::vector<Value>{101});
    reader->performAndWait([&] { EXPECT_EQ(reader->count(FetchRequest("Install")), 4u); });

    // None of it is in the store yet.
    EXPECT_EQ(appKeys(nullptr, container->newBackgroundContext()),
              (Keys{"alpha", "beta", "alphabet", "nosession"}));
}

// Unsaved changes of values a request does not read leave the answer to the store's query, which
// still gives the context's objects with their unsaved values; changes of what it reads, on the
// fetched entity or on one its key path walks to, are judged in memory.
TEST_F(FetchTest, OnlyChangesOfWhatARequestReadsAreJudgedInMemory) {
    reader->performAndWait([&] {
        FetchRequest byKey("Install");
        byKey.setPredicate(Predicate::equal("appKey", "alpha"));
        byKey.setFetchLimit(1);
        auto alpha = reader->fetch(byKey)->front();
        alpha->setValue("appId", 7);
        alpha->setValue("appKey", "alpha");  // set again, unchanged
        auto found = reader->fetch(byKey);
        ASSERT_EQ(found->size(), 1u);
        EXPECT_EQ(found->front(), alpha);
        EXPECT_EQ(found->front()->integerValue("appId"), 7);

        FetchRequest byBeta("Install");
        byBeta.setPredicate(Predicate::equal("appKey", "beta"));
        reader->fetch(byBeta)->front()->setValue("appKey", "alpha");
        byKey.setFetchLimit(0);
        EXPECT_EQ(reader->fetch(byKey)->size(), 2u);
        FetchRequest sessions("Session");
        sessions.setPredicate(Predicate::equal("install.appKey", "alpha"));
        EXPECT_EQ(reader->fetch(sessions)->size(), 4u);
        EXPECT_EQ(reader->count(sessions), 4u);
    });
}

// The store's query and the in-memory test of unsaved objects give the same answers.
TEST_F(FetchTest, StoreAndMemoryAgreeOnEveryForm) {
    std::vector<PredicatePtr> predicates = {
        Predicate::equal("appKey", "beta"),
        Predicate::notEqual("appId", 1),
        Predicate::isNil("appId"),
        Predicate::isNotNil("appId"),
        Predicate::equal("isRegisteredWithServer", 1),
        Predicate::equal("appId", 2.0),
        Predicate::contains("appKey", "lph"),
        Predicate::contains("appKey", ""),
        Predicate::matches("appKey", "[a-b].*t"),
        Predicate::andPredicate(
            {Predicate::notEqual("appKey", "alpha"), Predicate::equal("isRegisteredWithServer", false)}),
        Predicate::andPredicate({}),
    };
    // The same installs again, unsaved, in a context that also reads the stored ones.
    auto scratch = container->newBackgroundContext();
    scratch->performAndWait([&] {
        for (const Row& r : kInstalls) {
            auto install = scratch->insertNewObject("Install");
            install->setValue("appKey", r.appKey);
            install->setValue("appId", r.appId);
            install->setValue("isRegisteredWithServer", r.registered);
        }
    });
    for (const auto& p : predicates) {
        Keys stored, unsaved;
        scratch->performAndWait([&] {
            FetchRequest request("Install");
            request.setPredicate(p);
            auto objects = scratch->fetch(request);
            ASSERT_TRUE(objects);
            for (const auto& o : *objects)
                (o->isInserted() ? unsaved : stored).insert(o->value("appKey").stringValue());
        });
        EXPECT_EQ(stored, unsaved) << p->predicateFormat();
        EXPECT_EQ(stored, appKeys(p)) << p->predicateFormat();
    }
}

TEST_F(FetchTest, RequestsThatCannotRunReportAnError) {
    auto failing = [&](const std::string& entity, PredicatePtr predicate,
                       std::vector<SortDescriptor> sorts = {}) {
        return reader->performAndWait([&] {
            FetchRequest request(entity);
            request.setPredicate(predicate);
            request.setSortDescriptors(sorts);
            Error error;
            bool failed = !reader->fetch(request, &error) && !error.domain().empty();
            // Counting ignores the order.
            return failed && (!sorts.empty() || !reader->count(request));
        });
    };
    EXPECT_TRUE(failing("Install", Predicate::matches("appKey", "*_supertag_")));
    EXPECT_TRUE(failing("Install", Predicate::equal("noSuchKey", 1)));
    EXPECT_TRUE(failing("Install", Predicate::equal("appId", "1")));
    EXPECT_TRUE(failing("Install", Predicate::contains("appId", "1")));
    EXPECT_TRUE(failing("Install", Predicate::isNil("sessions")));
    EXPECT_TRUE(failing("Install", Predicate::equal("sessions.id", 1)));
    EXPECT_TRUE(failing("Session", Predicate::equal("install", Value(1))));
    EXPECT_TRUE(failing("NoSuchEntity", nullptr));
    EXPECT_TRUE(failing("Install", nullptr, {{"nope", true}}));
    EXPECT_FALSE(failing("Install", nullptr));
}
