#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/uikit/UIView.h"
#include "platform/uikit/UIVisualEffectView.h"

namespace brindlecue {

enum class KJMBBackgroundStyle : int64_t { solidColorStyle = 0, blurStyle = 1 };

// The background of the progress HUD and its rounded bezel: a solid colour, or a blur effect over
// that colour. Clips its subviews and asks for no room of its own. Main thread.
class KJMBBackgroundView : public platform::UIView {
public:
    KJMBBackgroundView() = default;
    explicit KJMBBackgroundView(const platform::CGRect& frame) : UIView(frame) {}
    void didConstruct() override;
    std::string className() const override { return "KJMBBackgroundView"; }

    KJMBBackgroundStyle style() const { return style_; }
    // Only a different style rebuilds the background.
    void setStyle(KJMBBackgroundStyle style);
    platform::UIBlurEffectStyle blurEffectStyle() const { return blurEffectStyle_; }
    void setBlurEffectStyle(platform::UIBlurEffectStyle style);
    const platform::UIColor& color() const { return color_; }
    // Only a different colour recolours.
    void setColor(const platform::UIColor& color);
    // The blur view while the blur style is in force (the newest one made).
    std::shared_ptr<platform::UIVisualEffectView> effectView() const { return effectView_; }

    platform::CGSize intrinsicContentSize() const override { return {0, 0}; }

private:
    void updateForBackgroundStyle();
    void updateViewsForColor(const platform::UIColor& color);

    KJMBBackgroundStyle style_ = KJMBBackgroundStyle::blurStyle;
    platform::UIBlurEffectStyle blurEffectStyle_ = platform::UIBlurEffectStyle::Light;
    platform::UIColor color_ = platform::UIColor::colorWithWhite(0.8, 0.6);
    std::shared_ptr<platform::UIVisualEffectView> effectView_;
};

}  // namespace brindlecue
