#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Error.h"
#include "platform/coredata/ManagedObjectContext.h"
#include "platform/coredata/ManagedObjectModel.h"
#include "platform/coredata/PersistentStoreCoordinator.h"

namespace brindlecue::platform {

// A model, its coordinator and store, a main-queue view context and private-queue background
// contexts. The store is a SQLite file, by default "<Library>/Application Support/<name>.sqlite"
// in the app container.
class PersistentContainer {
public:
    using LoadCompletion =
        std::function<void(const std::filesystem::path& storeURL, const std::optional<Error>& error)>;

    // The model is the one registered under the name (ManagedObjectModel::registerNamed); without
    // one, loading the store reports an error.
    explicit PersistentContainer(std::string name);
    PersistentContainer(std::string name, std::shared_ptr<const ManagedObjectModel> model);
    virtual ~PersistentContainer() = default;
    PersistentContainer(const PersistentContainer&) = delete;
    PersistentContainer& operator=(const PersistentContainer&) = delete;

    const std::string& name() const { return name_; }
    // Null when no model was given or registered under the name.
    const std::shared_ptr<const ManagedObjectModel>& managedObjectModel() const { return model_; }
    const std::shared_ptr<PersistentStoreCoordinator>& persistentStoreCoordinator() const {
        return coordinator_;
    }

    static std::filesystem::path defaultDirectoryURL();
    std::filesystem::path storeURL() const { return storeURL_; }
    // Takes effect at the next loadPersistentStores.
    void setStoreURL(std::filesystem::path url) { storeURL_ = std::move(url); }

    // Loads the store synchronously and then calls the completion on the calling thread, with an
    // error when the store cannot be loaded (no model, a file that is not a database, ...). The
    // caller decides what a failure means; the container stays usable but without a store.
    void loadPersistentStores(const LoadCompletion& completion);

    std::shared_ptr<ManagedObjectContext> viewContext() const { return viewContext_; }
    std::shared_ptr<ManagedObjectContext> newBackgroundContext() const;

private:
    std::string name_;
    std::shared_ptr<const ManagedObjectModel> model_;
    std::shared_ptr<PersistentStoreCoordinator> coordinator_;
    std::filesystem::path storeURL_;
    std::shared_ptr<ManagedObjectContext> viewContext_;
};

}  // namespace brindlecue::platform
