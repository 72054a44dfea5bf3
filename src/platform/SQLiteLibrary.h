#pragma once

namespace brindlecue::platform {

// Process-wide settings of the SQLite library, applied once before this process opens its first
// connection: memory statistics are off, since keeping them takes one global mutex for every
// allocation of every connection, so that connections used on several threads at once (a store
// saving on its queue while the main thread reads another file) contend on each allocation.
// The library keeps no such statistics and sets no heap limit. A host that started SQLite
// before keeps the settings it chose.
class SQLiteLibrary {
public:
    static void configure();

    SQLiteLibrary() = delete;
};

}  // namespace brindlecue::platform
