#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

class UIAlertView;

class UIAlertViewDelegate {
public:
    virtual ~UIAlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(UIAlertView&, int64_t buttonIndex) {}
    virtual void alertViewWillPresent(UIAlertView&) {}
    virtual void alertViewDidPresent(UIAlertView&) {}
    virtual void alertViewWillDismissWithButtonIndex(UIAlertView&, int64_t buttonIndex) {}
    virtual void alertViewDidDismissWithButtonIndex(UIAlertView&, int64_t buttonIndex) {}
};

// The legacy alert view. show() puts it over the key window; a press (the driver) tells the
// delegate the clicked index and dismisses it. The cancel button, when given, is index 0.
class UIAlertView : public UIView {
public:
    BLQ_PLATFORM_CLASS(UIAlertView)
    // Dims the window and draws the box with its texts and buttons.
    void drawRect(const CGRect& rect) override;

    UIAlertView(std::optional<std::string> title, std::optional<std::string> message,
                const std::shared_ptr<UIAlertViewDelegate>& delegate,
                std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles);

    const std::optional<std::string>& title() const { return title_; }
    const std::optional<std::string>& message() const { return message_; }
    std::shared_ptr<UIAlertViewDelegate> delegate() const { return delegate_.lock(); }
    virtual void setDelegate(const std::shared_ptr<UIAlertViewDelegate>& d) { delegate_ = d; }
    int64_t addButtonWithTitle(const std::string& title);
    std::optional<std::string> buttonTitleAtIndex(int64_t index) const;
    int64_t numberOfButtons() const { return int64_t(buttons_.size()); }
    int64_t cancelButtonIndex() const { return cancelButtonIndex_; }
    void setCancelButtonIndex(int64_t i) { cancelButtonIndex_ = i; }
    int64_t firstOtherButtonIndex() const;
    bool isVisible() const { return visible_; }

    // Over the key window (nothing happens without one).
    void show();
    void dismissWithClickedButtonIndex(int64_t index, bool animated);
    // Driver: the user presses the button. False for an index out of range or a hidden alert.
    bool pressButtonAtIndex(int64_t index);

private:
    std::optional<std::string> title_;
    std::optional<std::string> message_;
    std::weak_ptr<UIAlertViewDelegate> delegate_;
    std::vector<std::string> buttons_;
    int64_t cancelButtonIndex_ = -1;
    bool visible_ = false;
};

class UIActionSheet;

class UIActionSheetDelegate {
public:
    virtual ~UIActionSheetDelegate() = default;
    virtual void actionSheetClickedButtonAtIndex(UIActionSheet&, int64_t buttonIndex) {}
    virtual void actionSheetWillDismissWithButtonIndex(UIActionSheet&, int64_t buttonIndex) {}
    virtual void actionSheetDidDismissWithButtonIndex(UIActionSheet&, int64_t buttonIndex) {}
};

// The legacy action sheet: the destructive button first, then the others, the cancel button last.
class UIActionSheet : public UIView {
public:
    BLQ_PLATFORM_CLASS(UIActionSheet)
    // Dims the window and draws the box with its texts and buttons.
    void drawRect(const CGRect& rect) override;

    UIActionSheet(std::optional<std::string> title, const std::shared_ptr<UIActionSheetDelegate>& delegate,
                  std::optional<std::string> cancelButtonTitle,
                  std::optional<std::string> destructiveButtonTitle,
                  std::vector<std::string> otherButtonTitles);

    const std::optional<std::string>& title() const { return title_; }
    std::shared_ptr<UIActionSheetDelegate> delegate() const { return delegate_.lock(); }
    virtual void setDelegate(const std::shared_ptr<UIActionSheetDelegate>& d) { delegate_ = d; }
    int64_t addButtonWithTitle(const std::string& title);
    std::optional<std::string> buttonTitleAtIndex(int64_t index) const;
    int64_t numberOfButtons() const { return int64_t(buttons_.size()); }
    int64_t cancelButtonIndex() const { return cancelButtonIndex_; }
    int64_t destructiveButtonIndex() const { return destructiveButtonIndex_; }
    bool isVisible() const { return visible_; }

    // Over the window of the view (nothing happens without one).
    void showInView(const std::shared_ptr<UIView>& view);
    void dismissWithClickedButtonIndex(int64_t index, bool animated);
    bool pressButtonAtIndex(int64_t index);

private:
    std::optional<std::string> title_;
    std::weak_ptr<UIActionSheetDelegate> delegate_;
    std::vector<std::string> buttons_;
    int64_t cancelButtonIndex_ = -1;
    int64_t destructiveButtonIndex_ = -1;
    bool visible_ = false;
};

}  // namespace brindlecue::platform
