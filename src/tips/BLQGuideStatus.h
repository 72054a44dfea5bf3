#pragma once

#include <cstdint>
#include <string>

namespace brindlecue {

// Where the presentation of a host's custom guide stands. Only idle and failedToDisplay allow a
// new presentation.
enum class BLQGuideStatus : uint8_t {
    idle,
    isAttemptingToDisplay,
    isDisplaying,
    failedToDisplay,
};

// "Idle", "Attempting to display", "Is currently displaying", "Failed to display".
std::string description(BLQGuideStatus status);
bool availableToDisplay(BLQGuideStatus status);

}  // namespace brindlecue
