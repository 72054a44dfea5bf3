#include "platform/uikit/UIButton.h"

#include <algorithm>

namespace brindlecue::platform {
namespace {

template <class Map>
auto lookup(const Map& map, uint64_t state) -> const typename Map::mapped_type* {
    auto it = map.find(state);
    if (it == map.end()) it = map.find(UIControlStateNormal);
    return it == map.end() ? nullptr : &it->second;
}

}  // namespace

std::shared_ptr<UIButton> UIButton::buttonWithType(UIButtonType type) {
    auto button = make<UIButton>();
    button->buttonType_ = type;
    button->refresh();
    return button;
}

void UIButton::didConstruct() {
    UIControl::didConstruct();
    setOpaque(false);
}

void UIButton::setTitle(std::optional<std::string> title, uint64_t state) {
    if (title)
        titles_[state] = *title;
    else
        titles_.erase(state);
    if (title && !titleLabel_) titleLabel();
    refresh();
}

std::optional<std::string> UIButton::titleForState(uint64_t state) const {
    auto* t = lookup(titles_, state);
    return t ? std::optional<std::string>(*t) : std::nullopt;
}

void UIButton::setTitleColor(std::optional<UIColor> color, uint64_t state) {
    if (color)
        titleColors_[state] = *color;
    else
        titleColors_.erase(state);
    refresh();
}

std::optional<UIColor> UIButton::titleColorForState(uint64_t state) const {
    auto* c = lookup(titleColors_, state);
    return c ? std::optional<UIColor>(*c) : std::nullopt;
}

UIColor UIButton::currentTitleColor() const {
    if (auto c = titleColorForState(state())) return *c;
    // The platform's defaults: system buttons take the tint, custom buttons are white.
    return buttonType_ == UIButtonType::Custom ? UIColor::whiteColor() : tintColor();
}

void UIButton::setImage(const std::shared_ptr<UIImage>& image, uint64_t state) {
    if (image)
        images_[state] = image;
    else
        images_.erase(state);
    if (image && !imageView_) imageView();
    refresh();
}

std::shared_ptr<UIImage> UIButton::imageForState(uint64_t state) const {
    auto* i = lookup(images_, state);
    return i ? *i : nullptr;
}

void UIButton::setBackgroundImage(const std::shared_ptr<UIImage>& image, uint64_t state) {
    if (image)
        backgroundImages_[state] = image;
    else
        backgroundImages_.erase(state);
}

std::shared_ptr<UIImage> UIButton::backgroundImageForState(uint64_t state) const {
    auto* i = lookup(backgroundImages_, state);
    return i ? *i : nullptr;
}

std::shared_ptr<UILabel> UIButton::titleLabel() {
    if (!titleLabel_) {
        titleLabel_ = make<UILabel>();
        titleLabel_->setRuntimeClassName("UIButtonLabel");
        titleLabel_->setFont(UIFont::systemFontOfSize(UIFont::buttonFontSize()));
        addSubview(titleLabel_);
        refresh();
    }
    return titleLabel_;
}

std::shared_ptr<UIImageView> UIButton::imageView() {
    if (!imageView_) {
        imageView_ = make<UIImageView>();
        insertSubviewAtIndex(imageView_, 0);
        refresh();
    }
    return imageView_;
}

void UIButton::setEnabled(bool enabled) {
    UIControl::setEnabled(enabled);
    refresh();
}

void UIButton::setSelected(bool selected) {
    UIControl::setSelected(selected);
    refresh();
}

void UIButton::setHighlighted(bool highlighted) {
    UIControl::setHighlighted(highlighted);
    refresh();
}

void UIButton::refresh() {
    CGRect content = UIEdgeInsetsInsetRect(bounds(), contentEdgeInsets_);
    CGSize text{}, img{};
    std::shared_ptr<UIImage> image = currentImage();
    if (image && buttonType_ == UIButtonType::System && image->renderingMode() == UIImageRenderingMode::Automatic)
        image = image->imageWithRenderingMode(UIImageRenderingMode::AlwaysTemplate);
    if (titleLabel_) {
        titleLabel_->setText(currentTitle());
        titleLabel_->setTextColor(currentTitleColor());
        text = titleLabel_->sizeThatFits(content.size);
        text.width = std::min(text.width, std::max(0.0, content.width() - (image ? image->size().width : 0)));
    }
    if (imageView_ && image) img = image->size();
    // Image then title, centred as one group.
    double x = content.midX() - (img.width + text.width) / 2;
    if (imageView_) {
        imageView_->setImage(image);
        CGRect f(x, content.midY() - img.height / 2, img.width, img.height);
        imageView_->setFrame(UIEdgeInsetsInsetRect(f, imageEdgeInsets_));
    }
    if (titleLabel_) {
        CGRect f(x + img.width, content.midY() - text.height / 2, text.width, text.height);
        titleLabel_->setFrame(UIEdgeInsetsInsetRect(f, titleEdgeInsets_));
    }
}

void UIButton::drawRect(const CGRect&) {
    if (auto background = backgroundImageForState(state())) background->drawInRect(bounds());
}

CGSize UIButton::sizeThatFits(CGSize) const {
    CGSize text = UILabel::measure(currentTitle().value_or(""),
                                   UIFont::systemFontOfSize(UIFont::buttonFontSize()), 0, 1);
    auto image = currentImage();
    CGSize img = image ? image->size() : CGSize{};
    return {text.width + img.width + contentEdgeInsets_.left + contentEdgeInsets_.right,
            std::max(text.height, img.height) + contentEdgeInsets_.top + contentEdgeInsets_.bottom};
}

}  // namespace brindlecue::platform
