#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIResponder.h"

namespace brindlecue::platform {

class CALayer;
class UIWindow;
class UIViewController;
class UIGestureRecognizer;
class NSLayoutConstraint;
class UILayoutGuide;
enum class UILayoutConstraintAxis : int64_t;
class UIMotionEffect;

// Autoresizing mask bits, as the platform numbers them.
enum UIViewAutoresizing : uint32_t {
    UIViewAutoresizingNone = 0,
    UIViewAutoresizingFlexibleLeftMargin = 1 << 0,
    UIViewAutoresizingFlexibleWidth = 1 << 1,
    UIViewAutoresizingFlexibleRightMargin = 1 << 2,
    UIViewAutoresizingFlexibleTopMargin = 1 << 3,
    UIViewAutoresizingFlexibleHeight = 1 << 4,
    UIViewAutoresizingFlexibleBottomMargin = 1 << 5,
};

enum class UIViewContentMode {
    ScaleToFill,
    ScaleAspectFit,
    ScaleAspectFill,
    Redraw,
    Center,
    Top,
    Bottom,
    Left,
    Right
};

// Animation option bits, as the platform numbers them (the ones the library passes).
enum UIViewAnimationOptions : uint64_t {
    UIViewAnimationOptionLayoutSubviews = 1 << 0,
    UIViewAnimationOptionAllowUserInteraction = 1 << 1,
    UIViewAnimationOptionBeginFromCurrentState = 1 << 2,
    UIViewAnimationOptionRepeat = 1 << 3,
    UIViewAnimationOptionAutoreverse = 1 << 4,
    UIViewAnimationOptionCurveEaseInOut = 0 << 16,
    UIViewAnimationOptionCurveEaseIn = 1 << 16,
    UIViewAnimationOptionCurveEaseOut = 2 << 16,
    UIViewAnimationOptionCurveLinear = 3 << 16,
    UIViewAnimationOptionTransitionFlipFromLeft = 1 << 20,
    UIViewAnimationOptionTransitionCrossDissolve = 5 << 20,
};

// A view: geometry (frame, bounds, center, transform), appearance, the subview tree, coordinate
// conversion, hit testing and the responder chain. Subviews are owned by their superview; the
// superview and window are weak. Views are made with make<T>(...).
//
// Geometry follows the platform: bounds and center are stored, the frame is derived through the
// transform about the center, and a superview point p of a subview v is
// v.center + v.transform(p_v - v.bounds.origin - v.bounds.size / 2).
class UIView : public UIResponder {
public:
    BLQ_PLATFORM_CLASS(UIView)

    UIView() = default;
    explicit UIView(const CGRect& frame);
    ~UIView() override;
    void didConstruct() override;

    // ---- Geometry
    CGRect frame() const;
    virtual void setFrame(const CGRect& frame);
    CGRect bounds() const { return bounds_; }
    virtual void setBounds(const CGRect& bounds);
    CGPoint center() const { return center_; }
    void setCenter(CGPoint center);
    CGAffineTransform transform() const { return transform_; }
    void setTransform(const CGAffineTransform& transform);

    // ---- Appearance
    double alpha() const { return alpha_; }
    virtual void setAlpha(double alpha);
    bool isHidden() const { return hidden_; }
    virtual void setHidden(bool hidden);
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    int64_t tag() const { return tag_; }
    void setTag(int64_t tag) { tag_ = tag; }
    bool clipsToBounds() const { return clipsToBounds_; }
    void setClipsToBounds(bool clips) { clipsToBounds_ = clips; }
    std::optional<UIColor> backgroundColor() const { return backgroundColor_; }
    virtual void setBackgroundColor(std::optional<UIColor> color) { backgroundColor_ = color; }
    // The own tint colour, else the superview's, else the system blue.
    UIColor tintColor() const;
    void setTintColor(std::optional<UIColor> color) { tintColor_ = color; }
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
    bool isMultipleTouchEnabled() const { return multipleTouchEnabled_; }
    void setMultipleTouchEnabled(bool enabled) { multipleTouchEnabled_ = enabled; }
    UIViewContentMode contentMode() const { return contentMode_; }
    void setContentMode(UIViewContentMode mode) { contentMode_ = mode; }
    uint32_t autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(uint32_t mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool v) { autoresizesSubviews_ = v; }
    bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizing_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool v) { translatesAutoresizing_ = v; }
    const std::optional<std::string>& accessibilityIdentifier() const { return accessibilityIdentifier_; }
    void setAccessibilityIdentifier(std::optional<std::string> id) {
        accessibilityIdentifier_ = std::move(id);
    }
    const std::optional<std::string>& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(std::optional<std::string> label) { accessibilityLabel_ = std::move(label); }
    bool isAccessibilityElement() const { return isAccessibilityElement_; }
    void setIsAccessibilityElement(bool v) { isAccessibilityElement_ = v; }

    const std::shared_ptr<CALayer>& layer() const { return layer_; }

    // ---- Hierarchy
    std::shared_ptr<UIView> superview() const { return superview_.lock(); }
    const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
    // The window at the root of the view's tree; a window is its own window.
    virtual std::shared_ptr<UIWindow> window() const;
    // Adds the view at the top (moving it from its old superview); adding a view that is already
    // a subview brings it to the front. Adding the view itself or an ancestor is refused.
    void addSubview(const std::shared_ptr<UIView>& view);
    void insertSubviewAtIndex(const std::shared_ptr<UIView>& view, size_t index);
    void insertSubviewAboveSubview(const std::shared_ptr<UIView>& view,
                                   const std::shared_ptr<UIView>& sibling);
    void insertSubviewBelowSubview(const std::shared_ptr<UIView>& view,
                                   const std::shared_ptr<UIView>& sibling);
    void exchangeSubviewAtIndex(size_t index1, size_t index2);
    void bringSubviewToFront(const std::shared_ptr<UIView>& view);
    void sendSubviewToBack(const std::shared_ptr<UIView>& view);
    void removeFromSuperview();
    // True for the view itself and its descendants.
    bool isDescendantOfView(const std::shared_ptr<UIView>& view) const;
    // The view itself or the first descendant (depth first, in subview order) with the tag.
    std::shared_ptr<UIView> viewWithTag(int64_t tag);
    // Index in the superview's subviews; none without a superview.
    std::optional<size_t> indexInSuperview() const;

    // Hooks around hierarchy changes (call the base when overriding).
    virtual void willMoveToSuperview(const std::shared_ptr<UIView>& newSuperview) {}
    virtual void didMoveToSuperview() {}
    virtual void willMoveToWindow(const std::shared_ptr<UIWindow>& newWindow) {}
    virtual void didMoveToWindow() {}
    virtual void didAddSubview(const std::shared_ptr<UIView>& subview) {}
    virtual void willRemoveSubview(const std::shared_ptr<UIView>& subview) {}

    // ---- Layout
    // Marks the view for layout; the pass runs on the main queue (or at layoutIfNeeded).
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    // Lays out the view and its subtree now when marked: the owning controller's
    // viewWillLayoutSubviews, layoutSubviews, viewDidLayoutSubviews.
    void layoutIfNeeded();
    virtual void layoutSubviews() {}
    virtual CGSize sizeThatFits(CGSize size) const { return bounds_.size; }
    void sizeToFit();
    virtual CGSize intrinsicContentSize() const { return {-1, -1}; }
    // The window's safe-area insets where they overlap this view.
    virtual UIEdgeInsets safeAreaInsets() const;
    // The guide of the safe area, made on first use (a record for constraints).
    std::shared_ptr<UILayoutGuide> safeAreaLayoutGuide() const;
    UIEdgeInsets layoutMargins() const { return layoutMargins_; }
    void setLayoutMargins(const UIEdgeInsets& m) { layoutMargins_ = m; }

    // How strongly the view resists being made smaller than its content along an axis (750 unless
    // set); a record for constraints.
    float contentCompressionResistancePriorityForAxis(UILayoutConstraintAxis axis) const;
    void setContentCompressionResistancePriority(float priority, UILayoutConstraintAxis axis);

    // Layout constraints held by this view (records; nothing solves them).
    const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints() const { return constraints_; }
    void addConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint);
    void addConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
    void removeConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint);
    void removeConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);

    // ---- Drawing. Rendering a view (CALayer::renderInContext, drawViewHierarchyInRect) draws
    // its layer's background, corner radius, border, shadow and opacity, calls drawRect with the
    // view's bounds while the UIKit context is the rendering context, then draws its subviews.
    // The stand-in's views draw their content in drawRect; custom views override it.
    void setNeedsDisplay() { needsDisplay_ = true; }
    bool needsDisplay() const { return needsDisplay_; }
    void clearNeedsDisplay() { needsDisplay_ = false; }
    virtual void drawRect(const CGRect& rect) {}
    // Draws the view's tree, the view's bounds fitted into the rectangle, into the current UIKit
    // context (a snapshot: open an image context at a scale, draw, take its image). Pending
    // layout is done first when asked. False when there is no current context.
    bool drawViewHierarchyInRect(const CGRect& rect, bool afterScreenUpdates);

    // ---- Coordinate conversion. A null view stands for the window of this view (or its root
    // when it is in no window). Views in different windows convert through screen coordinates.
    CGPoint convertPointToView(CGPoint point, const std::shared_ptr<const UIView>& view) const;
    CGPoint convertPointFromView(CGPoint point, const std::shared_ptr<const UIView>& view) const;
    CGRect convertRectToView(const CGRect& rect, const std::shared_ptr<const UIView>& view) const;
    CGRect convertRectFromView(const CGRect& rect, const std::shared_ptr<const UIView>& view) const;

    // ---- Hit testing: the deepest visible, interactive view under the point (in this view's
    // coordinates), front subviews first.
    virtual std::shared_ptr<UIView> hitTest(CGPoint point, const std::shared_ptr<UIEvent>& event);
    virtual bool pointInside(CGPoint point, const std::shared_ptr<UIEvent>& event) const;

    // ---- Responder chain: the owning controller for a controller's root view, else the superview.
    std::shared_ptr<UIResponder> nextResponder() const override;
    // The controller whose root view this is.
    std::shared_ptr<UIViewController> viewControllerOfRootView() const { return viewController_.lock(); }

    // ---- Motion effects (records: the stand-in has no device tilt), in the order added.
    void addMotionEffect(const std::shared_ptr<UIMotionEffect>& effect);
    void removeMotionEffect(const std::shared_ptr<UIMotionEffect>& effect);
    std::vector<std::shared_ptr<UIMotionEffect>> motionEffects() const;

    // ---- Gesture recognisers (owned by the view).
    const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const {
        return gestureRecognizers_;
    }
    void addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);

    // ---- The platform's description: "<UIButton: 0x...; frame = (0 0; 100 44); ...; layer = <CALayer:
    // 0x...>>".
    std::string description() const override;
    Value valueForKey(std::string_view key) const override;

    // ---- Block animations: the end values are applied at once; the completion runs on the main
    // queue once delay + duration have passed on the clock. Each call is recorded
    // (UIViewAnimationRecorder).
    using Animations = std::function<void()>;
    using Completion = std::function<void(bool finished)>;
    static void animateWithDuration(double duration, Animations animations, Completion completion = nullptr);
    static void animateWithDuration(double duration, double delay, uint64_t options, Animations animations,
                                    Completion completion = nullptr);
    static void animateWithDuration(double duration, double delay, double dampingRatio, double velocity,
                                    uint64_t options, Animations animations, Completion completion = nullptr);
    static void transitionWithView(const std::shared_ptr<UIView>& view, double duration, uint64_t options,
                                   Animations animations, Completion completion = nullptr);
    static void animateKeyframesWithDuration(double duration, double delay, uint64_t options,
                                             Animations animations, Completion completion = nullptr);
    // Inside animateKeyframesWithDuration: a keyframe whose changes apply at once as well.
    static void addKeyframeWithRelativeStartTime(double start, double relativeDuration,
                                                 Animations animations);
    static void performWithoutAnimation(const Animations& actions);
    // True while the animation block of a call above runs.
    static bool isInAnimationBlock();

protected:
    // Fields a subclass adds to its description right after the frame ("text = 'Hi'").
    virtual void describeFields(std::vector<std::string>& fields) const {}
    // A new CALayer by default; subclasses may give their layer another class name.
    virtual std::shared_ptr<CALayer> makeBackingLayer();

private:
    friend class UIViewController;
    friend class UIWindow;
    friend class CALayer;

    void insertSubviewImpl(const std::shared_ptr<UIView>& view, size_t index);
    void resizeSubviews(CGSize oldSize);
    void notifyWillMoveToWindow(const std::shared_ptr<UIWindow>& newWindow);
    void notifyDidMoveToWindow();
    // Point in this view to its superview's space (for a window: to screen space) and back.
    CGPoint pointToParent(CGPoint p) const;
    CGPoint pointFromParent(CGPoint p) const;
    std::shared_ptr<const UIView> rootView() const;

    CGRect bounds_;
    CGPoint center_;
    CGAffineTransform transform_;
    // The layer's anchor point, in unit coordinates of the bounds: the point that sits at the
    // center and about which the transform turns (CALayer::anchorPoint).
    CGPoint anchorPoint_{0.5, 0.5};
    double alpha_ = 1;
    bool hidden_ = false;
    bool opaque_ = true;
    int64_t tag_ = 0;
    bool clipsToBounds_ = false;
    std::optional<UIColor> backgroundColor_;
    std::optional<UIColor> tintColor_;
    bool userInteractionEnabled_ = true;
    bool multipleTouchEnabled_ = false;
    UIViewContentMode contentMode_ = UIViewContentMode::ScaleToFill;
    uint32_t autoresizingMask_ = UIViewAutoresizingNone;
    bool autoresizesSubviews_ = true;
    bool translatesAutoresizing_ = true;
    std::optional<std::string> accessibilityIdentifier_;
    std::optional<std::string> accessibilityLabel_;
    bool isAccessibilityElement_ = false;
    UIEdgeInsets layoutMargins_{8, 8, 8, 8};
    bool needsLayout_ = false;
    bool layoutScheduled_ = false;
    bool needsDisplay_ = true;

    std::shared_ptr<CALayer> layer_;
    std::weak_ptr<UIView> superview_;
    std::vector<std::shared_ptr<UIView>> subviews_;
    std::weak_ptr<UIViewController> viewController_;
    std::vector<std::shared_ptr<UIGestureRecognizer>> gestureRecognizers_;
    std::vector<std::shared_ptr<NSLayoutConstraint>> constraints_;
};

}  // namespace brindlecue::platform
