#include "platform/uikit/UITextView.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/CGContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/uikit/UIGraphics.h"

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

void UITextView::drawRect(const CGRect&) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx || text_.empty()) return;
    // Wrapped text from the top left within the platform's insets (8 above and below, 5 aside).
    TextStyle style;
    style.font = font_;
    style.color = textColor_;
    double width = std::max(0.0, contentSize().width > 0 ? contentSize().width - 10 : bounds().width() - 10);
    TextLayout::draw(*ctx, text_, CGRect(5, 8, width, 0), style);
}

}  // namespace brindlecue::platform
