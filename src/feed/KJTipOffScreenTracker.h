#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Date.h"

namespace brindlecue {

class KJTipElement;

// The record of a campaign step that could not be placed because its target was off screen (or
// its presentation failed), kept until the step is shown, its campaign closes or every record is
// dropped. One per campaign.
struct KJTipOffScreenTracker {
    // Set once the step was handed on to be shown again; a new record starts over.
    bool isTipShown = false;
    // The screen of the step's target.
    std::string ctrlName;
    std::weak_ptr<KJTipElement> offScreenTip;
    // When the step was recorded.
    platform::Date lastAttemptToShowtime;
    // When it was handed on to be shown again.
    std::optional<platform::Date> tipShownTime;
    // The step's position among its campaign's steps.
    int64_t tipIndex = 0;
};

}  // namespace brindlecue
