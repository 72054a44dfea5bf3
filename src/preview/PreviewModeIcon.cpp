#include "preview/PreviewModeIcon.h"

#include <array>
#include <cstdio>

#include "feed/BLQIPreviewModeManager.h"
#include "foundation/BLQPublished.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

namespace {

constexpr std::array<const char*, 15> kIconNames = {
    "qx_camera", "qx_exit",          "qx_refresh",        "qx_logo_white",   "qx_backup",
    "qx_alert",  "qx_check_circle",  "qx_sync",           "qx_play_arrow",   "qx_cloud_off",
    "qx_pause",  "qx_system_update", "qx_developer_mode", "qx_sync_problem", "qx_link_off",
};

constexpr std::array<const char*, 12> kColorNames = {
    "idle",
    "recivedFeedUpdate",
    "takingScreenshot",
    "guideOnAnotherscreen",
    "targetNotVisible",
    "tipDoesnotfitScreen",
    "noOnDemand",
    "screenshotError",
    "noConnection",
    "screenshotsuccess",
    "guideDisplaying",
    "nothingtodisplay",
};

template <class E, size_t N>
std::optional<E> fromName(const std::array<const char*, N>& names, std::string_view raw) {
    for (size_t i = 0; i < N; ++i)
        if (raw == names[i]) return static_cast<E>(i);
    return std::nullopt;
}

}  // namespace

std::optional<PreviewModeIcon> PreviewModeIconFromRawValue(std::string_view raw) {
    return fromName<PreviewModeIcon>(kIconNames, raw);
}

std::string rawValue(PreviewModeIcon icon) {
    return kIconNames[static_cast<size_t>(icon)];
}

platform::swiftui::View image(PreviewModeIcon icon) {
    const std::string name = rawValue(icon);
    std::printf("ImageName  == %s\n", name.c_str());
    std::fflush(stdout);
    auto manager = BLQPublished<BLQIPreviewModeManager>::get();
    if (auto found = manager ? manager->getLocalImage(name) : nullptr) return platform::swiftui::Image(found);
    return platform::swiftui::Image("info.circle.fill");
}

std::optional<PreviewModeBackgroundColor> PreviewModeBackgroundColorFromRawValue(std::string_view raw) {
    return fromName<PreviewModeBackgroundColor>(kColorNames, raw);
}

std::string rawValue(PreviewModeBackgroundColor color) {
    return kColorNames[static_cast<size_t>(color)];
}

std::string hexColor(PreviewModeBackgroundColor) {
    return "#FFFFFF";
}

std::optional<PreviewModeBackgroundFrame> PreviewModeBackgroundFrameFromRawValue(int64_t raw) {
    if (raw < 0 || raw > 3) return std::nullopt;
    return static_cast<PreviewModeBackgroundFrame>(raw);
}

platform::CGSize size(PreviewModeBackgroundFrame frame) {
    switch (frame) {
        case PreviewModeBackgroundFrame::defaultMode:
            return {100, 90};
        case PreviewModeBackgroundFrame::expandXY:
            // The menu's column is centred 140 points in, and its widest row ("Capture
            // Screenshot" at the default font's own size, beside its icon) is about 230 wide:
            // 200 would cut the titles, which never shrink.
            return {260, 270};
        case PreviewModeBackgroundFrame::expandX:
            return {200, 70};
        case PreviewModeBackgroundFrame::expand2X:
            return {300, 70};
    }
    return {100, 90};
}

}  // namespace brindlecue
