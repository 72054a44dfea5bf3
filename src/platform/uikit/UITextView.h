#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIScrollView.h"

namespace brindlecue::platform {

class UITextView;

class UITextViewDelegate : public UIScrollViewDelegate {
public:
    virtual bool textViewShouldBeginEditing(UITextView&) { return true; }
    virtual void textViewDidBeginEditing(UITextView&) {}
    virtual void textViewDidChange(UITextView&) {}
    virtual void textViewDidEndEditing(UITextView&) {}
};

// A scrolling multi-line text view; editable ones become first responder when tapped.
class UITextView : public UIScrollView {
public:
    BLQ_PLATFORM_CLASS(UITextView)
    void drawRect(const CGRect& rect) override;

    static constexpr const char* UITextViewTextDidChangeNotification = "UITextViewTextDidChangeNotification";

    using UIScrollView::UIScrollView;

    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& f) { font_ = f; }
    UIColor textColor() const { return textColor_; }
    void setTextColor(std::optional<UIColor> c) { textColor_ = c.value_or(UIColor::blackColor()); }
    bool isEditable() const { return editable_; }
    void setEditable(bool e) { editable_ = e; }
    bool isSelectable() const { return selectable_; }
    void setSelectable(bool s) { selectable_ = s; }
    bool isEditing() const { return editing_; }
    std::shared_ptr<UITextViewDelegate> textViewDelegate() const { return textDelegate_.lock(); }
    void setTextViewDelegate(const std::shared_ptr<UITextViewDelegate>& d);

    bool canBecomeFirstResponder() const override { return editable_; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    // Driver: the keyboard types at the end (only while editing).
    void typeText(const std::string& text);
    void touchesEnded(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;

private:
    std::string text_;
    UIFont font_ = UIFont::systemFontOfSize(12);
    UIColor textColor_ = UIColor::blackColor();
    bool editable_ = true;
    bool selectable_ = true;
    bool editing_ = false;
    std::weak_ptr<UITextViewDelegate> textDelegate_;
};

}  // namespace brindlecue::platform
