#pragma once

#include <functional>
#include <memory>

namespace brindlecue {

class BLQITipManager;
class KJTipElement;

namespace platform {
class UIView;
class UIViewController;
class UIWindow;
}  // namespace platform

// A tip controller as the tip engine drives it: it presents one step over a host screen and turns
// the user's answers into calls of the five handler blocks the engine installs. The presentation
// layer's pop, modal, coachmark and feedback controllers implement it (the engine makes them
// through BLQTipViewControllerRegistry), and so do the controllers of host-registered guides.
// Main queue.
class BLQITipViewController {
public:
    // The tip area was tapped outside; report is true outside preview mode.
    using OutsideHandler = std::function<void(bool report)>;
    // The close button; report as given to the controller's dismissal.
    using CloseHandler = std::function<void(bool report)>;
    // Button 1 (previous) and button 2 (next).
    using ButtonHandler = std::function<void(bool report, bool triggerAction)>;
    // Run early in every dismissal.
    using DismissHandler = std::function<void()>;
    // The outcome of a presentation; the failure may come without a step.
    using PresentSuccess = std::function<void(const std::shared_ptr<KJTipElement>& step)>;
    using PresentFailure = std::function<void(const std::shared_ptr<KJTipElement>& step)>;

    virtual ~BLQITipViewController() = default;

    // The engine that made the controller; held weakly (the engine keeps the controller on screen).
    virtual void setTipManager(const std::weak_ptr<BLQITipManager>& manager) = 0;
    virtual void setTip(const std::shared_ptr<KJTipElement>& step) = 0;
    virtual std::shared_ptr<KJTipElement> tip() const = 0;

    // An empty block clears the handler.
    virtual void setClickOutsideHandler(OutsideHandler handler) = 0;
    virtual void setClickCloseButtonHandler(CloseHandler handler) = 0;
    virtual void setClickButton1Handler(ButtonHandler handler) = 0;
    virtual void setClickButton2Handler(ButtonHandler handler) = 0;
    virtual void setDismissHandler(DismissHandler handler) = 0;

    // The full-screen view behind the tip while it is shown; the engine watches whether it is in a
    // window and holds subviews.
    virtual std::shared_ptr<platform::UIView> coverView() const = 0;
    // Shows the tip (reusing the cover view when one is given) and calls exactly one of the blocks
    // when they are given; every argument may be none.
    virtual void presentTipWithCoverView(const std::shared_ptr<platform::UIView>& coverView,
                                         const std::shared_ptr<platform::UIWindow>& window,
                                         const std::shared_ptr<platform::UIViewController>& viewController,
                                         PresentSuccess success, PresentFailure failure) = 0;
    // Removes the tip, calls the dismiss handler and then the completion, when given.
    virtual void dismissTipWithRemoveCoverView(bool removeCoverView, bool disableAnimation,
                                               std::function<void()> completion) = 0;
    // Removes the cover and tip views without calling any handler.
    virtual void dismissOnTopWithRemoveCover(bool removeCover) = 0;
    // Calls the button 2 handler with the two values.
    virtual void switchToNextTip(bool report, bool triggerAction) = 0;
};

}  // namespace brindlecue
