#include "storage/KJDBSettings.h"

#include <filesystem>
#include <mutex>
#include <system_error>

#include <sqlite3.h>

#include "foundation/KJLog.h"
#include "platform/AppContainer.h"
#include "platform/SystemLog.h"
#include "platform/TestingReset.h"
#include "storage/KJDao.h"

namespace brindlecue {

namespace fs = std::filesystem;

namespace {

constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS 'QXFeeds' ('feedId' TEXT PRIMARY KEY, 'content' BLOB, 'appKey' TEXT, "
    "'installId' TEXT, 'campaignId' TEXT, 'numFeeds' INTEGER, 'created' DOUBLE, 'modified' DOUBLE, "
    "'activates' DOUBLE, 'expires' DOUBLE, 'type' TEXT,'deletionconditions' TEXT,'repeatconditions' "
    "TEXT,'triggerconditions' TEXT,'priority' INTEGER)";

// The times of the rows with their feed ids, so that a look at which rows are active, and at their
// modified times, reads this index alone and not the rows, whose contents fill most of the file.
constexpr const char* kCreateTimesIndex =
    "CREATE INDEX IF NOT EXISTS 'QXFeedsTimes' ON 'QXFeeds' ('activates', 'expires', 'feedId', 'modified')";

const platform::SystemLog& systemLog() {
    static const platform::SystemLog log("com.brindlecue", "BrindlecueSDK");
    return log;
}

// Makes the index of the rows' times when the file has none. The index only speeds reads up: a
// file that cannot gain it (it cannot be written) keeps a table every statement can use.
void createTimesIndexIn(sqlite3* db) { sqlite3_exec(db, kCreateTimesIndex, nullptr, nullptr, nullptr); }

}  // namespace

// A file that has the table with every column only gains the index of the rows' times when it
// lacks it.
int KJDBSettings::makeTable(sqlite3* db, std::string* message) {
    int rc = sqlite3_table_column_metadata(db, nullptr, KJDBSettings::kTableName, "triggerconditions",
                                           nullptr, nullptr, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        createTimesIndexIn(db);
        return rc;
    }
    if (rc == SQLITE_ERROR) {  // no such table, or no such column
        char* error = nullptr;
        rc = sqlite3_exec(db, kCreateTable, nullptr, nullptr, &error);
        if (rc == SQLITE_OK) {
            // Files written before the column existed gain it here; the statement fails, harmlessly,
            // when the column is already there. A file that could not gain it (it cannot be
            // written) has no table every statement can use.
            std::string alter =
                std::string("ALTER TABLE '") + KJDBSettings::kTableName + "' ADD 'triggerconditions' TEXT";
            const int altered = sqlite3_exec(db, alter.c_str(), nullptr, nullptr, &error);
            if (altered != SQLITE_OK &&
                sqlite3_table_column_metadata(db, nullptr, KJDBSettings::kTableName, "triggerconditions", nullptr,
                                              nullptr, nullptr, nullptr, nullptr) != SQLITE_OK)
                rc = altered;
        }
        if (rc != SQLITE_OK) *message = error != nullptr ? error : sqlite3_errmsg(db);
        sqlite3_free(error);
        if (rc == SQLITE_OK) createTimesIndexIn(db);
        return rc;
    }
    *message = sqlite3_errmsg(db);
    return rc;
}

namespace {

std::mutex& pathMutex() {
    static auto* m = new std::mutex;
    return *m;
}

std::string& cachedPath() {
    static auto* path = new std::string;  // leaked: workers may read it during exit
    return *path;
}

}  // namespace

std::string KJDBSettings::databasePath() {
    std::lock_guard lock(pathMutex());
    std::string& path = cachedPath();
    if (path.empty()) {
        fs::path dir = platform::AppContainer::libraryDirectory() / "Brindlecue";
        std::error_code ec;
        fs::create_directories(dir, ec);
        path = (dir / "Vorneli6.db").string();
        platform::TestingReset::add("KJDBSettings", [] { forgetPathForTesting(); });
    }
    return path;
}

void KJDBSettings::forgetPathForTesting() {
    std::lock_guard lock(pathMutex());
    cachedPath().clear();
}

bool KJDBSettings::createDatabaseTable() {
    // On the cache's own connection, which the first read then finds open with the schema read.
    const std::string path = databasePath();
    std::string message;
    auto create = [&](sqlite3* db) { return makeTable(db, &message); };
    int rc = KJDao::withConnection(create);
    if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT) {
        systemLog().log(platform::LogType::Error, "KJDB: campaign cache " + path + " is unreadable (" +
                                                      message + "), starting a new one");
        KJDao::closeConnection([&] {
            std::error_code ec;
            fs::rename(path, path + ".corrupt", ec);
            if (ec) fs::remove(path, ec);
        });
        rc = KJDao::withConnection(create);
    }
    if (rc == SQLITE_CANTOPEN && message.empty()) message = sqlite3_errstr(rc);
    if (rc != SQLITE_OK) {
        systemLog().log(platform::LogType::Error,
                        "KJDB: cannot create the campaign table in " + path + ": " + message);
        KJLog(1, "KJDB: create table failed due to: %s", message);
        // The next operation opens the file again, and makes the table once the file allows.
        KJDao::closeConnection();
        return false;
    }
    return true;
}

}  // namespace brindlecue
