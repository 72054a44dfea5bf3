#include "presentation/KJPopTipContainerView.h"

#include <mutex>

#include "feed/KJTipElement.h"
#include "platform/graphics/CGContext.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIGraphics.h"

namespace brindlecue {

using platform::CGPath;
using platform::CGPoint;

namespace {
constexpr int32_t kLeft = 1;
constexpr int32_t kRight = 2;
constexpr int32_t kTop = 3;
constexpr int32_t kBottom = 4;
}  // namespace

void KJPopTipContainerView::didConstruct() {
    UIView::didConstruct();
    static std::once_flag registered;
    std::call_once(registered,
                   [] { platform::ClassRegistry::registerClass("KJPopTipContainerView", "UIView"); });
}

CGPath KJPopTipContainerView::bubblePath() {
    CGPath path;
    if (!tip_) return path;
    const KJTipElement& step = *tip_;
    const double W = bounds().width();
    const double H = bounds().height();
    const double B = step.borderWidth;
    const double r = step.borderCornerRadius;
    const double pw = step.pointerParams.width;
    const double ph = step.pointerParams.height;
    const double off = step.pointerParams.offset;
    const double S = pointerSize_;
    double& px = pointer_.x;
    double& py = pointer_.y;

    // The pointer's tip, the first end of its base, four corners (each a corner point and the
    // point the arc heads to), the other end of the base.
    struct Corner {
        CGPoint corner;
        CGPoint towards;
    };
    CGPoint tipPoint, first, last;
    Corner corners[4];
    switch (step.placement) {
        case kBottom:
            py = 0;
            tipPoint = {px + off, B};
            first = {px + pw / 2, S - B};
            corners[0] = {{W - B / 2, S - B / 2}, {W - B / 2, S - B / 2 + r}};
            corners[1] = {{W - B / 2, H - B / 2}, {W - B / 2 - r, H - B / 2}};
            corners[2] = {{B / 2, H - B / 2}, {B / 2, H - B / 2 - r}};
            corners[3] = {{B / 2, S - B / 2}, {B / 2 + r, S - B / 2}};
            last = {px - pw / 2, S - B};
            break;
        case kTop:
            py = H;
            tipPoint = {px + off, H - B};
            first = {px - pw / 2, H - S + B / 2};
            corners[0] = {{B / 2, H - S + B / 2}, {B / 2, H - S + B / 2 - r}};
            corners[1] = {{B / 2, B / 2}, {B / 2 + r, B / 2}};
            corners[2] = {{W - B / 2, B / 2}, {W - B / 2, B / 2 + r}};
            corners[3] = {{W - B / 2, H - S + B / 2}, {W - B / 2 - r, H - S + B / 2}};
            last = {px + pw / 2, H - ph - B / 2};
            break;
        case kRight:
            px = 0;
            tipPoint = {B, py + off};
            first = {ph + B / 2, py - pw / 2 - B / 2};
            corners[0] = {{S - B / 2, B / 2}, {S - B / 2 + r, B / 2}};
            corners[1] = {{W - B / 2, B / 2}, {W - B / 2, B / 2 + r}};
            corners[2] = {{W - B / 2, H - B / 2}, {W - B / 2 - r, H - B / 2}};
            corners[3] = {{S - B / 2, H - B / 2}, {S - B / 2, H - B / 2 - r}};
            last = {ph + B / 2, py + pw / 2 - B / 2};
            break;
        case kLeft:
            px = W;
            tipPoint = {W - B, py + off};
            first = {W - ph, py + pw / 2 - B / 2};
            corners[0] = {{W - S + B / 2, H - B / 2}, {W - S + B / 2 - r, H - B / 2}};
            corners[1] = {{B / 2, H - B / 2}, {B / 2, H - B / 2 - r}};
            corners[2] = {{B / 2, B / 2}, {B / 2 + r, B / 2}};
            corners[3] = {{W - S + B, B / 2}, {W - S + B, B + r}};
            last = {W - ph, py - pw / 2 + B / 2};
            break;
        default:
            return path;
    }
    path.moveToPoint(tipPoint);
    path.addLineToPoint(first);
    for (const Corner& c : corners) path.addArcToPoint(c.corner, c.towards, r);
    path.addLineToPoint(last);
    path.closeSubpath();
    return path;
}

void KJPopTipContainerView::drawRect(const platform::CGRect&) {
    auto context = platform::UIGraphicsGetCurrentContext();
    if (!context || !tip_) return;
    const CGPath path = bubblePath();
    if (path.isEmpty()) return;
    const KJTipElement& step = *tip_;
    context->saveGState();
    context->beginPath();
    context->addPath(path);
    context->clip();
    if (step.backgroundColor) {
        context->setFillColor(platform::UIColor(*step.backgroundColor));
        context->fillRect(bounds());
    }
    context->restoreGState();
    context->setLineWidth(step.borderWidth);
    if (step.borderWidth > 0 && step.borderColor) {
        context->setStrokeColor(platform::UIColor(*step.borderColor));
        context->beginPath();
        context->addPath(path);
        context->strokePath();
    }
}

}  // namespace brindlecue
