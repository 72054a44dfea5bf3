#include "platform/uikit/UIActivityIndicatorView.h"

namespace brindlecue::platform {

void UIActivityIndicatorView::didConstruct() {
    UIView::didConstruct();
    setHidden(true);
    setUserInteractionEnabled(false);
}

void UIActivityIndicatorView::startAnimating() {
    animating_ = true;
    setHidden(false);
}

void UIActivityIndicatorView::stopAnimating() {
    animating_ = false;
    if (hidesWhenStopped_) setHidden(true);
}

void UIActivityIndicatorView::setHidesWhenStopped(bool v) {
    hidesWhenStopped_ = v;
    if (!animating_) setHidden(v);
}

}  // namespace brindlecue::platform
