#pragma once

#include "platform/coredata/FetchRequest.h"
#include "storage/BLQAuditableObject.h"

namespace brindlecue {

// The three condition lists of a feed, each its own entity with the same text attributes (type,
// op, value, tag, currentValue, feedId) and a "feed" relationship. Reached through the feed.

class BLQDeleteCondition : public BLQAuditableObject {
public:
    static constexpr const char* kEntityName = "DeleteCondition";
    static platform::FetchRequest fetchRequest() { return platform::FetchRequest(kEntityName); }
};

class BLQRepeatCondition : public BLQAuditableObject {
public:
    static constexpr const char* kEntityName = "RepeatCondition";
    static platform::FetchRequest fetchRequest() { return platform::FetchRequest(kEntityName); }
};

class BLQTriggerCondition : public BLQAuditableObject {
public:
    static constexpr const char* kEntityName = "TriggerCondition";
    static platform::FetchRequest fetchRequest() { return platform::FetchRequest(kEntityName); }
};

}  // namespace brindlecue
