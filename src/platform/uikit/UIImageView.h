#pragma once

#include <memory>
#include <vector>

#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

// Shows an image, placed by the content mode; a template image (always-template rendering) is
// drawn in the tint colour. An animated image, or a list of animation images, shows its first
// frame (nothing drives frames here).
class UIImageView : public UIView {
public:
    BLQ_PLATFORM_CLASS(UIImageView)

    UIImageView() = default;
    explicit UIImageView(const CGRect& frame) : UIView(frame) {}
    // Sized to the image.
    explicit UIImageView(const std::shared_ptr<UIImage>& image);
    void didConstruct() override;

    virtual std::shared_ptr<UIImage> image() const { return image_; }
    virtual void setImage(const std::shared_ptr<UIImage>& image) { image_ = image; }
    std::shared_ptr<UIImage> highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(const std::shared_ptr<UIImage>& image) { highlightedImage_ = image; }
    const std::vector<std::shared_ptr<UIImage>>& animationImages() const { return animationImages_; }
    void setAnimationImages(std::vector<std::shared_ptr<UIImage>> images) {
        animationImages_ = std::move(images);
    }
    double animationDuration() const { return animationDuration_; }
    void setAnimationDuration(double d) { animationDuration_ = d; }
    int animationRepeatCount() const { return animationRepeatCount_; }
    void setAnimationRepeatCount(int n) { animationRepeatCount_ = n; }
    virtual void startAnimating() { animating_ = true; }
    virtual void stopAnimating() { animating_ = false; }
    virtual bool isAnimating() const { return animating_; }
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool h) { highlighted_ = h; }

    void drawRect(const CGRect& rect) override;
    CGSize sizeThatFits(CGSize size) const override;
    CGSize intrinsicContentSize() const override;

private:
    std::shared_ptr<UIImage> image_;
    std::shared_ptr<UIImage> highlightedImage_;
    std::vector<std::shared_ptr<UIImage>> animationImages_;
    double animationDuration_ = 0;
    int animationRepeatCount_ = 0;
    bool animating_ = false;
    bool highlighted_ = false;
};

}  // namespace brindlecue::platform
