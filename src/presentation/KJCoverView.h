#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/graphics/CGPath.h"
#include "platform/uikit/UIView.h"

namespace brindlecue {

namespace platform {
class CAShapeLayer;
class NotificationObserver;
class UIViewController;
}  // namespace platform

// The full-screen view every tip sits on. It dims the screen with its overlay colour except for a
// rounded hole (the highlight) over the tip's target, strokes the hole's border, reports every
// touch that begins on it, and forwards device orientation changes. The tip controller fills in
// its colours, hole and handlers; the tip engine keeps the cover under the current tip.
//
// Every change of the hole, its radius or its border redraws the cover; the border is one shape
// layer of the cover, kept and brought up to date, never added again. The cover does not change
// hit testing: a touch inside its frame lands on it or on the views placed on it. A cover without
// an overlay colour draws nothing over its clear background. Main thread.
class KJCoverView : public platform::UIView {
public:
    using TouchedHandler = std::function<void(platform::CGPoint point)>;
    using OrientationChangedHandler = std::function<void()>;

    static constexpr const char* kClassName = "KJCoverView";

    KJCoverView() = default;
    explicit KJCoverView(const platform::CGRect& frame) : UIView(frame) {}
    // Clear background; device orientation notifications switched on and observed.
    void didConstruct() override;
    // Switches the notifications off again.
    ~KJCoverView() override;
    std::string className() const override { return kClassName; }

    // The controller whose view sits on the cover; let go when the cover leaves its window.
    const std::shared_ptr<platform::UIViewController>& contentVC() const { return contentVC_; }
    void setContentVC(std::shared_ptr<platform::UIViewController> controller) {
        contentVC_ = std::move(controller);
    }

    // The dimming colour outside the hole; its own alpha sets how dark the dimming is.
    const std::optional<platform::UIColor>& overlayColor() const { return overlayColor_; }
    void setOverlayColor(std::optional<platform::UIColor> color);
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius);
    // Recorded from the step; the drawing does not use it.
    double overlayAlpha() const { return overlayAlpha_; }
    void setOverlayAlpha(double alpha) { overlayAlpha_ = alpha; }
    // The hole, in the cover's coordinates; the empty rectangle means no hole.
    const platform::CGRect& highlightFrame() const { return highlightFrame_; }
    void setHighlightFrame(const platform::CGRect& frame);
    const std::optional<platform::UIColor>& hightlightBorderColor() const { return hightlightBorderColor_; }
    void setHightlightBorderColor(std::optional<platform::UIColor> color);
    // 0 or less: no border.
    double hightlightBorderWidth() const { return hightlightBorderWidth_; }
    void setHightlightBorderWidth(double width);

    const OrientationChangedHandler& orientationChangedHandler() const { return orientationChangedHandler_; }
    void setOrientationChangedHandler(OrientationChangedHandler handler) {
        orientationChangedHandler_ = std::move(handler);
    }
    const TouchedHandler& touchedHandler() const { return touchedHandler_; }
    void setTouchedHandler(TouchedHandler handler) { touchedHandler_ = std::move(handler); }

    // Runs the orientation handler, when set.
    void orientationChanged();

    // The border's shape layer while a border is drawn (a sublayer of the cover's layer), else null.
    std::shared_ptr<platform::CAShapeLayer> borderLayer() const;

    // Fills the bounds with the overlay colour outside the hole; the content controller's view is
    // brought to the front and the cover marked not opaque.
    void drawRect(const platform::CGRect& rect) override;
    // Passes the touches on; then reports the point of one of them (in the cover's coordinates)
    // while the cover holds a subview, or takes the empty cover out of its superview.
    void touchesBegan(const platform::UITouchSet& touches,
                      const std::shared_ptr<platform::UIEvent>& event) override;
    void didMoveToWindow() override;

private:
    // The hole as a closed rounded rectangle (radius held to half the smaller side).
    platform::CGPath holePath() const;
    void updateBorder();

    std::shared_ptr<platform::UIViewController> contentVC_;
    std::optional<platform::UIColor> overlayColor_;
    double cornerRadius_ = 0;
    double overlayAlpha_ = 0;
    platform::CGRect highlightFrame_;
    std::optional<platform::UIColor> hightlightBorderColor_;
    double hightlightBorderWidth_ = 0;
    OrientationChangedHandler orientationChangedHandler_;
    TouchedHandler touchedHandler_;
    std::shared_ptr<platform::CAShapeLayer> border_;
    std::shared_ptr<platform::NotificationObserver> orientationObserver_;
};

}  // namespace brindlecue
