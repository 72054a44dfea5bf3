#include "platform/uikit/UIControl.h"

#include "platform/uikit/UITouch.h"

namespace brindlecue::platform {

void UIControl::addTarget(const std::shared_ptr<NSObject>& target, Selector action, uint64_t events) {
    if (action.empty() || events == 0) return;
    actions_.add(target, std::move(action), events);
}

void UIControl::removeTarget(const std::shared_ptr<NSObject>& target, const std::string& actionName,
                             uint64_t events) {
    actions_.remove(target, actionName, events);
}

void UIControl::sendActionsForControlEvents(uint64_t events) {
    actions_.send(events, shared_from_this());
}

uint64_t UIControl::state() const {
    uint64_t s = UIControlStateNormal;
    if (highlighted_) s |= UIControlStateHighlighted;
    if (!enabled_) s |= UIControlStateDisabled;
    if (selected_) s |= UIControlStateSelected;
    return s;
}

void UIControl::touchesBegan(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) {
    if (!enabled_ || touches.empty()) return;
    auto self = shared_from_this();
    tracking_ = true;
    setHighlighted(true);
    sendActionsForControlEvents(touches.front()->tapCount() > 1
                                    ? UIControlEventTouchDown | UIControlEventTouchDownRepeat
                                    : UIControlEventTouchDown);
}

void UIControl::touchesMoved(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) {
    if (!tracking_ || touches.empty()) return;
    auto self = sharedAs<UIView>();
    bool inside = pointInside(touches.front()->locationInView(self), nullptr);
    setHighlighted(inside);
    sendActionsForControlEvents(inside ? UIControlEventTouchDragInside : UIControlEventTouchDragOutside);
}

void UIControl::touchesEnded(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) {
    if (!tracking_ || touches.empty()) return;
    auto self = sharedAs<UIView>();
    tracking_ = false;
    setHighlighted(false);
    CGPoint location = touches.front()->locationInView(self);
    if (pointInside(location, nullptr)) {
        sendActionsForControlEvents(UIControlEventTouchUpInside | UIControlEventPrimaryActionTriggered);
        didTapInside(location);
    } else {
        sendActionsForControlEvents(UIControlEventTouchUpOutside);
    }
}

void UIControl::touchesCancelled(const UITouchSet&, const std::shared_ptr<UIEvent>&) {
    if (!tracking_) return;
    auto self = shared_from_this();
    tracking_ = false;
    setHighlighted(false);
    sendActionsForControlEvents(UIControlEventTouchCancel);
}

}  // namespace brindlecue::platform
