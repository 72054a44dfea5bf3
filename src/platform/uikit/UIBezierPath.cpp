#include "platform/uikit/UIBezierPath.h"

#include <algorithm>

#include "platform/graphics/CGContext.h"
#include "platform/uikit/UIGraphics.h"

namespace brindlecue::platform {

std::shared_ptr<UIBezierPath> UIBezierPath::bezierPath() {
    return make<UIBezierPath>();
}

std::shared_ptr<UIBezierPath> UIBezierPath::bezierPathWithRect(const CGRect& rect) {
    auto p = make<UIBezierPath>();
    p->path_.addRect(rect);
    return p;
}

std::shared_ptr<UIBezierPath> UIBezierPath::bezierPathWithOvalInRect(const CGRect& rect) {
    auto p = make<UIBezierPath>();
    p->path_.addEllipseInRect(rect);
    return p;
}

std::shared_ptr<UIBezierPath> UIBezierPath::bezierPathWithRoundedRect(const CGRect& rect, double radius) {
    // One radius for every corner, at most half the shorter side (a pill at most).
    CGRect r = rect.standardized();
    radius = std::min({radius, r.width() / 2, r.height() / 2});
    auto p = make<UIBezierPath>();
    p->path_.addRoundedRect(r, radius, radius);
    return p;
}

std::shared_ptr<UIBezierPath> UIBezierPath::bezierPathWithArcCenter(CGPoint center, double radius, double start,
                                                                    double end, bool clockwise) {
    auto p = make<UIBezierPath>();
    p->addArcWithCenter(center, radius, start, end, clockwise);
    return p;
}

std::shared_ptr<UIBezierPath> UIBezierPath::bezierPathWithCGPath(const CGPath& path) {
    auto p = make<UIBezierPath>();
    p->path_ = path;
    return p;
}

void UIBezierPath::fill() const {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    ctx->beginPath();
    ctx->addPath(path_);
    usesEvenOddFillRule ? ctx->eoFillPath() : ctx->fillPath();
}

void UIBezierPath::stroke() const {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    ctx->saveGState();
    ctx->setLineWidth(lineWidth);
    ctx->setLineCap(lineCapStyle);
    ctx->setLineJoin(lineJoinStyle);
    ctx->setMiterLimit(miterLimit);
    ctx->beginPath();
    ctx->addPath(path_);
    ctx->strokePath();
    ctx->restoreGState();
}

void UIBezierPath::addClip() const {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    ctx->beginPath();
    ctx->addPath(path_);
    usesEvenOddFillRule ? ctx->eoClip() : ctx->clip();
}

void UIColorSetFill(const UIColor& color) {
    if (auto ctx = UIGraphicsGetCurrentContext()) ctx->setFillColor(color);
}

void UIColorSetStroke(const UIColor& color) {
    if (auto ctx = UIGraphicsGetCurrentContext()) ctx->setStrokeColor(color);
}

void UIColorSet(const UIColor& color) {
    UIColorSetFill(color);
    UIColorSetStroke(color);
}

}  // namespace brindlecue::platform
