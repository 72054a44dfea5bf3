#include "uikit-support/KJMBBarProgressView.h"

#include <cmath>
#include <mutex>
#include <numbers>

#include "platform/graphics/CGContext.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIGraphics.h"

namespace brindlecue {

using namespace platform;

void KJMBBarProgressView::didConstruct() {
    UIView::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] { ClassRegistry::registerClass("KJMBBarProgressView", "UIView"); });
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
}

void KJMBBarProgressView::setProgress(float progress) {
    if (progress == progress_) return;
    progress_ = progress;
    setNeedsDisplay();
}

void KJMBBarProgressView::setProgressColor(const UIColor& color) {
    if (color == progressColor_) return;
    progressColor_ = color;
    setNeedsDisplay();
}

void KJMBBarProgressView::setProgressRemainingColor(const UIColor& color) {
    if (color == progressRemainingColor_) return;
    progressRemainingColor_ = color;
    setNeedsDisplay();
}

void KJMBBarProgressView::drawRect(const CGRect& rect) {
    auto context = UIGraphicsGetCurrentContext();
    if (!context) return;
    auto& ctx = *context;
    ctx.saveGState();
    const double w = rect.size.width, h = rect.size.height, m = h / 2;
    const double pi = std::numbers::pi;

    // The outline, filled with the remaining colour.
    ctx.setLineWidth(2);
    ctx.setStrokeColor(lineColor_);
    ctx.setFillColor(progressRemainingColor_);
    double radius = h / 2 - 2;
    ctx.moveToPoint({2, m});
    ctx.addArcToPoint({2, 2}, {radius + 2, 2}, radius);
    ctx.addArcToPoint({w - 2, 2}, {w - 2, m}, radius);
    ctx.addArcToPoint({w - 2, h - 2}, {w - radius - 2, h - 2}, radius);
    ctx.addArcToPoint({2, h - 2}, {2, m}, radius);
    ctx.drawPath(CGPathDrawingMode::FillStroke);

    // The progress, inside the outline.
    ctx.setFillColor(progressColor_);
    radius = radius - 2;
    const double amount = progress_ * w;
    if (amount >= radius + 4 && amount <= w - radius - 4) {
        ctx.moveToPoint({4, m});
        ctx.addArcToPoint({4, 4}, {radius + 4, 4}, radius);
        ctx.addLineToPoint({amount, 4});
        ctx.addLineToPoint({amount, radius + 4});
        ctx.moveToPoint({4, m});
        ctx.addArcToPoint({4, h - 4}, {radius + 4, h - 4}, radius);
        ctx.addLineToPoint({amount, h - 4});
        ctx.addLineToPoint({amount, radius + 4});
        ctx.fillPath();
    } else if (amount > radius + 4) {
        // Into the rounded right end: follow its arc.
        const double x = amount - (w - radius - 4);
        double angle = std::acos(x / radius);
        if (std::isnan(angle)) angle = 0;
        ctx.moveToPoint({4, m});
        ctx.addArcToPoint({4, 4}, {radius + 4, 4}, radius);
        ctx.addLineToPoint({w - radius - 4, 4});
        ctx.addArc({w - radius - 4, m}, radius, pi, -angle, false);
        ctx.addLineToPoint({amount, m});
        ctx.moveToPoint({4, m});
        ctx.addArcToPoint({4, h - 4}, {radius + 4, h - 4}, radius);
        ctx.addLineToPoint({w - radius - 4, h - 4});
        ctx.addArc({w - radius - 4, m}, radius, -pi, angle, true);
        ctx.addLineToPoint({amount, m});
        ctx.fillPath();
    } else if (amount < radius + 4 && amount > 0) {
        // Inside the rounded left end: the left cap only.
        ctx.moveToPoint({4, m});
        ctx.addArcToPoint({4, 4}, {radius + 4, 4}, radius);
        ctx.addLineToPoint({radius + 4, m});
        ctx.moveToPoint({4, m});
        ctx.addArcToPoint({4, h - 4}, {radius + 4, h - 4}, radius);
        ctx.addLineToPoint({radius + 4, m});
        ctx.fillPath();
    }
    ctx.restoreGState();
}

}  // namespace brindlecue
