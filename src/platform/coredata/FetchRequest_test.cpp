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

// Sorting and equality on dates, binary data, reals and texts: a context that holds unsaved
// objects of the entity judges and orders in memory, and gives the order the store's query
// gives (nil first, data byte by byte and then by length), the unsaved copies beside the stored.
TEST_F(FetchTest, DatesDataRealsAndTextsOrderAlikeInTheStoreAndInMemory) {
    struct Event {
        const char* id;
        std::optional<std::string> payload;
        std::optional<double> at;  // seconds since the reference date
    };
    const Event events[] = {{"e1", std::string("\x01\x02", 2), 30.5},
                            {"e2", std::string("\x01", 1), std::nullopt},
                            {"e3", std::nullopt, -4},
                            {"e4", std::string("\x00\xFF", 2), 30.25},
                            {"e5", std::string("\x01\x02\x00", 3), 1e9}};
    auto fill = [&](const std::shared_ptr<ManagedObjectContext>& context, const std::string& prefix) {
        for (const Event& e : events) {
            auto event = context->insertNewObject("UserEvent");
            event->setValue("id", prefix + e.id);
            if (e.payload) event->setValue("payload", Value::data(e.payload->data(), e.payload->size()));
            auto session = context->insertNewObject("Session");
            session->setValue("id", int64_t(200 + (e.id[1] - '0')));
            if (e.at) session->setValue("startTime", Date::fromTimeIntervalSinceReferenceDate(*e.at));
            event->setRelatedObject("session", session);
            auto install = context->insertNewObject("Install");
            install->setValue("appKey", prefix + e.id);
            if (e.at) install->setValue("score", *e.at);
            install->setValue("createdDate", e.at ? Value(Date::fromTimeIntervalSinceReferenceDate(*e.at)) : Value());
        }
    };
    auto writer = container->newBackgroundContext();
    writer->performAndWait([&] {
        fill(writer, "");
        ASSERT_TRUE(writer->save());
    });
    auto scratch = container->newBackgroundContext();
    scratch->performAndWait([&] { fill(scratch, "u"); });

    // The ids in the order of a sort, from a clean context (the store) and from the scratch one.
    auto ordered = [&](const std::shared_ptr<ManagedObjectContext>& context, const char* entity, const char* key,
                       const char* sortKey, bool ascending) {
        FetchRequest request(entity);
        request.setPredicate(Predicate::matches(key, "u?e[0-9]"));  // the rows made here
        request.setSortDescriptors({{sortKey, ascending}, {key, true}});
        std::vector<std::string> out;
        for (const Value& v : fetchKeys(context, request, key)) out.push_back(v.stringValue());
        return out;
    };
    auto doubled = [](const std::vector<std::string>& ids) {
        std::vector<std::string> out;
        for (const auto& id : ids) {
            out.push_back(id);
            out.push_back("u" + id);
        }
        return out;
    };
    struct Sort {
        const char* entity;
        const char* key;
        const char* sortKey;
        bool ascending;
        std::vector<std::string> expected;
    };
    const Sort sorts[] = {
        {"UserEvent", "id", "payload", true, {"e3", "e4", "e2", "e1", "e5"}},
        {"UserEvent", "id", "payload", false, {"e5", "e1", "e2", "e4", "e3"}},
        {"Install", "appKey", "score", true, {"e2", "e3", "e4", "e1", "e5"}},
        {"Install", "appKey", "createdDate", false, {"e5", "e1", "e4", "e3", "e2"}},
    };
    for (const Sort& s : sorts) {
        EXPECT_EQ(ordered(container->newBackgroundContext(), s.entity, s.key, s.sortKey, s.ascending), s.expected)
            << s.sortKey;
        EXPECT_EQ(ordered(scratch, s.entity, s.key, s.sortKey, s.ascending), doubled(s.expected)) << s.sortKey;
    }
    // Texts sort by their bytes in memory as in the store.
    FetchRequest byKey("Install");
    byKey.setSortDescriptors({{"appKey", false}});
    std::vector<Value> keys = fetchKeys(scratch, byKey, "appKey");
    std::vector<Value> stored = fetchKeys(container->newBackgroundContext(), byKey, "appKey");
    ASSERT_EQ(keys.size(), 14u);
    EXPECT_EQ(keys.front(), Value("ue5"));
    EXPECT_EQ(stored.front(), Value("nosession"));

    // Equality on a date, on data and on a real picks the same rows from the store and in memory,
    // also through a to-one relationship.
    const std::vector<PredicatePtr> predicates = {
        Predicate::equal("payload", Value::data("\x01", 1)),
        Predicate::equal("session.startTime", Date::fromTimeIntervalSinceReferenceDate(30.25)),
        Predicate::notEqual("session.startTime", Date::fromTimeIntervalSinceReferenceDate(30.25)),
        Predicate::isNil("payload"),
    };
    // A nil date is not equal to a date.
    const std::vector<std::set<std::string>> matching = {{"e2"}, {"e4"}, {"e1", "e2", "e3", "e5"}, {"e3"}};
    for (size_t i = 0; i < predicates.size(); ++i) {
        std::set<std::string> fromStore, fromMemory;
        FetchRequest request("UserEvent");
        request.setPredicate(predicates[i]);
        for (const Value& v : fetchKeys(container->newBackgroundContext(), request, "id")) fromStore.insert(v.stringValue());
        for (const Value& v : fetchKeys(scratch, request, "id"))
            if (v.stringValue()[0] == 'u') fromMemory.insert(v.stringValue().substr(1));
        EXPECT_EQ(fromStore, matching[i]) << predicates[i]->predicateFormat();
        EXPECT_EQ(fromMemory, matching[i]) << predicates[i]->predicateFormat();
    }
    EXPECT_EQ(appKeys(Predicate::equal("score", 30.25), scratch), (Keys{"e4", "ue4"}));
    EXPECT_EQ(appKeys(Predicate::equal("createdDate", Date::fromTimeIntervalSinceReferenceDate(-4)), scratch),
              (Keys{"e3", "ue3"}));
}
