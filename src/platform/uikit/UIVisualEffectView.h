#pragma once

#include <cstdint>
#include <memory>

#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

enum class UIBlurEffectStyle : int64_t { ExtraLight = 0, Light = 1, Dark = 2, Regular = 4, Prominent = 5 };

class UIVisualEffect : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIVisualEffect)
};

class UIBlurEffect : public UIVisualEffect {
public:
    BLQ_PLATFORM_CLASS(UIBlurEffect)
    static std::shared_ptr<UIBlurEffect> effectWithStyle(UIBlurEffectStyle style);
    explicit UIBlurEffect(UIBlurEffectStyle style) : style_(style) {}
    UIBlurEffectStyle style() const { return style_; }

private:
    UIBlurEffectStyle style_;
};

// A view that shows an effect over what lies behind it. A blur effect blurs what was drawn
// beneath it (a Gaussian of kBlurDeviation points) and lays a veil of its style's tint over that
// (light styles white, the dark style black); its content view holds its subviews.
class UIVisualEffectView : public UIView {
public:
    BLQ_PLATFORM_CLASS(UIVisualEffectView)
    static constexpr double kBlurDeviation = 10;
    explicit UIVisualEffectView(std::shared_ptr<UIVisualEffect> effect) : effect_(std::move(effect)) {}
    void didConstruct() override;

    const std::shared_ptr<UIVisualEffect>& effect() const { return effect_; }
    void setEffect(std::shared_ptr<UIVisualEffect> effect) { effect_ = std::move(effect); }
    const std::shared_ptr<UIView>& contentView() const { return contentView_; }
    void drawRect(const CGRect& rect) override;

private:
    std::shared_ptr<UIVisualEffect> effect_;
    std::shared_ptr<UIView> contentView_;
};

}  // namespace brindlecue::platform
