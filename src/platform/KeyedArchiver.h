#pragma once

#include <optional>

#include "platform/Value.h"

namespace brindlecue::platform {

// The platform's keyed archiver and unarchiver for untyped objects: a binary property list with
// an object table ("$objects"), the root under "$top" and object references as UIDs. Strings,
// numbers and data stand in the table as they are; dictionaries, arrays, dates and null are keyed
// objects of the classes NSMutableDictionary, NSMutableArray, NSDate and NSNull.
class KeyedArchiver {
public:
    // Absent archives as the archive of nil.
    static Data archivedData(const Value& root);
    // None for bytes that are not such an archive (or reference what they do not hold).
    static std::optional<Value> unarchiveObject(const Data& bytes);
};

}  // namespace brindlecue::platform
