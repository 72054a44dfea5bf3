#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/coredata/FetchRequest.h"
#include "platform/coredata/Predicate.h"
#include "storage/BLQAuditableObject.h"

namespace brindlecue {

class BLQSessionDTO;

// One stored session (entity "Session"), numbered on insertion and tied to the install. Open
// while it has no end time.
class BLQSession : public BLQAuditableObject {
public:
    static constexpr const char* kEntityName = "Session";

    static platform::FetchRequest fetchRequest() { return platform::FetchRequest(kEntityName); }
    // "install != nil && install.appKey == %@" and the app-id twin.
    static platform::PredicatePtr findByAppKey(const std::string& appKey);
    static platform::PredicatePtr findByAppId(int64_t appId);
    // The same, "&& endTime == nil".
    static platform::PredicatePtr findOpenByAppKey(const std::string& appKey);
    static platform::PredicatePtr findOpenByAppId(int64_t appId);
    // "install != nil && install.<key> == %@ && id == %ld && endTime == nil".
    static platform::PredicatePtr findOpenBySessionId(int64_t sessionId, const std::string& appKey);
    static platform::PredicatePtr findOpenBySessionId(int64_t sessionId, int64_t appId);
    static platform::PredicatePtr findOpenBySessionIdInstallId(int64_t sessionId, const std::string& installId);
    // "install != nil && install.appKey == %@ && id == %ld", open or closed.
    static platform::PredicatePtr findBySessionId(int64_t sessionId, const std::string& appKey);

    // The creation date, the next id and the start time (now).
    void awakeFromInsert() override;
    // One more than the largest id of any session in this object's context, pending inserts
    // included (the context's fetches see them, so two sessions created before a save never
    // share an id); 1 when there is none.
    int64_t nextPrimaryKey() const;

    // Id, times and the install's record; no events.
    std::shared_ptr<BLQSessionDTO> toDTO() const;
    // Copies id, start and end time (absent clears); install and events are not touched.
    void updateFromDTO(const BLQSessionDTO& dto);

    int64_t id() const { return integerValue("id").value_or(0); }
    std::optional<platform::Date> startTime() const { return dateValue("startTime"); }
    std::optional<platform::Date> endTime() const { return dateValue("endTime"); }
};

}  // namespace brindlecue
