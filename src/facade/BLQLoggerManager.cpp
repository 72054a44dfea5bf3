#include "facade/BLQLoggerManager.h"

#include "facade/LoggersComposer.h"

namespace brindlecue {

BLQLoggerManager::BLQLoggerManager(std::shared_ptr<BLQIConfigManager> configManager)
    : configManager_(std::move(configManager)), loggers_(LoggersComposer(configManager_).loggers) {}

void BLQLoggerManager::log(const std::string& message, int64_t level) {
    if (auto known = BLQLoggingLevelFromRawValue(level)) log(message, *known);
}

bool BLQLoggerManager::wouldLog(int64_t level) const {
    auto known = BLQLoggingLevelFromRawValue(level);
    if (!known) return false;
    for (const auto& logger : loggers_) {
        if (logger->wouldLog(*known)) return true;
    }
    return false;
}

void BLQLoggerManager::log(const std::string& message, BLQLoggingLevel level) {
    for (const auto& logger : loggers_) logger->printLog(message, level);
}

}  // namespace brindlecue
