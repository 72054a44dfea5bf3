#pragma once

#include <memory>

#include "matching/BLQIClientSideTriggerManager.h"

namespace brindlecue {

class BLQClientSideTriggerManagerFactory {
public:
    // The trigger manager registered in the dependency container.
    static std::shared_ptr<BLQIClientSideTriggerManager> createCSTManager();
};

}  // namespace brindlecue
