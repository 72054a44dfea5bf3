#pragma once

#include <cstdint>
#include <string>

#include "platform/Error.h"

namespace brindlecue::platform {

// Codes of the errors the persistence stand-in reports, in the platform's Cocoa error domain.
enum class CoreDataError : int64_t {
    FileReadCorrupt = 259,            // the store file is not a database
    ManagedObjectValidation = 1550,   // a value cannot be stored (transformer missing or failed)
    MissingMandatoryProperty = 1570,  // a non-optional attribute is nil at save time
    MergeConflict = 133020,           // the row changed in the store since this context read it
    PersistentStoreSave = 134030,     // the database refused the write
    CoreData = 134060,                // anything else: no store, invalid fetch, unreadable model
};

inline constexpr const char* kCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr const char* kSQLiteErrorDomain = "NSSQLiteErrorDomain";

inline Error makeCoreDataError(CoreDataError code, const std::string& description) {
    return Error::withDescription(kCocoaErrorDomain, static_cast<int64_t>(code), description);
}

}  // namespace brindlecue::platform
