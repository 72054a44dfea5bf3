#include "platform/uikit/UIWindow.h"

#include "platform/NotificationCenter.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindowScene.h"

namespace brindlecue::platform {

UIWindow::UIWindow() : UIView(UIScreen::mainScreen()->bounds()) {
    setHiddenFlag();
}

UIWindow::UIWindow(const CGRect& frame) : UIView(frame) {
    setHiddenFlag();
}

UIWindow::~UIWindow() {
    if (auto app = UIApplication::sharedApplication()) app->windowGone(this);
}

void UIWindow::didConstruct() {
    UIView::didConstruct();
    auto app = UIApplication::sharedApplication();
    windowScene_ = app->mainWindowScene();
    app->registerWindow(sharedAs<UIWindow>());
}

std::shared_ptr<CALayer> UIWindow::makeBackingLayer() {
    auto layer = UIView::makeBackingLayer();
    layer->setRuntimeClassName("UIWindowLayer");
    return layer;
}

void UIWindow::setHiddenFlag() {
    UIView::setHidden(true);
}

bool UIWindow::isKeyWindow() const {
    return UIApplication::sharedApplication()->keyWindow().get() == this;
}

void UIWindow::makeKeyWindow() {
    UIApplication::sharedApplication()->makeWindowKey(sharedAs<UIWindow>());
}

void UIWindow::makeKeyAndVisible() {
    setHidden(false);
    makeKeyWindow();
}

void UIWindow::setHidden(bool hidden) {
    if (hidden == isHidden()) return;
    auto self = sharedAs<UIWindow>();
    auto root = rootViewController_;
    if (hidden && root) root->beginAppearanceTransition(false, false);
    if (!hidden && root) root->beginAppearanceTransition(true, false);
    UIView::setHidden(hidden);
    UIApplication::sharedApplication()->windowVisibilityChanged(self, !hidden);
    if (root) root->endAppearanceTransition();
    NotificationCenter::defaultCenter().post(
        hidden ? UIWindowDidBecomeHiddenNotification : UIWindowDidBecomeVisibleNotification, self);
}

void UIWindow::setRootViewController(const std::shared_ptr<UIViewController>& controller) {
    if (controller == rootViewController_) return;
    auto self = sharedAs<UIWindow>();
    bool visible = !isHidden();
    auto old = rootViewController_;
    if (old && visible) old->beginAppearanceTransition(false, false);
    if (controller && visible) controller->beginAppearanceTransition(true, false);
    if (old && old->viewIfLoaded() && old->viewIfLoaded()->superview() == self)
        old->viewIfLoaded()->removeFromSuperview();
    rootViewController_ = controller;
    if (controller) {
        auto v = controller->view();
        v->setFrame(bounds());
        v->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        insertSubviewAtIndex(v, 0);
    }
    if (old && visible) old->endAppearanceTransition();
    if (controller && visible) controller->endAppearanceTransition();
}

std::shared_ptr<UIScreen> UIWindow::screen() const {
    return UIScreen::mainScreen();
}

std::shared_ptr<UIResponder> UIWindow::nextResponder() const {
    if (auto scene = windowScene()) return scene;
    return UIApplication::sharedApplication();
}

std::shared_ptr<UIWindow> UIWindow::window() const {
    return std::const_pointer_cast<UIWindow>(sharedAs<const UIWindow>());
}

}  // namespace brindlecue::platform
