#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/BLQILoggable.h"
#include "platform/coredata/ManagedObjectContext.h"
#include "storage/BLQIUserEventDataStore.h"
#include "storage/BLQUserEvent.h"

namespace brindlecue {

class BLQSession;

// The user-event store over a Core Data context. All work runs on the context's queue, in the
// order it was asked for; only getUserEvent blocks its caller.
// Completions run on the context's queue. Failures are log lines prefixed "UserEvent: "; nothing
// is reported to callers. Owned by a shared_ptr (its queued work keeps it alive).
//
// The store's work travels in batches: work asked for while the store's last block on the context
// is still the last block queued there (nothing else was queued after it) joins that block,
// behind the work already in it, instead of being queued on its own, so a burst of events costs
// one block rather than one each. Saves are asked for and grouped as if every piece were a block
// of its own: the first request of a batch schedules (or joins) a save, which runs after the
// block, and closes the batch, so that work asked for later waits behind that save; the
// completions that wait for the disk run after the commit that holds their changes, in order.
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

    // The most pieces of work one batch takes.
    static constexpr size_t kBatchLimit = 4096;

private:
    // One piece of the store's work: a new event (filled when fill is set), or other work.
    struct Work {
        bool create = false;
        std::function<void(const std::shared_ptr<BLQUserEventDTO>&)> fill;
        std::function<void(CreateResult)> completion;
        std::function<void()> run;
    };
    // The work one block of the store runs, in order.
    struct Batch {
        std::vector<Work> waiting;
        uint64_t number = 0;  // the block's number on the context (ManagedObjectContext::isLastQueued)
        size_t size = 0;      // pieces handed to it
        bool open = true;     // takes more work
    };
    // What waits for the batch's save: a new event's completion with its record, or other work.
    struct Saved {
        std::function<void(CreateResult)> created;
        std::shared_ptr<BLQUserEventDTO> record;
        std::function<void()> run;
    };
    void enqueue(Work work);
    void runBatch(const std::shared_ptr<Batch>& batch);
    void createNow(Work& work);
    // Asks for a save of the context's changes (whenSaved runs once they are on disk). Run on
    // the context's queue.
    void saveContext(std::function<void()> whenSaved = nullptr);
    // Inside a batch: what waits for the batch's save, which is asked for when the batch has run.
    void waitForSave(Saved saved);

    std::shared_ptr<BLQSession> getOpenSession(const BLQSessionDTO& session) const;
    std::vector<std::shared_ptr<BLQUserEvent>> fetchUnsentUserEvents() const;
    // On the context's queue: makes the events an ended run left being sent unsent again, once
    // after resetUserEventsBeingSent asked for it; true when it changed any. The caller saves.
    bool undoMarksOfEndedRun();
    std::vector<std::shared_ptr<BLQUserEvent>> fetchUserEventsMissingSession() const;
    std::shared_ptr<BLQUserEvent> findUserEvent(const std::string& id) const;
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
    bool inBatch_ = false;
    std::shared_ptr<std::vector<Saved>> whenSaved_;

    std::mutex batchMutex_;
    // The batch that may take more work, if any.
    std::shared_ptr<Batch> openBatch_;
};

}  // namespace brindlecue
