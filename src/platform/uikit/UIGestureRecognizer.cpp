#include "platform/uikit/UIGestureRecognizer.h"

#include "platform/uikit/UITouch.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {

UIGestureRecognizer::UIGestureRecognizer(const std::shared_ptr<NSObject>& target, Selector action) {
    if (!action.empty()) actions_.add(target, std::move(action), 1);
}

void UIGestureRecognizer::addTarget(const std::shared_ptr<NSObject>& target, Selector action) {
    actions_.add(target, std::move(action), 1);
}

void UIGestureRecognizer::removeTarget(const std::shared_ptr<NSObject>& target,
                                       const std::string& actionName) {
    actions_.remove(target, actionName, 1);
}

CGPoint UIGestureRecognizer::locationInView(const std::shared_ptr<UIView>& view) const {
    if (!view) return locationInWindow_;
    return view->convertPointFromView(locationInWindow_, nullptr);
}

bool UIGestureRecognizer::shouldBegin() {
    if (!enabled_ || !view()) return false;
    if (auto d = delegate()) return d->gestureRecognizerShouldBegin(*this);
    return true;
}

bool UIGestureRecognizer::shouldReceiveTouch(UITouch& touch) {
    if (auto d = delegate()) return d->gestureRecognizerShouldReceiveTouch(*this, touch);
    return true;
}

void UIGestureRecognizer::transitionTo(UIGestureRecognizerState state) {
    auto self = shared_from_this();
    state_ = state;
    if (state == UIGestureRecognizerState::Began || state == UIGestureRecognizerState::Changed ||
        state == UIGestureRecognizerState::Ended || state == UIGestureRecognizerState::Cancelled)
        actions_.send(1, self);
    if (state == UIGestureRecognizerState::Ended || state == UIGestureRecognizerState::Cancelled ||
        state == UIGestureRecognizerState::Failed)
        state_ = UIGestureRecognizerState::Possible;
}

CGPoint UIPanGestureRecognizer::toView(CGPoint vector, const std::shared_ptr<UIView>& viewIn) const {
    auto v = viewIn ? viewIn : view();
    if (!v) return vector;
    // A vector converts as the difference of two converted points.
    CGPoint a = v->convertPointFromView(CGPoint{0, 0}, nullptr);
    CGPoint b = v->convertPointFromView(vector, nullptr);
    return {b.x - a.x, b.y - a.y};
}

CGPoint UIPanGestureRecognizer::translationInView(const std::shared_ptr<UIView>& view) const {
    return toView(CGPoint{windowTranslation_.x - base_.x, windowTranslation_.y - base_.y}, view);
}

void UIPanGestureRecognizer::setTranslation(CGPoint translation, const std::shared_ptr<UIView>& viewIn) {
    auto v = viewIn ? viewIn : view();
    CGPoint inWindow = translation;
    if (v) {
        CGPoint a = v->convertPointToView(CGPoint{0, 0}, nullptr);
        CGPoint b = v->convertPointToView(translation, nullptr);
        inWindow = {b.x - a.x, b.y - a.y};
    }
    base_ = {windowTranslation_.x - inWindow.x, windowTranslation_.y - inWindow.y};
}

CGPoint UIPanGestureRecognizer::velocityInView(const std::shared_ptr<UIView>& view) const {
    return toView(windowVelocity_, view);
}

}  // namespace brindlecue::platform
