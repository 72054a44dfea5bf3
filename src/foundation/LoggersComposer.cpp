#include "foundation/LoggersComposer.h"

#include "foundation/CloudLogger.h"
#include "foundation/ConsoleLogger.h"

namespace brindlecue {

LoggersComposer::LoggersComposer(const std::shared_ptr<BLQIConfigManager>& configManager)
    : loggers{std::make_shared<ConsoleLogger>(configManager), std::make_shared<CloudLogger>(configManager)} {}

}  // namespace brindlecue
