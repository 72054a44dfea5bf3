#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/uikit/Geometry.h"

namespace brindlecue {

namespace platform {
class UIView;
class UIDynamicAnimator;
}  // namespace platform

// Where a view enters from; any other value behaves as fromRight.
enum AnimationDirection : int64_t { fromTop = 0, fromBottom = 1, fromLeft = 2, fromRight = 3 };

// Degrees to radians.
double degreesToRadians(double degrees);

// Ready-made animations of a view: moves of the frame origin and of the rotation, attention
// effects, entrances into a container and exits. Each step is one block animation of the
// platform (UIView::animateWithDuration), so the end values apply at once and the next step, or
// the callback, follows on the main queue once the step's duration has passed on the clock.
// Durations are seconds, distances points, angles degrees; forms without a duration take
// 0.25 s. Callbacks are optional. Main thread.
//
// The entrances and falls that use UIKit dynamics hand their behaviours to the animator of the
// view's superview (made on first use, kept by the superview); without a superview nothing
// dynamic happens.
struct UIViewKJAnimations {
    using Finished = std::function<void()>;
    static constexpr double kDefaultDuration = 0.25;

    // ---- Frame origin.
    static void setX(const std::shared_ptr<platform::UIView>& view, double x, double duration,
                     const Finished& finished);
    static void setX(const std::shared_ptr<platform::UIView>& view, double x, const Finished& finished);
    static void moveX(const std::shared_ptr<platform::UIView>& view, double dx, double duration,
                      const Finished& finished);
    static void moveX(const std::shared_ptr<platform::UIView>& view, double dx, const Finished& finished);
    static void setY(const std::shared_ptr<platform::UIView>& view, double y, double duration,
                     const Finished& finished);
    static void setY(const std::shared_ptr<platform::UIView>& view, double y, const Finished& finished);
    static void moveY(const std::shared_ptr<platform::UIView>& view, double dy, double duration,
                      const Finished& finished);
    static void moveY(const std::shared_ptr<platform::UIView>& view, double dy, const Finished& finished);
    static void setPoint(const std::shared_ptr<platform::UIView>& view, platform::CGPoint point,
                         double duration, const Finished& finished);
    static void setPoint(const std::shared_ptr<platform::UIView>& view, platform::CGPoint point,
                         const Finished& finished);
    static void movePoint(const std::shared_ptr<platform::UIView>& view, platform::CGPoint delta,
                          double duration, const Finished& finished);
    static void movePoint(const std::shared_ptr<platform::UIView>& view, platform::CGPoint delta,
                          const Finished& finished);

    // ---- Rotation: setRotation turns the identity, moveRotation the present transform.
    static void setRotation(const std::shared_ptr<platform::UIView>& view, double degrees, double duration,
                            const Finished& finished);
    static void setRotation(const std::shared_ptr<platform::UIView>& view, double degrees,
                            const Finished& finished);
    static void moveRotation(const std::shared_ptr<platform::UIView>& view, double degrees, double duration,
                             const Finished& finished);
    static void moveRotation(const std::shared_ptr<platform::UIView>& view, double degrees,
                             const Finished& finished);

    // ---- Attention. The view ends where it started.
    static void bounce(const std::shared_ptr<platform::UIView>& view, const Finished& finished);
    static void bounce(const std::shared_ptr<platform::UIView>& view, double height,
                       const Finished& finished);
    static void pulse(const std::shared_ptr<platform::UIView>& view, const Finished& finished);
    static void shake(const std::shared_ptr<platform::UIView>& view, const Finished& finished);
    // Holds the view weakly between steps: a view released meanwhile ends the chain without the
    // callback.
    static void swing(const std::shared_ptr<platform::UIView>& view, const Finished& finished);
    static void tada(const std::shared_ptr<platform::UIView>& view, const Finished& finished);

    // ---- Entrances and exits.
    // Removes every behaviour of the superview's animator.
    static void removeCurrentAnimations(const std::shared_ptr<platform::UIView>& view);
    static void snapIntoView(const std::shared_ptr<platform::UIView>& view,
                             const std::shared_ptr<platform::UIView>& container, int64_t direction);
    static void bounceIntoView(const std::shared_ptr<platform::UIView>& view,
                               const std::shared_ptr<platform::UIView>& container, int64_t direction);
    // Adds the view to the container (to the front when it is there already), visible at scale 0,
    // and grows it to scale 1.
    static void expandIntoView(const std::shared_ptr<platform::UIView>& view,
                               const std::shared_ptr<platform::UIView>& container, double duration,
                               const Finished& finished);
    // Shrinks the view to scale 0.001 over the duration, then hides it.
    static void compressIntoView(const std::shared_ptr<platform::UIView>& view, double duration,
                                 const Finished& finished);
    // Swings about its top-left corner, falls out of its window and leaves its superview.
    static void hinge(const std::shared_ptr<platform::UIView>& view, const Finished& finished);
    // Falls under gravity while it fades out, then leaves its superview.
    static void drop(const std::shared_ptr<platform::UIView>& view, const Finished& finished);

    // Places the view just outside its window on the given side.
    static void setDirection(const std::shared_ptr<platform::UIView>& view, int64_t direction);
    // The unit vector (dx, dy) the view travels when it comes from that side.
    static platform::CGPoint vectorDirection(int64_t direction);

    // The dynamic animator of a superview, made and kept on first use.
    static std::shared_ptr<platform::UIDynamicAnimator> vask_supAnimator(
        const std::shared_ptr<platform::UIView>& superview);
    static void vask_setSupAnimator(const std::shared_ptr<platform::UIView>& superview,
                                    const std::shared_ptr<platform::UIDynamicAnimator>& animator);
    // The animator of the view's superview; null without a superview.
    static std::shared_ptr<platform::UIDynamicAnimator> vask_animator(
        const std::shared_ptr<platform::UIView>& view);
};

}  // namespace brindlecue
