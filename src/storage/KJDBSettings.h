#pragma once

#include <string>

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
    // the cache is only a copy of what the server sends. False when the table cannot be made.
    static bool createDatabaseTable();
};

}  // namespace brindlecue
