#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace brindlecue {

// The SQL of the campaign cache. Operations share one connection to the cache file, opened on
// first use and kept, with its statements prepared once. They are serialised within the process
// by the cache's lock and wait (up to a busy time-out) for other connections, so concurrent
// writers lose no row. Every id and text reaches a statement as a bound parameter.
//
// A row dictionary has the column names as keys: "feedId", "content" (data), "appKey",
// "installId", "campaignId" (absent for NULL), "numFeeds", "created", "modified", "activates",
// "expires", "type", "deletionconditions", "repeatconditions", "triggerconditions", "priority".
// "Active" rows are those with activates < now < expires.
//
// A campaign that is never to be deleted is one whose stored deletion conditions (JSON text
// holding a "deletion_conditions" list) contain a condition of type "infinite".
class KJDao {
public:
    // A new connection to the cache file (created when missing), or null; the caller closes it.
    static sqlite3* openQXDB();
    // Runs the work under the cache's lock inside one transaction on the shared connection, and
    // commits what it wrote (also when it gives false: rows written before a failure stay).
    // Operations the work calls join the transaction. The work's answer, or false when no
    // transaction could be opened.
    static bool inTransaction(const std::function<bool()>& work);
    // Runs the work under the cache's lock with the shared connection (opened when there is
    // none); the work's SQLite code, or SQLITE_CANTOPEN when the file cannot be opened.
    static int withConnection(const std::function<int(sqlite3*)>& work);
    // Closes the shared connection and, while no connection of this process is open, runs the
    // work (which may move the file aside); the next operation opens the file again.
    static void closeConnection(const std::function<void()>& whileClosed = nullptr);
    // Test-only: closes the shared connection, which the next operation opens again at the
    // current path. The library never calls it.
    static void closeForTesting();
    // Prepares the insert into *statement (the caller finalises it), binds the row and steps it.
    // A row without a feed id is refused.
    static bool insertOneTipProcess(sqlite3_stmt** statement, sqlite3* db, const platform::Value& tipData);
    static bool insertATip(const platform::Value& tipData);
    // Stores the rows in order in one transaction; stops at the first that fails (the rows before
    // it stay).
    static bool insertMultipleTips(const std::vector<platform::Value>& tips);

    // The content of the one active row with the feed id, or absent (also when there are several).
    static platform::Value findSeriesByFeedId(const std::string& feedId);
    // Contents of the active rows of the kind, by priority (rows of one priority in the order they
    // were written).
    static std::vector<platform::Value> findSeriesByFeedType(const std::string& type);
    // What tells one stored row from another, without its content: SQLite's rowid (a row written
    // anew, as a replaced one is, gets a new one unless it was the last), the feed id, the
    // modified time (later in every replacement) and the content's length.
    struct RowVersion {
        int64_t rowId = 0;
        std::string feedId;
        double modified = 0;
        int64_t contentLength = 0;
        bool operator==(const RowVersion&) const = default;
    };
    // One look at every row at the moment `now` (seconds since 1970): the versions of the active
    // rows of each of the kinds, each list in the order of findSeriesByFeedType, and the first
    // moment after now at which a row becomes active or stops being active (infinity when there
    // is none; now itself when a row's time is not a number). The columns after the content lie
    // on the content's pages, so that a look at them costs about what reading the table does,
    // once for all of this. None when the query fails.
    struct ActiveRows {
        std::vector<std::vector<RowVersion>> byKind;
        double nextChange = 0;
    };
    static std::optional<ActiveRows> findActiveRows(const std::vector<std::string>& kinds, double now);
    // The row id, feed id and modified time of every active row at the moment `now` (seconds since
    // 1970), whatever its kind, in no particular order: the rows findSeriesByFeedId would find,
    // read from the index of the rows' times alone (a look that costs what the index does, not
    // what the table does). None when the query fails.
    struct ActiveRow {
        int64_t rowId = 0;
        std::string feedId;
        double modified = 0;
    };
    static std::optional<std::vector<ActiveRow>> findActiveRowTimes(double now);
    // The content of the row with the row id, or absent.
    static platform::Value findContentByRowId(int64_t rowId);
    // The contents of the rows with the row ids, in their order: null for a row without content,
    // nothing for a row that is gone. None when the query fails.
    static std::optional<std::vector<platform::Value>> findContentsByRowIds(const std::vector<int64_t>& rowIds);
    static std::vector<platform::Value> findInfiniteSeriesByFeedType(const std::string& type);
    static std::vector<platform::Value> getAllSeries();
    // The first column of every row of a query whose parameters are the bindings (texts, numbers,
    // data); a BLOB or text column comes back as data, NULL as null. None when it does not prepare.
    static std::optional<std::vector<platform::Value>> findSeriesElementsByQuarySQL(
        const std::string& sql, const std::vector<platform::Value>& bindings = {});
    // Contents of every row of the campaign, active or not; none when there is none.
    static std::optional<std::vector<platform::Value>> findOnDemandCampaign(const std::string& campaignId);

    static bool updateRepeatConditions(const std::string& conditions, const std::string& campaignId);
    // Spares a campaign that is never to be deleted.
    static bool deleteSeriesByFeedId(const std::string& feedId);
    static bool deleteFAQTipByCampaignId(const std::string& campaignId);
    // Deletes every row whose deletion conditions mention "infinite" anywhere.
    static bool deleteSeriesInfiniteCampaign();
    // Deletes those of the rows that belong to never-to-be-deleted campaigns. Always true.
    static bool deleteExpiredSeriesByFeedId(const std::vector<std::string>& feedIds);
    // Deletes every row whose feed id is not among those that stay; an empty list deletes nothing.
    // Always true.
    static bool deleteDisabledCampaign(const std::vector<std::string>& feedIdsThatStay);
    // Changes nothing.
    static bool updateSeries(const platform::Value& tipData);
};

}  // namespace brindlecue
