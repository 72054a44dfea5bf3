#pragma once

#include <memory>

#include "config/BLQIConfigManager.h"
#include "events/BLQISendConditionVerifier.h"

namespace brindlecue {

// Asks for an upload exactly when the event's code is in the configured priority list.
class BLQPriorityCodeSendConditionVerifier final : public BLQISendConditionVerifier {
public:
    explicit BLQPriorityCodeSendConditionVerifier(std::shared_ptr<BLQIConfigManager> configManager)
        : configManager_(std::move(configManager)) {}

    bool shouldSendNow(const std::shared_ptr<BLQUserEventDTO>& event) override;

private:
    std::shared_ptr<BLQIConfigManager> configManager_;
};

}  // namespace brindlecue
