#include "platform/coredata/PersistentContainer.h"

#include <utility>

#include "platform/AppContainer.h"
#include "platform/coredata/CoreDataError.h"

namespace brindlecue::platform {

PersistentContainer::PersistentContainer(std::string name)
    : PersistentContainer(name, ManagedObjectModel::named(name)) {}

PersistentContainer::PersistentContainer(std::string name, std::shared_ptr<const ManagedObjectModel> model)
    : name_(std::move(name)),
      model_(std::move(model)),
      coordinator_(std::make_shared<PersistentStoreCoordinator>(
          model_ ? model_ : std::make_shared<const ManagedObjectModel>())),
      storeURL_(defaultDirectoryURL() / (name_ + ".sqlite")),
      viewContext_(
          ManagedObjectContext::create(ManagedObjectContext::ConcurrencyType::MainQueue, coordinator_)) {}

std::filesystem::path PersistentContainer::defaultDirectoryURL() {
    return AppContainer::libraryDirectory() / "Application Support";
}

void PersistentContainer::loadPersistentStores(const LoadCompletion& completion) {
    std::optional<Error> error;
    if (!model_)
        error = makeCoreDataError(CoreDataError::CoreData, "No managed object model named " + name_);
    else
        error = coordinator_->addPersistentStore(storeURL_);
    if (completion) completion(storeURL_, error);
}

std::shared_ptr<ManagedObjectContext> PersistentContainer::newBackgroundContext() const {
    return ManagedObjectContext::create(ManagedObjectContext::ConcurrencyType::PrivateQueue, coordinator_);
}

}  // namespace brindlecue::platform
