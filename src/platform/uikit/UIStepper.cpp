#include "platform/uikit/UIStepper.h"

#include <algorithm>

namespace brindlecue::platform {

void UIStepper::setValue(double v) {
    value_ = std::clamp(v, minimumValue, std::max(minimumValue, maximumValue));
}

void UIStepper::step(double delta) {
    if (!isEnabled()) return;
    double next = value_ + delta;
    if (next > maximumValue) next = wraps ? minimumValue : maximumValue;
    if (next < minimumValue) next = wraps ? maximumValue : minimumValue;
    if (next == value_) return;
    value_ = next;
    sendActionsForControlEvents(UIControlEventValueChanged);
}

void UIStepper::increment() {
    step(stepValue);
}

void UIStepper::decrement() {
    step(-stepValue);
}

void UIStepper::didTapInside(CGPoint location) {
    if (location.x >= bounds().midX())
        increment();
    else
        decrement();
}

}  // namespace brindlecue::platform
