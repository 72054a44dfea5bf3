#include "storage/KJDao.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <map>
#include <mutex>

#include <sqlite3.h>

#include "foundation/KJLog.h"
#include "platform/Date.h"
#include "platform/SQLiteLibrary.h"
#include "platform/TestingReset.h"
#include "storage/KJDBSettings.h"

namespace brindlecue {

using platform::Value;

namespace {

constexpr int kBusyTimeoutMs = 5000;

// The columns in the order of the insert statement.
constexpr const char* kInsertColumns[] = {
    "feedId",           "content",    "appKey",
    "installId",        "campaignId", "numFeeds",
    "created",          "modified",   "activates",
    "expires",          "type",       "deletionconditions",
    "repeatconditions", "priority",   "triggerconditions",
};

constexpr const char* kInsertSQL =
    "INSERT OR REPLACE INTO "
    "QXFeeds('feedId','content','appKey','installId','campaignId','numFeeds','created',"
    "'modified','activates','expires','type','deletionconditions','repeatconditions','priority',"
    "'triggerconditions')VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";

constexpr const char* kActive = "activates < ? AND expires > ?";

// Every operation of the cache runs under this lock, one at a time.
std::recursive_mutex& daoMutex() {
    static auto* m = new std::recursive_mutex;
    return *m;
}

// Whether a stored deletion-condition text holds a condition of type "infinite".
bool isNeverDeleted(const unsigned char* text, int length) {
    if (text == nullptr || length <= 0) return false;
    auto parsed =
        Value::fromJSON(std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
    if (!parsed) return false;
    const platform::Array* conditions = (*parsed)["deletion_conditions"].getArray();
    if (conditions == nullptr) return false;
    for (const Value& c : *conditions) {
        const std::string* type = c["type"].getString();
        if (type != nullptr && *type == "infinite") return true;
    }
    return false;
}

void isNeverDeletedFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    bool result = argc == 1 && sqlite3_value_type(argv[0]) == SQLITE_TEXT &&
                  isNeverDeleted(sqlite3_value_text(argv[0]), sqlite3_value_bytes(argv[0]));
    sqlite3_result_int(context, result ? 1 : 0);
}

// The shared connection and its prepared statements; guarded by daoMutex.
struct Shared {
    sqlite3* db = nullptr;
    std::map<std::string, sqlite3_stmt*> statements;
    int transactionDepth = 0;

    void close() {
        for (auto& [sql, stmt] : statements) sqlite3_finalize(stmt);
        statements.clear();
        sqlite3_close(db);
        db = nullptr;
        transactionDepth = 0;
    }
};

Shared& shared() {
    static auto* s = new Shared;  // leaked: workers may use the cache during exit
    return *s;
}

// The shared connection for one operation, opened when there is none.
struct Connection {
    sqlite3* db = nullptr;
    Connection() {
        Shared& s = shared();
        if (s.db == nullptr) {
            s.db = KJDao::openQXDB();
            platform::TestingReset::add("KJDao", [] { KJDao::closeForTesting(); });
            // A table that could not be made when the cache was set up is made now; a failure
            // shows in the operation's own.
            std::string message;
            if (s.db != nullptr) KJDBSettings::makeTable(s.db, &message);
        }
        db = s.db;
    }
    explicit operator bool() const { return db != nullptr; }
};

// A statement of the shared connection, prepared once; reset and cleared when the use ends.
struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() {
        if (stmt) {
            sqlite3_reset(stmt);
            sqlite3_clear_bindings(stmt);
        }
    }
};

int prepareCached(sqlite3* db, const std::string& sql, sqlite3_stmt** out) {
    auto& statements = shared().statements;
    if (auto it = statements.find(sql); it != statements.end()) {
        *out = it->second;
        return SQLITE_OK;
    }
    int rc = sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, out, nullptr);
    if (rc == SQLITE_OK) statements.emplace(sql, *out);
    return rc;
}

double nowSince1970() {
    return platform::Date::now().timeIntervalSince1970();
}

// Text and data are copied unless the caller keeps the value alive until the statement is reset
// or its bindings are cleared (SQLITE_STATIC).
int bindValue(sqlite3_stmt* stmt, int index, const Value& v,
              sqlite3_destructor_type lifetime = SQLITE_TRANSIENT) {
    switch (v.type()) {
        case Value::Type::String: {
            const std::string& s = *v.getString();
            return sqlite3_bind_text64(stmt, index, s.data(), s.size(), lifetime, SQLITE_UTF8);
        }
        case Value::Type::Data: {
            const platform::Data& d = *v.getData();
            return sqlite3_bind_blob64(stmt, index, d.data(), d.size(), lifetime);
        }
        case Value::Type::Bool:
        case Value::Type::Integer:
            return sqlite3_bind_int64(stmt, index, v.integerValue());
        case Value::Type::Real:
            return sqlite3_bind_double(stmt, index, v.doubleValue());
        default:
            return sqlite3_bind_null(stmt, index);
    }
}

// Prepares and binds a statement; logs with the given format on failure. The bindings are not
// copied: the caller keeps them until the statement is done with (its Statement ends first).
bool prepare(sqlite3* db, const std::string& sql, const std::vector<Value>& bindings, Statement& out,
             const char* failureFormat) {
    if (prepareCached(db, sql, &out.stmt) != SQLITE_OK) {
        out.stmt = nullptr;
        KJLog(1, failureFormat, sqlite3_errmsg(db));
        return false;
    }
    for (size_t i = 0; i < bindings.size(); ++i) {
        if (bindValue(out.stmt, static_cast<int>(i + 1), bindings[i], SQLITE_STATIC) != SQLITE_OK) {
            KJLog(1, failureFormat, sqlite3_errmsg(db));
            return false;
        }
    }
    return true;
}

// Runs an update or delete; logs with the given format on failure.
bool execute(sqlite3* db, const std::string& sql, const std::vector<Value>& bindings,
             const char* failureFormat) {
    Statement s;
    if (!prepare(db, sql, bindings, s, failureFormat)) return false;
    if (sqlite3_step(s.stmt) != SQLITE_DONE) {
        KJLog(1, failureFormat, sqlite3_errmsg(db));
        return false;
    }
    return true;
}

constexpr const char* kQueryFailure = "KJDB: sqlite quary prepare error due to: %s";
constexpr const char* kUpdateFailure = "KJDB: update repeat condition from db failed due to: %s";
constexpr const char* kDeleteFailure = "KJDB: delete tip element from db failed due to: %s";

std::optional<std::vector<Value>> query(sqlite3* db, const std::string& sql,
                                        const std::vector<Value>& bindings) {
    Statement s;
    if (!prepare(db, sql, bindings, s, kQueryFailure)) return std::nullopt;
    std::vector<Value> out;
    while (true) {
        int rc = sqlite3_step(s.stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) {
            KJLog(1, kQueryFailure, sqlite3_errmsg(db));
            return std::nullopt;
        }
        if (sqlite3_column_type(s.stmt, 0) == SQLITE_NULL) {
            out.push_back(Value::null());
            continue;
        }
        const void* bytes = sqlite3_column_blob(s.stmt, 0);
        int length = sqlite3_column_bytes(s.stmt, 0);
        out.push_back(Value::data(bytes, static_cast<size_t>(length)));
    }
    return out;
}

std::vector<Value> activeQuery(const std::string& where, std::vector<Value> bindings) {
    std::lock_guard lock(daoMutex());
    Connection c;
    if (!c) return {};
    double now = nowSince1970();
    bindings.push_back(now);
    bindings.push_back(now);
    std::string sql = "SELECT content FROM QXFeeds WHERE " + where +
                      std::string(where.empty() ? "" : " AND ") + kActive +
                      " ORDER BY priority ASC, rowid ASC";
    return query(c.db, sql, bindings).value_or(std::vector<Value>{});
}

}  // namespace

sqlite3* KJDao::openQXDB() {
    platform::SQLiteLibrary::configure();
    sqlite3* db = nullptr;
    int rc = sqlite3_open(KJDBSettings::databasePath().c_str(), &db);
    if (rc != SQLITE_OK) {
        KJLog(1, "KJDB: open database failed due to: %s",
              db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // A feed is written in one transaction, each campaign's archive on pages of its own: with
    // SQLite's default cache of 2 MiB, a large feed spills pages to the file before its commit
    // (syncing the journal once more), and every look at the table after it reads the file
    // again (the columns after the archive lie on its overflow pages).
    sqlite3_exec(db, "PRAGMA cache_size=-8192", nullptr, nullptr, nullptr);
    sqlite3_create_function(db, "blq_is_never_deleted", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            isNeverDeletedFunction, nullptr, nullptr);
    return db;
}

namespace {

// Binds the row to the insert statement and steps it.
bool insertRow(sqlite3_stmt* statement, const Value& tipData) {
    int index = 1;
    for (const char* column : kInsertColumns) {
        const Value& v = tipData[column];
        int rc;
        std::string_view name(column);
        if (name == "numFeeds" || name == "priority") {
            rc = sqlite3_bind_int(statement, index, static_cast<int>(v.integerValue()));
        } else if (name == "created" || name == "modified" || name == "activates" || name == "expires") {
            rc = sqlite3_bind_double(statement, index, v.doubleValue());
        } else {
            // The row outlives the step; its bindings are cleared before it could go.
            rc = bindValue(statement, index, v, SQLITE_STATIC);
        }
        if (rc != SQLITE_OK) {
            sqlite3_clear_bindings(statement);
            return false;
        }
        ++index;
    }
    bool done = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_clear_bindings(statement);
    return done;
}

bool hasFeedId(const Value& tipData) {
    const std::string* feedId = tipData["feedId"].getString();
    return feedId != nullptr && !feedId->empty();
}

// Stores one row through the shared connection's insert statement.
bool insertShared(sqlite3* db, const Value& tipData) {
    if (!hasFeedId(tipData)) return false;
    Statement s;
    if (prepareCached(db, kInsertSQL, &s.stmt) != SQLITE_OK) {
        s.stmt = nullptr;
        return false;
    }
    return insertRow(s.stmt, tipData);
}

}  // namespace

bool KJDao::insertOneTipProcess(sqlite3_stmt** statement, sqlite3* db, const Value& tipData) {
    if (db == nullptr || !hasFeedId(tipData)) return false;
    if (sqlite3_prepare_v2(db, kInsertSQL, -1, statement, nullptr) != SQLITE_OK) return false;
    return insertRow(*statement, tipData);
}

bool KJDao::inTransaction(const std::function<bool()>& work) {
    std::lock_guard lock(daoMutex());
    Connection c;
    if (!c) return false;
    Shared& s = shared();
    if (s.transactionDepth > 0) {
        ++s.transactionDepth;
        bool ok = work();
        --s.transactionDepth;
        return ok;
    }
    if (sqlite3_exec(c.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        KJLog(1, "KJDB: cannot begin a transaction due to: %s", sqlite3_errmsg(c.db));
        return false;
    }
    s.transactionDepth = 1;
    bool ok = false;
    try {
        ok = work();
    } catch (...) {
        // Work that throws half-way leaves nothing behind.
        s.transactionDepth = 0;
        sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    s.transactionDepth = 0;
    if (sqlite3_exec(c.db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        KJLog(1, "KJDB: cannot commit due to: %s", sqlite3_errmsg(c.db));
        sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return ok;
}

int KJDao::withConnection(const std::function<int(sqlite3*)>& work) {
    std::lock_guard lock(daoMutex());
    Connection c;
    if (!c) return SQLITE_CANTOPEN;
    return work(c.db);
}

void KJDao::closeConnection(const std::function<void()>& whileClosed) {
    std::lock_guard lock(daoMutex());
    shared().close();
    if (whileClosed) whileClosed();
}

void KJDao::closeForTesting() {
    closeConnection();
}

bool KJDao::insertATip(const Value& tipData) {
    std::lock_guard lock(daoMutex());
    try {
        Connection c;
        if (!c) return false;
        return insertShared(c.db, tipData);
    } catch (const std::exception& e) {
        KJLog(1, "insert tip failed, due to %@", e.what());
        return false;
    }
}

bool KJDao::insertMultipleTips(const std::vector<Value>& tips) {
    bool opened = inTransaction([&] {
        Connection c;
        for (const Value& tip : tips) {
            if (!insertShared(c.db, tip)) {
                KJLog(1, "KJDB: one of the tip data: %@ insert error", tip["feedId"]);
                return false;
            }
        }
        return true;
    });
    return opened;
}

Value KJDao::findSeriesByFeedId(const std::string& feedId) {
    auto rows = activeQuery("feedId = ?", {feedId});
    if (rows.size() > 1) {
        KJLog(1, "KJDB: find multiple records for the same feedId: %@", feedId);
        return Value();
    }
    return rows.empty() ? Value() : rows.front();
}

std::vector<Value> KJDao::findSeriesByFeedType(const std::string& type) {
    return activeQuery("type = ?", {type});
}

std::optional<KJDao::ActiveRows> KJDao::findActiveRows(const std::vector<std::string>& kinds, double now) {
    std::lock_guard lock(daoMutex());
    Connection c;
    if (!c) return std::nullopt;
    const std::vector<Value> bindings{now};
    Statement s;
    if (!prepare(c.db,
                 "SELECT rowid, feedId, modified, length(content), type, activates < ?1 AND expires > ?1, "
                 "CASE WHEN activates > ?1 THEN activates END, CASE WHEN expires > ?1 THEN expires END "
                 "FROM QXFeeds ORDER BY priority ASC, rowid ASC",
                 bindings, s, kQueryFailure))
        return std::nullopt;
    ActiveRows out;
    out.byKind.resize(kinds.size());
    out.nextChange = std::numeric_limits<double>::infinity();
    while (true) {
        int rc = sqlite3_step(s.stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) {
            KJLog(1, kQueryFailure, sqlite3_errmsg(c.db));
            return std::nullopt;
        }
        for (int column : {6, 7}) {
            const int type = sqlite3_column_type(s.stmt, column);
            if (type == SQLITE_NULL) continue;
            const double t = type == SQLITE_INTEGER || type == SQLITE_FLOAT ? sqlite3_column_double(s.stmt, column)
                                                                             : now;
            out.nextChange = std::min(out.nextChange, t);
        }
        if (sqlite3_column_int(s.stmt, 5) != 1 || sqlite3_column_type(s.stmt, 4) != SQLITE_TEXT) continue;
        const std::string_view type(reinterpret_cast<const char*>(sqlite3_column_text(s.stmt, 4)),
                                    static_cast<size_t>(sqlite3_column_bytes(s.stmt, 4)));
        auto kind = std::find(kinds.begin(), kinds.end(), type);
        if (kind == kinds.end()) continue;
        RowVersion row;
        row.rowId = sqlite3_column_int64(s.stmt, 0);
        if (const unsigned char* feedId = sqlite3_column_text(s.stmt, 1))
            row.feedId.assign(reinterpret_cast<const char*>(feedId),
                              static_cast<size_t>(sqlite3_column_bytes(s.stmt, 1)));
        row.modified = sqlite3_column_double(s.stmt, 2);
        row.contentLength = sqlite3_column_int64(s.stmt, 3);
        out.byKind[static_cast<size_t>(kind - kinds.begin())].push_back(std::move(row));
    }
    return out;
}

std::optional<std::vector<KJDao::ActiveRow>> KJDao::findActiveRowTimes(double now) {
    std::lock_guard lock(daoMutex());
    Connection c;
    if (!c) return std::nullopt;
    const std::vector<Value> bindings{now, now};
    Statement s;
    if (!prepare(c.db, std::string("SELECT rowid, feedId, modified FROM QXFeeds WHERE ") + kActive, bindings, s,
                 kQueryFailure))
        return std::nullopt;
    std::vector<ActiveRow> out;
    while (true) {
        const int rc = sqlite3_step(s.stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) {
            KJLog(1, kQueryFailure, sqlite3_errmsg(c.db));
            return std::nullopt;
        }
        ActiveRow row;
        row.rowId = sqlite3_column_int64(s.stmt, 0);
        if (const unsigned char* feedId = sqlite3_column_text(s.stmt, 1))
            row.feedId.assign(reinterpret_cast<const char*>(feedId),
                              static_cast<size_t>(sqlite3_column_bytes(s.stmt, 1)));
        row.modified = sqlite3_column_double(s.stmt, 2);
        out.push_back(std::move(row));
    }
    return out;
}

Value KJDao::findContentByRowId(int64_t rowId) {
    std::lock_guard lock(daoMutex());
    Connection c;
    if (!c) return Value();
    const std::vector<Value> bindings{rowId};
    Statement s;
    if (!prepare(c.db, "SELECT content FROM QXFeeds WHERE rowid = ?", bindings, s, kQueryFailure))
        return Value();
    if (sqlite3_step(s.stmt) != SQLITE_ROW || sqlite3_column_type(s.stmt, 0) == SQLITE_NULL) return Value();
    const void* bytes = sqlite3_column_blob(s.stmt, 0);
    return Value::data(bytes, static_cast<size_t>(sqlite3_column_bytes(s.stmt, 0)));
}

std::optional<std::vector<Value>> KJDao::findContentsByRowIds(const std::vector<int64_t>& rowIds) {
    std::lock_guard lock(daoMutex());
    Connection c;
    if (!c) return std::nullopt;
    std::vector<Value> out;
    out.reserve(rowIds.size());
    for (int64_t rowId : rowIds) {
        const std::vector<Value> bindings{rowId};
        Statement s;
        if (!prepare(c.db, "SELECT content FROM QXFeeds WHERE rowid = ?", bindings, s, kQueryFailure))
            return std::nullopt;
        const int rc = sqlite3_step(s.stmt);
        if (rc == SQLITE_DONE) continue;
        if (rc != SQLITE_ROW) {
            KJLog(1, kQueryFailure, sqlite3_errmsg(c.db));
            return std::nullopt;
        }
        if (sqlite3_column_type(s.stmt, 0) == SQLITE_NULL) {
            out.push_back(Value::null());
            continue;
        }
        const void* bytes = sqlite3_column_blob(s.stmt, 0);
        out.push_back(Value::data(bytes, static_cast<size_t>(sqlite3_column_bytes(s.stmt, 0))));
    }
    return out;
}

std::vector<Value> KJDao::findInfiniteSeriesByFeedType(const std::string& type) {
    return activeQuery("type = ? AND blq_is_never_deleted(deletionconditions)", {type});
}

std::vector<Value> KJDao::getAllSeries() {
    return activeQuery("", {});
}

std::optional<std::vector<Value>> KJDao::findSeriesElementsByQuarySQL(const std::string& sql,
                                                                      const std::vector<Value>& bindings) {
    std::lock_guard lock(daoMutex());
    Connection c;
    if (!c) return std::nullopt;
    return query(c.db, sql, bindings);
}

std::optional<std::vector<Value>> KJDao::findOnDemandCampaign(const std::string& campaignId) {
    auto rows =
        findSeriesElementsByQuarySQL("SELECT content FROM QXFeeds WHERE campaignId = ?", {campaignId});
    if (!rows || rows->empty()) {
        KJLog(1, "KJDB: Did not find campaign with the campaignId: %@", campaignId);
        return std::nullopt;
    }
    return rows;
}

bool KJDao::updateRepeatConditions(const std::string& conditions, const std::string& campaignId) {
    std::lock_guard lock(daoMutex());
    Connection c;
    if (!c) return false;
    return execute(c.db, "UPDATE QXFeeds SET repeatconditions = ? WHERE campaignId = ?",
                   {conditions, campaignId}, kUpdateFailure);
}

bool KJDao::deleteSeriesByFeedId(const std::string& feedId) {
    std::lock_guard lock(daoMutex());
    Connection c;
    if (!c) return false;
    return execute(c.db,
                   "DELETE FROM QXFeeds WHERE feedId = ? AND NOT blq_is_never_deleted(deletionconditions)",
                   {feedId}, kDeleteFailure);
}

bool KJDao::deleteFAQTipByCampaignId(const std::string& campaignId) {
    std::lock_guard lock(daoMutex());
    Connection c;
    if (!c) return false;
    return execute(c.db, "DELETE FROM QXFeeds WHERE campaignId = ?", {campaignId}, kDeleteFailure);
}

bool KJDao::deleteSeriesInfiniteCampaign() {
    KJLog(1, "Deleting infinite Campaign");
    std::lock_guard lock(daoMutex());
    Connection c;
    if (!c) return false;
    return execute(c.db, "DELETE FROM QXFeeds WHERE deletionconditions LIKE '%infinite%'", {},
                   kDeleteFailure);
}

bool KJDao::deleteExpiredSeriesByFeedId(const std::vector<std::string>& feedIds) {
    std::lock_guard lock(daoMutex());
    Connection c;
    if (!c) return true;
    for (const std::string& feedId : feedIds) {
        execute(c.db, "DELETE FROM QXFeeds WHERE feedId = ? AND blq_is_never_deleted(deletionconditions)",
                {feedId}, kDeleteFailure);
    }
    return true;
}

bool KJDao::deleteDisabledCampaign(const std::vector<std::string>& feedIdsThatStay) {
    if (feedIdsThatStay.empty()) return true;
    platform::Array ids(feedIdsThatStay.begin(), feedIdsThatStay.end());
    platform::Error error;
    auto list = Value(std::move(ids)).toJSON(false, &error);
    if (!list) {
        KJLog(1, kDeleteFailure, error.localizedDescription());
        return true;
    }
    std::lock_guard lock(daoMutex());
    Connection c;
    if (!c) return true;
    execute(c.db, "DELETE FROM QXFeeds WHERE feedId NOT IN (SELECT value FROM json_each(?))", {*list},
            kDeleteFailure);
    return true;
}

bool KJDao::updateSeries(const Value&) {
    return false;
}

}  // namespace brindlecue
