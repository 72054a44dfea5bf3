#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/UIResponder.h"

namespace brindlecue::platform {

class Bundle;
class UIPresentationController;
class UIView;
class UIWindow;
class UINavigationController;
class UINavigationItem;
class UITabBarController;
class UITabBarItem;

// The edges of a rectangle (a bit set).
enum UIRectEdge : uint64_t {
    UIRectEdgeNone = 0,
    UIRectEdgeTop = 1 << 0,
    UIRectEdgeLeft = 1 << 1,
    UIRectEdgeBottom = 1 << 2,
    UIRectEdgeRight = 1 << 3,
    UIRectEdgeAll = UIRectEdgeTop | UIRectEdgeLeft | UIRectEdgeBottom | UIRectEdgeRight,
};

enum class UIModalPresentationStyle {
    FullScreen = 0,
    PageSheet = 1,
    FormSheet = 2,
    CurrentContext = 3,
    Custom = 4,
    OverFullScreen = 5,
    OverCurrentContext = 6,
    Popover = 7,
    None = -1,
    Automatic = -2,
};

// Handed to viewWillTransitionToSize: animations registered alongside the transition run once
// the new size is in place; their completions run when the transition's duration has passed on
// the clock.
class UIViewControllerTransitionCoordinator : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIViewControllerTransitionCoordinator)

    explicit UIViewControllerTransitionCoordinator(double duration = 0.3) : duration_(duration) {}
    double transitionDuration() const { return duration_; }
    void animateAlongsideTransition(std::function<void()> animation, std::function<void()> completion);

    // Driver side: runs the animations now and schedules the completions.
    void run();

private:
    double duration_;
    std::vector<std::function<void()>> animations_;
    std::vector<std::function<void()>> completions_;
};

// A view controller: lazily loaded view, appearance callbacks in the platform's order, child
// controllers, and modal presentation with the presented chain.
//
// Appearance: beginAppearanceTransition / endAppearanceTransition move a controller through
// will-appear, did-appear, will-disappear and did-disappear (a call that does not change the
// state calls nothing) and forward to the children whose views are inside its view. Containers
// call them in the platform's order:
// - push: from.willDisappear, to.willAppear, from.didDisappear, to.didAppear (pop alike);
// - present: presenter.willDisappear (full-screen styles only), presented.willAppear,
//   presented.didAppear, presenter.didDisappear;
// - dismiss: presented.willDisappear, presenter.willAppear, presenter.didAppear,
//   presented.didDisappear.
// Animated transitions finish after kTransitionDuration on the clock; others finish at once.
// A controller that no container drives (no parent, not a window's root, not presented) whose
// view code adds to a visible window gets will-appear at once and did-appear on the next
// main-queue turn, when the view is still in a window then; leaving every window, it disappears
// at once.
class UIViewController : public UIResponder {
public:
    BLQ_PLATFORM_CLASS(UIViewController)

    static constexpr double kTransitionDuration = 0.35;

    enum class AppearState { Disappeared, Appearing, Appeared, Disappearing };

    UIViewController() = default;
    ~UIViewController() override;

    // ---- View
    // Loads the view on first use (loadView, then viewDidLoad).
    std::shared_ptr<UIView> view();
    std::shared_ptr<UIView> viewIfLoaded() const { return view_; }
    bool isViewLoaded() const { return view_ != nullptr; }
    void setView(const std::shared_ptr<UIView>& view);
    void loadViewIfNeeded() { view(); }
    // Makes a plain view the size of the main screen; subclasses set their own with setView.
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool animated) {}
    virtual void viewDidAppear(bool animated) {}
    virtual void viewWillDisappear(bool animated) {}
    virtual void viewDidDisappear(bool animated) {}
    virtual void viewWillLayoutSubviews() {}
    virtual void viewDidLayoutSubviews() {}
    // Forwards to the children by default.
    virtual void viewWillTransitionToSize(
        CGSize size, const std::shared_ptr<UIViewControllerTransitionCoordinator>& coordinator);
    virtual void willMoveToParentViewController(const std::shared_ptr<UIViewController>& parent) {}
    virtual void didMoveToParentViewController(const std::shared_ptr<UIViewController>& parent) {}

    // The edges a container may lay the view under (its bars); a record here: containers size
    // their children's views whatever it says.
    uint64_t edgesForExtendedLayout() const { return edgesForExtendedLayout_; }
    void setEdgesForExtendedLayout(uint64_t edges) { edgesForExtendedLayout_ = edges; }

    // The interface file the controller was made with and the bundle to look for it in; records
    // (views are built in code here, so nothing loads the file).
    const std::optional<std::string>& nibName() const { return nibName_; }
    std::shared_ptr<Bundle> nibBundle() const { return nibBundle_; }

    // ---- Appearance
    void beginAppearanceTransition(bool isAppearing, bool animated);
    void endAppearanceTransition();
    AppearState appearState() const { return appearState_; }
    bool isBeingPresented() const { return beingPresented_; }
    bool isBeingDismissed() const { return beingDismissed_; }
    bool isMovingToParentViewController() const { return movingToParent_; }
    bool isMovingFromParentViewController() const { return movingFromParent_; }

    // ---- Items
    const std::string& title() const { return title_; }
    virtual void setTitle(const std::string& title);
    std::shared_ptr<UINavigationItem> navigationItem();
    std::shared_ptr<UITabBarItem> tabBarItem();
    void setTabBarItem(const std::shared_ptr<UITabBarItem>& item) { tabBarItem_ = item; }

    // ---- Containment
    std::shared_ptr<UIViewController> parentViewController() const { return parent_.lock(); }
    const std::vector<std::shared_ptr<UIViewController>>& childViewControllers() const { return children_; }
    // Calls the child's willMoveToParentViewController; the container calls
    // didMoveToParentViewController when it has placed the child's view.
    void addChildViewController(const std::shared_ptr<UIViewController>& child);
    // Calls didMoveToParentViewController(nullptr) after taking the controller out.
    void removeFromParentViewController();
    // The nearest navigation / tab bar controller among the ancestors.
    std::shared_ptr<UINavigationController> navigationController() const;
    std::shared_ptr<UITabBarController> tabBarController() const;

    // ---- Presentation
    std::shared_ptr<UIViewController> presentedViewController() const { return presented_; }
    std::shared_ptr<UIViewController> presentingViewController() const { return presenting_.lock(); }
    UIModalPresentationStyle modalPresentationStyle() const { return modalPresentationStyle_; }
    void setModalPresentationStyle(UIModalPresentationStyle style) { modalPresentationStyle_ = style; }
    bool definesPresentationContext() const { return definesPresentationContext_; }
    void setDefinesPresentationContext(bool v) { definesPresentationContext_ = v; }
    // Presents from the outermost ancestor. Refused (logged, completion not called) when that
    // controller already presents one, is not in a window, or the controller is already shown.
    void presentViewController(const std::shared_ptr<UIViewController>& controller, bool animated,
                               std::function<void()> completion = nullptr);
    // Dismisses what this controller presents (with everything above it), or, when it presents
    // nothing, this controller from its presenter. Nothing to dismiss: nothing happens.
    void dismissViewControllerAnimated(bool animated, std::function<void()> completion = nullptr);

    // The object managing this controller's presentation, made on first use and kept.
    std::shared_ptr<UIPresentationController> presentationController();

    // The view's superview; for a presented controller whose view is not shown, its presenter.
    std::shared_ptr<UIResponder> nextResponder() const override;

protected:
    // initWithNibName:bundle: of subclasses' initialisers: records the file name and bundle.
    void initWithNibName(std::optional<std::string> nibName, std::shared_ptr<Bundle> bundle) {
        nibName_ = std::move(nibName);
        nibBundle_ = std::move(bundle);
    }

    // Containers: places a child's view (sized to the container view) and removes it.
    static void installChildView(const std::shared_ptr<UIViewController>& child,
                                 const std::shared_ptr<UIView>& container);

private:
    friend class UIView;
    friend class UIWindow;
    friend class UINavigationController;
    friend class UITabBarController;

    void rootViewDidMoveToWindow();
    void freeViewDidMoveToWindow();
    void forwardAppearance(bool begin, bool isAppearing, bool animated);
    void finishPresentation(const std::shared_ptr<UIViewController>& presented, bool removesPresenter,
                            std::function<void()> completion);
    void finishDismissal(std::vector<std::shared_ptr<UIViewController>> chain,
                         std::function<void()> completion);

    std::shared_ptr<UIView> view_;
    bool loadingView_ = false;
    AppearState appearState_ = AppearState::Disappeared;
    bool beingPresented_ = false;
    bool beingDismissed_ = false;
    bool movingToParent_ = false;
    bool movingFromParent_ = false;
    std::string title_;
    std::shared_ptr<UINavigationItem> navigationItem_;
    std::shared_ptr<UITabBarItem> tabBarItem_;
    std::weak_ptr<UIViewController> parent_;
    std::vector<std::shared_ptr<UIViewController>> children_;
    std::shared_ptr<UIViewController> presented_;
    std::weak_ptr<UIViewController> presenting_;
    UIModalPresentationStyle modalPresentationStyle_ = UIModalPresentationStyle::Automatic;
    std::shared_ptr<UIPresentationController> presentationController_;
    uint64_t edgesForExtendedLayout_ = UIRectEdgeAll;
    std::optional<std::string> nibName_;
    std::shared_ptr<Bundle> nibBundle_;
    bool definesPresentationContext_ = false;
    // For a presented controller: the container holding its view, and where the presenter's
    // view was when a full-screen presentation took it away.
    std::shared_ptr<UIView> presentationContainer_;
    std::weak_ptr<UIView> presenterViewSuperview_;
    size_t presenterViewIndex_ = 0;
    bool removedPresenterView_ = false;
};

}  // namespace brindlecue::platform
