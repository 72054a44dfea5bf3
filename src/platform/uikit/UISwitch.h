#pragma once

#include <optional>

#include "platform/uikit/UIControl.h"

namespace brindlecue::platform {

// An on/off switch (51 by 31 points). A tap flips it and sends value-changed.
class UISwitch : public UIControl {
public:
    BLQ_PLATFORM_CLASS(UISwitch)
    void drawRect(const CGRect& rect) override;
    UISwitch() : UIControl(CGRect(0, 0, 51, 31)) {}
    bool isOn() const { return on_; }
    void setOn(bool on, bool animated = false) { on_ = on; }
    std::optional<UIColor> onTintColor() const { return onTintColor_; }
    void setOnTintColor(std::optional<UIColor> c) { onTintColor_ = c; }

protected:
    void didTapInside(CGPoint) override {
        on_ = !on_;
        sendActionsForControlEvents(UIControlEventValueChanged);
    }

private:
    bool on_ = false;
    std::optional<UIColor> onTintColor_;
};

}  // namespace brindlecue::platform
