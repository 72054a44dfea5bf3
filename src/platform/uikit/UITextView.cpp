#include "platform/uikit/UITextView.h"

#include "platform/NotificationCenter.h"

namespace brindlecue::platform {

void UITextView::setTextViewDelegate(const std::shared_ptr<UITextViewDelegate>& d) {
    textDelegate_ = d;
    setDelegate(d);
}

bool UITextView::becomeFirstResponder() {
    if (editing_) return true;
    if (!editable_) return false;
    auto self = sharedAs<UITextView>();
    if (auto d = textViewDelegate(); d && !d->textViewShouldBeginEditing(*this)) return false;
    if (!UIScrollView::becomeFirstResponder()) return false;
    editing_ = true;
    if (auto d = textViewDelegate()) d->textViewDidBeginEditing(*this);
    return true;
}

bool UITextView::resignFirstResponder() {
    if (!UIScrollView::resignFirstResponder()) return false;
    if (!editing_) return true;
    auto self = sharedAs<UITextView>();
    editing_ = false;
    if (auto d = textViewDelegate()) d->textViewDidEndEditing(*this);
    return true;
}

void UITextView::typeText(const std::string& text) {
    if (!editing_) return;
    auto self = sharedAs<UITextView>();
    text_ += text;
    if (auto d = textViewDelegate()) d->textViewDidChange(*this);
    NotificationCenter::defaultCenter().post(UITextViewTextDidChangeNotification, self);
}

void UITextView::touchesEnded(const UITouchSet&, const std::shared_ptr<UIEvent>&) {
    if (editable_) becomeFirstResponder();
}

}  // namespace brindlecue::platform
