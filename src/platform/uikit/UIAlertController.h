#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/UIViewController.h"

namespace brindlecue::platform {

class UITextField;

enum class UIAlertActionStyle { Default = 0, Cancel = 1, Destructive = 2 };
enum class UIAlertControllerStyle { ActionSheet = 0, Alert = 1 };

// One button of an alert controller.
class UIAlertAction : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIAlertAction)
    using Handler = std::function<void(UIAlertAction&)>;

    static std::shared_ptr<UIAlertAction> actionWithTitle(std::optional<std::string> title,
                                                          UIAlertActionStyle style, Handler handler);
    const std::optional<std::string>& title() const { return title_; }
    UIAlertActionStyle style() const { return style_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e) { enabled_ = e; }
    const Handler& handler() const { return handler_; }

private:
    std::optional<std::string> title_;
    UIAlertActionStyle style_ = UIAlertActionStyle::Default;
    bool enabled_ = true;
    Handler handler_;
};

// An alert or action sheet, presented like any controller (over the presenter, which stays on
// show). Tests press its actions: the alert is dismissed, then the action's handler runs.
class UIAlertController : public UIViewController {
public:
    BLQ_PLATFORM_CLASS(UIAlertController)

    static std::shared_ptr<UIAlertController> alertControllerWithTitle(std::optional<std::string> title,
                                                                       std::optional<std::string> message,
                                                                       UIAlertControllerStyle style);
    UIAlertController();

    const std::optional<std::string>& alertTitle() const { return alertTitle_; }
    const std::optional<std::string>& message() const { return message_; }
    void setMessage(std::optional<std::string> m) { message_ = std::move(m); }
    UIAlertControllerStyle preferredStyle() const { return style_; }
    void addAction(const std::shared_ptr<UIAlertAction>& action);
    const std::vector<std::shared_ptr<UIAlertAction>>& actions() const { return actions_; }
    std::shared_ptr<UIAlertAction> preferredAction() const { return preferredAction_; }
    void setPreferredAction(const std::shared_ptr<UIAlertAction>& a) { preferredAction_ = a; }
    // Alerts only (an action sheet takes no text fields).
    void addTextFieldWithConfigurationHandler(std::function<void(UITextField&)> configure);
    const std::vector<std::shared_ptr<UITextField>>& textFields() const { return textFields_; }

    // Driver: presses the action (by index or first with the title). A disabled or unknown
    // action does nothing (false).
    bool pressActionAtIndex(size_t index);
    bool pressActionWithTitle(const std::string& title);

private:
    std::optional<std::string> alertTitle_;
    std::optional<std::string> message_;
    UIAlertControllerStyle style_ = UIAlertControllerStyle::Alert;
    std::vector<std::shared_ptr<UIAlertAction>> actions_;
    std::shared_ptr<UIAlertAction> preferredAction_;
    std::vector<std::shared_ptr<UITextField>> textFields_;
};

}  // namespace brindlecue::platform
