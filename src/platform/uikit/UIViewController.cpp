#include "platform/uikit/UIViewController.h"

#include <algorithm>

#include "platform/SystemLog.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UIPresentationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITabBarController.h"
#include "platform/uikit/UITabBarItem.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {
namespace {

const SystemLog& uikitLog() {
    static SystemLog log("com.apple.UIKit", "UIKit");
    return log;
}

void afterTransition(bool animated, std::function<void()> work) {
    if (animated)
        DispatchQueue::main()->asyncAfter(UIViewController::kTransitionDuration, std::move(work));
    else
        work();
}

}  // namespace

void UIViewControllerTransitionCoordinator::animateAlongsideTransition(std::function<void()> animation,
                                                                       std::function<void()> completion) {
    if (animation) animations_.push_back(std::move(animation));
    if (completion) completions_.push_back(std::move(completion));
}

void UIViewControllerTransitionCoordinator::run() {
    auto animations = std::move(animations_);
    for (auto& a : animations) a();
    auto completions = std::move(completions_);
    if (completions.empty()) return;
    auto self = sharedAs<UIViewControllerTransitionCoordinator>();
    DispatchQueue::main()->asyncAfter(duration_, [self, completions] {
        for (const auto& c : completions) c();
    });
}

UIViewController::~UIViewController() = default;

// ---------------------------------------------------------------- view

std::shared_ptr<UIView> UIViewController::view() {
    if (!view_ && !loadingView_) {
        loadingView_ = true;
        loadView();
        if (!view_) setView(make<UIView>(UIScreen::mainScreen()->bounds()));
        loadingView_ = false;
        viewDidLoad();
    }
    return view_;
}

void UIViewController::setView(const std::shared_ptr<UIView>& view) {
    if (view_ == view) return;
    if (view_ && view_->viewController_.lock().get() == this) view_->viewController_.reset();
    view_ = view;
    if (view_) view_->viewController_ = sharedAs<UIViewController>();
}

void UIViewController::loadView() {
    setView(make<UIView>(UIScreen::mainScreen()->bounds()));
}

void UIViewController::viewWillTransitionToSize(
    CGSize size, const std::shared_ptr<UIViewControllerTransitionCoordinator>& coordinator) {
    for (const auto& child : std::vector<std::shared_ptr<UIViewController>>(children_))
        child->viewWillTransitionToSize(size, coordinator);
}

// ---------------------------------------------------------------- appearance

void UIViewController::beginAppearanceTransition(bool isAppearing, bool animated) {
    auto self = sharedAs<UIViewController>();
    if (isAppearing) {
        if (appearState_ == AppearState::Appearing || appearState_ == AppearState::Appeared) return;
        loadViewIfNeeded();
        appearState_ = AppearState::Appearing;
        viewWillAppear(animated);
    } else {
        if (appearState_ == AppearState::Disappearing || appearState_ == AppearState::Disappeared) return;
        appearState_ = AppearState::Disappearing;
        viewWillDisappear(animated);
    }
    forwardAppearance(true, isAppearing, animated);
}

void UIViewController::endAppearanceTransition() {
    auto self = sharedAs<UIViewController>();
    if (appearState_ == AppearState::Appearing) {
        appearState_ = AppearState::Appeared;
        viewDidAppear(false);
        forwardAppearance(false, true, false);
    } else if (appearState_ == AppearState::Disappearing) {
        appearState_ = AppearState::Disappeared;
        viewDidDisappear(false);
        forwardAppearance(false, false, false);
    }
}

void UIViewController::forwardAppearance(bool begin, bool isAppearing, bool animated) {
    if (!view_) return;
    for (const auto& child : std::vector<std::shared_ptr<UIViewController>>(children_)) {
        auto childView = child->viewIfLoaded();
        // Only the children on show take part: a navigation controller's lower controllers
        // and a tab bar controller's unselected ones do not.
        if (!childView || !childView->isDescendantOfView(view_)) continue;
        if (begin)
            child->beginAppearanceTransition(isAppearing, animated);
        else
            child->endAppearanceTransition();
    }
}

void UIViewController::rootViewDidMoveToWindow() {
    // A contained child whose view was added to (or taken from) a parent on show appears (or
    // disappears) with it; containers that drive their children's transitions have already
    // moved them on, so this changes nothing for them.
    auto parent = parent_.lock();
    if (!view_) return;
    if (!parent) {
        freeViewDidMoveToWindow();
        return;
    }
    bool inWindow = view_->window() != nullptr;
    if (inWindow && parent->appearState_ == AppearState::Appeared &&
        appearState_ == AppearState::Disappeared) {
        beginAppearanceTransition(true, false);
        endAppearanceTransition();
    } else if (!inWindow && appearState_ == AppearState::Appeared) {
        beginAppearanceTransition(false, false);
        endAppearanceTransition();
    }
}

void UIViewController::freeViewDidMoveToWindow() {
    // A controller that no container drives (no parent, not a window's root, not presented) whose
    // view code puts into a visible window: it will appear at once and did appear on the next
    // main-queue turn, when its view is still in a window. Taken out of every window, it
    // disappears at once.
    auto window = view_->window();
    if (presentingViewController() || (window && window->rootViewController().get() == this)) return;
    if (window && !window->isHidden()) {
        if (appearState_ != AppearState::Disappeared) return;
        beginAppearanceTransition(true, false);
        std::weak_ptr<UIViewController> weak = sharedAs<UIViewController>();
        DispatchQueue::main()->async([weak] {
            auto self = weak.lock();
            if (!self || self->appearState_ != AppearState::Appearing || !self->view_ || !self->view_->window())
                return;
            self->endAppearanceTransition();
        });
    } else if (!window && (appearState_ == AppearState::Appeared || appearState_ == AppearState::Appearing)) {
        beginAppearanceTransition(false, false);
        endAppearanceTransition();
    }
}

// ---------------------------------------------------------------- items

void UIViewController::setTitle(const std::string& title) {
    title_ = title;
    navigationItem()->setTitle(title);
}

std::shared_ptr<UINavigationItem> UIViewController::navigationItem() {
    if (!navigationItem_) {
        navigationItem_ = make<UINavigationItem>();
        navigationItem_->setTitle(title_);
    }
    return navigationItem_;
}

std::shared_ptr<UITabBarItem> UIViewController::tabBarItem() {
    if (!tabBarItem_) {
        tabBarItem_ = make<UITabBarItem>();
        tabBarItem_->setTitle(title_);
    }
    return tabBarItem_;
}

// ---------------------------------------------------------------- containment

void UIViewController::addChildViewController(const std::shared_ptr<UIViewController>& child) {
    if (!child || child.get() == this) return;
    auto self = sharedAs<UIViewController>();
    if (child->parentViewController() == self) return;
    // An ancestor cannot become a child.
    for (auto p = parentViewController(); p; p = p->parentViewController())
        if (p == child) return;
    if (child->parentViewController()) child->removeFromParentViewController();
    child->movingToParent_ = true;
    child->willMoveToParentViewController(self);
    children_.push_back(child);
    child->parent_ = self;
    child->movingToParent_ = false;
}

void UIViewController::removeFromParentViewController() {
    auto parent = parentViewController();
    if (!parent) return;
    auto self = sharedAs<UIViewController>();
    movingFromParent_ = true;
    auto& list = parent->children_;
    list.erase(std::find(list.begin(), list.end(), self));
    parent_.reset();
    didMoveToParentViewController(nullptr);
    movingFromParent_ = false;
}

std::shared_ptr<UINavigationController> UIViewController::navigationController() const {
    for (auto p = parentViewController(); p; p = p->parentViewController())
        if (auto nav = std::dynamic_pointer_cast<UINavigationController>(p)) return nav;
    return nullptr;
}

std::shared_ptr<UITabBarController> UIViewController::tabBarController() const {
    for (auto p = parentViewController(); p; p = p->parentViewController())
        if (auto tab = std::dynamic_pointer_cast<UITabBarController>(p)) return tab;
    return nullptr;
}

void UIViewController::installChildView(const std::shared_ptr<UIViewController>& child,
                                        const std::shared_ptr<UIView>& container) {
    auto v = child->view();
    v->setFrame(container->bounds());
    v->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    container->addSubview(v);
}

// ---------------------------------------------------------------- presentation

void UIViewController::presentViewController(const std::shared_ptr<UIViewController>& controller,
                                             bool animated, std::function<void()> completion) {
    if (!controller) return;
    auto presenter = sharedAs<UIViewController>();
    while (auto p = presenter->parentViewController()) presenter = p;
    if (presenter->presented_) {
        uikitLog().log(LogType::Error, "Attempt to present " + controller->description() + " on " +
                                           presenter->description() + " which is already presenting " +
                                           presenter->presented_->description());
        return;
    }
    if (controller->parentViewController() || controller->presentingViewController() ||
        controller == presenter) {
        uikitLog().log(LogType::Error, "Application tried to present modally a view controller " +
                                           controller->description() + " that is already shown");
        return;
    }
    auto presenterView = presenter->viewIfLoaded();
    auto window = presenterView ? presenterView->window() : nullptr;
    if (!window) {
        uikitLog().log(LogType::Error, "Attempt to present " + controller->description() + " on " +
                                           presenter->description() +
                                           " whose view is not in the window hierarchy!");
        return;
    }
    UIModalPresentationStyle style = controller->modalPresentationStyle_;
    bool removesPresenter =
        style == UIModalPresentationStyle::FullScreen || style == UIModalPresentationStyle::CurrentContext;

    presenter->presented_ = controller;
    controller->presenting_ = presenter;
    controller->beingPresented_ = true;
    controller->loadViewIfNeeded();

    if (removesPresenter) presenter->beginAppearanceTransition(false, animated);
    controller->beginAppearanceTransition(true, animated);

    auto container = make<UIView>(window->bounds());
    container->setRuntimeClassName("UITransitionView");
    container->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    CGRect frame = window->bounds();
    bool sheet = style == UIModalPresentationStyle::Automatic ||
                 style == UIModalPresentationStyle::PageSheet || style == UIModalPresentationStyle::FormSheet;
    if (sheet) {
        // A sheet leaves the top of the presenter showing.
        double top = window->windowSafeAreaInsets().top + 10;
        frame = CGRect(0, top, frame.size.width, frame.size.height - top);
    }
    auto presentedView = controller->view();
    presentedView->setFrame(frame);
    presentedView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    container->addSubview(presentedView);
    controller->presentationContainer_ = container;
    window->addSubview(container);

    std::weak_ptr<UIViewController> weakPresenter = presenter;
    afterTransition(animated, [weakPresenter, controller, removesPresenter, completion] {
        if (auto p = weakPresenter.lock()) p->finishPresentation(controller, removesPresenter, completion);
    });
}

void UIViewController::finishPresentation(const std::shared_ptr<UIViewController>& presented,
                                          bool removesPresenter, std::function<void()> completion) {
    presented->endAppearanceTransition();
    if (removesPresenter && view_ && presented_ == presented) {
        if (auto superview = view_->superview()) {
            presented->presenterViewSuperview_ = superview;
            presented->presenterViewIndex_ = view_->indexInSuperview().value_or(0);
            presented->removedPresenterView_ = true;
            view_->removeFromSuperview();
        }
        endAppearanceTransition();
    }
    presented->beingPresented_ = false;
    if (completion) completion();
}

void UIViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion) {
    std::shared_ptr<UIViewController> presenter;
    if (presented_) {
        presenter = sharedAs<UIViewController>();
    } else {
        // A child of a presented controller dismisses that controller.
        auto top = sharedAs<UIViewController>();
        while (auto p = top->parentViewController()) top = p;
        presenter = top->presentingViewController();
    }
    if (!presenter || !presenter->presented_) return;

    // The controllers going away, top first.
    std::vector<std::shared_ptr<UIViewController>> chain;
    for (auto c = presenter->presented_; c; c = c->presented_) chain.insert(chain.begin(), c);
    auto first = chain.back();  // the one presenter presents directly
    for (const auto& c : chain) {
        c->beingDismissed_ = true;
        c->beginAppearanceTransition(false, animated);
    }
    if (first->removedPresenterView_) {
        if (auto superview = first->presenterViewSuperview_.lock()) {
            superview->insertSubviewAtIndex(presenter->view(), first->presenterViewIndex_);
        }
        first->removedPresenterView_ = false;
        presenter->beginAppearanceTransition(true, animated);
    }
    std::weak_ptr<UIViewController> weakPresenter = presenter;
    afterTransition(animated, [weakPresenter, chain, completion] {
        if (auto p = weakPresenter.lock()) p->finishDismissal(chain, completion);
    });
}

void UIViewController::finishDismissal(std::vector<std::shared_ptr<UIViewController>> chain,
                                       std::function<void()> completion) {
    endAppearanceTransition();
    for (const auto& c : chain) {
        if (c->presentationContainer_) c->presentationContainer_->removeFromSuperview();
        if (c->view_) c->view_->removeFromSuperview();
        c->presentationContainer_.reset();
        c->endAppearanceTransition();
        c->beingDismissed_ = false;
        c->presented_.reset();
        c->presenting_.reset();
    }
    if (presented_ == (chain.empty() ? nullptr : chain.back())) presented_.reset();
    if (completion) completion();
}

std::shared_ptr<UIPresentationController> UIViewController::presentationController() {
    if (!presentationController_)
        presentationController_ = make<UIPresentationController>(sharedAs<UIViewController>());
    return presentationController_;
}

std::shared_ptr<UIResponder> UIViewController::nextResponder() const {
    if (view_) {
        if (auto superview = view_->superview()) {
            // A presented controller's view sits in its transition container: the responder
            // chain goes on to the presenter.
            if (presentationContainer_ && superview == presentationContainer_) {
                if (auto p = presentingViewController()) return p;
            }
            return superview;
        }
    }
    return presentingViewController();
}

}  // namespace brindlecue::platform
