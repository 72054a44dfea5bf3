#include "platform/uikit/UISlider.h"

#include <algorithm>

namespace brindlecue::platform {

void UISlider::setValue(float v, bool) {
    value_ = std::clamp(v, minimumValue_, std::max(minimumValue_, maximumValue_));
}

void UISlider::setMinimumValue(float v) {
    minimumValue_ = v;
    if (maximumValue_ < v) maximumValue_ = v;
    setValue(value_);
}

void UISlider::setMaximumValue(float v) {
    maximumValue_ = v;
    if (minimumValue_ > v) minimumValue_ = v;
    setValue(value_);
}

void UISlider::slideTo(float v) {
    if (!isEnabled()) return;
    float old = value_;
    setValue(v);
    if (value_ != old) sendActionsForControlEvents(UIControlEventValueChanged);
}

}  // namespace brindlecue::platform
