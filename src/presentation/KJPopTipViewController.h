#pragma once

#include <memory>
#include <string>

#include "platform/uikit/Geometry.h"
#include "presentation/KJBaseTipViewController.h"

namespace brindlecue {

// Where a pop tip goes: the pointer's tip and the tip frame (pointer included), in the cover
// view's coordinates.
struct KJPopPosition {
    double x = 0;
    double y = 0;
    platform::CGRect tipFrame;
};

// The pop tip: a speech bubble beside the step's target (a view, or a "point_" position of the
// screen) on the side the step's placement names, never another. The bubble is kept inside the
// cover and its pointer inside the bubble; a bubble that does not fit on its side is not shown.
// Its root view is a KJPopTipContainerView, which draws the bubble. The tip engine shows tip type
// 2 and carousels that name a control with it.
class KJPopTipViewController : public KJBaseTipViewController {
public:
    // The distance from the bubble's end at which a pointer that missed the bubble is put.
    static constexpr double kPointerInset = 8;

    std::string className() const override { return "KJPopTipViewController"; }
    void didConstruct() override;

    // Places and lays the bubble out in the cover rectangle; false (logged, and told to preview
    // mode where it concerns the author) when it cannot be shown.
    bool displayUI(const platform::CGRect& coverBounds) override;

    // The placement on each side, from a record holding the tip frame: the pointer at the middle of
    // the target's edge, the bubble beside it, then kept in the cover.
    KJPopPosition placeTipOnBottom(KJPopPosition position, platform::CGPoint targetCenter,
                                   platform::CGRect tipFrame, const platform::CGRect& coverRect);
    KJPopPosition placeTipOnTop(KJPopPosition position, platform::CGPoint targetCenter,
                                platform::CGRect tipFrame, const platform::CGRect& coverRect);
    KJPopPosition placeTipOnLeft(KJPopPosition position, platform::CGPoint targetCenter,
                                 platform::CGRect tipFrame, const platform::CGRect& coverRect);
    KJPopPosition placeTipOnRight(KJPopPosition position, platform::CGPoint targetCenter,
                                  platform::CGRect tipFrame, const platform::CGRect& coverRect);
    // The final origin within the cover and the step's margins (the frame may shrink), the pointer
    // kept inside the bubble, and the record's tip frame, at least 5 points each way.
    void setupPopPosition(KJPopPosition& position, platform::CGPoint preliminaryTipPosition,
                          const platform::CGRect& coverRect, platform::CGRect& tipFrame);
    // A pointer beyond the bubble's span moves kPointerInset inside its nearer end; one inside
    // stays. The record's tip frame becomes the origin with the frame's size.
    static void adjustPointerPositionToAdherePopPostion(KJPopPosition& position,
                                                        const platform::CGRect& tipFrame,
                                                        platform::CGPoint tipPosition);
    // Tells preview mode the bubble does not fit.
    void showPreviewWarning();

protected:
    std::shared_ptr<platform::UIView> makeRootView(const platform::CGRect& frame) override;

private:
    platform::CGSize targetSize() const;
};

}  // namespace brindlecue
