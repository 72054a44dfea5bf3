#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIFont.h"

namespace brindlecue::platform {

class UITextField;

class UITextFieldDelegate {
public:
    virtual ~UITextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(UITextField&) { return true; }
    virtual void textFieldDidBeginEditing(UITextField&) {}
    virtual bool textFieldShouldEndEditing(UITextField&) { return true; }
    virtual void textFieldDidEndEditing(UITextField&) {}
    virtual bool textFieldShouldReturn(UITextField&) { return true; }
};

enum class UITextBorderStyle { None, Line, Bezel, RoundedRect };

// A one-line text field. Becoming first responder (a tap does it) begins editing (delegate,
// editing-did-begin); typeText stands in for the keyboard (editing-changed and the text-did-change
// notification); resigning ends editing.
class UITextField : public UIControl {
public:
    BLQ_PLATFORM_CLASS(UITextField)
    void drawRect(const CGRect& rect) override;

    static constexpr const char* UITextFieldTextDidChangeNotification =
        "UITextFieldTextDidChangeNotification";

    using UIControl::UIControl;

    const std::optional<std::string>& text() const { return text_; }
    void setText(std::optional<std::string> text) { text_ = std::move(text); }
    const std::optional<std::string>& placeholder() const { return placeholder_; }
    void setPlaceholder(std::optional<std::string> p) { placeholder_ = std::move(p); }
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& f) { font_ = f; }
    UIColor textColor() const { return textColor_; }
    void setTextColor(std::optional<UIColor> c) { textColor_ = c.value_or(UIColor::blackColor()); }
    UITextBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(UITextBorderStyle s) { borderStyle_ = s; }
    bool isEditing() const { return editing_; }
    std::shared_ptr<UITextFieldDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UITextFieldDelegate>& d) { delegate_ = d; }

    bool canBecomeFirstResponder() const override { return isEnabled(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    // Driver: the keyboard types the text at the end (only while editing).
    void typeText(const std::string& text);
    // Driver: the return key.
    void pressReturn();

protected:
    void didTapInside(CGPoint) override { becomeFirstResponder(); }

private:
    std::optional<std::string> text_;
    std::optional<std::string> placeholder_;
    UIFont font_ = UIFont::systemFontOfSize(UIFont::labelFontSize());
    UIColor textColor_ = UIColor::blackColor();
    UITextBorderStyle borderStyle_ = UITextBorderStyle::None;
    bool editing_ = false;
    std::weak_ptr<UITextFieldDelegate> delegate_;
};

}  // namespace brindlecue::platform
