#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/NSObject.h"
#include "platform/uikit/TargetAction.h"

namespace brindlecue::platform {

class UIView;
class UITouch;
class UIGestureRecognizer;

enum class UIGestureRecognizerState {
    Possible,
    Began,
    Changed,
    Ended,
    Cancelled,
    Failed,
    Recognized = Ended
};

// Optional questions a recogniser asks its delegate; all answer yes except simultaneous
// recognition.
class UIGestureRecognizerDelegate {
public:
    virtual ~UIGestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(UIGestureRecognizer&) { return true; }
    virtual bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer&, UITouch&) { return true; }
    virtual bool gestureRecognizerShouldRecognizeSimultaneously(UIGestureRecognizer&, UIGestureRecognizer&) {
        return false;
    }
};

// A gesture recogniser attached to a view. Nothing here reads real touches: the touch driver
// (TouchDriver) decides which recogniser fires and moves it through its states; every state
// change to began, changed, ended or cancelled sends the actions with the recogniser as sender.
class UIGestureRecognizer : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIGestureRecognizer)

    UIGestureRecognizer() = default;
    UIGestureRecognizer(const std::shared_ptr<NSObject>& target, Selector action);

    void addTarget(const std::shared_ptr<NSObject>& target, Selector action);
    void removeTarget(const std::shared_ptr<NSObject>& target, const std::string& actionName);
    // The action names registered for the target.
    std::vector<std::string> actionsForTarget(const std::shared_ptr<NSObject>& target) const {
        return actions_.actionsForTarget(target, 1);
    }

    std::shared_ptr<UIView> view() const { return view_.lock(); }
    UIGestureRecognizerState state() const { return state_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool v) { cancelsTouchesInView_ = v; }
    std::shared_ptr<UIGestureRecognizerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UIGestureRecognizerDelegate>& d) { delegate_ = d; }
    // The gesture's location in the view's coordinates (window coordinates for no view).
    CGPoint locationInView(const std::shared_ptr<UIView>& view) const;
    size_t numberOfTouches() const { return state_ == UIGestureRecognizerState::Possible ? 0 : 1; }

    // ---- Driver side.
    // Enabled, attached, and the delegate lets it begin.
    bool shouldBegin();
    bool shouldReceiveTouch(UITouch& touch);
    void setLocationInWindow(CGPoint p) { locationInWindow_ = p; }
    // Moves to the state and sends the actions for began, changed, ended and cancelled; ended,
    // cancelled and failed go back to possible afterwards, as the platform resets.
    void transitionTo(UIGestureRecognizerState state);
    // Called by UIView when the recogniser is added to or removed from a view.
    void attachToView(const std::shared_ptr<UIView>& view) { view_ = view; }

private:
    std::weak_ptr<UIView> view_;
    UIGestureRecognizerState state_ = UIGestureRecognizerState::Possible;
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
    std::weak_ptr<UIGestureRecognizerDelegate> delegate_;
    TargetActionList actions_;
    CGPoint locationInWindow_;
};

class UITapGestureRecognizer : public UIGestureRecognizer {
public:
    BLQ_PLATFORM_CLASS(UITapGestureRecognizer)
    using UIGestureRecognizer::UIGestureRecognizer;
    int numberOfTapsRequired = 1;
    int numberOfTouchesRequired = 1;
};

class UIPanGestureRecognizer : public UIGestureRecognizer {
public:
    BLQ_PLATFORM_CLASS(UIPanGestureRecognizer)
    using UIGestureRecognizer::UIGestureRecognizer;

    // The translation since the gesture began (or since the last setTranslation), in the
    // coordinates of the view (the recogniser's view for none).
    CGPoint translationInView(const std::shared_ptr<UIView>& view) const;
    void setTranslation(CGPoint translation, const std::shared_ptr<UIView>& view);
    // Points per second, in the view's coordinates.
    CGPoint velocityInView(const std::shared_ptr<UIView>& view) const;

    // Driver side: the translation and velocity in window coordinates.
    void setWindowTranslation(CGPoint t) { windowTranslation_ = t; }
    void setWindowVelocity(CGPoint v) { windowVelocity_ = v; }

    int minimumNumberOfTouches = 1;

private:
    CGPoint toView(CGPoint vector, const std::shared_ptr<UIView>& view) const;
    CGPoint windowTranslation_;
    CGPoint windowVelocity_;
    CGPoint base_;  // what setTranslation made the current translation read as, in window terms
};

enum UISwipeGestureRecognizerDirection : uint32_t {
    UISwipeGestureRecognizerDirectionRight = 1 << 0,
    UISwipeGestureRecognizerDirectionLeft = 1 << 1,
    UISwipeGestureRecognizerDirectionUp = 1 << 2,
    UISwipeGestureRecognizerDirectionDown = 1 << 3,
};

class UISwipeGestureRecognizer : public UIGestureRecognizer {
public:
    BLQ_PLATFORM_CLASS(UISwipeGestureRecognizer)
    using UIGestureRecognizer::UIGestureRecognizer;
    uint32_t direction = UISwipeGestureRecognizerDirectionRight;
    int numberOfTouchesRequired = 1;
};

}  // namespace brindlecue::platform
