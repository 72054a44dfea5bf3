#pragma once

#include <memory>
#include <string>
#include <utility>

#include "platform/coredata/ManagedObjectModel.h"
#include "platform/coredata/PersistentContainer.h"

namespace brindlecue {

// The container of the library's store, named "Brindlecue" over the model of the same name.
class BLQPersistentContainer : public platform::PersistentContainer {
public:
    static constexpr const char* kModelName = "Brindlecue";

    // Names the container "Brindlecue"; the model is the one registered under that name.
    BLQPersistentContainer();
    BLQPersistentContainer(std::string name, std::shared_ptr<const platform::ManagedObjectModel> model)
        : PersistentContainer(std::move(name), std::move(model)) {}

    // The library's model: nine entities, each made of its own class, with their relationships.
    // Built and registered under "Brindlecue" once, on first use.
    static std::shared_ptr<const platform::ManagedObjectModel> brindlecueModel();

private:
    static std::string registeredModelName();
};

}  // namespace brindlecue
