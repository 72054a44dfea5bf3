#include "platform/uikit/UIResponder.h"

namespace brindlecue::platform {
namespace {

// Main thread only, as all responder work.
std::weak_ptr<UIResponder>& firstResponderSlot() {
    static std::weak_ptr<UIResponder>* slot = new std::weak_ptr<UIResponder>;
    return *slot;
}

}  // namespace

bool UIResponder::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    if (auto current = currentFirstResponder()) {
        if (!current->resignFirstResponder()) return false;
    }
    firstResponderSlot() = sharedAs<UIResponder>();
    return true;
}

bool UIResponder::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    if (!canResignFirstResponder()) return false;
    firstResponderSlot().reset();
    return true;
}

bool UIResponder::isFirstResponder() const {
    return currentFirstResponder().get() == this;
}

std::shared_ptr<UIResponder> UIResponder::currentFirstResponder() {
    return firstResponderSlot().lock();
}

void UIResponder::touchesBegan(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (auto next = nextResponder()) next->touchesBegan(touches, event);
}
void UIResponder::touchesMoved(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (auto next = nextResponder()) next->touchesMoved(touches, event);
}
void UIResponder::touchesEnded(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (auto next = nextResponder()) next->touchesEnded(touches, event);
}
void UIResponder::touchesCancelled(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (auto next = nextResponder()) next->touchesCancelled(touches, event);
}

}  // namespace brindlecue::platform
