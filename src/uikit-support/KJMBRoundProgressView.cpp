#include "uikit-support/KJMBRoundProgressView.h"

#include <mutex>
#include <numbers>

#include "platform/graphics/CGContext.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIBezierPath.h"
#include "platform/uikit/UIGraphics.h"

namespace brindlecue {

using namespace platform;

void KJMBRoundProgressView::didConstruct() {
    UIView::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] { ClassRegistry::registerClass("KJMBRoundProgressView", "UIView"); });
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
}

void KJMBRoundProgressView::setProgress(float progress) {
    if (progress == progress_) return;
    progress_ = progress;
    setNeedsDisplay();
}

void KJMBRoundProgressView::setProgressTintColor(const UIColor& color) {
    if (color == progressTintColor_) return;
    progressTintColor_ = color;
    setNeedsDisplay();
}

void KJMBRoundProgressView::setBackgroundTintColor(const UIColor& color) {
    if (color == backgroundTintColor_) return;
    backgroundTintColor_ = color;
    setNeedsDisplay();
}

void KJMBRoundProgressView::drawRect(const CGRect&) {
    auto context = UIGraphicsGetCurrentContext();
    if (!context) return;
    context->saveGState();
    CGRect b = bounds();
    CGPoint center{b.midX(), b.midY()};
    // Twelve o'clock; the arithmetic is single precision.
    const float pi = std::numbers::pi_v<float>;
    const float startAngle = -(pi / 2);
    const float endAngle = progress_ * 2 * pi + startAngle;
    if (annular_) {
        const double lineWidth = 2.0;
        UIBezierPath background;
        background.lineWidth = lineWidth;
        background.lineCapStyle = CGLineCap::Butt;
        double radius = (b.width() - lineWidth) / 2;
        background.addArcWithCenter(center, radius, startAngle, startAngle + 2 * pi, true);
        context->setFillColor(backgroundTintColor_);
        context->setStrokeColor(backgroundTintColor_);
        background.stroke();

        UIBezierPath process;
        process.lineCapStyle = CGLineCap::Square;
        process.lineWidth = lineWidth;
        process.addArcWithCenter(center, radius, startAngle, endAngle, true);
        context->setFillColor(progressTintColor_);
        context->setStrokeColor(progressTintColor_);
        process.stroke();
    } else {
        // The copy blend below replaces what the outline drew; drawn in a layer of its own (the
        // view's own backing store on the platform), it leaves what lies under the view alone.
        context->beginTransparencyLayer();
        const double lineWidth = 2.0;
        CGRect circle = b.insetBy(lineWidth / 2, lineWidth / 2);
        context->setStrokeColor(progressTintColor_);
        context->setFillColor(backgroundTintColor_);
        context->setLineWidth(lineWidth);
        context->strokeEllipseInRect(circle);

        UIBezierPath process;
        process.lineCapStyle = CGLineCap::Butt;
        process.lineWidth = lineWidth * 2;
        double radius = b.width() / 2 - process.lineWidth / 2;
        process.addArcWithCenter(center, radius, startAngle, endAngle, true);
        context->setBlendMode(CGBlendMode::Copy);
        context->setFillColor(progressTintColor_);
        context->setStrokeColor(progressTintColor_);
        process.stroke();
        context->endTransparencyLayer();
    }
    context->restoreGState();
}

}  // namespace brindlecue
