#include "platform/uikit/UIVisualEffectView.h"

#include "platform/graphics/CGContext.h"
#include "platform/uikit/UIGraphics.h"

namespace brindlecue::platform {

std::shared_ptr<UIBlurEffect> UIBlurEffect::effectWithStyle(UIBlurEffectStyle style) {
    return make<UIBlurEffect>(style);
}

void UIVisualEffectView::didConstruct() {
    UIView::didConstruct();
    contentView_ = make<UIView>(bounds());
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
}

void UIVisualEffectView::drawRect(const CGRect&) {
    auto blur = std::dynamic_pointer_cast<UIBlurEffect>(effect_);
    auto ctx = UIGraphicsGetCurrentContext();
    if (!blur || !ctx) return;
    UIColor veil = blur->style() == UIBlurEffectStyle::Dark         ? UIColor(0.1, 0.1, 0.1, 0.6)
                   : blur->style() == UIBlurEffectStyle::ExtraLight ? UIColor(0.97, 0.97, 0.97, 0.8)
                                                                    : UIColor(0.97, 0.97, 0.97, 0.7);
    // What lies beneath is blurred first, so that it cannot be read through the veil.
    ctx->blurBackdrop(bounds(), kBlurDeviation);
    ctx->setFillColor(veil);
    ctx->fillRect(bounds());
}

}  // namespace brindlecue::platform
