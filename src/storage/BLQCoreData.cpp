#include "storage/BLQCoreData.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/NotificationCenter.h"
#include "storage/BLQAuditableObject.h"
#include "storage/BLQConfigSetting.h"
#include "storage/BLQPersistentContainer.h"

namespace brindlecue {

using platform::ManagedObjectContext;

namespace {

constexpr const char* kDebugLogLevelKey = "BLQ_CONFIG_DEBUG_LOG_LEVEL";
constexpr const char* kDefaultDebugLogLevel = "2";

void stamp(const std::vector<std::shared_ptr<platform::ManagedObject>>& objects) {
    for (const auto& object : objects)
        if (auto auditable = std::dynamic_pointer_cast<BLQAuditableObject>(object)) auditable->updateAuditFields();
}

// The first launch's one setting, written into an empty settings table only.
void seedSettings(const std::shared_ptr<ManagedObjectContext>& context) {
    auto count = context->count(BLQConfigSetting::fetchRequest());
    if (!count || *count != 0) return;
    auto setting = context->insertNewObject<BLQConfigSetting>(BLQConfigSetting::kEntityName);
    if (!setting) return;
    setting->setKey(std::string(kDebugLogLevelKey));
    setting->setValueText(std::string(kDefaultDebugLogLevel));
    context->save();
}

}  // namespace

BLQCoreData& BLQCoreData::sharedInstance() {
    // Reached from store queues until the process ends: never destroyed.
    static BLQCoreData* instance = new BLQCoreData();
    return *instance;
}

std::shared_ptr<BLQPersistentContainer> BLQCoreData::makeContainer() {
    auto container = std::make_shared<BLQPersistentContainer>();
    container->loadPersistentStores([&](const std::filesystem::path&, const std::optional<platform::Error>& error) {
        // The container is not shared yet, so its view context can be used from this thread.
        seedSettings(container->viewContext());
        if (error) {
            std::fprintf(stderr, "Unresolved error %s, %s\n", error->description().c_str(),
                         error->userInfo().description().c_str());
            std::abort();
        }
    });
    return container;
}

std::shared_ptr<BLQPersistentContainer> BLQCoreData::persistentContainer() {
    std::lock_guard lock(containerMutex_);
    if (!container_) container_ = makeContainer();
    return container_;
}

void BLQCoreData::setPersistentContainer(std::shared_ptr<BLQPersistentContainer> container) {
    std::lock_guard lock(containerMutex_);
    container_ = std::move(container);
}

std::shared_ptr<ManagedObjectContext> BLQCoreData::mainContext() {
    return persistentContainer()->viewContext();
}

std::shared_ptr<ManagedObjectContext> BLQCoreData::makeBackgroundContext() {
    auto main = mainContext();
    auto context = persistentContainer()->newBackgroundContext();
    context->setAutomaticallyMergesChangesFromParent(true);
    saveObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
        ManagedObjectContext::kDidSaveNotification, context, nullptr, [main](const platform::Notification& n) {
            main->perform([main, n] {
                main->mergeChangesFromContextDidSaveNotification(n);
                platform::Error error;
                if (!main->save(&error))
                    std::printf("Error saving main context: %s\n", error.description().c_str());
            });
        });
    return context;
}

std::shared_ptr<ManagedObjectContext> BLQCoreData::backgroundContext() {
    std::lock_guard lock(backgroundMutex_);
    if (!background_) background_ = makeBackgroundContext();
    return background_;
}

void BLQCoreData::setBackgroundContext(std::shared_ptr<ManagedObjectContext> context) {
    std::lock_guard lock(backgroundMutex_);
    background_ = std::move(context);
}

bool BLQCoreData::saveContext(platform::Error*) {
    auto context = backgroundContext();
    context->perform([context] {
        // Copies: stamping may change what the context lists.
        auto inserted = context->insertedObjects();
        auto updated = context->updatedObjects();
        stamp(inserted);
        stamp(updated);
        platform::Error error;
        if (!context->save(&error))
            std::printf("Error saving background context: %s\n", error.description().c_str());
    });
    return true;
}

}  // namespace brindlecue
