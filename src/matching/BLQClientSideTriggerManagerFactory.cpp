#include "matching/BLQClientSideTriggerManagerFactory.h"

#include "foundation/BLQDependencyManager.h"

namespace brindlecue {

std::shared_ptr<BLQIClientSideTriggerManager> BLQClientSideTriggerManagerFactory::createCSTManager() {
    return BLQDependencyManager::shared().resolve<BLQIClientSideTriggerManager>();
}

}  // namespace brindlecue
