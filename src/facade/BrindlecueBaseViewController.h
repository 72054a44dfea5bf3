#pragma once

#include <memory>
#include <optional>
#include <string>

#include "facade/BLQHostScreen.h"
#include "facade/RCTUIManagerObserver.h"
#include "platform/Date.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIViewController.h"

namespace brindlecue {

namespace platform {
class Bundle;
}  // namespace platform

// The base class of a host's view controllers: deriving a screen from it lets the library follow
// the screen. Over one visit a reported screen produces, in this order: the custom-feed request
// (view loaded), the class name under "ENTERBAK_PAGE_HISTORY" (about to appear), page enter, enter,
// the preview check, the super-tag request, show tip and the super-tag view count (appeared), then
// page exit, force dismiss and exit (about to disappear). Any screen, reported or not, removes the
// launcher buttons when it is about to appear, asks for tips when it has appeared, reports size
// changes, and asks for off-screen tips while a scroll view it is the delegate of scrolls.
//
// In a React Native host (a class "RCTRootView" that the host registered) the screen's own steps
// (the _do... methods) do not run from the appearance callbacks: the screen observes the React
// Native UI manager and runs them when React Native mounts views, at most once a second and not
// for a rotation. The time of the last such re-run (lastChangeDate), the flag uiMayChange and the
// last orientation seen (user defaults "DEVICE_ORIENTATION") are shared by every screen of the
// process, under one lock.
//
// A subclass that overrides a callback calls this class's implementation first. Make objects
// with platform::make; a subclass overrides className and registers its name with this class (or
// a subclass) as superclass.
class BrindlecueBaseViewController : public platform::UIViewController,
                                     public BLQHostScreen,
                                     public platform::UIScrollViewDelegate,
                                     public RCTUIManagerObserver {
public:
    static constexpr const char* kDeviceOrientation = "DEVICE_ORIENTATION";
    static constexpr const char* kReactNativeRootViewClass = "RCTRootView";

    // init
    BrindlecueBaseViewController() = default;
    // initWithNibName:bundle:
    BrindlecueBaseViewController(std::optional<std::string> nibName,
                                 std::shared_ptr<platform::Bundle> bundle);
    std::string className() const override { return "BrindlecueBaseViewController"; }
    void didConstruct() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewWillTransitionToSize(
        platform::CGSize size,
        const std::shared_ptr<platform::UIViewControllerTransitionCoordinator>& coordinator) override;

    // ---- Scroll views this controller is the delegate of.
    void scrollViewDidScroll(platform::UIScrollView& scrollView) override;
    void scrollViewWillBeginDragging(platform::UIScrollView& scrollView) override;
    void scrollViewDidEndDragging(platform::UIScrollView& scrollView, bool willDecelerate) override;
    void scrollViewWillBeginDecelerating(platform::UIScrollView& scrollView) override;
    void scrollViewDidEndDecelerating(platform::UIScrollView& scrollView) override;

    // ---- Presentation controller (beside those of BLQHostScreen): logs only.
    void presentationControllerWillDismiss(
        const std::shared_ptr<platform::UIPresentationController>& controller) override;
    void presentationControllerDidAttemptToDismiss(
        const std::shared_ptr<platform::UIPresentationController>& controller) override;

    // ---- React Native.
    // True when the host registered a class "RCTRootView" (the registry's own entry for React
    // Native's class names does not count).
    static bool checkReactNative();
    // In a React Native host, makes the controller an observer of the UI manager of its view's
    // bridge (view "bridge", its "uiManager", that one's "observerCoordinator"); a missing link
    // ends the hook silently. Runs on every viewWillAppear.
    void hookReactNative();
    // React Native is about to mount views: when the UI manager has pending UI blocks, re-runs
    // the screen's steps (_doViewDidLoad, _doViewWillAppear, _doViewDidAppear) at most once a
    // second; a mount that comes with a change of the interface orientation runs only the
    // preview check. The steps run on the main thread (queued there when React Native calls from
    // another thread); the orientation is read on the main thread.
    void uiManagerWillPerformMounting(const std::shared_ptr<platform::NSObject>& manager) override;

    // The process-wide values of the React Native path (any thread).
    static std::optional<platform::Date> lastChangeDate();
    static void setLastChangeDate(std::optional<platform::Date> date);
    static bool uiMayChange();
    static void setUiMayChange(bool mayChange);
    // Test-only: forgets lastChangeDate and uiMayChange. The library never calls it.
    static void resetReactNativeStateForTesting();

protected:
    std::shared_ptr<platform::UIViewController> hostController() const override;

    void _doViewDidLoad();
    void _doViewWillAppear();
    void _doViewDidAppear();
    void _doViewWillDisappear();

private:
    // Off-screen tips of this screen: "shouldShow" YES retries them at once.
    void postOffScreenTips(bool shouldShow);
};

}  // namespace brindlecue
