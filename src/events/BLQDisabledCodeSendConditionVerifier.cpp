#include "events/BLQDisabledCodeSendConditionVerifier.h"

#include <algorithm>
#include <string>

namespace brindlecue {

bool BLQDisabledCodeSendConditionVerifier::shouldSendNow(const std::shared_ptr<BLQUserEventDTO>& event) {
    if (event) disableIfListed(*event);
    return false;
}

bool BLQDisabledCodeSendConditionVerifier::disableIfListed(BLQUserEventDTO& event) const {
    const int64_t code = rawValue(event.code);
    const auto disabled = configManager_->getDisabledUserEventCodes();
    if (std::find(disabled.begin(), disabled.end(), code) == disabled.end()) return false;
    log("UserEvent: Disabled code: " + std::to_string(code) +
            " - disabling this UserEvent instead of sending: " +
            event.toDictionary().value_or(platform::Value::dictionary()).description(),
        BLQLoggingLevel::info);
    event.status = BLQUserEventStatus::disabled;
    return true;
}

}  // namespace brindlecue
