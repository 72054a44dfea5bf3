#include "platform/uikit/UITextField.h"

#include "platform/NotificationCenter.h"

namespace brindlecue::platform {

bool UITextField::becomeFirstResponder() {
    if (editing_) return true;
    auto self = sharedAs<UITextField>();
    if (auto d = delegate(); d && !d->textFieldShouldBeginEditing(*this)) return false;
    if (!UIControl::becomeFirstResponder()) return false;
    editing_ = true;
    if (auto d = delegate()) d->textFieldDidBeginEditing(*this);
    sendActionsForControlEvents(UIControlEventEditingDidBegin);
    return true;
}

bool UITextField::resignFirstResponder() {
    if (!editing_) return UIControl::resignFirstResponder();
    auto self = sharedAs<UITextField>();
    if (auto d = delegate(); d && !d->textFieldShouldEndEditing(*this)) return false;
    if (!UIControl::resignFirstResponder()) return false;
    editing_ = false;
    if (auto d = delegate()) d->textFieldDidEndEditing(*this);
    sendActionsForControlEvents(UIControlEventEditingDidEnd);
    return true;
}

void UITextField::typeText(const std::string& text) {
    if (!editing_) return;
    auto self = shared_from_this();
    text_ = text_.value_or("") + text;
    sendActionsForControlEvents(UIControlEventEditingChanged);
    NotificationCenter::defaultCenter().post(UITextFieldTextDidChangeNotification, self);
}

void UITextField::pressReturn() {
    if (!editing_) return;
    auto self = shared_from_this();
    if (auto d = delegate()) d->textFieldShouldReturn(*this);
    sendActionsForControlEvents(UIControlEventEditingDidEndOnExit);
}

}  // namespace brindlecue::platform
