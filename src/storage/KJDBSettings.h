#pragma once

#include <string>

struct sqlite3;

namespace brindlecue {

// Where the campaign cache lives and how its table is made.
class KJDBSettings {
public:
    static constexpr const char* kTableName = "QXFeeds";

    // "<Library>/Brindlecue/Vorneli6.db"; the directory is created the first time, and the path is
    // computed once per process.
    static std::string databasePath();
    // Test-only: the next databasePath is computed again (for a new app container).
    static void forgetPathForTesting();
    // Creates the table (and adds the trigger-conditions column to files that predate it). A file
    // that is not a database is moved aside to "<path>.corrupt" and the table made afresh, since
    // the cache is only a copy of what the server sends. False when the table cannot be made; the
    // cache's connection is then closed, and the next one makes the table.
    static bool createDatabaseTable();
    // Makes the table on the connection unless it has it with every column (then the schema alone
    // is read); SQLITE_OK, or the code of the step that failed with its message. The cache runs it
    // on every connection it opens.
    static int makeTable(sqlite3* db, std::string* message);
};

}  // namespace brindlecue
