#include "storage/BLQCoreData.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "platform/NotificationCenter.h"
#include "platform/TestingReset.h"
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
        if (auto* auditable = dynamic_cast<BLQAuditableObject*>(object.get())) auditable->updateAuditFields();
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
    static BLQCoreData* instance = [] {
        platform::TestingReset::add("BLQCoreData", [] { resetForTesting(); });
        return new BLQCoreData();
    }();
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
    saveContext(std::function<void()>());
    return true;
}

void BLQCoreData::saveContext(std::function<void()> whenSaved) {
    if (!whenSaved) return scheduleSave(std::nullopt);
    scheduleSave(Waiter{nullptr, std::move(whenSaved)});
}

void BLQCoreData::saveContextReportingFailure(std::function<void(std::optional<platform::Error>)> done) {
    if (!done) return scheduleSave(std::nullopt);
    scheduleSave(Waiter{std::move(done), nullptr});
}

void BLQCoreData::scheduleSave(std::optional<Waiter> waiter) {
    auto context = backgroundContext();
    {
        std::lock_guard lock(saveMutex_);
        if (waiter) whenSaved_.push_back(std::move(*waiter));
        if (saveScheduled_) return;  // joins the save that is waiting to run
        saveScheduled_ = true;
    }
    context->perform([this, context] {
        std::vector<Waiter> waiting;
        {
            // Requests from here on schedule the next save.
            std::lock_guard lock(saveMutex_);
            saveScheduled_ = false;
            waiting.swap(whenSaved_);
        }
        // Copies: stamping may change what the context lists.
        auto inserted = context->insertedObjects();
        auto updated = context->updatedObjects();
        stamp(inserted);
        stamp(updated);
        platform::Error error;
        if (!context->save(&error)) {
            std::printf("Error saving background context: %s\n", error.description().c_str());
            std::vector<Waiter> told;
            {
                std::lock_guard lock(saveMutex_);
                auto at = whenSaved_.begin();
                for (auto& w : waiting) {
                    if (w.whenSaved)
                        at = std::next(whenSaved_.insert(at, std::move(w)));
                    else
                        told.push_back(std::move(w));
                }
            }
            for (auto it = told.rbegin(); it != told.rend(); ++it) it->done(error);
            return;
        }
        for (auto& w : waiting) {
            if (w.whenSaved)
                w.whenSaved();
            else
                w.done(std::nullopt);
        }
    });
}

void BLQCoreData::resetForTesting() {
    BLQCoreData& self = sharedInstance();
    std::shared_ptr<ManagedObjectContext> background;
    {
        std::lock_guard lock(self.backgroundMutex_);
        background = self.background_;
    }
    if (background) {
        // Queued work may schedule saves, and completions of saves more work.
        for (;;) {
            background->performAndWait([] {});
            std::lock_guard lock(self.saveMutex_);
            if (!self.saveScheduled_) break;
        }
    }
    {
        std::lock_guard lock(self.backgroundMutex_);
        if (self.saveObserver_) platform::NotificationCenter::defaultCenter().removeObserver(self.saveObserver_);
        self.saveObserver_.reset();
        self.background_.reset();
    }
    {
        std::lock_guard lock(self.containerMutex_);
        self.container_.reset();
    }
    std::lock_guard lock(self.saveMutex_);
    self.whenSaved_.clear();
}

}  // namespace brindlecue
