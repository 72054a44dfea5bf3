#include "platform/uikit/TouchDriver.h"

#include <vector>

#include "platform/uikit/UIControl.h"
#include "platform/uikit/UITouch.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {
namespace {

std::shared_ptr<UIView> rootOf(const std::shared_ptr<UIView>& view) {
    auto v = view;
    while (auto s = v->superview()) v = s;
    return v;
}

// Recognisers of type T on the view and its ancestors, innermost first.
template <class T>
std::vector<std::shared_ptr<T>> recognizersAbove(const std::shared_ptr<UIView>& hit) {
    std::vector<std::shared_ptr<T>> out;
    for (auto v = hit; v; v = v->superview())
        for (const auto& r : v->gestureRecognizers())
            if (auto t = std::dynamic_pointer_cast<T>(r)) out.push_back(t);
    return out;
}

// The first recogniser that may begin, plus those allowed to recognise with it.
template <class T>
std::vector<std::shared_ptr<T>> winners(const std::vector<std::shared_ptr<T>>& candidates, UITouch& touch) {
    std::vector<std::shared_ptr<T>> out;
    for (const auto& r : candidates) {
        if (!r->shouldReceiveTouch(touch) || !r->shouldBegin()) continue;
        if (out.empty()) {
            out.push_back(r);
            continue;
        }
        auto first = out.front();
        auto d1 = first->delegate();
        auto d2 = r->delegate();
        if ((d1 && d1->gestureRecognizerShouldRecognizeSimultaneously(*first, *r)) ||
            (d2 && d2->gestureRecognizerShouldRecognizeSimultaneously(*r, *first)))
            out.push_back(r);
    }
    return out;
}

std::shared_ptr<UIControl> enabledControl(const std::shared_ptr<UIView>& hit) {
    auto control = std::dynamic_pointer_cast<UIControl>(hit);
    return control && control->isEnabled() ? control : nullptr;
}

}  // namespace

std::shared_ptr<UIView> TouchDriver::tapAt(const std::shared_ptr<UIView>& root, CGPoint point) {
    if (!root) return nullptr;
    auto window = std::dynamic_pointer_cast<UIWindow>(root);
    auto touch = make<UITouch>(window, nullptr, point);
    auto event = make<UIEvent>(UITouchSet{touch});
    auto hit = root->hitTest(point, event);
    if (!hit) return nullptr;
    touch->setView(hit);
    UITouchSet touches{touch};

    auto candidates = recognizersAbove<UITapGestureRecognizer>(hit);
    // A tap on an enabled control is the control's: taps of its ancestors do not fire.
    if (enabledControl(hit)) {
        std::erase_if(candidates, [&](const auto& r) { return r->view() != hit; });
    }
    std::erase_if(candidates, [](const auto& r) {
        return r->numberOfTapsRequired != 1 || r->numberOfTouchesRequired != 1;
    });

    hit->touchesBegan(touches, event);
    auto fired = winners(candidates, *touch);
    bool cancel = false;
    for (const auto& r : fired) {
        r->setLocationInWindow(point);
        r->transitionTo(UIGestureRecognizerState::Recognized);
        cancel = cancel || r->cancelsTouchesInView();
    }
    if (cancel) {
        touch->setPhase(UITouchPhase::Cancelled);
        hit->touchesCancelled(touches, event);
    } else {
        touch->setPhase(UITouchPhase::Ended);
        hit->touchesEnded(touches, event);
    }
    return hit;
}

std::shared_ptr<UIView> TouchDriver::tap(const std::shared_ptr<UIView>& view, std::optional<CGPoint> point) {
    if (!view) return nullptr;
    CGRect b = view->bounds();
    CGPoint local = point.value_or(CGPoint{b.midX(), b.midY()});
    auto root = rootOf(view);
    return tapAt(root, view->convertPointToView(local, root));
}

std::shared_ptr<UIPanGestureRecognizer> TouchDriver::pan(const std::shared_ptr<UIView>& view,
                                                         CGPoint translation, CGPoint velocity, int moves,
                                                         std::optional<CGPoint> start) {
    if (!view) return nullptr;
    CGRect b = view->bounds();
    auto root = rootOf(view);
    CGPoint from = view->convertPointToView(start.value_or(CGPoint{b.midX(), b.midY()}), root);
    auto window = std::dynamic_pointer_cast<UIWindow>(root);
    auto touch = make<UITouch>(window, nullptr, from);
    auto event = make<UIEvent>(UITouchSet{touch});
    auto hit = root->hitTest(from, event);
    if (!hit) return nullptr;
    touch->setView(hit);
    UITouchSet touches{touch};
    hit->touchesBegan(touches, event);
    auto fired = winners(recognizersAbove<UIPanGestureRecognizer>(hit), *touch);
    if (fired.empty()) {
        touch->moveTo({from.x + translation.x, from.y + translation.y}, UITouchPhase::Moved);
        hit->touchesMoved(touches, event);
        touch->setPhase(UITouchPhase::Ended);
        hit->touchesEnded(touches, event);
        return nullptr;
    }
    auto pan = fired.front();
    if (moves < 1) moves = 1;
    for (int i = 1; i <= moves; ++i) {
        CGPoint t{translation.x * i / moves, translation.y * i / moves};
        CGPoint at{from.x + t.x, from.y + t.y};
        touch->moveTo(at, UITouchPhase::Moved);
        for (const auto& r : fired) {
            r->setLocationInWindow(at);
            r->setWindowTranslation(t);
            r->setWindowVelocity(i == moves ? velocity : CGPoint{});
            r->transitionTo(i == 1 ? UIGestureRecognizerState::Began : UIGestureRecognizerState::Changed);
        }
    }
    for (const auto& r : fired) {
        r->setWindowVelocity(velocity);
        r->transitionTo(UIGestureRecognizerState::Ended);
    }
    touch->setPhase(UITouchPhase::Cancelled);
    hit->touchesCancelled(touches, event);
    return pan;
}

std::shared_ptr<UISwipeGestureRecognizer> TouchDriver::swipe(const std::shared_ptr<UIView>& view,
                                                             uint32_t direction) {
    if (!view) return nullptr;
    CGRect b = view->bounds();
    auto root = rootOf(view);
    CGPoint from = view->convertPointToView(CGPoint{b.midX(), b.midY()}, root);
    auto window = std::dynamic_pointer_cast<UIWindow>(root);
    auto touch = make<UITouch>(window, nullptr, from);
    auto event = make<UIEvent>(UITouchSet{touch});
    auto hit = root->hitTest(from, event);
    if (!hit) return nullptr;
    touch->setView(hit);
    auto candidates = recognizersAbove<UISwipeGestureRecognizer>(hit);
    std::erase_if(candidates, [&](const auto& r) { return (r->direction & direction) == 0; });
    auto fired = winners(candidates, *touch);
    for (const auto& r : fired) {
        r->setLocationInWindow(from);
        r->transitionTo(UIGestureRecognizerState::Recognized);
    }
    return fired.empty() ? nullptr : fired.front();
}

}  // namespace brindlecue::platform
