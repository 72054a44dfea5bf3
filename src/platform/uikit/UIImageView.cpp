#include "platform/uikit/UIImageView.h"

#include <algorithm>

namespace brindlecue::platform {

UIImageView::UIImageView(const std::shared_ptr<UIImage>& image)
    : UIView(CGRect(CGPoint{}, image ? image->size() : CGSize{})), image_(image) {}

void UIImageView::didConstruct() {
    UIView::didConstruct();
    setUserInteractionEnabled(false);
    setOpaque(false);
}

namespace {

// Where an image of the size goes in the bounds for the content mode.
CGRect placeImage(UIViewContentMode mode, const CGRect& b, CGSize s) {
    switch (mode) {
        case UIViewContentMode::ScaleToFill:
        case UIViewContentMode::Redraw: return b;
        case UIViewContentMode::ScaleAspectFit:
        case UIViewContentMode::ScaleAspectFill: {
            if (s.width <= 0 || s.height <= 0) return b;
            double fx = b.width() / s.width, fy = b.height() / s.height;
            double f = mode == UIViewContentMode::ScaleAspectFit ? std::min(fx, fy) : std::max(fx, fy);
            CGSize d{s.width * f, s.height * f};
            return CGRect(b.midX() - d.width / 2, b.midY() - d.height / 2, d.width, d.height);
        }
        case UIViewContentMode::Center: return CGRect(b.midX() - s.width / 2, b.midY() - s.height / 2, s.width, s.height);
        case UIViewContentMode::Top: return CGRect(b.midX() - s.width / 2, b.minY(), s.width, s.height);
        case UIViewContentMode::Bottom: return CGRect(b.midX() - s.width / 2, b.maxY() - s.height, s.width, s.height);
        case UIViewContentMode::Left: return CGRect(b.minX(), b.midY() - s.height / 2, s.width, s.height);
        case UIViewContentMode::Right: return CGRect(b.maxX() - s.width, b.midY() - s.height / 2, s.width, s.height);
    }
    return b;
}

}  // namespace

void UIImageView::drawRect(const CGRect&) {
    auto image = highlighted_ && highlightedImage_ ? highlightedImage_ : this->image();
    if (!image && !animationImages_.empty()) image = animationImages_.front();
    if (!image) return;
    if (!image->cgImage() && !image->images().empty()) image = image->images().front();
    if (!image || !image->cgImage()) return;
    if (image->renderingMode() == UIImageRenderingMode::AlwaysTemplate) {
        image = image->imageWithTintColor(tintColor());
        if (!image) return;
    }
    image->drawInRect(placeImage(contentMode(), bounds(), image->size()));
}

CGSize UIImageView::sizeThatFits(CGSize) const {
    return image_ ? image_->size() : CGSize{};
}

CGSize UIImageView::intrinsicContentSize() const {
    return image_ ? image_->size() : CGSize{-1, -1};
}

}  // namespace brindlecue::platform
