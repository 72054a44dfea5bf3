#include "preview/PreviewNotification.h"

#include <array>

namespace brindlecue {

namespace {

struct MessageEntry {
    const char* raw;
    const char* text;
};

// In the order of PreviewModeMessage.
constexpr std::array<MessageEntry, 12> kMessages = {{
    {"nomessage", ""},
    {"recivedFeedUpdate", ""},
    {"", ""},
    {"Taking Screenshot", "Taking Screenshot"},
    {"Error on Screenshot!", "#Error on Screenshot!"},
    {"Unstable Connection", "Unstable Connection"},
    {"Guide on another screen", "Guide on another screen"},
    {"Target not visible", "Target not visible"},
    {"Not enough space to show guide", "Not enough space to show guide"},
    {"Nothing to display", "Nothing to display"},
    {"No On Demand", "OnDemand Guides not available during preview mode"},
    {"Screenshot saved successfully", "Screenshot saved successfully"},
}};

// In the order of BLQPreviewModeNotificationState.
constexpr std::array<const char*, 12> kStateNames = {
    "idle",
    "takingScreenshot",
    "screenshotError",
    "screenshotsuccess",
    "recivedFeedUpdate",
    "guideDisplaying",
    "noConnection",
    "guideOnAnotherscreen",
    "targetNotVisible",
    "tipDoesnotfitScreen",
    "nothingtodisplay",
    "noOnDemand",
};

// The look of each status, in the order of BLQPreviewModeNotificationState. A size mode of none
// follows the menu (open: expandXY, closed: defaultMode).
struct Look {
    PreviewModeMessage message;
    PreviewModeIcon icon;
    PreviewModeBackgroundColor color;
    PreviewModeMessageDuration duration;
    std::optional<PreviewModeBackgroundFrame> frame;
};

using M = PreviewModeMessage;
using I = PreviewModeIcon;
using C = PreviewModeBackgroundColor;
using D = PreviewModeMessageDuration;
using F = PreviewModeBackgroundFrame;

const std::array<Look, 12> kLooks = {{
    {M::nomessage, I::qx_logo_white, C::idle, D::continous, std::nullopt},
    {M::takingScreenshot, I::qx_backup, C::takingScreenshot, D::fiveseconds, F::expandX},
    // Their texts need the panel of a message text: the 100 points of the idle panel would cut them.
    {M::screenshotError, I::qx_alert, C::screenshotError, D::threesecond, F::expandX},
    {M::screenshotsuccess, I::qx_check_circle, C::screenshotsuccess, D::threesecond, F::expandX},
    {M::nomessage, I::qx_logo_white, C::recivedFeedUpdate, D::continous, std::nullopt},
    {M::nomessage, I::qx_play_arrow, C::guideDisplaying, D::continous, std::nullopt},
    {M::noConnection, I::qx_cloud_off, C::noConnection, D::twoseconds, F::expandX},
    {M::guideOnAnotherscreen, I::qx_pause, C::guideOnAnotherscreen, D::continous, F::expand2X},
    {M::targetNotVisible, I::qx_system_update, C::targetNotVisible, D::fiveseconds, F::expand2X},
    {M::tipDoesnotfitScreen, I::qx_developer_mode, C::tipDoesnotfitScreen, D::fiveseconds, F::expand2X},
    {M::nothingtodisplay, I::qx_sync_problem, C::nothingtodisplay, D::foursecond, F::expandX},
    {M::noOnDemand, I::qx_link_off, C::noOnDemand, D::foursecond, F::expand2X},
}};

const Look& lookOf(BLQPreviewModeNotificationState state) {
    const int64_t raw = rawValue(state);
    return kLooks[raw >= 0 && raw < 12 ? size_t(raw) : 0];
}

}  // namespace

std::optional<PreviewModeMessage> PreviewModeMessageFromRawValue(std::string_view raw) {
    for (size_t i = 0; i < kMessages.size(); ++i)
        if (raw == kMessages[i].raw) return static_cast<PreviewModeMessage>(i);
    return std::nullopt;
}

std::string rawValue(PreviewModeMessage message) {
    return kMessages[static_cast<size_t>(message)].raw;
}

std::string text(PreviewModeMessage message) {
    return kMessages[static_cast<size_t>(message)].text;
}

std::optional<PreviewModeMessageDuration> PreviewModeMessageDurationFromRawValue(int64_t raw) {
    if (raw < 0 || raw > 5) return std::nullopt;
    return static_cast<PreviewModeMessageDuration>(raw);
}

std::string identifier(BLQPreviewModeNotificationState state) {
    const int64_t raw = rawValue(state);
    return raw >= 0 && raw < 12 ? kStateNames[size_t(raw)] : "idle";
}

PreviewModeBackgroundFrame backgroundFrame(BLQPreviewModeNotificationState state, bool isMenuShown) {
    const Look& look = lookOf(state);
    if (look.frame) return *look.frame;
    return isMenuShown ? F::expandXY : F::defaultMode;
}

std::shared_ptr<PreviewNotification> previewNotification(BLQPreviewModeNotificationState state,
                                                         bool isMenuShown) {
    const Look& look = lookOf(state);
    auto notification = std::make_shared<PreviewNotification>();
    notification->state.set(state);
    notification->message.set(look.message);
    notification->icon.set(look.icon);
    notification->color.set(look.color);
    notification->duration.set(static_cast<int64_t>(look.duration));
    notification->bgFrame.set(size(backgroundFrame(state, isMenuShown)));
    return notification;
}

}  // namespace brindlecue
