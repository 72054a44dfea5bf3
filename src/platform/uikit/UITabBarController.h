#pragma once

#include <memory>
#include <vector>

#include "platform/uikit/UIViewController.h"

namespace brindlecue::platform {

class UITabBar;
class UITabBarController;

class UITabBarControllerDelegate {
public:
    virtual ~UITabBarControllerDelegate() = default;
    virtual bool tabBarControllerShouldSelectViewController(UITabBarController&, UIViewController&) {
        return true;
    }
    virtual void tabBarControllerDidSelectViewController(UITabBarController&, UIViewController&) {}
};

// Tabs. Its view is a "UILayoutContainerView" holding a "UITransitionView" (whose
// "UIViewControllerWrapperView" holds the selected controller's view) and the tab bar.
class UITabBarController : public UIViewController {
public:
    BLQ_PLATFORM_CLASS(UITabBarController)

    const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return controllers_; }
    void setViewControllers(std::vector<std::shared_ptr<UIViewController>> controllers);
    size_t selectedIndex() const { return selectedIndex_; }
    // Out of range: ignored.
    void setSelectedIndex(size_t index);
    std::shared_ptr<UIViewController> selectedViewController() const;
    void setSelectedViewController(const std::shared_ptr<UIViewController>& controller);
    std::shared_ptr<UITabBar> tabBar();

    std::shared_ptr<UITabBarControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UITabBarControllerDelegate>& d) { delegate_ = d; }

    void loadView() override;

private:
    void select(size_t index, bool fromTap);

    std::vector<std::shared_ptr<UIViewController>> controllers_;
    size_t selectedIndex_ = 0;
    std::shared_ptr<UITabBar> tabBar_;
    std::shared_ptr<UIView> wrapperView_;
    std::weak_ptr<UITabBarControllerDelegate> delegate_;
};

}  // namespace brindlecue::platform
