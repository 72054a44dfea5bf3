#include "platform/SQLiteLibrary.h"

#include <sqlite3.h>

#include <mutex>

namespace brindlecue::platform {

void SQLiteLibrary::configure() {
    static std::once_flag once;
    std::call_once(once, [] {
        // SQLITE_MISUSE when SQLite is running already: its settings stay as they are.
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    });
}

}  // namespace brindlecue::platform
