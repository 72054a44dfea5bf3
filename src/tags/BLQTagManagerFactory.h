#pragma once

#include <memory>

#include "tags/BLQITagManager.h"

namespace brindlecue {

class BLQTagManagerFactory {
public:
    // The tag manager registered in the dependency container.
    static std::shared_ptr<BLQITagManager> createTagManager();
};

}  // namespace brindlecue
