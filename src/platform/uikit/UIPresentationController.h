#pragma once

#include <memory>

#include "platform/uikit/NSObject.h"
#include "platform/uikit/UIViewController.h"

namespace brindlecue::platform {

class UIPresentationController;

enum class UIUserInterfaceSizeClass { Unspecified = 0, Compact = 1, Regular = 2 };

// The traits of an environment; a record (nothing here derives traits from screens).
class UITraitCollection : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UITraitCollection)

    UITraitCollection() = default;
    UITraitCollection(UIUserInterfaceSizeClass horizontal, UIUserInterfaceSizeClass vertical)
        : horizontal_(horizontal), vertical_(vertical) {}
    UIUserInterfaceSizeClass horizontalSizeClass() const { return horizontal_; }
    UIUserInterfaceSizeClass verticalSizeClass() const { return vertical_; }

private:
    UIUserInterfaceSizeClass horizontal_ = UIUserInterfaceSizeClass::Unspecified;
    UIUserInterfaceSizeClass vertical_ = UIUserInterfaceSizeClass::Unspecified;
};

// The delegate of a presentation controller; every method is optional. The adaptive-style
// questions are records of the protocol: the stand-in adapts no presentation. The dismissal calls
// come from the user's dismissal of a sheet (UIPresentationController::dismissInteractively).
class UIAdaptivePresentationControllerDelegate {
public:
    virtual ~UIAdaptivePresentationControllerDelegate() = default;
    virtual UIModalPresentationStyle adaptivePresentationStyleForPresentationController(
        const std::shared_ptr<UIPresentationController>& controller) {
        return UIModalPresentationStyle::None;
    }
    virtual UIModalPresentationStyle adaptivePresentationStyleForPresentationController(
        const std::shared_ptr<UIPresentationController>& controller,
        const std::shared_ptr<UITraitCollection>& traitCollection) {
        return UIModalPresentationStyle::None;
    }
    virtual std::shared_ptr<UIViewController>
    presentationControllerViewControllerForAdaptivePresentationStyle(
        const std::shared_ptr<UIPresentationController>& controller, UIModalPresentationStyle style) {
        return nullptr;
    }
    virtual void presentationControllerWillPresentWithAdaptiveStyle(
        const std::shared_ptr<UIPresentationController>& controller, UIModalPresentationStyle style,
        const std::shared_ptr<UIViewControllerTransitionCoordinator>& coordinator) {}
    virtual bool presentationControllerShouldDismiss(
        const std::shared_ptr<UIPresentationController>& controller) {
        return true;
    }
    virtual void presentationControllerWillDismiss(
        const std::shared_ptr<UIPresentationController>& controller) {}
    virtual void presentationControllerDidDismiss(
        const std::shared_ptr<UIPresentationController>& controller) {}
    virtual void presentationControllerDidAttemptToDismiss(
        const std::shared_ptr<UIPresentationController>& controller) {}
};

// The object that manages the presentation of one view controller (UIViewController's
// presentationController, made on first use). Its delegate is held weakly.
class UIPresentationController : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIPresentationController)

    explicit UIPresentationController(const std::shared_ptr<UIViewController>& presented)
        : presented_(presented) {}

    std::shared_ptr<UIViewController> presentedViewController() const { return presented_.lock(); }
    std::shared_ptr<UIViewController> presentingViewController() const;
    std::shared_ptr<UIAdaptivePresentationControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UIAdaptivePresentationControllerDelegate>& delegate) {
        delegate_ = delegate;
    }

    // Driver: the user swipes a presented sheet down. Nothing happens unless the controller is
    // presented in a sheet style (automatic, page sheet, form sheet). The delegate is asked
    // whether it may go (should-dismiss); refused, it hears did-attempt-to-dismiss. Otherwise it
    // hears will-dismiss, the controller is dismissed (animated), and did-dismiss follows once the
    // dismissal has finished.
    void dismissInteractively();

private:
    std::weak_ptr<UIViewController> presented_;
    std::weak_ptr<UIAdaptivePresentationControllerDelegate> delegate_;
};

}  // namespace brindlecue::platform
