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
    if (titleLabel_) {
        titleLabel_->setText(currentTitle());
        titleLabel_->setTextColor(currentTitleColor());
        CGSize s = titleLabel_->sizeThatFits(bounds().size);
        CGRect b = bounds();
        titleLabel_->setFrame(CGRect(b.midX() - s.width / 2, b.midY() - s.height / 2, s.width, s.height));
    }
    if (imageView_) {
        auto image = currentImage();
        imageView_->setImage(image);
        CGSize s = image ? image->size() : CGSize{};
        CGRect b = bounds();
        imageView_->setFrame(CGRect(b.midX() - s.width / 2, b.midY() - s.height / 2, s.width, s.height));
    }
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
