#include "platform/uikit/UITabBarController.h"

#include <algorithm>

#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITabBar.h"
#include "platform/uikit/UITabBarItem.h"
#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

std::shared_ptr<UITabBar> UITabBarController::tabBar() {
    if (!tabBar_) {
        CGRect b = UIScreen::mainScreen()->bounds();
        tabBar_ = make<UITabBar>(CGRect(0, b.size.height - 49, b.size.width, 49));
        tabBar_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin);
        std::weak_ptr<UITabBarController> weak =
            std::static_pointer_cast<UITabBarController>(sharedAs<UIViewController>());
        tabBar_->setItemTappedHandler([weak](size_t index) {
            if (auto self = weak.lock()) self->select(index, true);
        });
        std::vector<std::shared_ptr<UITabBarItem>> items;
        for (const auto& c : controllers_) items.push_back(c->tabBarItem());
        tabBar_->setItems(items);
        if (selectedIndex_ < items.size()) tabBar_->setSelectedItem(items[selectedIndex_]);
    }
    return tabBar_;
}

void UITabBarController::loadView() {
    CGRect b = UIScreen::mainScreen()->bounds();
    auto container = make<UIView>(b);
    container->setRuntimeClassName("UILayoutContainerView");
    auto transitionView = make<UIView>(CGRect(0, 0, b.size.width, b.size.height));
    transitionView->setRuntimeClassName("UITransitionView");
    transitionView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    wrapperView_ = make<UIView>(transitionView->bounds());
    wrapperView_->setRuntimeClassName("UIViewControllerWrapperView");
    wrapperView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    transitionView->addSubview(wrapperView_);
    container->addSubview(transitionView);
    container->addSubview(tabBar());
    setView(container);
    if (auto selected = selectedViewController()) installChildView(selected, wrapperView_);
}

std::shared_ptr<UIViewController> UITabBarController::selectedViewController() const {
    return selectedIndex_ < controllers_.size() ? controllers_[selectedIndex_] : nullptr;
}

void UITabBarController::setViewControllers(std::vector<std::shared_ptr<UIViewController>> controllers) {
    auto self = sharedAs<UIViewController>();
    auto oldSelected = selectedViewController();
    bool visible = appearState() == AppearState::Appeared;
    std::vector<std::shared_ptr<UIViewController>> accepted;
    for (const auto& c : controllers) {
        if (!c || std::find(accepted.begin(), accepted.end(), c) != accepted.end()) continue;
        if (c->parentViewController() && c->parentViewController() != self) continue;
        accepted.push_back(c);
    }
    if (selectedIndex_ >= accepted.size()) selectedIndex_ = 0;
    auto newSelected = accepted.empty() ? nullptr : accepted[selectedIndex_];
    if (oldSelected && oldSelected != newSelected && visible)
        oldSelected->beginAppearanceTransition(false, false);
    if (newSelected && newSelected != oldSelected && visible)
        newSelected->beginAppearanceTransition(true, false);
    for (const auto& old : controllers_) {
        if (std::find(accepted.begin(), accepted.end(), old) != accepted.end()) continue;
        old->willMoveToParentViewController(nullptr);
        if (auto v = old->viewIfLoaded(); v && wrapperView_ && v->superview() == wrapperView_)
            v->removeFromSuperview();
        old->removeFromParentViewController();
    }
    std::vector<std::shared_ptr<UIViewController>> added;
    for (const auto& c : accepted)
        if (!c->parentViewController()) {
            addChildViewController(c);
            added.push_back(c);
        }
    controllers_ = accepted;
    if (isViewLoaded() && newSelected) {
        if (oldSelected && oldSelected != newSelected)
            if (auto v = oldSelected->viewIfLoaded(); v && v->superview() == wrapperView_)
                v->removeFromSuperview();
        installChildView(newSelected, wrapperView_);
    }
    if (tabBar_) {
        std::vector<std::shared_ptr<UITabBarItem>> items;
        for (const auto& c : controllers_) items.push_back(c->tabBarItem());
        tabBar_->setItems(items);
        if (newSelected) tabBar_->setSelectedItem(newSelected->tabBarItem());
    }
    if (oldSelected && oldSelected != newSelected && visible) oldSelected->endAppearanceTransition();
    if (newSelected && newSelected != oldSelected && visible) newSelected->endAppearanceTransition();
    for (const auto& c : added) c->didMoveToParentViewController(self);
}

void UITabBarController::setSelectedIndex(size_t index) {
    select(index, false);
}

void UITabBarController::setSelectedViewController(const std::shared_ptr<UIViewController>& controller) {
    auto it = std::find(controllers_.begin(), controllers_.end(), controller);
    if (it != controllers_.end()) select(size_t(it - controllers_.begin()), false);
}

void UITabBarController::select(size_t index, bool fromTap) {
    if (index >= controllers_.size()) return;
    auto to = controllers_[index];
    auto from = selectedViewController();
    if (fromTap)
        if (auto d = delegate(); d && !d->tabBarControllerShouldSelectViewController(*this, *to)) return;
    if (to != from) {
        to->loadViewIfNeeded();
        bool visible = appearState() == AppearState::Appeared;
        if (visible) {
            if (from) from->beginAppearanceTransition(false, false);
            to->beginAppearanceTransition(true, false);
        }
        selectedIndex_ = index;
        if (isViewLoaded()) {
            if (from)
                if (auto v = from->viewIfLoaded(); v && v->superview() == wrapperView_)
                    v->removeFromSuperview();
            installChildView(to, wrapperView_);
        }
        if (tabBar_) tabBar_->setSelectedItem(to->tabBarItem());
        if (visible) {
            if (from) from->endAppearanceTransition();
            to->endAppearanceTransition();
        }
    }
    if (fromTap)
        if (auto d = delegate()) d->tabBarControllerDidSelectViewController(*this, *to);
}

}  // namespace brindlecue::platform
