#pragma once

#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "config/BLQSessionDTO.h"
#include "platform/Error.h"
#include "storage/BLQUserEventDTO.h"

namespace brindlecue {

// Where user events are kept from their creation until they are deleted.
class BLQIUserEventDataStore {
public:
    using CreateResult = std::variant<std::shared_ptr<BLQUserEventDTO>, platform::Error>;
    using ListResult = std::variant<std::vector<std::shared_ptr<BLQUserEventDTO>>, platform::Error>;

    virtual ~BLQIUserEventDataStore() = default;

    // A new event: a fresh id, unsent, no session.
    virtual void createUserEventObject(std::function<void(CreateResult)> completion) = 0;
    // A new event that is written once, filled: fill gets the new record (fresh id, creation
    // date, unsent, no session) on the store's queue before anything is written, and may set any
    // of its fields; the event is stored as fill left the record, and the completion gets that
    // record once it is on disk. Nothing else of the store runs between the two.
    virtual void createUserEventObject(std::function<void(const std::shared_ptr<BLQUserEventDTO>&)> fill,
                                       std::function<void(CreateResult)> completion) = 0;
    virtual void deleteUserEvent(const std::shared_ptr<BLQUserEventDTO>& event) = 0;
    virtual void deleteUserEvents(const std::vector<std::shared_ptr<BLQUserEventDTO>>& events) = 0;
    // Every unsent event that has a session.
    virtual void findUnsentUserEvents(std::function<void(ListResult)> completion) = 0;
    // Answered before returning; null when there is no such event.
    virtual std::shared_ptr<BLQUserEventDTO> getUserEvent(const std::string& id) = 0;
    // Links every event without a session to the given open session.
    virtual void associateUserEventsWithoutSessionToSession(
        const std::shared_ptr<BLQSessionDTO>& session) = 0;
    // Writes the record back to its stored event; never creates one.
    virtual void saveUserEvent(const std::shared_ptr<BLQUserEventDTO>& event) = 0;
    virtual void saveUserEvents(const std::vector<std::shared_ptr<BLQUserEventDTO>>& events) = 0;

    // Takes every unsent event that has a session for one upload, in one step: they are marked
    // as being sent before any other work of the store runs, so no two callers are handed the
    // same event. The completion gets them (status being sent) once the mark is on disk.
    virtual void takeUnsentUserEvents(std::function<void(ListResult)> completion) = 0;
    // Makes every event marked as being sent unsent again before this store next finds or takes
    // unsent events (the launch does not wait for it). Called at start, when no upload of this
    // process can be in flight: the marks are those of a process that ended mid-upload.
    virtual void resetUserEventsBeingSent() = 0;
};

}  // namespace brindlecue
