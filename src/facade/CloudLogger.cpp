#include "facade/CloudLogger.h"

#include "config/BLQIConfigManager.h"
#include "events/BLQIUserEventManager.h"
#include "facade/BLQFacadeLink.h"

#include <string_view>

namespace brindlecue {

CloudLogger::CloudLogger(std::shared_ptr<BLQIConfigManager> configManager)
    : configManager_(std::move(configManager)) {}

namespace {

// Lines of the user-event pipeline itself are never reported: each report records an event, and
// recording one logs such lines, so a low cloud level would otherwise feed itself without end.
constexpr std::string_view kUserEventArea = "UserEvent: ";
thread_local bool reporting = false;

}  // namespace

bool CloudLogger::wouldLog(BLQLoggingLevel level) const {
    for (const BLQLogHandlerModel& handler : configManager_->getLogHandlers()) {
        if (handler.name() != BLQLogHandlerName::cloud) continue;
        return level >= handler.logLevel() && BLQFacadeLink::userEventManager() != nullptr;
    }
    return false;
}

void CloudLogger::printLog(const std::string& message, BLQLoggingLevel level) {
    if (reporting || message.compare(0, kUserEventArea.size(), kUserEventArea) == 0) return;
    for (const BLQLogHandlerModel& handler : configManager_->getLogHandlers()) {
        if (handler.name() != BLQLogHandlerName::cloud) continue;
        // Only the first cloud handler counts.
        if (level < handler.logLevel()) return;
        if (auto manager = BLQFacadeLink::userEventManager()) {
            reporting = true;
            manager->sendUserEventErrorWithMessage(message, kDescription);
            reporting = false;
        }
        return;
    }
}

}  // namespace brindlecue
