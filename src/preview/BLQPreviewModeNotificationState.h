#pragma once

namespace brindlecue {

// A status shown in the preview panel.
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

}  // namespace brindlecue
