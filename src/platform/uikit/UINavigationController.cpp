#include "platform/uikit/UINavigationController.h"

#include <algorithm>

#include "platform/SystemLog.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIView.h"

namespace brindlecue::platform {

void UINavigationController::didConstruct() {
    UIViewController::didConstruct();
    if (auto root = std::move(pendingRoot_)) setViewControllers({root}, false);
}

std::shared_ptr<UIViewController> UINavigationController::visibleViewController() const {
    if (auto presented = presentedViewController()) return presented;
    return topViewController();
}

std::shared_ptr<UINavigationBar> UINavigationController::navigationBar() {
    if (!navigationBar_) {
        double top = UIApplication::sharedApplication()->statusBarHeight();
        navigationBar_ =
            make<UINavigationBar>(CGRect(0, top, UIScreen::mainScreen()->bounds().size.width, 44));
        navigationBar_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
        updateBar();
    }
    return navigationBar_;
}

bool UINavigationController::isNavigationBarHidden() const {
    return navigationBar_ && navigationBar_->isHidden();
}

void UINavigationController::setNavigationBarHidden(bool hidden, bool) {
    navigationBar()->setHidden(hidden);
}

void UINavigationController::loadView() {
    CGRect b = UIScreen::mainScreen()->bounds();
    auto container = make<UIView>(b);
    container->setRuntimeClassName("UILayoutContainerView");
    auto transitionView = make<UIView>(CGRect(0, 0, b.size.width, b.size.height));
    transitionView->setRuntimeClassName("UINavigationTransitionView");
    transitionView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    wrapperView_ = make<UIView>(transitionView->bounds());
    wrapperView_->setRuntimeClassName("UIViewControllerWrapperView");
    wrapperView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    transitionView->addSubview(wrapperView_);
    container->addSubview(transitionView);
    container->addSubview(navigationBar());
    setView(container);
    if (auto top = topViewController()) installChildView(top, wrapperView_);
}

bool UINavigationController::onScreen() const {
    return appearState() == AppearState::Appeared;
}

void UINavigationController::updateBar() {
    if (!navigationBar_) return;
    std::vector<std::shared_ptr<UINavigationItem>> items;
    for (const auto& vc : stack_) items.push_back(vc->navigationItem());
    navigationBar_->setItems(std::move(items));
}

void UINavigationController::pushViewController(const std::shared_ptr<UIViewController>& controller,
                                                bool animated) {
    if (!controller || controller->parentViewController() || controller->presentingViewController() ||
        std::dynamic_pointer_cast<UINavigationController>(controller) || controller.get() == this) {
        SystemLog("com.apple.UIKit", "UIKit")
            .log(LogType::Error, "Pushing a view controller that cannot be pushed is not supported");
        return;
    }
    auto from = topViewController();
    addChildViewController(controller);
    stack_.push_back(controller);
    transition(from, controller, {}, animated, true);
}

std::shared_ptr<UIViewController> UINavigationController::popViewControllerAnimated(bool animated) {
    if (stack_.size() < 2) return nullptr;
    auto from = stack_.back();
    stack_.pop_back();
    from->willMoveToParentViewController(nullptr);
    transition(from, stack_.back(), {from}, animated, false);
    return from;
}

std::vector<std::shared_ptr<UIViewController>> UINavigationController::popToRootViewControllerAnimated(
    bool animated) {
    if (stack_.empty()) return {};
    return popToViewController(stack_.front(), animated);
}

std::vector<std::shared_ptr<UIViewController>> UINavigationController::popToViewController(
    const std::shared_ptr<UIViewController>& controller, bool animated) {
    auto it = std::find(stack_.begin(), stack_.end(), controller);
    if (it == stack_.end() || it + 1 == stack_.end()) return {};
    std::vector<std::shared_ptr<UIViewController>> removed(it + 1, stack_.end());
    auto from = stack_.back();
    stack_.erase(it + 1, stack_.end());
    for (const auto& r : removed) r->willMoveToParentViewController(nullptr);
    transition(from, controller, removed, animated, false);
    return removed;
}

void UINavigationController::setViewControllers(std::vector<std::shared_ptr<UIViewController>> controllers,
                                                bool animated) {
    auto from = topViewController();
    std::vector<std::shared_ptr<UIViewController>> removed;
    for (const auto& old : stack_)
        if (std::find(controllers.begin(), controllers.end(), old) == controllers.end())
            removed.push_back(old);
    std::vector<std::shared_ptr<UIViewController>> accepted;
    for (const auto& c : controllers) {
        if (!c || std::find(accepted.begin(), accepted.end(), c) != accepted.end()) continue;
        if (c->parentViewController() && c->parentViewController().get() != this) continue;
        accepted.push_back(c);
    }
    for (const auto& r : removed) r->willMoveToParentViewController(nullptr);
    std::vector<std::shared_ptr<UIViewController>> added;
    for (const auto& c : accepted)
        if (!c->parentViewController()) {
            addChildViewController(c);
            added.push_back(c);
        }
    stack_ = accepted;
    auto to = topViewController();
    bool toAdded = std::find(added.begin(), added.end(), to) != added.end();
    if (to && to != from) {
        transition(from, to, removed, animated, toAdded);
    } else {
        for (const auto& r : removed) r->removeFromParentViewController();
        updateBar();
    }
    auto self = sharedAs<UIViewController>();
    for (const auto& c : added)
        if (c != to || !toAdded || to == from) c->didMoveToParentViewController(self);
}

void UINavigationController::transition(const std::shared_ptr<UIViewController>& from,
                                        const std::shared_ptr<UIViewController>& to,
                                        std::vector<std::shared_ptr<UIViewController>> removed, bool animated,
                                        bool pushed) {
    auto self = std::static_pointer_cast<UINavigationController>(sharedAs<UIViewController>());
    auto finish = [self, from, to, removed, pushed, animated] {
        if (from && from != to) {
            if (auto v = from->viewIfLoaded(); v && v->superview() == self->wrapperView_)
                v->removeFromSuperview();
            from->endAppearanceTransition();
        }
        to->endAppearanceTransition();
        for (const auto& r : removed) r->removeFromParentViewController();
        if (pushed) to->didMoveToParentViewController(self);
        if (auto d = self->delegate()) d->navigationControllerDidShowViewController(*self, *to, animated);
    };
    if (auto d = delegate()) d->navigationControllerWillShowViewController(*this, *to, animated);
    if (!isViewLoaded()) {
        updateBar();
        finish();
        return;
    }
    to->loadViewIfNeeded();
    bool visible = onScreen();
    if (visible) {
        if (from && from != to) from->beginAppearanceTransition(false, animated);
        to->beginAppearanceTransition(true, animated);
    }
    installChildView(to, wrapperView_);
    updateBar();
    if (visible && animated)
        DispatchQueue::main()->asyncAfter(kTransitionDuration, finish);
    else
        finish();
}

}  // namespace brindlecue::platform
