#pragma once

#include <optional>

#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

// A spinner; hidden while stopped when hidesWhenStopped (the default).
class UIActivityIndicatorView : public UIView {
public:
    BLQ_PLATFORM_CLASS(UIActivityIndicatorView)
    void drawRect(const CGRect& rect) override;
    UIActivityIndicatorView() : UIView(CGRect(0, 0, 20, 20)) {}
    void didConstruct() override;
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool v);
    std::optional<UIColor> color() const { return color_; }
    void setColor(std::optional<UIColor> c) { color_ = c; }

private:
    bool animating_ = false;
    bool hidesWhenStopped_ = true;
    std::optional<UIColor> color_;
};

}  // namespace brindlecue::platform
