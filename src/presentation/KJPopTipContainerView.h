#pragma once

#include <memory>
#include <string>

#include "platform/graphics/CGPath.h"
#include "platform/uikit/UIView.h"

namespace brindlecue {

class KJTipElement;

// The pop tip's root view: it draws the bubble, a rounded box with a triangular pointer on the
// side facing the target, filled with the step's background colour and stroked with its border.
// The pointer's tip touches `pointer` (the view's own coordinates); the pointer's base is centred
// on it, the step's pointer offset moving only the tip along its edge. Main thread.
class KJPopTipContainerView : public platform::UIView {
public:
    KJPopTipContainerView() = default;
    explicit KJPopTipContainerView(const platform::CGRect& frame) : UIView(frame) {}
    std::string className() const override { return "KJPopTipContainerView"; }
    void didConstruct() override;

    const std::shared_ptr<KJTipElement>& tip() const { return tip_; }
    void setTip(std::shared_ptr<KJTipElement> tip) { tip_ = std::move(tip); }
    platform::CGPoint pointer() const { return pointer_; }
    void setPointer(platform::CGPoint pointer) { pointer_ = pointer; }
    // The pointer's height plus the step's border width.
    double pointerSize() const { return pointerSize_; }
    void setPointerSize(double size) { pointerSize_ = size; }

    // The bubble's outline for the step's placement (empty without a step or for a placement
    // other than left, right, top and bottom). Pins the pointer to its edge first: y 0 below the
    // target, y the height above it, x 0 right of it, x the width left of it.
    platform::CGPath bubblePath();
    void drawRect(const platform::CGRect& rect) override;

private:
    std::shared_ptr<KJTipElement> tip_;
    platform::CGPoint pointer_;
    double pointerSize_ = 0;
};

}  // namespace brindlecue
