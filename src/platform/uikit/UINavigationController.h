#pragma once

#include <memory>
#include <vector>

#include "platform/uikit/UIViewController.h"

namespace brindlecue::platform {

class UINavigationBar;
class UINavigationController;

class UINavigationControllerDelegate {
public:
    virtual ~UINavigationControllerDelegate() = default;
    virtual void navigationControllerWillShowViewController(UINavigationController&, UIViewController&,
                                                            bool animated) {}
    virtual void navigationControllerDidShowViewController(UINavigationController&, UIViewController&,
                                                           bool animated) {}
};

// A navigation stack. Its view is a "UILayoutContainerView" holding a
// "UINavigationTransitionView" (whose "UIViewControllerWrapperView" holds the top controller's
// view) and the navigation bar, which shows the top controller's navigation item.
class UINavigationController : public UIViewController {
public:
    BLQ_PLATFORM_CLASS(UINavigationController)

    UINavigationController() = default;
    explicit UINavigationController(std::shared_ptr<UIViewController> root) : pendingRoot_(std::move(root)) {}
    void didConstruct() override;

    const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return stack_; }
    void setViewControllers(std::vector<std::shared_ptr<UIViewController>> controllers, bool animated);
    std::shared_ptr<UIViewController> topViewController() const {
        return stack_.empty() ? nullptr : stack_.back();
    }
    // What this controller presents, else the top controller.
    std::shared_ptr<UIViewController> visibleViewController() const;
    std::shared_ptr<UINavigationBar> navigationBar();
    bool isNavigationBarHidden() const;
    void setNavigationBarHidden(bool hidden, bool animated);

    // A controller already in a container (or this stack) is refused.
    void pushViewController(const std::shared_ptr<UIViewController>& controller, bool animated);
    // The popped controller; none when only the root is left.
    std::shared_ptr<UIViewController> popViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<UIViewController>> popToRootViewControllerAnimated(bool animated);
    std::vector<std::shared_ptr<UIViewController>> popToViewController(
        const std::shared_ptr<UIViewController>& controller, bool animated);

    std::shared_ptr<UINavigationControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UINavigationControllerDelegate>& d) { delegate_ = d; }

    void loadView() override;

private:
    // Shows `to` in place of `from` with the appearance calls of a push or pop; `removed` are
    // the controllers leaving the stack.
    void transition(const std::shared_ptr<UIViewController>& from,
                    const std::shared_ptr<UIViewController>& to,
                    std::vector<std::shared_ptr<UIViewController>> removed, bool animated, bool pushed);
    void updateBar();
    bool onScreen() const;

    std::shared_ptr<UIViewController> pendingRoot_;
    std::vector<std::shared_ptr<UIViewController>> stack_;
    std::shared_ptr<UINavigationBar> navigationBar_;
    std::shared_ptr<UIView> wrapperView_;
    std::weak_ptr<UINavigationControllerDelegate> delegate_;
};

}  // namespace brindlecue::platform
