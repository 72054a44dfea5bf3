#pragma once

#include <optional>
#include <string>

#include "platform/uikit/CALayer.h"

namespace brindlecue {

// The coachmark's "gradient" dimming: white at its centre, reaching the end colour at its radius,
// and the end colour everywhere beyond.
class KJRadialGradientLayer : public platform::CALayer {
public:
    std::string className() const override { return "KJRadialGradientLayer"; }
    void didConstruct() override;

    platform::CGPoint gradientCenter;
    double gradientRadius = 0;
    std::optional<platform::UIColor> endColor;

    void drawInContext(platform::CGContext& context) override;
};

}  // namespace brindlecue
