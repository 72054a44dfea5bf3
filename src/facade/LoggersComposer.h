#pragma once

#include <memory>
#include <vector>

#include "foundation/BLQILogger.h"

namespace brindlecue {

class BLQIConfigManager;

// The default logger list over a configuration manager: the console logger, then the cloud
// logger.
struct LoggersComposer {
    explicit LoggersComposer(const std::shared_ptr<BLQIConfigManager>& configManager);

    std::vector<std::shared_ptr<BLQILogger>> loggers;
};

}  // namespace brindlecue
