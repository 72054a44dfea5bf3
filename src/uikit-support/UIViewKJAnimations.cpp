#include "uikit-support/UIViewKJAnimations.h"

#include <cmath>
#include <numbers>

#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIDynamicAnimator.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue {

using platform::CGAffineTransform;
using platform::CGPoint;
using platform::CGRect;
using platform::UIView;
using Finished = UIViewKJAnimations::Finished;
using ViewPtr = std::shared_ptr<UIView>;

namespace {

constexpr const char* kAnimatorKey = "vask_supAnimator";

// One block animation whose completion runs next (the platform's finished flag is dropped).
void animate(double duration, UIView::Animations changes, Finished next) {
    UIView::animateWithDuration(duration, std::move(changes), [next = std::move(next)](bool) {
        if (next) next();
    });
}

CGAffineTransform rotated(const CGAffineTransform& t, double radians) {
    return CGAffineTransform::makeRotation(radians).concat(t);
}

double windowHeight(const ViewPtr& view) {
    auto window = view->window();
    return window ? window->frame().size.height : 0;
}

// Runs steps one after another, each started from the previous one's completion.
using Step = std::function<void(Finished next)>;
void chain(std::vector<Step> steps, size_t index, Finished finished) {
    if (index >= steps.size()) {
        if (finished) finished();
        return;
    }
    Step step = steps[index];
    step([steps = std::move(steps), index, finished = std::move(finished)]() mutable {
        chain(std::move(steps), index + 1, std::move(finished));
    });
}

void clearAnimator(const ViewPtr& view) {
    if (auto animator = UIViewKJAnimations::vask_animator(view); animator && !animator->isRunning())
        animator->removeAllBehaviors();
}

void enter(const ViewPtr& view, const ViewPtr& container) {
    if (view->superview() != container) view->removeFromSuperview();
    container->addSubview(view);
}

}  // namespace

double degreesToRadians(double degrees) {
    return degrees * std::numbers::pi / 180;
}

// ---------------------------------------------------------------- frame origin

void UIViewKJAnimations::setX(const ViewPtr& view, double x, double duration, const Finished& finished) {
    if (!view) return;
    animate(
        duration,
        [view, x] {
            CGRect f = view->frame();
            f.origin.x = x;
            view->setFrame(f);
        },
        finished);
}

void UIViewKJAnimations::setX(const ViewPtr& view, double x, const Finished& finished) {
    setX(view, x, kDefaultDuration, finished);
}

void UIViewKJAnimations::moveX(const ViewPtr& view, double dx, double duration, const Finished& finished) {
    if (view) setX(view, view->frame().origin.x + dx, duration, finished);
}

void UIViewKJAnimations::moveX(const ViewPtr& view, double dx, const Finished& finished) {
    moveX(view, dx, kDefaultDuration, finished);
}

void UIViewKJAnimations::setY(const ViewPtr& view, double y, double duration, const Finished& finished) {
    if (!view) return;
    animate(
        duration,
        [view, y] {
            CGRect f = view->frame();
            f.origin.y = y;
            view->setFrame(f);
        },
        finished);
}

void UIViewKJAnimations::setY(const ViewPtr& view, double y, const Finished& finished) {
    setY(view, y, kDefaultDuration, finished);
}

void UIViewKJAnimations::moveY(const ViewPtr& view, double dy, double duration, const Finished& finished) {
    if (view) setY(view, view->frame().origin.y + dy, duration, finished);
}

void UIViewKJAnimations::moveY(const ViewPtr& view, double dy, const Finished& finished) {
    moveY(view, dy, kDefaultDuration, finished);
}

void UIViewKJAnimations::setPoint(const ViewPtr& view, CGPoint point, double duration,
                                  const Finished& finished) {
    if (!view) return;
    animate(
        duration,
        [view, point] {
            CGRect f = view->frame();
            f.origin = point;
            view->setFrame(f);
        },
        finished);
}

void UIViewKJAnimations::setPoint(const ViewPtr& view, CGPoint point, const Finished& finished) {
    setPoint(view, point, kDefaultDuration, finished);
}

void UIViewKJAnimations::movePoint(const ViewPtr& view, CGPoint delta, double duration,
                                   const Finished& finished) {
    if (!view) return;
    CGPoint origin = view->frame().origin;
    setPoint(view, {origin.x + delta.x, origin.y + delta.y}, duration, finished);
}

void UIViewKJAnimations::movePoint(const ViewPtr& view, CGPoint delta, const Finished& finished) {
    movePoint(view, delta, kDefaultDuration, finished);
}

// ---------------------------------------------------------------- rotation

void UIViewKJAnimations::setRotation(const ViewPtr& view, double degrees, double duration,
                                     const Finished& finished) {
    if (!view) return;
    animate(
        duration,
        [view, degrees] { view->setTransform(CGAffineTransform::makeRotation(degreesToRadians(degrees))); },
        finished);
}

void UIViewKJAnimations::setRotation(const ViewPtr& view, double degrees, const Finished& finished) {
    setRotation(view, degrees, kDefaultDuration, finished);
}

void UIViewKJAnimations::moveRotation(const ViewPtr& view, double degrees, double duration,
                                      const Finished& finished) {
    if (!view) return;
    animate(
        duration,
        [view, degrees] { view->setTransform(rotated(view->transform(), degreesToRadians(degrees))); },
        finished);
}

void UIViewKJAnimations::moveRotation(const ViewPtr& view, double degrees, const Finished& finished) {
    moveRotation(view, degrees, kDefaultDuration, finished);
}

// ---------------------------------------------------------------- attention

void UIViewKJAnimations::bounce(const ViewPtr& view, const Finished& finished) {
    bounce(view, 10.0, finished);
}

void UIViewKJAnimations::bounce(const ViewPtr& view, double height, const Finished& finished) {
    if (!view) return;
    removeCurrentAnimations(view);
    chain({[view, height](Finished next) { moveY(view, -height, 0.25, next); },
           [view, height](Finished next) { moveY(view, height, 0.15, next); },
           [view, height](Finished next) { moveY(view, -height * 0.5, 0.15, next); },
           [view, height](Finished next) { moveY(view, height * 0.5, 0.05, next); }},
          0, finished);
}

void UIViewKJAnimations::pulse(const ViewPtr& view, const Finished& finished) {
    if (!view) return;
    animate(
        0.5, [view] { view->setTransform(CGAffineTransform::makeScale(1.1, 1.1)); },
        [view, finished] {
            UIView::animateWithDuration(
                0.5, 0.1, 0, [view] { view->setTransform(CGAffineTransform::makeScale(1.0, 1.0)); },
                [finished](bool) {
                    if (finished) finished();
                });
        });
}

void UIViewKJAnimations::shake(const ViewPtr& view, const Finished& finished) {
    if (!view) return;
    static constexpr float d = 10;
    static constexpr double t = 0.15;
    chain({[view](Finished next) { moveX(view, -d, t, next); },
           [view](Finished next) { moveX(view, 2 * d, t, next); },
           [view](Finished next) { moveX(view, -2 * d, t, next); },
           [view](Finished next) { moveX(view, d, t, next); }},
          0, finished);
}

void UIViewKJAnimations::swing(const ViewPtr& view, const Finished& finished) {
    if (!view) return;
    static constexpr float a = 15;
    static constexpr float t = 0.2f;
    std::weak_ptr<UIView> weak = view;
    // Each step goes on only while the view is still there.
    auto step = [weak](double degrees) {
        return [weak, degrees](Finished next) {
            if (auto v = weak.lock()) setRotation(v, degrees, t, next);
        };
    };
    chain({step(a), step(-a), step(a * 0.5f), step(-a * 0.5f), step(0)}, 0, finished);
}

void UIViewKJAnimations::tada(const ViewPtr& view, const Finished& finished) {
    if (!view) return;
    static constexpr float r = 3;
    static constexpr float t = 0.12f;
    auto scaledRotation = [view](double scale, double degrees) {
        return [view, scale, degrees](Finished next) {
            animate(
                t,
                [view, scale, degrees] {
                    view->setTransform(
                        rotated(CGAffineTransform::makeScale(scale, scale), degreesToRadians(degrees)));
                },
                next);
        };
    };
    auto rock = [view](double degrees) {
        return [view, degrees](Finished next) { moveRotation(view, degrees, t, next); };
    };
    chain({scaledRotation(0.95, r), scaledRotation(1.05, -r), rock(2 * r), rock(-2 * r), rock(2 * r),
           rock(-2 * r), scaledRotation(1.0, 0)},
          0, finished);
}

// ---------------------------------------------------------------- entrances and exits

void UIViewKJAnimations::removeCurrentAnimations(const ViewPtr& view) {
    if (auto animator = vask_animator(view)) animator->removeAllBehaviors();
}

void UIViewKJAnimations::snapIntoView(const ViewPtr& view, const ViewPtr& container, int64_t direction) {
    if (!view || !container) return;
    enter(view, container);
    auto animator = vask_animator(view);
    clearAnimator(view);
    auto snap = platform::make<platform::UISnapBehavior>(view, view->center());
    setDirection(view, direction);
    snap->damping = 0.75;
    animator->addBehavior(snap);
}

void UIViewKJAnimations::bounceIntoView(const ViewPtr& view, const ViewPtr& container, int64_t direction) {
    if (!view || !container) return;
    enter(view, container);
    auto animator = vask_animator(view);
    clearAnimator(view);
    auto attachment = platform::make<platform::UIAttachmentBehavior>(view, view->center());
    setDirection(view, direction);
    attachment->length = 0;
    attachment->damping = 0.55;
    attachment->frequency = 1.0;
    animator->addBehavior(attachment);
}

void UIViewKJAnimations::expandIntoView(const ViewPtr& view, const ViewPtr& container, double duration,
                                        const Finished& finished) {
    if (!view || !container) return;
    enter(view, container);
    view->setTransform(CGAffineTransform::makeScale(0, 0));
    view->setHidden(false);
    animate(
        duration, [view] { view->setTransform(CGAffineTransform::makeScale(1, 1)); }, finished);
}

void UIViewKJAnimations::compressIntoView(const ViewPtr& view, double duration, const Finished& finished) {
    if (!view) return;
    animate(
        duration, [view] { view->setTransform(CGAffineTransform::makeScale(0.001, 0.001)); },
        [view, finished] {
            view->setHidden(true);
            if (finished) finished();
        });
}

void UIViewKJAnimations::hinge(const ViewPtr& view, const Finished& finished) {
    if (!view) return;
    removeCurrentAnimations(view);
    CGPoint origin = view->frame().origin;
    view->layer()->setAnchorPoint({0, 0});
    view->setCenter(origin);
    static constexpr float t = 0.25f;
    auto turn = [view](double degrees) {
        return [view, degrees](Finished next) { setRotation(view, degrees, t, next); };
    };
    chain({turn(80), turn(70), turn(80), turn(70),
           [view](Finished next) { moveY(view, windowHeight(view), 2 * t, next); }},
          0, [view, finished] {
              view->removeFromSuperview();
              if (finished) finished();
              setRotation(view, 0, nullptr);
          });
}

void UIViewKJAnimations::drop(const ViewPtr& view, const Finished& finished) {
    if (!view) return;
    if (auto animator = vask_animator(view)) {
        clearAnimator(view);
        auto gravity = platform::make<platform::UIGravityBehavior>(std::vector<ViewPtr>{view});
        gravity->gravityDirection = {0, 10};
        animator->addBehavior(gravity);
        auto item = platform::make<platform::UIDynamicItemBehavior>(std::vector<ViewPtr>{view});
        item->addAngularVelocity(-std::numbers::pi / 2, view);
        animator->addBehavior(item);
    }
    animate(
        0.5, [view] { view->setAlpha(0); },
        [view, finished] {
            view->removeFromSuperview();
            if (finished) finished();
        });
}

void UIViewKJAnimations::setDirection(const ViewPtr& view, int64_t direction) {
    if (!view) return;
    CGRect frame = view->frame();
    auto window = view->window();
    CGRect windowFrame = window ? window->frame() : CGRect();
    switch (direction) {
        case fromTop:
            frame.origin.y = -windowFrame.size.height;
            break;
        case fromBottom:
            frame.origin.y = windowFrame.size.height;
            break;
        case fromLeft:
            frame.origin.x = -windowFrame.size.width;
            break;
        default:
            if (auto scroll = std::dynamic_pointer_cast<platform::UIScrollView>(view->superview()))
                frame.origin.x = scroll->contentSize().width;
            else
                frame.origin.x = windowFrame.size.width;
            break;
    }
    view->setFrame(frame);
}

CGPoint UIViewKJAnimations::vectorDirection(int64_t direction) {
    switch (direction) {
        case fromTop:
            return {0, 1};
        case fromBottom:
            return {0, -1};
        case fromLeft:
            return {1, 0};
        default:
            return {-1, 0};
    }
}

std::shared_ptr<platform::UIDynamicAnimator> UIViewKJAnimations::vask_supAnimator(const ViewPtr& superview) {
    if (!superview) return nullptr;
    auto animator = superview->associatedObject<platform::UIDynamicAnimator>(kAnimatorKey);
    if (!animator) {
        animator = platform::make<platform::UIDynamicAnimator>(superview);
        vask_setSupAnimator(superview, animator);
    }
    return animator;
}

void UIViewKJAnimations::vask_setSupAnimator(const ViewPtr& superview,
                                             const std::shared_ptr<platform::UIDynamicAnimator>& animator) {
    if (superview) superview->setAssociatedObject(kAnimatorKey, animator);
}

std::shared_ptr<platform::UIDynamicAnimator> UIViewKJAnimations::vask_animator(const ViewPtr& view) {
    return view ? vask_supAnimator(view->superview()) : nullptr;
}

}  // namespace brindlecue
