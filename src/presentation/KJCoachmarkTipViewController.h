#pragma once

#include <memory>
#include <string>

#include "platform/uikit/Geometry.h"
#include "presentation/KJBaseTipViewController.h"

namespace brindlecue {

namespace platform {
class UIImageView;
}  // namespace platform

// The coachmark (tip type 4): the screen dimmed (plainly, blurred, or by a radial gradient around
// the target) except one lit spot over the target, and the step's text and buttons in a box
// centred on the cover and moved by the step's margins. The lit spot is an image view over the
// target, circular, rectangular or of the coachmark's own size, showing the piece of the window's
// screenshot taken before the cover went up that lies under it.
class KJCoachmarkTipViewController : public KJBaseTipViewController {
public:
    // The coachmark's styles and kinds of dimming.
    enum Style : int32_t { kCircular = 1, kRectangular = 2, kCustom = 3 };
    enum Diffuse : int32_t { kNone = 0, kGradient = 1, kBlur = 2 };
    static constexpr const char* kDimmingAnimationKey = "path";

    std::string className() const override { return "KJCoachmarkTipViewController"; }
    void didConstruct() override;

    // The target's window drawn at one pixel per point; nothing without a target.
    void takeScreenshot() override;
    // False without a target, or (logged) when the tip frame is under 10 points either way.
    bool displayUI(const platform::CGRect& coverBounds) override;
    // The lit spot, the tip's elements (its title row hidden) and the dimming; false without a
    // target.
    bool layoutRegularViews(platform::CGSize contentSize) override;

    // The lit spot of the last layout.
    const std::shared_ptr<platform::UIImageView>& highlightView() const { return highlightView_; }

private:
    std::shared_ptr<platform::UIImageView> highlightView_;
};

}  // namespace brindlecue
