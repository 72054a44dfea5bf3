#include "platform/uikit/UIAlertView.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {

UIAlertView::UIAlertView(std::optional<std::string> title, std::optional<std::string> message,
                         const std::shared_ptr<UIAlertViewDelegate>& delegate,
                         std::optional<std::string> cancelButtonTitle,
                         std::vector<std::string> otherButtonTitles)
    : title_(std::move(title)), message_(std::move(message)), delegate_(delegate) {
    if (cancelButtonTitle) {
        cancelButtonIndex_ = 0;
        buttons_.push_back(*cancelButtonTitle);
    }
    for (auto& t : otherButtonTitles) buttons_.push_back(std::move(t));
}

int64_t UIAlertView::addButtonWithTitle(const std::string& title) {
    buttons_.push_back(title);
    return int64_t(buttons_.size()) - 1;
}

std::optional<std::string> UIAlertView::buttonTitleAtIndex(int64_t index) const {
    if (index < 0 || index >= int64_t(buttons_.size())) return std::nullopt;
    return buttons_[index];
}

int64_t UIAlertView::firstOtherButtonIndex() const {
    int64_t first = cancelButtonIndex_ == 0 ? 1 : 0;
    return first < int64_t(buttons_.size()) ? first : -1;
}

void UIAlertView::show() {
    if (visible_) return;
    auto window = UIApplication::sharedApplication()->keyWindow();
    if (!window) return;
    auto self = sharedAs<UIAlertView>();
    if (auto d = delegate()) d->alertViewWillPresent(*this);
    setFrame(window->bounds());
    window->addSubview(self);
    visible_ = true;
    if (auto d = delegate()) d->alertViewDidPresent(*this);
}

void UIAlertView::dismissWithClickedButtonIndex(int64_t index, bool) {
    if (!visible_) return;
    auto self = sharedAs<UIAlertView>();
    if (auto d = delegate()) d->alertViewWillDismissWithButtonIndex(*this, index);
    removeFromSuperview();
    visible_ = false;
    if (auto d = delegate()) d->alertViewDidDismissWithButtonIndex(*this, index);
}

bool UIAlertView::pressButtonAtIndex(int64_t index) {
    if (!visible_ || index < 0 || index >= int64_t(buttons_.size())) return false;
    auto self = sharedAs<UIAlertView>();
    if (auto d = delegate()) d->alertViewClickedButtonAtIndex(*this, index);
    dismissWithClickedButtonIndex(index, true);
    return true;
}

UIActionSheet::UIActionSheet(std::optional<std::string> title,
                             const std::shared_ptr<UIActionSheetDelegate>& delegate,
                             std::optional<std::string> cancelButtonTitle,
                             std::optional<std::string> destructiveButtonTitle,
                             std::vector<std::string> otherButtonTitles)
    : title_(std::move(title)), delegate_(delegate) {
    if (destructiveButtonTitle) {
        destructiveButtonIndex_ = 0;
        buttons_.push_back(*destructiveButtonTitle);
    }
    for (auto& t : otherButtonTitles) buttons_.push_back(std::move(t));
    if (cancelButtonTitle) {
        cancelButtonIndex_ = int64_t(buttons_.size());
        buttons_.push_back(*cancelButtonTitle);
    }
}

int64_t UIActionSheet::addButtonWithTitle(const std::string& title) {
    buttons_.push_back(title);
    return int64_t(buttons_.size()) - 1;
}

std::optional<std::string> UIActionSheet::buttonTitleAtIndex(int64_t index) const {
    if (index < 0 || index >= int64_t(buttons_.size())) return std::nullopt;
    return buttons_[index];
}

void UIActionSheet::showInView(const std::shared_ptr<UIView>& view) {
    auto window = view ? view->window() : nullptr;
    if (visible_ || !window) return;
    setFrame(window->bounds());
    window->addSubview(sharedAs<UIActionSheet>());
    visible_ = true;
}

void UIActionSheet::dismissWithClickedButtonIndex(int64_t index, bool) {
    if (!visible_) return;
    auto self = sharedAs<UIActionSheet>();
    if (auto d = delegate()) d->actionSheetWillDismissWithButtonIndex(*this, index);
    removeFromSuperview();
    visible_ = false;
    if (auto d = delegate()) d->actionSheetDidDismissWithButtonIndex(*this, index);
}

bool UIActionSheet::pressButtonAtIndex(int64_t index) {
    if (!visible_ || index < 0 || index >= int64_t(buttons_.size())) return false;
    auto self = sharedAs<UIActionSheet>();
    if (auto d = delegate()) d->actionSheetClickedButtonAtIndex(*this, index);
    dismissWithClickedButtonIndex(index, true);
    return true;
}

}  // namespace brindlecue::platform
