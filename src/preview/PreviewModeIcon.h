#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/swiftui/View.h"
#include "platform/uikit/Geometry.h"

namespace brindlecue {

// The icons of the preview panel's banner and menu. Each raw value is the case's name and the
// name of a PNG among the library's resources.
enum class PreviewModeIcon {
    qx_camera,
    qx_exit,
    qx_refresh,
    qx_logo_white,
    qx_backup,
    qx_alert,
    qx_check_circle,
    qx_sync,
    qx_play_arrow,
    qx_cloud_off,
    qx_pause,
    qx_system_update,
    qx_developer_mode,
    qx_sync_problem,
    qx_link_off,
};

// Exact, case-sensitive names only.
std::optional<PreviewModeIcon> PreviewModeIconFromRawValue(std::string_view raw);
std::string rawValue(PreviewModeIcon icon);
// Writes "ImageName  == <name>" to standard output, then asks the facade's preview-mode manager
// for the image of that name; without one, the system symbol "info.circle.fill". Each call looks
// the image up again. Main thread.
platform::swiftui::View image(PreviewModeIcon icon);

// The banner colour of each status.
enum class PreviewModeBackgroundColor {
    idle,
    recivedFeedUpdate,
    takingScreenshot,
    guideOnAnotherscreen,
    targetNotVisible,
    tipDoesnotfitScreen,
    noOnDemand,
    screenshotError,
    noConnection,
    screenshotsuccess,
    guideDisplaying,
    nothingtodisplay,
};

std::optional<PreviewModeBackgroundColor> PreviewModeBackgroundColorFromRawValue(std::string_view raw);
std::string rawValue(PreviewModeBackgroundColor color);
// "#FFFFFF" for every case: every banner is white.
std::string hexColor(PreviewModeBackgroundColor color);

// The panel's four size modes.
enum class PreviewModeBackgroundFrame : int {
    defaultMode = 0,  // 100 x 90: menu closed, no banner text
    expandXY = 1,     // 260 x 270: menu open
    expandX = 2,      // 200 x 70: menu closed, a message text
    expand2X = 3,     // 300 x 70: menu closed, a custom message
};

std::optional<PreviewModeBackgroundFrame> PreviewModeBackgroundFrameFromRawValue(int64_t raw);
platform::CGSize size(PreviewModeBackgroundFrame frame);

}  // namespace brindlecue
