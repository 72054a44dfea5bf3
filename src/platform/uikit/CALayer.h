#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/graphics/CGPath.h"
#include "platform/uikit/CAAnimation.h"
#include "platform/uikit/Geometry.h"
#include "platform/uikit/NSObject.h"
#include "platform/uikit/UIColor.h"

namespace brindlecue::platform {

class UIView;
class CGContext;

// The layer record behind every view, and stand-alone layers added as sublayers. A view's layer
// shares the view's geometry, opacity, hidden flag, background colour and clipping (reading or
// setting them on either side is the same); corner radius, border, shadow, masks, sublayers and
// animations live on the layer.
class CALayer : public NSObject {
public:
    BLQ_PLATFORM_CLASS(CALayer)

    CALayer() = default;
    // The backing layer of a view.
    explicit CALayer(const std::shared_ptr<UIView>& view) : view_(view), viewBacked_(true) {}

    // The view the layer backs, if any.
    std::shared_ptr<UIView> delegate() const { return view_.lock(); }

    CGRect frame() const;
    void setFrame(const CGRect& frame);
    CGRect bounds() const;
    CGPoint position() const;
    // The point of the bounds, in unit coordinates, that sits at the position and about which
    // the transform turns; (0.5, 0.5) by default. Changing it keeps the position, so a view's
    // frame moves. Stand-alone layers keep it but are placed by their frame.
    CGPoint anchorPoint() const;
    void setAnchorPoint(CGPoint anchor);
    double opacity() const;
    void setOpacity(double opacity);
    bool isHidden() const;
    void setHidden(bool hidden);
    std::optional<UIColor> backgroundColor() const;
    void setBackgroundColor(std::optional<UIColor> color);
    bool masksToBounds() const;
    void setMasksToBounds(bool masks);

    double cornerRadius = 0;
    double borderWidth = 0;
    std::optional<UIColor> borderColor = UIColor::blackColor();
    std::optional<UIColor> shadowColor = UIColor::blackColor();
    double shadowOpacity = 0;
    double shadowRadius = 3;
    CGSize shadowOffset{0, -3};
    std::optional<CGRect> shadowPath;  // a rectangular shadow path, when one is set
    double zPosition = 0;
    // Whether sublayers are composited as one group before the opacity applies (kept only).
    bool allowsGroupOpacity = true;
    std::string name;
    // The layer that masks this one (its alpha shapes what shows).
    std::shared_ptr<CALayer> mask;

    // Sublayers (a view's layer lists only the stand-alone sublayers added to it).
    const std::vector<std::shared_ptr<CALayer>>& sublayers() const { return sublayers_; }
    std::shared_ptr<CALayer> superlayer() const { return superlayer_.lock(); }
    void addSublayer(const std::shared_ptr<CALayer>& layer);
    void insertSublayer(const std::shared_ptr<CALayer>& layer, size_t index);
    void removeFromSuperlayer();

    // Animations by key, in the order they were added; adding under a used key replaces that
    // animation. An empty key gets a generated one.
    void addAnimation(const std::shared_ptr<CAAnimation>& animation, const std::string& key);
    std::shared_ptr<CAAnimation> animationForKey(const std::string& key) const;
    std::vector<std::string> animationKeys() const;
    void removeAnimationForKey(const std::string& key);
    void removeAllAnimations();

    // ---- Drawing. A layer's own content: a stand-alone layer draws it in drawInContext (in its
    // bounds' space); a view's layer draws its view's drawRect. setNeedsDisplay marks the
    // content for redrawing (every render draws it afresh).
    virtual void drawInContext(CGContext& context) {}
    void setNeedsDisplay() { needsDisplay_ = true; }
    bool needsDisplay() const { return needsDisplay_; }
    // Renders the layer, its sublayers and (for a view's layer) its subviews into the context,
    // in the layer's own space: background, corner radius, content, sublayers, subviews,
    // border, opacity, shadow and mask, with masksToBounds clipping. The content is clipped to
    // the bounds (its backing store), except a shape layer's path. Stand-alone sublayers are
    // drawn below the view's subviews.
    void renderInContext(CGContext& context);

private:
    bool needsDisplay_ = false;
    std::weak_ptr<UIView> view_;
    bool viewBacked_ = false;
    CGRect frame_;
    double opacity_ = 1;
    bool hidden_ = false;
    bool masksToBounds_ = false;
    CGPoint anchorPoint_{0.5, 0.5};
    std::optional<UIColor> backgroundColor_;
    std::vector<std::shared_ptr<CALayer>> sublayers_;
    std::weak_ptr<CALayer> superlayer_;
    std::vector<std::pair<std::string, std::shared_ptr<CAAnimation>>> animations_;
    int generatedKeys_ = 0;
};

// A layer that fills and strokes a path (in its own space).
class CAShapeLayer : public CALayer {
public:
    BLQ_PLATFORM_CLASS(CAShapeLayer)
    CGPath path;
    double lineWidth = 1;
    std::optional<UIColor> strokeColor;
    std::optional<UIColor> fillColor = UIColor::blackColor();
    std::string lineJoin = "miter";
    std::string fillRule = "non-zero";
    std::string lineCap = "butt";
    void drawInContext(CGContext& context) override;
};

}  // namespace brindlecue::platform
