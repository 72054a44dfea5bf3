#include "platform/uikit/CALayer.h"

#include <algorithm>

#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

CGRect CALayer::frame() const {
    if (auto v = delegate()) return v->frame();
    return frame_;
}

void CALayer::setFrame(const CGRect& frame) {
    if (auto v = delegate()) return v->setFrame(frame);
    frame_ = frame;
}

CGRect CALayer::bounds() const {
    if (auto v = delegate()) return v->bounds();
    return CGRect(0, 0, frame_.size.width, frame_.size.height);
}

CGPoint CALayer::position() const {
    if (auto v = delegate()) return v->center();
    return {frame_.midX(), frame_.midY()};
}

CGPoint CALayer::anchorPoint() const {
    if (auto v = delegate()) return v->anchorPoint_;
    return anchorPoint_;
}

void CALayer::setAnchorPoint(CGPoint anchor) {
    if (auto v = delegate()) {
        v->anchorPoint_ = anchor;
        return;
    }
    anchorPoint_ = anchor;
}

double CALayer::opacity() const {
    if (auto v = delegate()) return v->alpha();
    return opacity_;
}

void CALayer::setOpacity(double opacity) {
    if (auto v = delegate()) return v->setAlpha(opacity);
    opacity_ = opacity;
}

bool CALayer::isHidden() const {
    if (auto v = delegate()) return v->isHidden();
    return hidden_;
}

void CALayer::setHidden(bool hidden) {
    if (auto v = delegate()) return v->setHidden(hidden);
    hidden_ = hidden;
}

std::optional<UIColor> CALayer::backgroundColor() const {
    if (auto v = delegate()) return v->backgroundColor();
    return backgroundColor_;
}

void CALayer::setBackgroundColor(std::optional<UIColor> color) {
    if (auto v = delegate()) return v->setBackgroundColor(color);
    backgroundColor_ = color;
}

bool CALayer::masksToBounds() const {
    if (auto v = delegate()) return v->clipsToBounds();
    return masksToBounds_;
}

void CALayer::setMasksToBounds(bool masks) {
    if (auto v = delegate()) return v->setClipsToBounds(masks);
    masksToBounds_ = masks;
}

void CALayer::addSublayer(const std::shared_ptr<CALayer>& layer) {
    insertSublayer(layer, sublayers_.size());
}

void CALayer::insertSublayer(const std::shared_ptr<CALayer>& layer, size_t index) {
    if (!layer || layer.get() == this) return;
    auto keep = layer;
    keep->removeFromSuperlayer();
    sublayers_.insert(sublayers_.begin() + std::min(index, sublayers_.size()), keep);
    keep->superlayer_ = sharedAs<CALayer>();
}

void CALayer::removeFromSuperlayer() {
    auto super = superlayer();
    if (!super) return;
    auto& list = super->sublayers_;
    auto it = std::find_if(list.begin(), list.end(), [this](const auto& l) { return l.get() == this; });
    if (it != list.end()) list.erase(it);
    superlayer_.reset();
}

void CALayer::addAnimation(const std::shared_ptr<CAAnimation>& animation, const std::string& keyIn) {
    if (!animation) return;
    std::string key = keyIn.empty() ? "animation-" + std::to_string(++generatedKeys_) : keyIn;
    for (auto& [k, a] : animations_) {
        if (k == key) {
            a = animation;
            return;
        }
    }
    animations_.emplace_back(key, animation);
}

std::shared_ptr<CAAnimation> CALayer::animationForKey(const std::string& key) const {
    for (const auto& [k, a] : animations_)
        if (k == key) return a;
    return nullptr;
}

std::vector<std::string> CALayer::animationKeys() const {
    std::vector<std::string> keys;
    for (const auto& entry : animations_) keys.push_back(entry.first);
    return keys;
}

void CALayer::removeAnimationForKey(const std::string& key) {
    std::erase_if(animations_, [&](const auto& entry) { return entry.first == key; });
}

void CALayer::removeAllAnimations() {
    animations_.clear();
}

}  // namespace brindlecue::platform
