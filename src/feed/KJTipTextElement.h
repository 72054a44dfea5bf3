#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "feed/KJTipBaseElement.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UILabel.h"

namespace brindlecue {

namespace platform {
class UIView;
}

// The text attributes of a text element: colour, font and paragraph style. A line height above 0
// and at most 5 is a multiple of the font's line height, above 5 a minimum line height in points.
struct KJTextAttributes {
    std::optional<platform::Color> foregroundColor;
    std::optional<platform::UIFont> font;
    platform::NSTextAlignment alignment = platform::NSTextAlignment::Left;
    platform::NSLineBreakMode lineBreakMode = platform::NSLineBreakMode::ByWordWrapping;
    double lineHeightMultiple = 0;
    double minimumLineHeight = 0;
};

// A styled text of a step: its title or its content.
class KJTipTextElement : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTipTextElement)

    // The attributes of the element's text.
    static KJTextAttributes textAttributeForElement(const std::shared_ptr<const KJTipTextElement>& element);
    // Styles the label inside the view; an empty text hides the label and changes nothing else.
    static void layoutLabel(const std::shared_ptr<platform::UILabel>& label,
                            const std::shared_ptr<platform::UIView>& view,
                            const std::shared_ptr<const KJTipTextElement>& element);
    // The height the text needs in the width, margins and padding taken off the width and the
    // padding added to the height, plus 10; 0 for an empty text.
    static double calculateTextHeightForElement(const std::shared_ptr<const KJTipTextElement>& element,
                                                double width);

    std::optional<std::string> text;
    double lineHeight = 0;
    std::optional<platform::Color> textColor;
    std::optional<platform::Color> backgroundColor;
    // 0 left, 1 center, 2 right.
    int64_t alignment = 0;
    FourSide padding;
    FourSide margin;
    double boxShadow = 0;
    std::optional<std::string> fontName;
    double fontSize = 0;
    std::optional<std::string> fontWeight;
};

}  // namespace brindlecue
