#pragma once

#include <optional>
#include <string>

#include "platform/uikit/UIButton.h"

namespace brindlecue {

// The HUD's button: outlined in its title colour, with round ends, tinted while highlighted, and
// taking no room while it has no action. Main thread.
class KJMBProgressHUDRoundedButton : public platform::UIButton {
public:
    KJMBProgressHUDRoundedButton() = default;
    explicit KJMBProgressHUDRoundedButton(const platform::CGRect& frame) : UIButton(frame) {}
    void didConstruct() override;
    std::string className() const override { return "KJMBProgressHUDRoundedButton"; }

    // Round ends: the corner radius is half the height, rounded up.
    void layoutSubviews() override;
    // (0, 0) without any target-action; else the button's size widened by 20 points.
    platform::CGSize intrinsicContentSize() const override;
    // The border takes the colour, and the highlight is applied again.
    void setTitleColor(std::optional<platform::UIColor> color, uint64_t state) override;
    // A tint of the selected title colour at alpha 0.1 while highlighted, clear otherwise.
    void setHighlighted(bool highlighted) override;
};

}  // namespace brindlecue
