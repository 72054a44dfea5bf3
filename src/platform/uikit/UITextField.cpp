#include "platform/uikit/UITextField.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/CGContext.h"
#include "platform/graphics/TextLayout.h"
#include "platform/uikit/UIGraphics.h"

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

void UITextField::drawRect(const CGRect&) {
    auto ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    CGRect b = bounds();
    switch (borderStyle_) {
        case UITextBorderStyle::Line:
            ctx->setStrokeColor(UIColor::blackColor());
            ctx->setLineWidth(1);
            ctx->strokeRect(b.insetBy(0.5, 0.5));
            break;
        case UITextBorderStyle::Bezel:
            ctx->setStrokeColor(UIColor::grayColor());
            ctx->setLineWidth(1);
            ctx->strokeRect(b.insetBy(0.5, 0.5));
            break;
        case UITextBorderStyle::RoundedRect:
            ctx->beginPath();
            ctx->addPath(CGPath::withRoundedRect(b.insetBy(0.5, 0.5), 5, 5));
            ctx->setFillColor(UIColor::whiteColor());
            ctx->setStrokeColor(UIColor(0.8, 0.8, 0.8));
            ctx->setLineWidth(1);
            ctx->drawPath(CGPathDrawingMode::FillStroke);
            break;
        case UITextBorderStyle::None: break;
    }
    // The text, or the placeholder in grey, on one line centred vertically.
    bool empty = !text_ || text_->empty();
    const std::string* shown = empty ? (placeholder_ ? &*placeholder_ : nullptr) : &*text_;
    if (!shown || shown->empty()) return;
    TextStyle style;
    style.font = font_;
    style.color = empty ? UIColor(0.7, 0.7, 0.72) : textColor_;
    style.numberOfLines = 1;
    style.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
    double inset = borderStyle_ == UITextBorderStyle::None ? 0 : 7;
    CGRect area = b.insetBy(inset, 0);
    double h = std::min(TextLayout::measure(*shown, style, 0).height, area.height());
    TextLayout::draw(*ctx, *shown, CGRect(area.minX(), area.midY() - h / 2, area.width(), h), style);
}

}  // namespace brindlecue::platform
