#include "tags/BLQTagManagerFactory.h"

#include "foundation/BLQDependencyManager.h"

namespace brindlecue {

std::shared_ptr<BLQITagManager> BLQTagManagerFactory::createTagManager() {
    return BLQDependencyManager::shared().resolve<BLQITagManager>();
}

}  // namespace brindlecue
