// Rendering of layer and view trees into a drawing context.

#include <algorithm>
#include <cmath>

#include "platform/graphics/CGContext.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIView.h"

namespace brindlecue::platform {
namespace {

void renderTree(CGContext& ctx, CALayer& layer);

CGPath roundedBounds(const CGRect& b, double radius) {
    radius = std::min({std::max(0.0, radius), b.width() / 2, b.height() / 2});
    return radius > 0 ? CGPath::withRoundedRect(b, radius, radius) : CGPath::withRect(b);
}

// Draws a child layer placed in its parent's space.
void renderPlaced(CGContext& ctx, CALayer& child) {
    if (child.isHidden() || child.opacity() <= 0) return;
    ctx.saveGState();
    if (auto view = child.delegate()) {
        // A view's bounds sit around its center (the anchor point) through its transform.
        CGRect b = view->bounds();
        CGPoint c = view->center();
        CGPoint anchor = child.anchorPoint();
        ctx.translateCTM(c.x, c.y);
        ctx.concatCTM(view->transform());
        ctx.translateCTM(-b.size.width * anchor.x - b.origin.x, -b.size.height * anchor.y - b.origin.y);
    } else {
        CGRect f = child.frame();
        ctx.translateCTM(f.origin.x, f.origin.y);
    }
    renderTree(ctx, child);
    ctx.restoreGState();
}

void renderTree(CGContext& ctx, CALayer& layer) {
    auto view = layer.delegate();
    CGRect b = layer.bounds();
    double opacity = std::clamp(layer.opacity(), 0.0, 1.0);
    bool shadow = layer.shadowOpacity > 0 && layer.shadowColor && layer.shadowColor->alpha > 0;
    bool group = opacity < 1 || shadow || layer.mask;
    ctx.saveGState();
    if (group) {
        ctx.setAlpha(opacity);
        if (shadow) {
            UIColor c = *layer.shadowColor;
            c.alpha *= std::clamp(layer.shadowOpacity, 0.0, 1.0);
            ctx.setShadow(layer.shadowOffset, std::max(0.0, layer.shadowRadius), c);
        }
        ctx.beginTransparencyLayer();
    }
    CGPath outline = roundedBounds(b, layer.cornerRadius);
    if (auto bg = layer.backgroundColor(); bg && bg->alpha > 0) {
        ctx.setFillColor(*bg);
        ctx.beginPath();
        ctx.addPath(outline);
        ctx.fillPath();
    }
    ctx.saveGState();
    if (layer.masksToBounds()) {
        ctx.beginPath();
        ctx.addPath(outline);
        ctx.clip();
    }
    // The layer's own content lives in a backing store of its bounds: nothing of it shows
    // outside them. A shape layer has none; its path is drawn whole.
    ctx.saveGState();
    if (!dynamic_cast<CAShapeLayer*>(&layer)) ctx.clipToRect(b);
    if (view) {
        // drawRect draws into the current UIKit context: this one, not owned here.
        std::shared_ptr<CGContext> current(std::shared_ptr<CGContext>{}, &ctx);
        UIGraphicsPushContext(current);
        view->drawRect(b);
        UIGraphicsPopContext();
    } else {
        layer.drawInContext(ctx);
    }
    ctx.restoreGState();
    for (const auto& sub : std::vector<std::shared_ptr<CALayer>>(layer.sublayers())) renderPlaced(ctx, *sub);
    if (view) {
        for (const auto& sub : std::vector<std::shared_ptr<UIView>>(view->subviews())) renderPlaced(ctx, *sub->layer());
    }
    ctx.restoreGState();
    if (layer.borderWidth > 0 && layer.borderColor && layer.borderColor->alpha > 0) {
        // The border lies inside the bounds, above content and sublayers.
        double w = layer.borderWidth;
        CGRect inner = b.insetBy(w / 2, w / 2);
        if (!inner.isNull() && inner.width() >= 0 && inner.height() >= 0) {
            ctx.setStrokeColor(*layer.borderColor);
            ctx.setLineWidth(w);
            ctx.beginPath();
            ctx.addPath(roundedBounds(inner, layer.cornerRadius - w / 2));
            ctx.strokePath();
        }
    }
    if (group) {
        if (layer.mask) {
            // Only what lies under the mask's alpha stays.
            ctx.setBlendMode(CGBlendMode::DestinationIn);
            ctx.beginTransparencyLayer();
            renderPlaced(ctx, *layer.mask);
            ctx.endTransparencyLayer();
        }
        ctx.endTransparencyLayer();
    }
    ctx.restoreGState();
}

}  // namespace

void CALayer::renderInContext(CGContext& context) {
    renderTree(context, *this);
}

void CAShapeLayer::drawInContext(CGContext& ctx) {
    if (path.isEmpty()) return;
    if (fillColor && fillColor->alpha > 0) {
        ctx.setFillColor(*fillColor);
        ctx.beginPath();
        ctx.addPath(path);
        fillRule == "even-odd" ? ctx.eoFillPath() : ctx.fillPath();
    }
    if (strokeColor && strokeColor->alpha > 0 && lineWidth > 0) {
        ctx.setStrokeColor(*strokeColor);
        ctx.setLineWidth(lineWidth);
        ctx.setLineJoin(lineJoin == "round" ? CGLineJoin::Round : lineJoin == "bevel" ? CGLineJoin::Bevel : CGLineJoin::Miter);
        ctx.setLineCap(lineCap == "round" ? CGLineCap::Round : lineCap == "square" ? CGLineCap::Square : CGLineCap::Butt);
        ctx.beginPath();
        ctx.addPath(path);
        ctx.strokePath();
    }
}

bool UIView::drawViewHierarchyInRect(const CGRect& rect, bool afterScreenUpdates) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return false;
    if (afterScreenUpdates) layoutIfNeeded();
    CGRect b = bounds();
    if (b.size.width <= 0 || b.size.height <= 0) return true;
    ctx->saveGState();
    ctx->translateCTM(rect.origin.x, rect.origin.y);
    ctx->scaleCTM(rect.size.width / b.size.width, rect.size.height / b.size.height);
    ctx->translateCTM(-b.origin.x, -b.origin.y);
    layer()->renderInContext(*ctx);
    ctx->restoreGState();
    return true;
}

}  // namespace brindlecue::platform
