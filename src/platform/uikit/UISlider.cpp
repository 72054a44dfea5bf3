#include "platform/uikit/UISlider.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/CGContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/uikit/UIGraphics.h"

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

void UISlider::drawRect(const CGRect&) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    // The track in the tint up to the thumb and light grey after it; a white round thumb.
    CGRect b = bounds();
    double thumb = std::min(28.0, b.height());
    double span = std::max(0.0, b.width() - thumb);
    double range = maximumValue_ - minimumValue_;
    double f = range > 0 ? (value_ - minimumValue_) / range : 0;
    double x = b.minX() + thumb / 2 + span * f, y = b.midY();
    ctx->setFillColor(tintColor());
    ctx->fillRect(CGRect(b.minX() + thumb / 2, y - 1, x - b.minX() - thumb / 2, 2));
    ctx->setFillColor(UIColor(0.85, 0.85, 0.87));
    ctx->fillRect(CGRect(x, y - 1, b.maxX() - thumb / 2 - x, 2));
    ctx->saveGState();
    ctx->setShadow({0, 2}, 3, UIColor(0, 0, 0, 0.25));
    ctx->setFillColor(UIColor::whiteColor());
    ctx->fillEllipseInRect(CGRect(x - thumb / 2, y - thumb / 2, thumb, thumb));
    ctx->restoreGState();
}

}  // namespace brindlecue::platform
