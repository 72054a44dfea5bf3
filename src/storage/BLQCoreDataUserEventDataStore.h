#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "foundation/BLQILoggable.h"
#include "platform/coredata/ManagedObjectContext.h"
#include "storage/BLQIUserEventDataStore.h"
#include "storage/BLQUserEvent.h"

namespace brindlecue {

class BLQSession;

// The user-event store over a Core Data context. All work runs on the context's queue, one block
// per operation and per list element; only getUserEvent blocks its caller. Completions run on the
// context's queue. Failures are log lines prefixed "UserEvent: "; nothing is reported to callers.
// Owned by a shared_ptr (its queued work keeps it alive).
class BLQCoreDataUserEventDataStore final
    : public BLQIUserEventDataStore,
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
    // On the context's queue: makes the events an ended run left being sent unsent again, once
    // after resetUserEventsBeingSent asked for it; true when it changed any. The caller saves.
    bool undoMarksOfEndedRun();
    std::vector<std::shared_ptr<BLQUserEvent>> fetchUserEventsMissingSession() const;
    std::shared_ptr<BLQUserEvent> findUserEvent(const std::string& id) const;
    void saveContext() const;
    // The stored session of the id under the app key (open or closed), as the event's update
    // looks it up; the last one found is kept with its install, so that the events of one
    // session find it without a query each. Runs on the context's queue.
    std::shared_ptr<platform::ManagedObject> sessionFor(const BLQSessionDTO& session,
                                                        const std::string& appKey);
    BLQUserEvent::SessionLookup sessionLookup();
    // The stored tag of the key, as the event's update looks it up; the last one found is kept
    // while it is still that key's tag in this context, so that the events naming one tag find
    // it without a query each. Runs on the context's queue.
    std::shared_ptr<platform::ManagedObject> tagFor(const std::string& key);
    BLQUserEvent::TagLookup tagLookup();

    std::shared_ptr<platform::ManagedObjectContext> context_;
    std::atomic<bool> undoMarksFirst_ = false;
    // Touched on the context's queue only.
    std::shared_ptr<platform::ManagedObject> lastSession_;
    std::shared_ptr<platform::ManagedObject> lastInstall_;
    int64_t lastSessionId_ = 0;
    std::string lastAppKey_;
    std::shared_ptr<platform::ManagedObject> lastTag_;
};

}  // namespace brindlecue
