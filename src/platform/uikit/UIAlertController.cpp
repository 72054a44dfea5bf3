#include "platform/uikit/UIAlertController.h"

#include "platform/uikit/UITextField.h"

namespace brindlecue::platform {

std::shared_ptr<UIAlertAction> UIAlertAction::actionWithTitle(std::optional<std::string> title,
                                                              UIAlertActionStyle style, Handler handler) {
    auto action = make<UIAlertAction>();
    action->title_ = std::move(title);
    action->style_ = style;
    action->handler_ = std::move(handler);
    return action;
}

UIAlertController::UIAlertController() {
    setModalPresentationStyle(UIModalPresentationStyle::OverFullScreen);
}

std::shared_ptr<UIAlertController> UIAlertController::alertControllerWithTitle(
    std::optional<std::string> title, std::optional<std::string> message, UIAlertControllerStyle style) {
    auto alert = make<UIAlertController>();
    alert->alertTitle_ = title;
    if (title) alert->setTitle(*title);
    alert->message_ = std::move(message);
    alert->style_ = style;
    return alert;
}

void UIAlertController::addAction(const std::shared_ptr<UIAlertAction>& action) {
    if (action) actions_.push_back(action);
}

void UIAlertController::addTextFieldWithConfigurationHandler(std::function<void(UITextField&)> configure) {
    if (style_ != UIAlertControllerStyle::Alert) return;
    auto field = make<UITextField>(CGRect(0, 0, 240, 24));
    if (configure) configure(*field);
    textFields_.push_back(field);
}

bool UIAlertController::pressActionAtIndex(size_t index) {
    if (index >= actions_.size() || !actions_[index]->isEnabled()) return false;
    auto self = sharedAs<UIAlertController>();
    auto action = actions_[index];
    auto run = [action] {
        if (action->handler()) action->handler()(*action);
    };
    if (presentingViewController())
        dismissViewControllerAnimated(false, run);
    else
        run();
    return true;
}

bool UIAlertController::pressActionWithTitle(const std::string& title) {
    for (size_t i = 0; i < actions_.size(); ++i)
        if (actions_[i]->title() == title) return pressActionAtIndex(i);
    return false;
}

}  // namespace brindlecue::platform
