#include "foundation/CloudLogger.h"

#include "events/BLQIUserEventManager.h"
#include "facade/BLQIConfigManager.h"
#include "foundation/BLQFacadeLink.h"

namespace brindlecue {

CloudLogger::CloudLogger(std::shared_ptr<BLQIConfigManager> configManager)
    : configManager_(std::move(configManager)) {}

bool CloudLogger::wouldLog(BLQLoggingLevel level) const {
    for (const BLQLogHandlerModel& handler : configManager_->getLogHandlers()) {
        if (handler.name() != BLQLogHandlerName::cloud) continue;
        return level >= handler.logLevel() && BLQFacadeLink::userEventManager() != nullptr;
    }
    return false;
}

void CloudLogger::printLog(const std::string& message, BLQLoggingLevel level) {
    for (const BLQLogHandlerModel& handler : configManager_->getLogHandlers()) {
        if (handler.name() != BLQLogHandlerName::cloud) continue;
        // Only the first cloud handler counts.
        if (level < handler.logLevel()) return;
        if (auto manager = BLQFacadeLink::userEventManager()) {
            manager->sendUserEventErrorWithMessage(message, kDescription);
        }
        return;
    }
}

}  // namespace brindlecue
