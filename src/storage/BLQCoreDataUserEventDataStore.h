#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/BLQILoggable.h"
#include "platform/coredata/ManagedObjectContext.h"
#include "storage/BLQIUserEventDataStore.h"

namespace brindlecue {

class BLQSession;
class BLQUserEvent;

// The user-event store over a Core Data context. All work runs on the context's queue, one block
// per operation and per list element; only getUserEvent blocks its caller. Completions run on the
// context's queue. Failures are log lines prefixed "UserEvent: "; nothing is reported to callers.
// Owned by a shared_ptr (its queued work keeps it alive).
class BLQCoreDataUserEventDataStore final : public BLQIUserEventDataStore,
                                            public BLQILoggable,
                                            public std::enable_shared_from_this<BLQCoreDataUserEventDataStore> {
public:
    explicit BLQCoreDataUserEventDataStore(std::shared_ptr<platform::ManagedObjectContext> context)
        : context_(std::move(context)) {}

    void createUserEventObject(std::function<void(CreateResult)> completion) override;
    void createUserEventObject(std::function<void(const std::shared_ptr<BLQUserEventDTO>&)> fill,
                               std::function<void(CreateResult)> completion) override;
    std::shared_ptr<BLQUserEventDTO> getUserEvent(const std::string& id) override;
    void findUnsentUserEvents(std::function<void(ListResult)> completion) override;
    void associateUserEventsWithoutSessionToSession(const std::shared_ptr<BLQSessionDTO>& session) override;
    void saveUserEvent(const std::shared_ptr<BLQUserEventDTO>& event) override;
    void saveUserEvents(const std::vector<std::shared_ptr<BLQUserEventDTO>>& events) override;
    void deleteUserEvent(const std::shared_ptr<BLQUserEventDTO>& event) override;
    void deleteUserEvents(const std::vector<std::shared_ptr<BLQUserEventDTO>>& events) override;
    void takeUnsentUserEvents(std::function<void(ListResult)> completion) override;
    void resetUserEventsBeingSent() override;

    const std::shared_ptr<platform::ManagedObjectContext>& context() const { return context_; }

private:
    std::shared_ptr<BLQSession> getOpenSession(const BLQSessionDTO& session) const;
    std::vector<std::shared_ptr<BLQUserEvent>> fetchUnsentUserEvents() const;
    std::vector<std::shared_ptr<BLQUserEvent>> fetchUserEventsMissingSession() const;
    std::shared_ptr<BLQUserEvent> findUserEvent(const std::string& id) const;
    void saveContext() const;

    std::shared_ptr<platform::ManagedObjectContext> context_;
};

}  // namespace brindlecue
