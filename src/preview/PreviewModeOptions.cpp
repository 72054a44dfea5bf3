#include "preview/PreviewModeOptions.h"

#include "foundation/ColoringArea.h"

namespace brindlecue {

namespace sui = platform::swiftui;

namespace {

// The room around an entry's icon inside its round background.
constexpr double kIconPadding = 6;
const platform::UIColor kShadowColor(0.5, 0.5, 0.5);

}  // namespace

std::optional<PreviewModeOptions> PreviewModeOptionsFromRawValue(std::string_view raw) {
    if (raw == "camera") return PreviewModeOptions::camera;
    if (raw == "refresh") return PreviewModeOptions::refresh;
    if (raw == "exit") return PreviewModeOptions::exit;
    return std::nullopt;
}

std::string rawValue(PreviewModeOptions option) {
    switch (option) {
        case PreviewModeOptions::camera:
            return "camera";
        case PreviewModeOptions::refresh:
            return "refresh";
        case PreviewModeOptions::exit:
            return "exit";
    }
    return "camera";
}

PreviewOptionDetails details(PreviewModeOptions option) {
    switch (option) {
        case PreviewModeOptions::camera:
            return {"Capture Screenshot", PreviewModeIcon::qx_camera, "#FFFFFF"};
        case PreviewModeOptions::refresh:
            return {"Replay Tip/Tour", PreviewModeIcon::qx_refresh, "#FFFFFF"};
        case PreviewModeOptions::exit:
            return {"Exit Preview Mode", PreviewModeIcon::qx_exit, "#FFFFFF"};
    }
    return {"Capture Screenshot", PreviewModeIcon::qx_camera, "#FFFFFF"};
}

std::optional<PreviewModeAction> PreviewModeActionFromRawValue(int64_t raw) {
    if (raw < 0 || raw > 2) return std::nullopt;
    return static_cast<PreviewModeAction>(raw);
}

sui::View MenuItem::body() const {
    const sui::Shape round = sui::Shape::roundedRectangle(40, sui::RoundedCornerStyle::continuous);
    sui::View icon = image(options.icon)
                         .fixedSize(true, true)
                         .frame(24, 24, sui::Alignment::center())
                         .padding(kIconPadding)
                         .foregroundColor(platform::UIColor::whiteColor())
                         .background(platform::UIColor(colorWithHex(options.backgroundColor)))
                         .clipShape(round);
    sui::View title = sui::Text(options.title)
                          .fixedSize(true, true)
                          .padding(10)
                          .foregroundColor(platform::UIColor::blackColor())
                          .background(platform::UIColor::whiteColor())
                          .clipShape(round);
    sui::View label = sui::HStack(sui::VerticalAlignment::center, 4, {icon, title});
    return sui::HStack(sui::VerticalAlignment::center, std::nullopt,
                       {sui::Button(
                            [pressed = pressed] {
                                if (pressed) pressed();
                            },
                            label)
                            .accessibilityIdentifier(options.title)})
        .shadow(kShadowColor, 2, 1, 1);
}

}  // namespace brindlecue
