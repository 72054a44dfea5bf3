#include "storage/KJDao.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <limits>
#include <map>
#include <thread>

#include <sqlite3.h>

#include "foundation/KJLog.h"
#include "platform/dispatch/Clock.h"
#include "storage/FailingSQLiteVFS_test.h"
#include "storage/KJDBSettings.h"

namespace brindlecue {
namespace {

using platform::Clock;
using platform::Value;
using testing::ElementsAre;
using testing::UnorderedElementsAre;

constexpr double kNow = 1767225600.0;
constexpr const char* kInfinite =
    R"({"deletion_conditions": [{"type": "infinite","op": "infinite","value": "infinite"}]})";

// An active row whose content is its own feed id, so reads can be told apart.
Value row(const std::string& feedId, const std::string& deletion = "", int priority = 0) {
    return Value::dictionary({{"feedId", feedId},
                              {"content", platform::Data(feedId.begin(), feedId.end())},
                              {"appKey", "k"},
                              {"campaignId", "c-" + feedId},
                              {"activates", kNow - 10},
                              {"expires", kNow + 10},
                              {"type", "CAMPAIGN"},
                              {"deletionconditions", deletion},
                              {"priority", priority}});
}

std::vector<std::string> texts(const std::vector<Value>& contents) {
    std::vector<std::string> out;
    for (const Value& c : contents) out.emplace_back(c.getData()->begin(), c.getData()->end());
    return out;
}

std::vector<std::string> allIds() {
    auto rows = KJDao::findSeriesElementsByQuarySQL("SELECT feedId FROM QXFeeds ORDER BY feedId");
    return rows ? texts(*rows) : std::vector<std::string>{"<failed>"};
}

class KJDaoTest : public testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual(kNow);
        ASSERT_TRUE(KJDBSettings::createDatabaseTable());
        KJLogSetObserver([this](int, const std::string& line) { log.push_back(line); });
    }
    void TearDown() override {
        KJLogSetObserver(nullptr);
        Clock::useReal();
    }
    std::vector<std::string> log;
};

TEST_F(KJDaoTest, NeverDeletedCampaignsAreRecognisedByTheirConditionType) {
    // Mentions "infinite" without being an infinite deletion condition.
    const std::string lookalike =
        R"({"deletion_conditions": [{"type": "seen_count","op": "infinite","value": "3"}]})";
    ASSERT_TRUE(KJDao::insertMultipleTips({row("inf", kInfinite, 2), row("look", lookalike, 1), row("plain"),
                                           row("bare", "infinite"), row("broken", "{not json infinite")}));

    EXPECT_THAT(texts(KJDao::findInfiniteSeriesByFeedType("CAMPAIGN")), ElementsAre("inf"));
    EXPECT_TRUE(KJDao::findInfiniteSeriesByFeedType("FAQ").empty());

    // A plain delete spares the never-deleted campaign.
    EXPECT_TRUE(KJDao::deleteSeriesByFeedId("inf"));
    EXPECT_TRUE(KJDao::deleteSeriesByFeedId("plain"));
    EXPECT_THAT(allIds(), ElementsAre("bare", "broken", "inf", "look"));

    // Removing expired never-deleted campaigns touches only those.
    EXPECT_TRUE(KJDao::deleteExpiredSeriesByFeedId({"look", "inf", "nothing"}));
    EXPECT_THAT(allIds(), ElementsAre("bare", "broken", "look"));

    // The sweep of infinite campaigns matches the word anywhere.
    ASSERT_TRUE(KJDao::insertATip(row("inf", kInfinite)));
    ASSERT_TRUE(KJDao::insertATip(row("plain")));
    EXPECT_TRUE(KJDao::deleteSeriesInfiniteCampaign());
    EXPECT_THAT(allIds(), ElementsAre("plain"));
    EXPECT_THAT(log, ElementsAre("Deleting infinite Campaign"));
}

TEST_F(KJDaoTest, DisabledCampaignsArePrunedByBoundIds) {
    const std::string quoted = "q') OR ('1'='1";
    ASSERT_TRUE(KJDao::insertMultipleTips({row("a"), row("b"), row("c"), row(quoted), row("a,b")}));

    EXPECT_TRUE(KJDao::deleteDisabledCampaign({}));
    EXPECT_EQ(allIds().size(), 5u);

    EXPECT_TRUE(KJDao::deleteDisabledCampaign({"a", "b", quoted}));
    EXPECT_THAT(allIds(), UnorderedElementsAre("a", "b", quoted));
    EXPECT_TRUE(KJDao::findSeriesByFeedId(quoted).isData());
    EXPECT_TRUE(KJDao::updateRepeatConditions("it's", "c-" + quoted));
    EXPECT_THAT(texts(*KJDao::findSeriesElementsByQuarySQL(
                    "SELECT repeatconditions FROM QXFeeds WHERE feedId = ?", {quoted})),
                ElementsAre("it's"));

    EXPECT_TRUE(KJDao::deleteDisabledCampaign({"x' OR '1'='1"}));
    EXPECT_TRUE(allIds().empty());
}

// One look at the table gives the active rows of each kind, as the queries by kind list them, and
// the next moment at which the active rows change.
TEST_F(KJDaoTest, TheActiveRowsOfEveryKindAndTheNextChangeInOneLook) {
    auto at = [](Value r, const char* type, double activates, double expires, int priority) {
        r.set("type", type);
        r.set("activates", activates);
        r.set("expires", expires);
        r.set("priority", priority);
        return r;
    };
    ASSERT_TRUE(KJDao::insertMultipleTips({
        at(row("c3"), "CAMPAIGN", kNow - 10, kNow + 500, 3), at(row("f1"), "FAQ", kNow - 10, kNow + 10, 1),
        at(row("c1"), "CAMPAIGN", kNow - 10, kNow + 10, 1), at(row("later"), "CAMPAIGN", kNow + 40, kNow + 90, 0),
        at(row("gone"), "CAMPAIGN", kNow - 90, kNow - 40, 0), at(row("p1"), "PREVIEW", kNow - 10, kNow + 20, 0),
        at(row("c1b"), "CAMPAIGN", kNow - 5, kNow + 30, 1),
    }));
    Value noContent = row("f2");
    noContent.set("type", "FAQ");
    noContent.remove("content");
    ASSERT_TRUE(KJDao::insertATip(noContent));

    auto ids = [](const std::vector<KJDao::RowVersion>& rows) {
        std::vector<std::string> out;
        for (const auto& r : rows) out.push_back(r.feedId);
        return out;
    };
    auto table = KJDao::findActiveRows({"CAMPAIGN", "FAQ", "NONE"}, kNow);
    ASSERT_TRUE(table);
    EXPECT_THAT(ids(table->byKind[0]), ElementsAre("c1", "c1b", "c3"));
    EXPECT_THAT(texts(KJDao::findSeriesByFeedType("CAMPAIGN")), ElementsAre("c1", "c1b", "c3"));
    EXPECT_THAT(ids(table->byKind[1]), ElementsAre("f2", "f1"));
    EXPECT_TRUE(table->byKind[2].empty());
    EXPECT_EQ(table->byKind[0][0].contentLength, 2);
    EXPECT_EQ(table->nextChange, kNow + 10);
    EXPECT_EQ(KJDao::findActiveRows({"CAMPAIGN"}, kNow + 95)->nextChange, kNow + 500);
    EXPECT_EQ(KJDao::findActiveRows({"CAMPAIGN"}, kNow + 500)->nextChange,
              std::numeric_limits<double>::infinity());

    // Their contents by row id, in the order asked: none for a row without, nothing for one gone.
    std::vector<int64_t> rowIds{table->byKind[1][1].rowId, table->byKind[1][0].rowId, 999999,
                                table->byKind[0][2].rowId};
    auto contents = KJDao::findContentsByRowIds(rowIds);
    ASSERT_TRUE(contents);
    ASSERT_EQ(contents->size(), 3u);
    EXPECT_EQ((*contents)[0], Value::data("f1", 2));
    EXPECT_TRUE((*contents)[1].isNull());
    EXPECT_EQ((*contents)[2], Value::data("c3", 2));
}

// The active rows' ids, feed ids and modified times come from the index of the rows' times alone,
// which an older file without it gains when the table is made.
TEST_F(KJDaoTest, TheActiveRowsTimesComeFromTheirIndexAlone) {
    Value modified = row("m");
    modified.set("modified", kNow - 3600);
    Value later = row("later");
    later.set("activates", kNow + 5);
    Value gone = row("gone");
    gone.set("expires", kNow - 1);
    Value faq = row("faq");
    faq.set("type", "FAQ");
    ASSERT_TRUE(KJDao::insertMultipleTips({row("a"), modified, later, gone, faq}));
    auto rows = KJDao::findActiveRowTimes(kNow);
    ASSERT_TRUE(rows);
    std::map<std::string, double> times;
    for (const auto& r : *rows) times[r.feedId] = r.modified;
    EXPECT_EQ(times, (std::map<std::string, double>{{"a", 0}, {"faq", 0}, {"m", kNow - 3600}}));
    auto versions = KJDao::findActiveRows({"CAMPAIGN"}, kNow);
    ASSERT_TRUE(versions);
    for (const auto& v : versions->byKind[0]) {
        auto same = std::find_if(rows->begin(), rows->end(), [&](const auto& r) { return r.feedId == v.feedId; });
        ASSERT_NE(same, rows->end()) << v.feedId;
        EXPECT_EQ(same->rowId, v.rowId);
    }

    // The query reads the index, not the rows.
    auto plan = [] {
        std::string detail;
        KJDao::withConnection([&](sqlite3* db) {
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(db,
                               "EXPLAIN QUERY PLAN SELECT rowid, feedId, modified FROM QXFeeds WHERE activates < ? "
                               "AND expires > ?",
                               -1, &s, nullptr);
            while (s && sqlite3_step(s) == SQLITE_ROW)
                detail += reinterpret_cast<const char*>(sqlite3_column_text(s, 3));
            sqlite3_finalize(s);
            return SQLITE_OK;
        });
        return detail;
    };
    EXPECT_NE(plan().find("COVERING INDEX QXFeedsTimes"), std::string::npos) << plan();

    KJDao::withConnection([](sqlite3* db) { return sqlite3_exec(db, "DROP INDEX QXFeedsTimes", nullptr, nullptr, nullptr); });
    EXPECT_EQ(plan().find("QXFeedsTimes"), std::string::npos);
    ASSERT_TRUE(KJDBSettings::createDatabaseTable());
    EXPECT_NE(plan().find("COVERING INDEX QXFeedsTimes"), std::string::npos) << plan();
    EXPECT_EQ(KJDao::findActiveRowTimes(kNow)->size(), 3u);
}

TEST_F(KJDaoTest, InsertsStopAtTheFirstFailingRow) {
    Value noId = row("x");
    noId.remove("feedId");
    EXPECT_FALSE(KJDao::insertMultipleTips({row("1"), noId, row("2")}));
    EXPECT_THAT(allIds(), ElementsAre("1"));
    EXPECT_THAT(log, ElementsAre("KJDB: one of the tip data: (null) insert error"));
    EXPECT_FALSE(KJDao::insertATip(row("")));
    EXPECT_TRUE(KJDao::insertMultipleTips({}));
    EXPECT_FALSE(KJDao::updateSeries(row("1")));

    // One row on a connection of the caller's, who finalises the statement.
    sqlite3* db = KJDao::openQXDB();
    ASSERT_NE(db, nullptr);
    sqlite3_stmt* statement = nullptr;
    EXPECT_TRUE(KJDao::insertOneTipProcess(&statement, db, row("own")));
    sqlite3_finalize(statement);
    statement = nullptr;
    EXPECT_FALSE(KJDao::insertOneTipProcess(&statement, db, noId));
    EXPECT_EQ(statement, nullptr);
    EXPECT_FALSE(KJDao::insertOneTipProcess(&statement, nullptr, row("none")));
    sqlite3_close(db);
    EXPECT_THAT(allIds(), ElementsAre("1", "own"));
}

TEST_F(KJDaoTest, WorkThatThrowsInATransactionLeavesNothing) {
    EXPECT_THROW(KJDao::inTransaction([] {
                     KJDao::insertATip(row("1"));
                     throw std::runtime_error("half-way");
                     return true;
                 }),
                 std::runtime_error);
    EXPECT_TRUE(allIds().empty());
    EXPECT_TRUE(KJDao::insertATip(row("2")));
    EXPECT_THAT(allIds(), ElementsAre("2"));
}

TEST_F(KJDaoTest, QueriesThatDoNotPrepareAreReported) {
    EXPECT_EQ(KJDao::findSeriesElementsByQuarySQL("SELECT nope FROM QXFeeds"), std::nullopt);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "KJDB: sqlite quary prepare error due to: no such column: nope");
    EXPECT_EQ(KJDao::findOnDemandCampaign("c-none"), std::nullopt);
}

TEST_F(KJDaoTest, ConcurrentWritersLoseNoRow) {
    constexpr int kPerThread = 60;
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < kPerThread; ++i) {
                EXPECT_TRUE(KJDao::insertATip(row(std::to_string(t) + "-" + std::to_string(i))));
                if (i % 10 == 0) KJDao::updateRepeatConditions("r", "c-0-0");
            }
        });
    }
    for (auto& w : writers) w.join();
    EXPECT_EQ(allIds().size(), 4u * kPerThread);
}

// Each failure of the file system under an operation is reported (a log line, and false or
// nothing), keeps the rows written before it, and leaves the cache working once the fault is gone.
TEST_F(KJDaoTest, FailuresOfTheFileAreReportedKeepTheRowsAndLeaveTheCacheUsable) {
    ASSERT_TRUE(KJDao::insertMultipleTips({row("kept1"), row("kept2")}));
    KJDao::closeForTesting();
    testsupport::FailingSQLiteVFS files("Vorneli6.db");
    struct Closed {
        ~Closed() { KJDao::closeForTesting(); }  // before the file system goes
    } closed;
    auto failed = [&](const std::string& prefix) {
        return std::count_if(log.begin(), log.end(), [&](const auto& line) { return line.starts_with(prefix); });
    };

    // The file cannot be opened, or read when it is: nothing is read or written, and the next
    // operation opens it.
    files.failOpen = true;
    EXPECT_FALSE(KJDao::insertATip(row("lost")));
    EXPECT_TRUE(KJDao::findSeriesByFeedType("CAMPAIGN").empty());
    EXPECT_EQ(failed("KJDB: open database failed due to: unable to open database file"), 2);
    files.failOpen = false;
    files.failRead = true;
    EXPECT_FALSE(KJDao::deleteSeriesByFeedId("kept1"));
    EXPECT_EQ(failed("KJDB: open database failed due to: disk I/O error"), 1);
    files.failRead = false;
    EXPECT_THAT(allIds(), ElementsAre("kept1", "kept2"));

    // Statements that cannot be prepared (longer than the connection takes).
    KJDao::closeForTesting();
    KJDao::withConnection([](sqlite3* db) { return sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, 16); });
    EXPECT_EQ(KJDao::findSeriesElementsByQuarySQL("SELECT feedId FROM QXFeeds"), std::nullopt);
    EXPECT_FALSE(KJDao::deleteSeriesByFeedId("kept1"));
    EXPECT_FALSE(KJDao::insertATip(row("lost")));
    EXPECT_EQ(failed("KJDB: sqlite quary prepare error due to: string or blob too big"), 1);
    EXPECT_EQ(failed("KJDB: delete tip element from db failed due to: string or blob too big"), 1);
    KJDao::withConnection([](sqlite3* db) { return sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, 1000000); });
    EXPECT_THAT(allIds(), ElementsAre("kept1", "kept2"));

    // A value that cannot be bound (larger than the connection takes).
    Value big = row("big");
    big.set("content", platform::Data(4096, 'x'));
    KJDao::withConnection([](sqlite3* db) { return sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 1024); });
    EXPECT_FALSE(KJDao::insertMultipleTips({row("before"), big}));
    EXPECT_EQ(failed("KJDB: one of the tip data: big insert error"), 1);
    KJDao::withConnection([](sqlite3* db) { return sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 1000000000); });
    EXPECT_THAT(allIds(), ElementsAre("before", "kept1", "kept2")) << "the rows before it stay";

    // A step that cannot write.
    files.failWrite = true;
    EXPECT_FALSE(KJDao::insertATip(row("lost")));
    EXPECT_FALSE(KJDao::updateRepeatConditions("r", "c-kept1"));
    EXPECT_EQ(failed("KJDB: update repeat condition from db failed due to: disk I/O error"), 1);
    files.failWrite = false;
    EXPECT_THAT(allIds(), ElementsAre("before", "kept1", "kept2"));

    // A transaction that cannot begin.
    files.failReservedLock = true;
    EXPECT_FALSE(KJDao::insertMultipleTips({row("lost")}));
    EXPECT_EQ(failed("KJDB: cannot begin a transaction due to: disk I/O error"), 1);
    files.failReservedLock = false;
    EXPECT_THAT(allIds(), ElementsAre("before", "kept1", "kept2"));

    // A commit that cannot reach the disk, or that another reader holds back, is rolled back whole.
    files.failSync = true;
    EXPECT_FALSE(KJDao::insertMultipleTips({row("c1"), row("c2")}));
    EXPECT_EQ(failed("KJDB: cannot commit due to: disk I/O error"), 1);
    files.failSync = false;
    EXPECT_THAT(allIds(), ElementsAre("before", "kept1", "kept2"));
    files.busyExclusiveLock = true;
    EXPECT_FALSE(KJDao::insertMultipleTips({row("c1"), row("c2")}));
    EXPECT_EQ(failed("KJDB: cannot commit due to: database is locked"), 1);
    files.busyExclusiveLock = false;
    EXPECT_THAT(allIds(), ElementsAre("before", "kept1", "kept2"));

    // Usable again, on the connection it has and on a new one.
    EXPECT_TRUE(KJDao::insertMultipleTips({row("c1"), row("c2")}));
    KJDao::closeForTesting();
    EXPECT_TRUE(KJDao::insertATip(row("after")));
    EXPECT_THAT(allIds(), ElementsAre("after", "before", "c1", "c2", "kept1", "kept2"));
}

// A file whose table lets one feed have two rows (made without the key): the feed's lookup reports
// it and finds nothing, and neither row is lost.
TEST_F(KJDaoTest, TwoRowsOfOneFeedAreReportedAndKept) {
    const std::string path = KJDBSettings::databasePath();
    KJDao::closeConnection([&] { std::filesystem::remove(path); });
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE QXFeeds (feedId TEXT, content BLOB, appKey TEXT, installId TEXT, "
                           "campaignId TEXT, numFeeds INTEGER, created DOUBLE, modified DOUBLE, activates DOUBLE, "
                           "expires DOUBLE, type TEXT, deletionconditions TEXT, repeatconditions TEXT, "
                           "triggerconditions TEXT, priority INTEGER)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ASSERT_TRUE(KJDBSettings::createDatabaseTable());
    ASSERT_TRUE(KJDao::insertATip(row("twin")));
    ASSERT_TRUE(KJDao::insertATip(row("twin")));

    EXPECT_TRUE(KJDao::findSeriesByFeedId("twin").isAbsent());
    EXPECT_THAT(log, ElementsAre("KJDB: find multiple records for the same feedId: twin"));
    EXPECT_THAT(texts(KJDao::findSeriesByFeedType("CAMPAIGN")), ElementsAre("twin", "twin"));
    EXPECT_TRUE(KJDao::insertATip(row("single")));
    EXPECT_TRUE(KJDao::findSeriesByFeedId("single").isData());
}

TEST(KJDBSettings, AnUnreadableFileIsSetAsideAndTheTableMadeAfresh) {
    const std::string path = KJDBSettings::databasePath();
    std::ofstream(path, std::ios::binary) << std::string(4096, 'x');
    EXPECT_TRUE(KJDBSettings::createDatabaseTable());
    EXPECT_TRUE(std::filesystem::exists(path + ".corrupt"));
    EXPECT_TRUE(KJDao::insertATip(row("fresh")));
    EXPECT_THAT(allIds(), ElementsAre("fresh"));
    // Running it again on a good file keeps the rows.
    EXPECT_TRUE(KJDBSettings::createDatabaseTable());
    EXPECT_THAT(allIds(), ElementsAre("fresh"));
}

// Making the table fails as the file does, and is reported; the rows of an older file survive, and
// the table is made once the file can be used.
TEST(KJDBSettings, ATableThatCannotBeMadeIsReportedAndMadeLater) {
    std::vector<std::string> log;
    KJLogSetObserver([&](int, const std::string& line) { log.push_back(line); });
    struct Unobserve {
        ~Unobserve() { KJLogSetObserver(nullptr); }
    } unobserve;
    const std::string path = KJDBSettings::databasePath();
    {
        // A file from before the trigger conditions, with one row.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "CREATE TABLE 'QXFeeds' ('feedId' TEXT PRIMARY KEY, 'content' BLOB, 'appKey' TEXT, "
                               "'installId' TEXT, 'campaignId' TEXT, 'numFeeds' INTEGER, 'created' DOUBLE, "
                               "'modified' DOUBLE, 'activates' DOUBLE, 'expires' DOUBLE, 'type' TEXT, "
                               "'deletionconditions' TEXT, 'repeatconditions' TEXT, 'priority' INTEGER);"
                               "INSERT INTO QXFeeds (feedId, type) VALUES ('old', 'CAMPAIGN')",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    testsupport::FailingSQLiteVFS files("Vorneli6.db");
    struct Closed {
        ~Closed() { KJDao::closeForTesting(); }
    } closed;

    files.failOpen = true;
    EXPECT_FALSE(KJDBSettings::createDatabaseTable());
    EXPECT_THAT(log, testing::Contains("KJDB: create table failed due to: unable to open database file"));
    files.failOpen = false;

    // The column cannot be added: the table is not ready, and that is no success.
    log.clear();
    files.failWrite = true;
    EXPECT_FALSE(KJDBSettings::createDatabaseTable());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(log[0].starts_with("KJDB: create table failed due to: ")) << log[0];
    files.failWrite = false;

    EXPECT_TRUE(KJDBSettings::createDatabaseTable());
    EXPECT_TRUE(KJDao::insertATip(Value::dictionary({{"feedId", "new"}, {"triggerconditions", "[]"}})));
    EXPECT_THAT(allIds(), ElementsAre("new", "old"));
}

}  // namespace
}  // namespace brindlecue
