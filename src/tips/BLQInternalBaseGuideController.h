#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "foundation/BLQILoggable.h"
#include "tips/BLQGuideStatus.h"
#include "tips/BLQIInternalGuideController.h"

namespace brindlecue {

// The engine-side controller of one registered custom guide block; one serves every showing of
// every step that names its key, one step at a time.
//
// Presenting hands the step to the host's block in a new container (the step's payload, the
// facade's tag manager, new operations) and waits for the block to call success (the status
// becomes isDisplaying, the engine hears of success) or failure (failedToDisplay, the engine hears
// of failure). A presentation is refused, with the engine's failure block called, without a block,
// without a step, or while a step is still attempting to display or displaying. A refused
// presentation leaves the step on screen with its own step and handlers, whatever the engine set
// for the refused one. Dismissing ends the step: the engine's displayed campaign is cleared, the
// status goes back to idle, the dismiss handler and then the block's isDismissingGuide run, and
// last the caller's completion.
//
// The engine is held weakly; the controller holds the host's block. Presenting runs on the main
// queue; the host's answers (and so the handlers and dismissals) may come from any thread.
class BLQInternalBaseGuideController : public BLQIInternalGuideController,
                                       public BLQILoggable,
                                       public std::enable_shared_from_this<BLQInternalBaseGuideController> {
public:
    BLQGuideStatus status() const { return status_.load(); }

    std::shared_ptr<BLQIGuideController> customGuideBlock() const override;
    void setCustomGuideBlock(std::shared_ptr<BLQIGuideController> block) override;
    std::shared_ptr<BLQITipManager> tipManager() const override;
    void setTipManager(const std::weak_ptr<BLQITipManager>& manager) override;
    void setTip(const std::shared_ptr<KJTipElement>& step) override;
    std::shared_ptr<KJTipElement> tip() const override;

    void setClickOutsideHandler(OutsideHandler handler) override;
    void setClickCloseButtonHandler(CloseHandler handler) override;
    void setClickInsideHandler(OutsideHandler handler) override;
    void setClickButton1Handler(ButtonHandler handler) override;
    void setClickButton2Handler(ButtonHandler handler) override;
    void setDismissHandler(DismissHandler handler) override;
    OutsideHandler clickOutsideHandler() const override;
    CloseHandler clickCloseButtonHandler() const override;
    OutsideHandler clickInsideHandler() const override;
    ButtonHandler clickButton1Handler() const override;
    ButtonHandler clickButton2Handler() const override;
    DismissHandler dismissHandler() const override;

    std::shared_ptr<platform::UIView> coverView() const override;
    void setCoverView(std::shared_ptr<platform::UIView> coverView) override;
    std::shared_ptr<platform::UIView> transparentView() const override;
    void setTransparentView(std::shared_ptr<platform::UIView> view) override;
    double pointerSize() const override { return 0; }
    std::shared_ptr<platform::UIImage> imageScreenshot() const override { return nullptr; }

    // The cover view and window are not used.
    void presentTipWithCoverView(const std::shared_ptr<platform::UIView>& coverView,
                                 const std::shared_ptr<platform::UIWindow>& window,
                                 const std::shared_ptr<platform::UIViewController>& viewController,
                                 PresentSuccess success, PresentFailure failure) final;
    // Both flags are ignored.
    void dismissTipWithRemoveCoverView(bool removeCoverView, bool disableAnimation,
                                       std::function<void()> completion) override;
    void dismissOnTopWithRemoveCover(bool removeCover) override { setGuideStatusToIdle(); }
    void dismissTip(bool animated) override { setGuideStatusToIdle(); }
    void setGuideStatusToIdle() override { status_ = BLQGuideStatus::idle; }
    void switchToNextTip(bool report, bool triggerAction) override {}
    void switchToPreviousTip(bool report, bool triggerAction) override {}

    bool displayUI(const platform::CGRect&) override { return true; }
    bool orientateUI(const platform::CGRect&) override { return true; }
    platform::CGRect layoutView(const platform::CGRect&, bool) override { return {}; }
    bool layoutRegularViews(const platform::CGSize&) override { return true; }
    platform::CGRect calculateTipFrame(double, const platform::CGRect&) override { return {}; }
    bool setConstraintsWithContentWidth(double, double) override { return true; }
    platform::CGPoint handleContainerMargin(const platform::CGPoint&, const platform::CGRect&,
                                            const platform::CGRect&) override {
        return {};
    }
    void feedbackCancelButtonClicked() override {}
    void takeScreenshot() override {}
    void buttonCloseClicked() override {}
    void button1Clicked() override {}
    void button2Clicked() override {}

private:
    // The step and the engine's handlers for it.
    struct Binding {
        std::shared_ptr<KJTipElement> tip;
        OutsideHandler outside;
        OutsideHandler inside;
        CloseHandler close;
        ButtonHandler button1;
        ButtonHandler button2;
        DismissHandler dismiss;
    };

    std::atomic<BLQGuideStatus> status_{BLQGuideStatus::idle};
    mutable std::mutex mutex_;
    std::shared_ptr<BLQIGuideController> customGuideBlock_;
    std::weak_ptr<BLQITipManager> tipManager_;
    // What the engine set last, and what it had set for the step whose presentation was taken.
    Binding binding_;
    Binding presented_;
    std::shared_ptr<platform::UIView> coverView_;
    std::shared_ptr<platform::UIView> transparentView_;
};

}  // namespace brindlecue
