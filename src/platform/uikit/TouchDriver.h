#pragma once

#include <memory>
#include <optional>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/UIGestureRecognizer.h"

namespace brindlecue::platform {

class UIView;

// Stands in for the user's finger in tests and demos. A touch lands where hit testing puts it
// (asked with the touch's event, as the platform asks);
// gesture recognisers on the hit view and its ancestors (innermost first) get the gesture, and
// the touch itself goes through the hit view's responder chain (controls send their actions).
// A recogniser that fires cancels the touch in the view when it cancels touches in views.
class TouchDriver {
public:
    // Taps the point (window coordinates) of the window or other root view. Returns the hit
    // view, or null when nothing took the touch.
    static std::shared_ptr<UIView> tapAt(const std::shared_ptr<UIView>& root, CGPoint point);
    // Taps the view at a point in its own coordinates (its centre by default), through its
    // window's hit testing, so a view covered by another is not reached.
    static std::shared_ptr<UIView> tap(const std::shared_ptr<UIView>& view,
                                       std::optional<CGPoint> point = std::nullopt);
    // Pans from the view's point (its centre by default) by the translation (window
    // coordinates) in the given number of moves, ending with the velocity. The first pan
    // recogniser on the hit view or its ancestors that may begin gets began, changed and ended.
    // Returns the recogniser that handled it.
    static std::shared_ptr<UIPanGestureRecognizer> pan(const std::shared_ptr<UIView>& view,
                                                       CGPoint translation, CGPoint velocity, int moves = 2,
                                                       std::optional<CGPoint> start = std::nullopt);
    // Swipes over the view's centre in one direction (a UISwipeGestureRecognizerDirection bit).
    static std::shared_ptr<UISwipeGestureRecognizer> swipe(const std::shared_ptr<UIView>& view,
                                                           uint32_t direction);
};

}  // namespace brindlecue::platform
