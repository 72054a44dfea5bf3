#pragma once

#include <optional>
#include <string>

#include "platform/uikit/Geometry.h"
#include "widgets/Fab.h"

// The floating button's style (the setup's launcher), where the button sits, and where the list
// it opens goes.
namespace brindlecue::widgets {

struct Meta;

class Launcher {
public:
    std::optional<std::string> type, placement;
    std::optional<int64_t> width, height;
    std::optional<std::string> backgroundColor, color, fileName, iconColor;
    std::optional<int64_t> iconHeight;
    std::string iconPlacement;
    std::optional<std::string> fontFamily;
    std::optional<int64_t> fontSize;
    std::optional<std::string> fontWeight, text, textAlign;
    std::optional<int64_t> borderWidth;
    std::optional<std::string> borderColor;
    std::optional<int64_t> cornerRadius;
    std::optional<std::string> list_type;
    std::optional<int64_t> paddingTop, paddingRight, paddingBottom, paddingLeft, marginTop, marginRight, marginBottom,
        marginLeft;

    static auto fields() {
        using L = Launcher;
        return std::tuple{
            field("type", &L::type), field("placement", &L::placement), field("width", &L::width),
            field("height", &L::height), field("backgroundColor", &L::backgroundColor), field("color", &L::color),
            field("fileName", &L::fileName), field("iconColor", &L::iconColor), field("iconHeight", &L::iconHeight),
            field("iconPlacement", &L::iconPlacement), field("fontFamily", &L::fontFamily),
            field("fontSize", &L::fontSize), field("fontWeight", &L::fontWeight), field("text", &L::text),
            field("textAlign", &L::textAlign), field("borderWidth", &L::borderWidth),
            field("borderColor", &L::borderColor), field("cornerRadius", &L::cornerRadius),
            field("list_type", &L::list_type), field("paddingTop", &L::paddingTop),
            field("paddingRight", &L::paddingRight), field("paddingBottom", &L::paddingBottom),
            field("paddingLeft", &L::paddingLeft), field("marginTop", &L::marginTop),
            field("marginRight", &L::marginRight), field("marginBottom", &L::marginBottom),
            field("marginLeft", &L::marginLeft)};
    }

    std::string launcherType() const { return type.value_or(""); }
    std::string placementValue() const { return placement.value_or("bottom-right"); }
    std::string iconColorValue() const { return iconColor.value_or("#ffffff"); }
    std::string colorValue() const { return color.value_or("#ffffff"); }
    // "None" without a file name, "expandmore" for "expand_more", else the file name.
    std::string iconFileName() const;
    std::string textValue() const { return text.value_or(""); }
    std::string listType() const { return list_type.value_or("faqList"); }
    EdgeInsets paddingInsets() const { return widgetInsets(paddingTop, paddingLeft, paddingBottom, paddingRight); }
    // Trailing is the right margin plus 10 when the launcher has one, 0 otherwise.
    EdgeInsets marginInsets() const;
    // (width; else 100 with a text, 0 without) plus the horizontal paddings.
    double btnWidth() const;
    // (height, or 50) plus the vertical paddings.
    double btnHeight() const;
    double btnborderWidth() const { return double(borderWidth.value_or(0)); }
    double btncornerRadius() const { return double(cornerRadius.value_or(0)); }
    FontWeight fontweight() const { return fontWeight == "bold" ? FontWeight::bold : FontWeight::regular; }
    std::string fontweightString() const { return fontWeight == "bold" ? "Bold" : "normal"; }
    double fontsize() const { return fontSize ? double(*fontSize) : FontConstant::defaultSize; }
    std::string fontfamily() const { return resolvedWidgetFontFamily(fontFamily); }
    std::string textalign() const { return textAlign.value_or("center"); }
    // False only for the file name "None".
    bool isImagePresent() const { return fileName != "None"; }
    double iconheight() const { return double(iconHeight.value_or(0)); }
    // The symbol of iconFileName's icon, "None" when it names none.
    std::string imageName() const;
    platform::UIColor textColor() const { return widgetColor(colorValue()); }
    platform::UIColor bgColor() const { return widgetColor(backgroundColor.value_or("#2c88da")); }
    platform::UIColor btnBorderColor() const {
        return borderColor ? widgetColor(*borderColor) : platform::UIColor::clearColor();
    }

    // The label's content width: the width, else the text's measured width with a text, else
    // the icon height when not 0, else 25 with an icon, else 0.
    double contentWidth(double textWidth) const;
    // The width plus paddings when there is one; otherwise the given width plus paddings and
    // the icon height.
    double frameWidth(double contentWidth) const;
    std::optional<double> heightValue() const {
        return height ? std::optional<double>(double(*height)) : std::nullopt;
    }
};

// The six places of the floating button.
enum class FABPlacement { topLeft, topRight, topCenter, bottomLeft, bottomRight, bottomCenter };

std::optional<FABPlacement> FABPlacementFromRawValue(std::string_view raw);

// The button's origin in screen coordinates for its size and the launcher's margin insets,
// against screenBounds: 20 points from the top or bottom edge, less the bottom margin.
platform::CGPoint buttonOrigin(FABPlacement placement, double width, double height, const EdgeInsets& insets);

// The main screen's bounds as read on first use; not read again (a rotation does not change
// it). Tests put it back with resetScreenBoundsForTesting (registered with TestingReset).
platform::CGRect screenBounds();
void resetScreenBoundsForTesting();

// Where the FAQ list goes.
struct ElementPositon {
    // The list size from the meta's display parameters against the main screen: a width of 0
    // (or none) is 90; a percentage is of the screen; borders count twice; a height of 1 or
    // less is 0 (the measured height is used then).
    static platform::CGSize listSize(const Meta& meta);
    // The list frame beside the button: below it for top placements (shifted by the first
    // window's top safe-area inset), above it for bottom ones; any other placement word is
    // bottom-right. A width or height of 0 takes the measured one.
    static platform::CGRect listFrame(const Meta& meta, const Launcher& launcher, const platform::CGRect& fabFrame,
                                      platform::CGSize measuredSize);
};

}  // namespace brindlecue::widgets
