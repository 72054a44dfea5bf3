#include "events/BLQPriorityCodeSendConditionVerifier.h"

#include <algorithm>

namespace brindlecue {

bool BLQPriorityCodeSendConditionVerifier::shouldSendNow(const std::shared_ptr<BLQUserEventDTO>& event) {
    if (!event) return false;
    const auto priority = configManager_->getPriorityUserEventCodes();
    return std::find(priority.begin(), priority.end(), rawValue(event->code)) != priority.end();
}

}  // namespace brindlecue
