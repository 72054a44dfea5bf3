#pragma once

#include <memory>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/UIResponder.h"

namespace brindlecue::platform {

class UIView;
class UIWindow;

enum class UITouchPhase { Began, Moved, Stationary, Ended, Cancelled };

// One finger on the screen, as the touch driver makes it: where it is in its window, the view it
// landed on, its phase and tap count.
class UITouch : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UITouch)

    UITouch(const std::shared_ptr<UIWindow>& window, const std::shared_ptr<UIView>& view,
            CGPoint locationInWindow);

    std::shared_ptr<UIWindow> window() const { return window_.lock(); }
    std::shared_ptr<UIView> view() const { return view_.lock(); }
    UITouchPhase phase() const { return phase_; }
    int tapCount() const { return tapCount_; }
    double timestamp() const { return timestamp_; }
    // The location in the view's coordinates; in window coordinates for no view.
    CGPoint locationInView(const std::shared_ptr<UIView>& view) const;
    CGPoint previousLocationInView(const std::shared_ptr<UIView>& view) const;

    // Driver side.
    void moveTo(CGPoint locationInWindow, UITouchPhase phase);
    void setPhase(UITouchPhase phase) { phase_ = phase; }
    void setTapCount(int count) { tapCount_ = count; }
    // The view hit testing chose (the touch exists before, so that hit testing sees its event).
    void setView(const std::shared_ptr<UIView>& view) { view_ = view; }

private:
    std::weak_ptr<UIWindow> window_;
    std::weak_ptr<UIView> view_;
    CGPoint location_;
    CGPoint previous_;
    UITouchPhase phase_ = UITouchPhase::Began;
    int tapCount_ = 1;
    double timestamp_ = 0;
};

// A touch event: the touches it carries.
class UIEvent : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIEvent)

    explicit UIEvent(UITouchSet touches);
    const UITouchSet& allTouches() const { return touches_; }
    double timestamp() const { return timestamp_; }

private:
    UITouchSet touches_;
    double timestamp_ = 0;
};

}  // namespace brindlecue::platform
