#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/Error.h"
#include "platform/coredata/ManagedObjectContext.h"

namespace brindlecue {

namespace platform {
class NotificationObserver;
}

class BLQPersistentContainer;

// The library's Core Data stack: the container over the "Brindlecue" model, its main (view)
// context, and the one background context in which every data store works. Saves of the
// background context stamp audit dates and are merged into the main context on the main queue.
class BLQCoreData {
public:
    static BLQCoreData& sharedInstance();

    // Built and loaded on first use. On an empty "ConfigSetting" table the debug log level
    // setting ("2") is seeded; a store that cannot be loaded stops the process.
    std::shared_ptr<BLQPersistentContainer> persistentContainer();
    void setPersistentContainer(std::shared_ptr<BLQPersistentContainer> container);
    // The container's view context (main queue).
    std::shared_ptr<platform::ManagedObjectContext> mainContext();
    // Built on first use: a private-queue context whose saves are merged into the main context.
    std::shared_ptr<platform::ManagedObjectContext> backgroundContext();
    void setBackgroundContext(std::shared_ptr<platform::ManagedObjectContext> context);

    // Schedules, on the background context's queue, the stamping of audit dates on every
    // inserted and updated object and the save of the background context, and returns at once.
    // A failed save is printed; the changes stay for the next save. Always returns true: the
    // caller is never told about the save's outcome.
    //
    // Saves group: a request made while a save is scheduled and has not started joins it, so a
    // burst of changes is written in one transaction (one disk sync) by the save that runs after
    // all of them.
    bool saveContext(platform::Error* error = nullptr);
    // The same, and calls whenSaved on the background context's queue once the save that takes
    // the current changes has reached the disk. After a failed save it waits, with the changes,
    // for the next save that succeeds.
    void saveContext(std::function<void()> whenSaved);
    // The same, for a caller that must hear a failure: done runs on the background context's
    // queue with no error once the save that takes the current changes has reached the disk, or
    // with the error of that save when it failed (the changes stay in the context). The callers of
    // a failed save hear it latest first, so that each can undo its own change over later ones.
    void saveContextReportingFailure(std::function<void(std::optional<platform::Error>)> done);

    // Test-only: lets the background context finish its queued work and saves, then forgets the
    // container and the background context, so that the next use opens the store of the current
    // app container. The library never calls it; the test runner does between tests.
    static void resetForTesting();

    BLQCoreData(const BLQCoreData&) = delete;
    BLQCoreData& operator=(const BLQCoreData&) = delete;

private:
    BLQCoreData() = default;
    static std::shared_ptr<BLQPersistentContainer> makeContainer();
    std::shared_ptr<platform::ManagedObjectContext> makeBackgroundContext();

    std::mutex containerMutex_;
    std::shared_ptr<BLQPersistentContainer> container_;
    std::mutex backgroundMutex_;
    std::shared_ptr<platform::ManagedObjectContext> background_;
    std::shared_ptr<platform::NotificationObserver> saveObserver_;

    std::mutex saveMutex_;
    bool saveScheduled_ = false;
    // Told of the save's outcome (done), or only of a save that succeeds (whenSaved: it waits
    // through failed saves).
    struct Waiter {
        std::function<void(std::optional<platform::Error>)> done;
        std::function<void()> whenSaved;
    };
    void scheduleSave(std::optional<Waiter> waiter);

    std::vector<Waiter> whenSaved_;
};

}  // namespace brindlecue
