#pragma once

#include <memory>

#include "feed/BLQITipViewController.h"
#include "platform/uikit/Geometry.h"

namespace brindlecue {

class BLQIGuideController;

namespace platform {
class UIImage;
}  // namespace platform

// What stands in for a tip controller when the engine shows a step of a host's custom guide
// (tip type 99): the engine drives it as it drives a tip controller, and it hands the step to the
// host's guide block. The host's block reaches the engine's result handlers through the getters.
class BLQIInternalGuideController : public BLQITipViewController {
public:
    virtual std::shared_ptr<BLQIGuideController> customGuideBlock() const = 0;
    virtual void setCustomGuideBlock(std::shared_ptr<BLQIGuideController> block) = 0;
    virtual std::shared_ptr<BLQITipManager> tipManager() const = 0;

    // The handlers the engine installed (empty when none). The inside tap has no engine handler.
    virtual OutsideHandler clickOutsideHandler() const = 0;
    virtual CloseHandler clickCloseButtonHandler() const = 0;
    virtual OutsideHandler clickInsideHandler() const = 0;
    virtual void setClickInsideHandler(OutsideHandler handler) = 0;
    virtual ButtonHandler clickButton1Handler() const = 0;
    virtual ButtonHandler clickButton2Handler() const = 0;
    virtual DismissHandler dismissHandler() const = 0;

    // What a tip controller carries for the engine's layout; a custom guide draws none of it.
    virtual void setCoverView(std::shared_ptr<platform::UIView> coverView) = 0;
    virtual std::shared_ptr<platform::UIView> transparentView() const = 0;
    virtual void setTransparentView(std::shared_ptr<platform::UIView> view) = 0;
    virtual double pointerSize() const = 0;
    virtual std::shared_ptr<platform::UIImage> imageScreenshot() const = 0;

    // A tip controller's layout and button operations; a custom guide lays nothing out.
    virtual bool displayUI(const platform::CGRect& rect) = 0;
    virtual bool orientateUI(const platform::CGRect& rect) = 0;
    virtual platform::CGRect layoutView(const platform::CGRect& rect, bool needSetInside) = 0;
    virtual bool layoutRegularViews(const platform::CGSize& size) = 0;
    virtual platform::CGRect calculateTipFrame(double pointer, const platform::CGRect& tipCoverRect) = 0;
    virtual bool setConstraintsWithContentWidth(double width, double height) = 0;
    virtual void switchToPreviousTip(bool report, bool triggerAction) = 0;
    virtual void dismissTip(bool animated) = 0;
    virtual platform::CGPoint handleContainerMargin(const platform::CGPoint& point, const platform::CGRect& tipCoverRect,
                                                    const platform::CGRect& tipFrame) = 0;
    virtual void feedbackCancelButtonClicked() = 0;
    virtual void takeScreenshot() = 0;
    // Allows the next presentation.
    virtual void setGuideStatusToIdle() = 0;
    virtual void buttonCloseClicked() = 0;
    virtual void button1Clicked() = 0;
    virtual void button2Clicked() = 0;
};

}  // namespace brindlecue
