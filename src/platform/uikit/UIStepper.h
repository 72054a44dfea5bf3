#pragma once

#include <optional>

#include "platform/uikit/UIControl.h"

namespace brindlecue::platform {

// A stepper: a tap on its right half increments, on its left half decrements.
class UIStepper : public UIControl {
public:
    BLQ_PLATFORM_CLASS(UIStepper)
    void drawRect(const CGRect& rect) override;
    UIStepper() : UIControl(CGRect(0, 0, 94, 32)) {}
    double value() const { return value_; }
    void setValue(double v);
    double minimumValue = 0;
    double maximumValue = 100;
    double stepValue = 1;
    bool wraps = false;
    // Driver side, as taps on the two halves do.
    void increment();
    void decrement();

protected:
    void didTapInside(CGPoint location) override;

private:
    void step(double delta);
    double value_ = 0;
};

}  // namespace brindlecue::platform
