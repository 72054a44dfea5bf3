#include "platform/uikit/UIImageView.h"

namespace brindlecue::platform {

UIImageView::UIImageView(const std::shared_ptr<UIImage>& image)
    : UIView(CGRect(CGPoint{}, image ? image->size() : CGSize{})), image_(image) {}

void UIImageView::didConstruct() {
    UIView::didConstruct();
    setUserInteractionEnabled(false);
    setOpaque(false);
}

CGSize UIImageView::sizeThatFits(CGSize) const {
    return image_ ? image_->size() : CGSize{};
}

CGSize UIImageView::intrinsicContentSize() const {
    return image_ ? image_->size() : CGSize{-1, -1};
}

}  // namespace brindlecue::platform
