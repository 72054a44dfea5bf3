#include "platform/uikit/UIScrollView.h"

#include <algorithm>

#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIGestureRecognizer.h"

namespace brindlecue::platform {

void UIScrollView::didConstruct() {
    UIView::didConstruct();
    setClipsToBounds(true);
    pan_ = make<UIPanGestureRecognizer>(shared_from_this(),
                                        makeSelector<UIScrollView>("handlePan:", &UIScrollView::handlePan));
    pan_->setCancelsTouchesInView(true);
    addGestureRecognizer(pan_);
}

void UIScrollView::setBounds(const CGRect& bounds) {
    CGPoint old = this->bounds().origin;
    UIView::setBounds(bounds);
    if (!(old == bounds.origin)) {
        setNeedsLayout();
        auto self = shared_from_this();
        if (auto d = delegate()) d->scrollViewDidScroll(*this);
        didChangeValueForKey("contentOffset");
    }
}

CGPoint UIScrollView::clampedOffset(CGPoint offset) const {
    CGRect b = bounds();
    double minX = -contentInset_.left, minY = -contentInset_.top;
    double maxX = std::max(minX, contentSize_.width + contentInset_.right - b.size.width);
    double maxY = std::max(minY, contentSize_.height + contentInset_.bottom - b.size.height);
    return {std::clamp(offset.x, minX, maxX), std::clamp(offset.y, minY, maxY)};
}

void UIScrollView::setContentOffset(CGPoint offset, bool animated) {
    CGRect b = bounds();
    bool moved = !(b.origin == offset);
    setBounds(CGRect(offset, b.size));
    if (animated && moved) {
        std::weak_ptr<UIScrollView> weak = sharedAs<UIScrollView>();
        DispatchQueue::main()->asyncAfter(kScrollAnimationDuration, [weak] {
            auto self = weak.lock();
            if (!self) return;
            if (auto d = self->delegate()) d->scrollViewDidEndScrollingAnimation(*self);
        });
    }
}

void UIScrollView::scrollRectToVisible(const CGRect& rect, bool animated) {
    CGRect b = bounds();
    CGPoint o = b.origin;
    if (rect.minX() < o.x)
        o.x = rect.minX();
    else if (rect.maxX() > o.x + b.size.width)
        o.x = rect.maxX() - b.size.width;
    if (rect.minY() < o.y)
        o.y = rect.minY();
    else if (rect.maxY() > o.y + b.size.height)
        o.y = rect.maxY() - b.size.height;
    setContentOffset(clampedOffset(o), animated);
}

void UIScrollView::beginDrag() {
    auto self = shared_from_this();
    dragging_ = true;
    decelerating_ = false;
    dragStartOffset_ = contentOffset();
    if (auto d = delegate()) d->scrollViewWillBeginDragging(*this);
}

void UIScrollView::endDrag(CGPoint velocity) {
    auto self = sharedAs<UIScrollView>();
    CGPoint target = contentOffset();
    if (auto d = delegate()) d->scrollViewWillEndDragging(*this, velocity, target);
    dragging_ = false;
    bool decelerate = velocity.x != 0 || velocity.y != 0;
    if (auto d = delegate()) d->scrollViewDidEndDragging(*this, decelerate);
    if (!(target == contentOffset())) setContentOffset(clampedOffset(target));
    if (!decelerate) return;
    decelerating_ = true;
    if (auto d = delegate()) d->scrollViewWillBeginDecelerating(*this);
    std::weak_ptr<UIScrollView> weak = self;
    DispatchQueue::main()->asyncAfter(kScrollAnimationDuration, [weak] {
        auto s = weak.lock();
        if (!s || !s->decelerating_) return;
        s->decelerating_ = false;
        if (auto d = s->delegate()) d->scrollViewDidEndDecelerating(*s);
    });
}

void UIScrollView::drag(CGPoint translation, CGPoint velocity) {
    if (!scrollEnabled_) return;
    beginDrag();
    for (int step = 1; step <= 2; ++step) {
        CGPoint o{dragStartOffset_.x - translation.x * step / 2,
                  dragStartOffset_.y - translation.y * step / 2};
        setContentOffset(bounces_ ? o : clampedOffset(o));
    }
    endDrag(velocity);
}

void UIScrollView::handlePan() {
    if (!scrollEnabled_) return;
    auto self = sharedAs<UIView>();
    switch (pan_->state()) {
        case UIGestureRecognizerState::Began:
            beginDrag();
            [[fallthrough]];
        case UIGestureRecognizerState::Changed: {
            // The translation is read in the superview's terms: the content follows the finger.
            CGPoint t = pan_->translationInView(superview() ? superview() : self);
            CGPoint o{dragStartOffset_.x - t.x, dragStartOffset_.y - t.y};
            setContentOffset(bounces_ ? o : clampedOffset(o));
            break;
        }
        case UIGestureRecognizerState::Ended:
        case UIGestureRecognizerState::Cancelled:
            endDrag(pan_->velocityInView(superview() ? superview() : self));
            break;
        default:
            break;
    }
}

}  // namespace brindlecue::platform
