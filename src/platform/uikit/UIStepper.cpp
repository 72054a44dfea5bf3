#include "platform/uikit/UIStepper.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/CGContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/uikit/UIGraphics.h"

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

void UIStepper::drawRect(const CGRect&) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    // A tinted outline split in two, a minus on the left and a plus on the right.
    CGRect b = bounds().insetBy(0.5, 0.5);
    ctx->setStrokeColor(tintColor());
    ctx->setLineWidth(1);
    ctx->beginPath();
    ctx->addPath(CGPath::withRoundedRect(b, 4, 4));
    ctx->moveToPoint({b.midX(), b.minY()});
    ctx->addLineToPoint({b.midX(), b.maxY()});
    double s = std::min(b.height() / 3, b.width() / 8);
    double lx = b.minX() + b.width() / 4, rx = b.minX() + b.width() * 3 / 4, y = b.midY();
    ctx->moveToPoint({lx - s, y});
    ctx->addLineToPoint({lx + s, y});
    ctx->moveToPoint({rx - s, y});
    ctx->addLineToPoint({rx + s, y});
    ctx->moveToPoint({rx, y - s});
    ctx->addLineToPoint({rx, y + s});
    ctx->strokePath();
}

}  // namespace brindlecue::platform
