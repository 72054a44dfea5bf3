#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/coredata/FetchRequest.h"
#include "platform/coredata/Predicate.h"
#include "storage/BLQAuditableObject.h"
#include "storage/BLQUserEventStatus.h"

namespace brindlecue {

class BLQSessionDTO;
class BLQTag;
class BLQUserEventDTO;

// One stored user event (entity "UserEvent"): its code, message, details and status, the session
// it happened in and the tag it concerns. A tag event keeps the tag's key and value as they were
// when it was recorded (tagKey, tagValue) beside its link to the tag, which may change or be
// deleted before the event is sent. Events stored before events kept them have only the link.
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

    // The record; its tag is the key and value the event kept, or else the linked tag as it is now.
    std::shared_ptr<BLQUserEventDTO> toDTO() const;
    // Copies the record's values. A record with a tag keeps its key and value and links the stored
    // tag of exactly that key (none when there is no such tag); a record with a session links the
    // stored session of that
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

    // Before the tag's value changes or the tag is deleted: every event linked to it that kept no
    // key and value of its own (one stored before events kept them) takes the tag's current ones,
    // so that it still sends the value it was recorded with and not a later one.
    static void keepValuesOfTag(const std::shared_ptr<BLQTag>& tag);

private:
    static constinit inline const platform::ManagedObjectKey kId{"id"};
};

}  // namespace brindlecue
