#include "platform/uikit/UISwitch.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/CGContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/uikit/UIGraphics.h"

namespace brindlecue::platform {
void UISwitch::drawRect(const CGRect&) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    // A rounded track, green (or the on tint) when on, with a white knob at the on or off end.
    CGRect b = bounds();
    double r = b.height() / 2;
    ctx->beginPath();
    ctx->addPath(CGPath::withRoundedRect(b, r, r));
    ctx->setFillColor(on_ ? onTintColor_.value_or(UIColor(0.2, 0.78, 0.35)) : UIColor(0.9, 0.9, 0.92));
    ctx->fillPath();
    double k = b.height() - 4;
    CGRect knob(on_ ? b.maxX() - 2 - k : b.minX() + 2, b.minY() + 2, k, k);
    ctx->saveGState();
    ctx->setShadow({0, 2}, 3, UIColor(0, 0, 0, 0.2));
    ctx->setFillColor(UIColor::whiteColor());
    ctx->fillEllipseInRect(knob);
    ctx->restoreGState();
}

}  // namespace brindlecue::platform
