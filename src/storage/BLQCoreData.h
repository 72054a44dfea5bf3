#pragma once

#include <memory>
#include <mutex>

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
    bool saveContext(platform::Error* error = nullptr);

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
};

}  // namespace brindlecue
