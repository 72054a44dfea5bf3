#include "platform/uikit/UIActivityIndicatorView.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/CGContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/uikit/UIGraphics.h"

namespace brindlecue::platform {

void UIActivityIndicatorView::didConstruct() {
    UIView::didConstruct();
    setHidden(true);
    setUserInteractionEnabled(false);
}

void UIActivityIndicatorView::startAnimating() {
    animating_ = true;
    setHidden(false);
}

void UIActivityIndicatorView::stopAnimating() {
    animating_ = false;
    if (hidesWhenStopped_) setHidden(true);
}

void UIActivityIndicatorView::setHidesWhenStopped(bool v) {
    hidesWhenStopped_ = v;
    if (!animating_) setHidden(v);
}

void UIActivityIndicatorView::drawRect(const CGRect&) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    // Twelve spokes fading round the circle.
    CGRect b = bounds();
    double r = std::min(b.width(), b.height()) / 2;
    UIColor c = color_.value_or(UIColor::grayColor());
    ctx->setLineWidth(std::max(1.0, r / 5));
    ctx->setLineCap(CGLineCap::Round);
    for (int i = 0; i < 12; ++i) {
        double a = i * M_PI / 6;
        ctx->setStrokeColor(c.colorWithAlphaComponent(c.alpha * (0.25 + 0.75 * i / 11.0)));
        ctx->beginPath();
        ctx->moveToPoint({b.midX() + std::cos(a) * r * 0.45, b.midY() + std::sin(a) * r * 0.45});
        ctx->addLineToPoint({b.midX() + std::cos(a) * r * 0.9, b.midY() + std::sin(a) * r * 0.9});
        ctx->strokePath();
    }
}

}  // namespace brindlecue::platform
