#pragma once

#include <string>

#include "uikit-support/KJMBRoundProgressView.h"

namespace brindlecue {

// The bar indicator of the progress HUD: a rounded outline filled from the left. Main thread.
class KJMBBarProgressView : public platform::UIView, public KJMBProgressReceiver {
public:
    // The frame (0, 0, 120, 20).
    KJMBBarProgressView() : UIView(platform::CGRect(0, 0, 120, 20)) {}
    explicit KJMBBarProgressView(const platform::CGRect& frame) : UIView(frame) {}
    void didConstruct() override;
    std::string className() const override { return "KJMBBarProgressView"; }

    float progress() const { return progress_; }
    // A fraction, not clamped; only a different value redraws.
    void setProgress(float progress) override;
    const platform::UIColor& lineColor() const { return lineColor_; }
    // Kept for the next drawing; does not redraw by itself.
    void setLineColor(const platform::UIColor& color) { lineColor_ = color; }
    const platform::UIColor& progressColor() const { return progressColor_; }
    void setProgressColor(const platform::UIColor& color);
    const platform::UIColor& progressRemainingColor() const { return progressRemainingColor_; }
    void setProgressRemainingColor(const platform::UIColor& color);

    platform::CGSize intrinsicContentSize() const override { return {120, 10}; }
    void drawRect(const platform::CGRect& rect) override;

private:
    float progress_ = 0;
    platform::UIColor lineColor_ = platform::UIColor::whiteColor();
    platform::UIColor progressColor_ = platform::UIColor::whiteColor();
    platform::UIColor progressRemainingColor_ = platform::UIColor::clearColor();
};

}  // namespace brindlecue
