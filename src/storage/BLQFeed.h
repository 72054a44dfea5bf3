#pragma once

#include <memory>
#include <string>

#include "platform/coredata/FetchRequest.h"
#include "platform/coredata/Predicate.h"
#include "storage/BLQAuditableObject.h"

namespace brindlecue {

// One campaign entry of the feed as the newer storage layer models it (entity "Feed"): its ids,
// kind, validity window, server dates and its condition objects.
class BLQFeed : public BLQAuditableObject {
public:
    static constexpr const char* kEntityName = "Feed";

    static platform::FetchRequest fetchRequest() { return platform::FetchRequest(kEntityName); }
    // "id == %@".
    static platform::PredicatePtr findById(const std::string& id);

    // A feed that belongs to no context yet, for the feed store to insert.
    static std::shared_ptr<BLQFeed> create();
};

}  // namespace brindlecue
