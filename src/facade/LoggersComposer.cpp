#include "facade/LoggersComposer.h"

#include "facade/CloudLogger.h"
#include "facade/ConsoleLogger.h"

namespace brindlecue {

LoggersComposer::LoggersComposer(const std::shared_ptr<BLQIConfigManager>& configManager)
    : loggers{std::make_shared<ConsoleLogger>(configManager), std::make_shared<CloudLogger>(configManager)} {}

}  // namespace brindlecue
