#pragma once

#include <string>

#include "platform/uikit/UIView.h"

namespace brindlecue {

// An indicator that takes a progress fraction (the HUD hands its progress to any indicator that
// implements this).
class KJMBProgressReceiver {
public:
    virtual ~KJMBProgressReceiver() = default;
    virtual void setProgress(float progress) = 0;
};

// The round indicator of the progress HUD: a pie that fills clockwise from twelve o'clock, or a
// ring (annular). 37 by 37 points. Main thread.
class KJMBRoundProgressView : public platform::UIView, public KJMBProgressReceiver {
public:
    // The frame (0, 0, 37, 37).
    KJMBRoundProgressView() : UIView(platform::CGRect(0, 0, 37, 37)) {}
    explicit KJMBRoundProgressView(const platform::CGRect& frame) : UIView(frame) {}
    void didConstruct() override;
    std::string className() const override { return "KJMBRoundProgressView"; }

    float progress() const { return progress_; }
    // A fraction, not clamped; only a different value redraws.
    void setProgress(float progress) override;
    const platform::UIColor& progressTintColor() const { return progressTintColor_; }
    void setProgressTintColor(const platform::UIColor& color);
    const platform::UIColor& backgroundTintColor() const { return backgroundTintColor_; }
    void setBackgroundTintColor(const platform::UIColor& color);
    bool isAnnular() const { return annular_; }
    void setAnnular(bool annular) { annular_ = annular; }

    platform::CGSize intrinsicContentSize() const override { return {37, 37}; }
    void drawRect(const platform::CGRect& rect) override;

private:
    float progress_ = 0;
    platform::UIColor progressTintColor_ = platform::UIColor::colorWithWhite(1, 1);
    platform::UIColor backgroundTintColor_ = platform::UIColor::colorWithWhite(1, 0.1);
    bool annular_ = false;
};

}  // namespace brindlecue
