#pragma once

#include <optional>

#include "platform/uikit/UIControl.h"

namespace brindlecue::platform {

// A slider between a minimum and a maximum. slideTo stands in for the user's drag.
class UISlider : public UIControl {
public:
    BLQ_PLATFORM_CLASS(UISlider)
    void drawRect(const CGRect& rect) override;
    using UIControl::UIControl;
    float value() const { return value_; }
    // Clamped to the range.
    void setValue(float v, bool animated = false);
    float minimumValue() const { return minimumValue_; }
    void setMinimumValue(float v);
    float maximumValue() const { return maximumValue_; }
    void setMaximumValue(float v);
    // Driver: the user moves the thumb to the value (value-changed when it changed).
    void slideTo(float v);

private:
    float value_ = 0;
    float minimumValue_ = 0;
    float maximumValue_ = 1;
};

}  // namespace brindlecue::platform
