#include "facade/ConsoleLogger.h"

#include "config/BLQIConfigManager.h"

namespace brindlecue {

ConsoleLogger::ConsoleLogger(std::shared_ptr<BLQIConfigManager> configManager)
    : logger_("com.brindlecue", "BrindlecueSDK"), configManager_(std::move(configManager)) {}

bool ConsoleLogger::wouldLog(BLQLoggingLevel level) const {
    BLQLoggingLevel configured = configManager_->getLogLevel();
    return configured == BLQLoggingLevel::debug || level >= configured;
}

void ConsoleLogger::printLog(const std::string& message, BLQLoggingLevel level) {
    if (!wouldLog(level)) return;
    // The same log type for every level, so that nothing is filtered or redacted on the way.
    logger_.log(platform::LogType::Default, "(Brindlecue) " + message);
}

}  // namespace brindlecue
