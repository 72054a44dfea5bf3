#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "feed/KJTipBaseElement.h"
#include "platform/uikit/UIFont.h"

namespace brindlecue {

namespace platform {
class UIButton;
class UIView;
}  // namespace platform

// A text button of a step ("prev", "next") or of a carousel page: its text, colours, border, font,
// spacing and size, and what pressing it does (a call-to-action address or an on-demand guide).
// A width of -1 spans the layout's full width; a width of 0 and a height of 0 are measured from
// the text when asked for, and the measured size is kept in the record.
class KJTipButtonElement : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTipButtonElement)

    // A step's button: its own entries with those the step gives it ("button-type",
    // "containerWidth", "containerHeight"), each in the place of its own of that key, read as the
    // dictionary of them all would be, without making it.
    static std::shared_ptr<KJTipButtonElement> createFromFeed(const platform::Value& own,
                                                              std::span<const platform::Dictionary::Entry> given);

    // Styles an existing button inside the view; an empty text hides it.
    static void layoutButton(const std::shared_ptr<platform::UIButton>& button,
                             const std::shared_ptr<platform::UIView>& view,
                             const std::shared_ptr<const KJTipButtonElement>& element);
    // A new button styled from the record (without shadow) for a container of that width.
    std::shared_ptr<platform::UIButton> createButton(double containerWidth) const;

    // The text's width (at most 220 points, rounded up) plus the left and right padding; 0 for an
    // empty text. Kept as the record's width.
    static double calculateButtonWidthForElement(const std::shared_ptr<KJTipButtonElement>& element);
    // Width 0: measured as above with the container width as the limit (and kept); a negative
    // width: the container width; otherwise the record's width.
    static double calculateButtonWidthForElement(const std::shared_ptr<KJTipButtonElement>& element,
                                                 double containerWidth);
    // Height 0: the text's height in the container width, rounded up, plus the top and bottom
    // padding (0 for an empty text), kept as the record's height; otherwise the record's height.
    static double calculateButtonHeightForElement(const std::shared_ptr<KJTipButtonElement>& element,
                                                  double containerWidth);

    // The font of the record's name, size and weight.
    platform::UIFont font() const;
    bool hasText() const { return buttonText && !buttonText->empty(); }

    std::optional<std::string> buttonType;
    std::optional<std::string> buttonText;
    std::optional<std::string> buttonAlignment;
    std::optional<platform::Color> textColor;
    std::optional<platform::Color> backgroundColor;
    std::optional<platform::Color> borderColor;
    double borderWidth = 0;
    double borderCornerRadius = 0;
    // 0 left, 1 center, 2 right.
    int64_t alignment = 0;
    FourSide padding;
    FourSide margin;
    double boxShadow = 0;
    std::optional<std::string> fontName;
    double fontSize = 0;
    std::optional<std::string> fontWeight;
    std::optional<std::string> actionUrl;
    std::optional<std::string> ondemand;
    double width = 0;
    double height = 0;
    // "PERCENTAGE" makes the width a fraction of the container.
    std::optional<std::string> buttonWidthUnit;
};

}  // namespace brindlecue
