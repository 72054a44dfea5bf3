#include "platform/uikit/UIVisualEffectView.h"

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

}  // namespace brindlecue::platform
