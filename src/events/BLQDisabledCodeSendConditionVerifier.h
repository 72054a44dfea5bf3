#pragma once

#include <memory>

#include "config/BLQIConfigManager.h"
#include "events/BLQISendConditionVerifier.h"
#include "foundation/BLQILoggable.h"

namespace brindlecue {

// Marks an event whose code the configuration disables (status disabled, with a level-2 log
// line) and never asks for an upload: a disabled event is never sent, an enabled one is left to
// the other verifiers.
class BLQDisabledCodeSendConditionVerifier final : public BLQISendConditionVerifier, public BLQILoggable {
public:
    explicit BLQDisabledCodeSendConditionVerifier(std::shared_ptr<BLQIConfigManager> configManager)
        : configManager_(std::move(configManager)) {}

    bool shouldSendNow(const std::shared_ptr<BLQUserEventDTO>& event) override;

    // Marks the event disabled when its code is in the disabled list now; true if it did.
    bool disableIfListed(BLQUserEventDTO& event) const;

private:
    std::shared_ptr<BLQIConfigManager> configManager_;
};

}  // namespace brindlecue
