#include "tips/BLQGuideStatus.h"

namespace brindlecue {

std::string description(BLQGuideStatus status) {
    switch (status) {
        case BLQGuideStatus::idle: return "Idle";
        case BLQGuideStatus::isAttemptingToDisplay: return "Attempting to display";
        case BLQGuideStatus::isDisplaying: return "Is currently displaying";
        case BLQGuideStatus::failedToDisplay: return "Failed to display";
    }
    return "";
}

bool availableToDisplay(BLQGuideStatus status) {
    return status == BLQGuideStatus::idle || status == BLQGuideStatus::failedToDisplay;
}

}  // namespace brindlecue
