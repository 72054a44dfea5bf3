#pragma once

#include <memory>
#include <optional>
#include <string>

#include "feed/KJTipBaseElement.h"

namespace brindlecue {

namespace platform {
class UIButton;
class UIImage;
}  // namespace platform

// A step's close button: its icon, size, padding, margin and colours, and the texts of the dialog
// the tip engine may show after the user closed the tip. Read from the step's "dismiss" object;
// without a "file-name" (missing or "", the library's empty-text test) the record stays
// empty (no icon, zero sizes, no colours, no texts) and the tip's close button is hidden. The dialog texts
// are kept as received when they are texts; their readers test them for emptiness.
class KJTipDismissElement : public KJTipBaseElement {
public:
    KJ_TIP_ELEMENT(KJTipDismissElement)

    static constexpr double kDefaultSize = 30;

    // Makes the campaign model build a step's close button through this class.
    static void registerWithCampaignModel();

    // Styles the tip's close button: hidden without an icon; otherwise shown with the padding as
    // content insets, the icon (drawn in the button colour as a template), the background and the
    // border.
    static void layoutButton(const std::shared_ptr<platform::UIButton>& button,
                             const std::shared_ptr<const KJTipDismissElement>& element);
    // The icon file ("close.png") from the main bundle, else the library's resource bundle, also
    // as its "@3x" or "@2x" variant; none when no bundle has it or it does not decode.
    static std::shared_ptr<platform::UIImage> iconImage(const std::string& fileName);

    // The icon's file name, from the icon word of the document.
    std::optional<std::string> icon;
    // Points; a document value of 0 (or none) gives 30, a negative one is kept.
    double width = 0;
    double height = 0;
    FourSide padding;
    FourSide margin;
    // The icon's colour; black unless the document gives one.
    std::optional<platform::Color> buttonColor;
    // Clear unless given; the border colour defaults to the background colour.
    std::optional<platform::Color> backgroundColor;
    std::optional<platform::Color> borderColor;
    // Not negative.
    double borderWidth = 0;
    double borderCornerRadius = 0;
    std::optional<std::string> dismissB1;
    std::optional<std::string> dismissB2;
    std::optional<std::string> dialogTitle;
    std::optional<std::string> dialogContent;
};

}  // namespace brindlecue
