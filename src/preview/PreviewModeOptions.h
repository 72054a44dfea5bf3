#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/swiftui/View.h"
#include "preview/PreviewModeIcon.h"

namespace brindlecue {

// What one entry of the preview menu shows.
struct PreviewOptionDetails {
    // Shown as the entry's text and used as its accessibility identifier.
    std::string title;
    PreviewModeIcon icon;
    // The colour text of the background behind the icon.
    std::string backgroundColor;
};

// The three entries of the preview menu.
enum class PreviewModeOptions { camera, refresh, exit };

// "camera", "refresh" and "exit" exactly.
std::optional<PreviewModeOptions> PreviewModeOptionsFromRawValue(std::string_view raw);
std::string rawValue(PreviewModeOptions option);
PreviewOptionDetails details(PreviewModeOptions option);

// The command a pressed entry reports.
enum class PreviewModeAction : int {
    captureScreenShot = 0,
    replyTour = 1,
    exitPreviewMode = 2,
};

std::optional<PreviewModeAction> PreviewModeActionFromRawValue(int64_t raw);

// The view of one menu entry: a button whose label is the entry's icon on a round background and
// its title on a round white plate; a tap on either runs `pressed`, once per tap, on the main
// thread.
struct MenuItem {
    PreviewOptionDetails options;
    std::function<void()> pressed;

    platform::swiftui::View body() const;
};

}  // namespace brindlecue
