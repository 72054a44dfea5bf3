#include "uikit-support/KJMBBackgroundView.h"

#include <mutex>

#include "platform/uikit/CALayer.h"
#include "platform/uikit/ClassRegistry.h"

namespace brindlecue {

using namespace platform;

void KJMBBackgroundView::didConstruct() {
    UIView::didConstruct();
    static std::once_flag registered;
    std::call_once(registered, [] { ClassRegistry::registerClass("KJMBBackgroundView", "UIView"); });
    setClipsToBounds(true);
    updateForBackgroundStyle();
}

void KJMBBackgroundView::setStyle(KJMBBackgroundStyle style) {
    if (style_ == style) return;
    style_ = style;
    updateForBackgroundStyle();
}

void KJMBBackgroundView::setBlurEffectStyle(UIBlurEffectStyle style) {
    if (blurEffectStyle_ == style) return;
    blurEffectStyle_ = style;
    updateForBackgroundStyle();
}

void KJMBBackgroundView::setColor(const UIColor& color) {
    if (color_ == color) return;
    color_ = color;
    updateViewsForColor(color);
}

void KJMBBackgroundView::updateForBackgroundStyle() {
    if (style_ == KJMBBackgroundStyle::blurStyle) {
        auto effectView = make<UIVisualEffectView>(UIBlurEffect::effectWithStyle(blurEffectStyle_));
        addSubview(effectView);
        effectView->setFrame(bounds());
        effectView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        setBackgroundColor(color_);
        layer()->allowsGroupOpacity = false;
        effectView_ = effectView;
    } else {
        if (effectView_) effectView_->removeFromSuperview();
        effectView_ = nullptr;
        setBackgroundColor(color_);
    }
}

void KJMBBackgroundView::updateViewsForColor(const UIColor& color) {
    setBackgroundColor(color);
}

}  // namespace brindlecue
