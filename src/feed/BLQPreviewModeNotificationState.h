#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brindlecue {

// A status shown in the preview panel. The older layer passes it as its raw value; only 0 to 11
// are statuses.
enum class BLQPreviewModeNotificationState : int {
    idle = 0,
    takingScreenshot = 1,
    screenshotError = 2,
    screenshotsuccess = 3,
    recivedFeedUpdate = 4,
    guideDisplaying = 5,
    noConnection = 6,
    guideOnAnotherscreen = 7,
    targetNotVisible = 8,
    tipDoesnotfitScreen = 9,
    nothingtodisplay = 10,
    noOnDemand = 11,
};

// The status of a raw value; none outside 0 to 11.
constexpr std::optional<BLQPreviewModeNotificationState> BLQPreviewModeNotificationStateFromRawValue(
    int64_t raw) {
    if (raw < 0 || raw > 11) return std::nullopt;
    return static_cast<BLQPreviewModeNotificationState>(raw);
}

constexpr int64_t rawValue(BLQPreviewModeNotificationState state) {
    return static_cast<int64_t>(state);
}

// The status's name as written in the enumeration ("idle", "takingScreenshot", ...); "idle" for a
// value that is no status.
std::string identifier(BLQPreviewModeNotificationState state);

}  // namespace brindlecue
