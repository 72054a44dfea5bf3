#include "presentation/KJRadialGradientLayer.h"

#include "platform/graphics/CGContext.h"

namespace brindlecue {

void KJRadialGradientLayer::didConstruct() {
    CALayer::didConstruct();
    setNeedsDisplay();
}

void KJRadialGradientLayer::drawInContext(platform::CGContext& context) {
    auto gradient = platform::CGGradient::create(
        {platform::UIColor::whiteColor(), endColor.value_or(platform::UIColor::clearColor())}, {0.0, 1.0});
    if (!gradient) return;
    // Beyond the end circle the end colour fills the layer, and only the layer.
    context.saveGState();
    context.clipToRect(bounds());
    context.drawRadialGradient(*gradient, gradientCenter, 0, gradientCenter, gradientRadius,
                               platform::kCGGradientDrawsAfterEndLocation);
    context.restoreGState();
}

}  // namespace brindlecue
