#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "feed/BLQITipViewController.h"
#include "feed/BLQIWebTipController.h"
#include "platform/Error.h"
#include "platform/uikit/Geometry.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIViewController.h"

namespace brindlecue {

namespace platform {
class NSLayoutConstraint;
class UIActivityIndicatorView;
class UIButton;
class UIImage;
class UIPanGestureRecognizer;
}  // namespace platform

class KJCoverView;
class PaddingLabel;

// The base of the library's tip controllers (modal, pop tip, coachmark, feedback). The tip engine
// makes one per step to show, gives it the step, itself and five handler blocks, and asks it to
// present itself. The controller then owns the step's time on screen: it puts a dimming cover over
// the window, places its view on it, lets the subclass lay the tip out (displayUI), runs the
// in-animation, cuts the highlight around the target, reports the step shown, routes every user
// action (buttons, taps, swipes, web-page calls, carousel buttons) to the engine's handlers, and
// dismisses itself with the out-animation. It is also the web tip controller of its web view: the
// navigation delegate (links the user taps open outside the app) and what the page's calls reach.
//
// Subclasses override displayUI (the base shows nothing) and, where they differ, orientateUI,
// layoutRegularViews, takeScreenshot and the layout operations; the layout half lives in
// KJBaseTipViewControllerLayout.cpp and KJBaseTipViewControllerButtons.cpp.
//
// The view tree and its named constraints are built in code (loadView); constraints are records
// whose constants the layout writes, and the frames they describe are set by
// placeViewsByConstraints. viewDidAppear, which the platform sends on the main-queue turn after
// the view entered a window, marks the controller appeared.
//
// Main queue; the feed acknowledgement alone goes out from a global queue.
class KJBaseTipViewController : public platform::UIViewController,
                                public BLQITipViewController,
                                public BLQIWebTipController,
                                public platform::UIGestureRecognizerDelegate {
public:
    // View tags of the views the controller adds beside its own.
    static constexpr int64_t kHighlightClipViewTag = 108109152;
    static constexpr int64_t kTargetOverlayTag = 108109153;
    static constexpr const char* kCarouselLayoutNotification = "KJ_CarouselBridge_LayoutCarousel";
    static constexpr const char* kCarouselNextNotification = "KJ_CarouselBridge_Next";

    KJBaseTipViewController() = default;
    ~KJBaseTipViewController() override;
    std::string className() const override { return "KJBaseTipViewController"; }
    void didConstruct() override;

    // ---- State --------------------------------------------------------------------------------

    // Direction of the swipe that dismissed the tip: 1 up, 2 down, 3 left, 4 right; 0 before.
    uint64_t animationDirection = 0;
    // Set when the platform reports the view appeared; a tap outside does nothing before.
    bool hasAppeared = false;
    // Part of the guide-controller contract; no action of the base runs it.
    std::function<void()> clickInsideHandler;
    // A clear view the size of the screen, made anew at each presentation.
    std::shared_ptr<platform::UIView> transparentView;
    // The screen image a coachmark takes.
    std::shared_ptr<platform::UIImage> imageScreenshot;

    // ---- Outlets: the tip's views and its named constraints ----------------------------------

    std::shared_ptr<platform::UIView> viewContent;
    std::shared_ptr<platform::UIView> viewTitle;
    std::shared_ptr<PaddingLabel> labelTitle;
    std::shared_ptr<PaddingLabel> labelContent;
    // The web view of the web support (KJTipPresentation::setWebSupport), made hidden with the
    // controller as its navigation delegate; without web support a plain view kept hidden.
    std::shared_ptr<platform::UIView> webView;
    std::shared_ptr<platform::UIActivityIndicatorView> activityIndicator;
    std::shared_ptr<platform::UIButton> buttonClose;
    std::shared_ptr<platform::UIButton> button1;
    std::shared_ptr<platform::UIButton> button2;

    using Constraint = std::shared_ptr<platform::NSLayoutConstraint>;
    using WeakConstraint = std::weak_ptr<platform::NSLayoutConstraint>;
    Constraint cstContentTrailing, cstContentTop, cstContentBottom, cstContentLeading;
    Constraint cstViewTitleMarginTop, cstViewTitleMarginLeft, cstViewTitleMarginRight, cstViewTitleHeight;
    Constraint cstLabelTitleMarginLeft, cstLabelTitleMarginTop, cstLabelTitleHeight, cstTitleCloseMargin;
    Constraint cstButtonDismissWidth, cstButtonDismissHeight, cstButtonDismissMarginRight,
        cstButtonDismissMarginTop;
    Constraint cstLabelContentHeight, cstLabelContentMarginLeft, cstLabelContentMarginRight;
    Constraint cstLabelTitleContentMarginTop, cstLabelContentMarginBottom, cstWebViewHeight;
    Constraint cstButtonPrevWidth, cstButtonPrevHeight, cstButtonPrevMarginLeft;
    // Held weakly, as their views hold them: deactivated, they go.
    WeakConstraint cstButtonPrevNextMarginVertical, cstButtonPrevMarginRightVertical;
    Constraint cstButtonNextWidth, cstButtonNextHeight, cstButtonNextMarginRight, cstButtonNextMarginBottom;
    Constraint cstButtonWidthEqual, cstButtonMarginBetween;
    WeakConstraint cstButtonNextMarginLeftVertical;
    Constraint cstButtonPrevMarginTop, cstButtonNextMarginTop, cstButtonPrevMarginBottom;

    // ---- BLQITipViewController ------------------------------------------------------------------

    void setTipManager(const std::weak_ptr<BLQITipManager>& manager) override { tipManager_ = manager; }
    std::shared_ptr<BLQITipManager> tipManager() const { return tipManager_.lock(); }
    void setTip(const std::shared_ptr<KJTipElement>& step) override { tip_ = step; }
    std::shared_ptr<KJTipElement> tip() const override { return tip_; }
    void setClickOutsideHandler(OutsideHandler handler) override {
        clickOutsideHandler_ = std::move(handler);
    }
    void setClickCloseButtonHandler(CloseHandler handler) override {
        clickCloseButtonHandler_ = std::move(handler);
    }
    void setClickButton1Handler(ButtonHandler handler) override { clickButton1Handler_ = std::move(handler); }
    void setClickButton2Handler(ButtonHandler handler) override { clickButton2Handler_ = std::move(handler); }
    void setDismissHandler(DismissHandler handler) override { dismissHandler_ = std::move(handler); }
    std::shared_ptr<platform::UIView> coverView() const override;
    std::shared_ptr<KJCoverView> kjCoverView() const { return coverView_; }
    void setCoverView(std::shared_ptr<KJCoverView> cover) { coverView_ = std::move(cover); }

    // Shows the tip on the window (none: the key window) over the host screen: the work runs in
    // two main-queue turns, the first removing stale covers from the window. A cover view given
    // is reused (emptied); otherwise a new one becomes the engine's cover. Exactly one of the
    // blocks is called, when given; without a success block the controller reports the step shown
    // itself, once in its life (a redraw after a rotation is no new showing); without a failure
    // block a step not shown is handed to the engine as off screen.
    void presentTipWithCoverView(const std::shared_ptr<platform::UIView>& coverView,
                                 const std::shared_ptr<platform::UIWindow>& window,
                                 const std::shared_ptr<platform::UIViewController>& viewController,
                                 PresentSuccess success, PresentFailure failure) override;
    // Removes the highlight clip view and the target overlay, runs the dismiss handler, then takes
    // the tip off screen at once (disableAnimation) or after the out-animation, and calls the
    // completion. Signals the engine's concurrent-tips semaphore when it has no campaign current.
    // A dismissal that comes after a later tip took the engine's cover leaves that tip's cover,
    // highlight views and displayed feed id alone.
    void dismissTipWithRemoveCoverView(bool removeCoverView, bool disableAnimation,
                                       std::function<void()> completion) override;
    // Takes the view (and with the flag the engine's cover) off screen at once; the view is
    // released and made anew on the next presentation.
    void dismissOnTopWithRemoveCover(bool removeCover) override;
    void switchToNextTip(bool report, bool triggerAction) override;

    // ---- Operations -----------------------------------------------------------------------------

    // A touch-passing view (tag 108109153) that tells the engine of every touch on the target;
    // none when the rectangle (window coordinates) has neither width nor height.
    std::shared_ptr<platform::UIView> createTargetOverlayWithFrame(const platform::CGRect& frame);
    // The close, previous and next actions run their handlers only until the tip's dismissal
    // begins: a second close, or a call a page makes after the first, reaches nothing.
    void dismissTip(bool report) override;
    void switchToPreviousTip(bool report, bool triggerAction) override;
    // Reports the feedback step rejected (outside preview mode), ends its campaign and dismisses.
    void feedbackCancelButtonClicked();

    // ---- Actions --------------------------------------------------------------------------------

    void buttonCloseClicked();
    void button1Clicked();
    void button2Clicked();
    void insideTipClicked();
    void outsideTipClicked();
    // The tap on a web step's page: the next step when the step dismisses on a touch inside.
    void tapGestureHandler();
    // A carousel page's button (its tag is the page's index).
    void dismissCarousel(const std::shared_ptr<platform::NSObject>& sender);
    void pan(const std::shared_ptr<platform::NSObject>& sender);
    void handleUpwardsGesture();
    void handleDownwardsGesture();
    void handleLeftGesture();
    void handleRightGesture();

    // ---- Web page navigation (links the user taps: BLQIWebTipController) ------------------------

    void webViewDidStartProvisionalNavigation(platform::WKWebView& webView,
                                              const std::shared_ptr<platform::WKNavigation>&) override;
    // The indicator stops once the web view is no longer loading.
    void webViewDidFinishNavigation(platform::WKWebView& webView,
                                    const std::shared_ptr<platform::WKNavigation>&) override;
    // A page that cannot be read: the indicator stops, the failure is logged and the tip stays.
    void webViewDidFailProvisionalNavigation(platform::WKWebView& webView,
                                             const std::shared_ptr<platform::WKNavigation>&,
                                             const platform::Error& error) override;

    // ---- What subclasses override -----------------------------------------------------------------

    // Lays the tip out in the cover's bounds; false when it cannot be shown. The base shows nothing.
    virtual bool displayUI(const platform::CGRect& coverBounds);
    virtual bool orientateUI(const platform::CGRect& rect);
    // The pointer's height plus the step's border width.
    virtual double pointerSize() const;
    virtual void takeScreenshot() {}

    // ---- Layout -------------------------------------------------------------------------------------

    // The tip frame in the cover, or the zero rectangle when the tip cannot be laid out; with the
    // flag the constraints are set and activated and the tip view styled.
    virtual platform::CGRect layoutView(const platform::CGRect& coverRect, bool needSetInside);
    // A preset width of 0 derives the width from the step.
    virtual platform::CGRect calculateTipFrame(double presetWidth, const platform::CGRect& coverRect);
    // The tip's final origin for the step's margins; may shrink the frame.
    virtual platform::CGPoint handleContainerMargin(platform::CGPoint origin,
                                                    const platform::CGRect& coverRect,
                                                    platform::CGRect& tipFrame);
    // The origin clamped into the cover (whose own origin counts as 0, 0).
    static platform::CGPoint boundaryChecker(platform::CGPoint origin, platform::CGSize tipFrameSize,
                                             platform::CGSize coverRectSize);
    // Runs the five constraint setters in order; a failing one stops the chain and nothing is
    // activated. On success the batch of 28 named constraints is activated.
    virtual bool setConstraintsWithContentWidth(double contentWidth, double contentHeight);
    virtual bool setConstraintsForTipWithContentWidth(double contentWidth, double contentHeight);
    virtual bool setConstraintsForTitleWithContentWidth(double contentWidth, double contentHeight);
    virtual bool setConstraintsForContentWithContentWidth(double contentWidth, double contentHeight);
    // Fails when the web area left would be under 30 points.
    virtual bool setConstraintsForWebWithContentWidth(double contentWidth, double contentHeight);
    virtual bool setConstraintsForButtonsWithContentWidth(double contentWidth, double contentHeight);
    // The rules for steps whose two buttons both have the width -1.
    virtual void backwardCompatibleButtonPlaceLogic(double contentWidth);
    virtual double calculateViewTitleHeight(double contentWidth);
    // Styles and fills the subviews; true.
    virtual bool layoutRegularViews(platform::CGSize contentSize);
    // Sets the frames of the tip's subviews from the constants of their active constraints.
    void placeViewsByConstraints();

    // ---- Platform callbacks -----------------------------------------------------------------------

    void loadView() override;
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidLayoutSubviews() override;
    bool gestureRecognizerShouldBegin(platform::UIGestureRecognizer&) override { return true; }
    bool gestureRecognizerShouldReceiveTouch(platform::UIGestureRecognizer&, platform::UITouch&) override {
        return true;
    }
    bool gestureRecognizerShouldRecognizeSimultaneously(platform::UIGestureRecognizer&,
                                                        platform::UIGestureRecognizer&) override {
        return true;
    }

    // The swipe under way for every controller of the process (0 none, 1 up, 2 down, 3 left,
    // 4 right). Main thread.
    static uint64_t panDirection();

protected:
    // The tip's root view, which the view tree is built in (a kind of tip that draws its own
    // shape gives a view of its own class). A plain view of the frame by default.
    virtual std::shared_ptr<platform::UIView> makeRootView(const platform::CGRect& frame);
    // The step's overlay as the highlight: the hole in cover coordinates and the target overlay.
    void highlightTarget(const std::shared_ptr<platform::UIWindow>& window);
    void runInAnimation();
    // Calls the failure block (or hands the step to the engine as off screen), then dismisses
    // without animation.
    void failPresentation(const PresentFailure& failure);
    void reportShown(const PresentSuccess& success);

private:
    struct Presentation;
    void presentOnMainQueue(const std::shared_ptr<Presentation>& presentation);
    // False (logged) when the host's top screen is not the step's.
    bool topScreenMatches(const std::shared_ptr<platform::UIViewController>& topCandidate,
                          const std::shared_ptr<platform::UIViewController>& host) const;
    void coverTouched(platform::CGPoint point);
    void coverOrientationChanged();
    void postCarouselLayout();
    void finishDismissal(bool removeCover, const std::function<void()>& completion);
    // The engine's cover holds another controller's tip: this one was dismissed late.
    bool laterTipShown() const;
    void buildConstraints();

    std::weak_ptr<BLQITipManager> tipManager_;
    std::shared_ptr<KJTipElement> tip_;
    OutsideHandler clickOutsideHandler_;
    CloseHandler clickCloseButtonHandler_;
    ButtonHandler clickButton1Handler_;
    ButtonHandler clickButton2Handler_;
    DismissHandler dismissHandler_;
    std::shared_ptr<KJCoverView> coverView_;
    std::shared_ptr<platform::UIPanGestureRecognizer> panRecognizer_;
    // The screen's rectangle when the tip was presented.
    platform::CGRect screenRect_;
    // Whether the step was reported shown by this controller already.
    bool reportedShown_ = false;
    // Set when a dismissal begins, cleared by a presentation.
    bool dismissalBegun_ = false;
};

}  // namespace brindlecue
