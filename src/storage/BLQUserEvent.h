#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "events/BLQUserEventStatus.h"
#include "platform/coredata/FetchRequest.h"
#include "platform/coredata/Predicate.h"
#include "storage/BLQAuditableObject.h"

namespace brindlecue {

class BLQSessionDTO;
class BLQUserEventDTO;

// One stored user event (entity "UserEvent"): its code, message, details and status, the session
// it happened in and the tag it concerns.
class BLQUserEvent : public BLQAuditableObject {
public:
    static constexpr const char* kEntityName = "UserEvent";

    static platform::FetchRequest fetchRequest() { return platform::FetchRequest(kEntityName); }
    // "id == %@".
    static platform::PredicatePtr findById(const std::string& id);
    // "session != nil && status == %i" with unsent, or with the given status.
    static platform::PredicatePtr findUnsent();
    static platform::PredicatePtr findByStatus(BLQUserEventStatus status);
    // "session == nil".
    static platform::PredicatePtr findByMissingSession();

    // The creation date, a fresh lower-case UUID as id, and status unsent.
    void awakeFromInsert() override;

    std::shared_ptr<BLQUserEventDTO> toDTO() const;
    // Copies the record's values. A record with a tag links the stored tag of exactly that key
    // (none when there is no such tag); a record with a session links the stored session of that
    // id under the session's install's app key, open or closed. A record without a tag or
    // session, or whose session cannot be found, leaves that link as it is.
    //
    // findSession, when given, stands for the store's lookup of the session (by id, under the
    // install's app key), and findTag for its lookup of the tag by key: a caller that has just
    // found one may answer without asking the store.
    using SessionLookup = std::function<std::shared_ptr<platform::ManagedObject>(const BLQSessionDTO& session,
                                                                                 const std::string& appKey)>;
    using TagLookup = std::function<std::shared_ptr<platform::ManagedObject>(const std::string& key)>;
    void updateFromDTO(const BLQUserEventDTO& dto, const SessionLookup& findSession = {},
                       const TagLookup& findTag = {});

    std::optional<std::string> id() const { return stringValue(kId); }

private:
    static constinit inline const platform::ManagedObjectKey kId{"id"};
};

}  // namespace brindlecue
