#include "foundation/ConsoleLogger.h"

#include "facade/BLQIConfigManager.h"

namespace brindlecue {

ConsoleLogger::ConsoleLogger(std::shared_ptr<BLQIConfigManager> configManager)
    : logger_("com.brindlecue", "BrindlecueSDK"), configManager_(std::move(configManager)) {}

void ConsoleLogger::printLog(const std::string& message, BLQLoggingLevel level) {
    BLQLoggingLevel configured = configManager_->getLogLevel();
    if (configured != BLQLoggingLevel::debug && level < configured) return;
    // The same log type for every level, so that nothing is filtered or redacted on the way.
    logger_.log(platform::LogType::Default, "(Brindlecue) " + message);
}

}  // namespace brindlecue
