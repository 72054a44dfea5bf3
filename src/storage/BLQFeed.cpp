#include "storage/BLQFeed.h"

#include "storage/BLQPersistentContainer.h"

namespace brindlecue {

platform::PredicatePtr BLQFeed::findById(const std::string& id) {
    return platform::Predicate::equal("id", id);
}

std::shared_ptr<BLQFeed> BLQFeed::create() {
    auto entity = BLQPersistentContainer::brindlecueModel()->entity(kEntityName);
    return std::dynamic_pointer_cast<BLQFeed>(platform::ManagedObject::create(entity));
}

}  // namespace brindlecue
