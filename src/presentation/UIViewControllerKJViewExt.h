#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/UIColor.h"

namespace brindlecue {

namespace platform {
class UIViewController;
}  // namespace platform

class KJCoverView;

// Puts any view controller's view on top of the host's screen, optionally on a cover view, and
// takes it off again; also clears launcher buttons off the key window. The receiver comes first.
// A tip controller's own cover (KJBaseTipViewController::coverView) takes the place of the
// associated "coverView" of other controllers. Main queue.
struct UIViewControllerKJViewExt {
    // Tag of the launcher buttons on the key window.
    static constexpr int64_t kLauncherButtonTag = 888900;

    using TouchHandler = std::function<void(platform::CGPoint point)>;
    using RectHandler = std::function<void(platform::CGRect rect)>;

    static std::shared_ptr<KJCoverView> coverView(
        const std::shared_ptr<platform::UIViewController>& controller);
    static void setCoverView(const std::shared_ptr<platform::UIViewController>& controller,
                             const std::shared_ptr<KJCoverView>& coverView);

    // Shows the controller's view over the key window's root view controller, on the main queue
    // (0.5 s later with the delay flag, else on the next turn). With a cover: a new cover of the
    // root view's bounds in the colour, with the alpha recorded, goes onto the view of the
    // top-most presented controller, fading in over 0.1 s, and the view onto it; the touch
    // handler hears each touch on the cover, the orientation handler the root view's bounds at
    // each orientation change. Without: the view goes onto the root view controller's view. The
    // animation handler is told the root view's bounds to place the view; without one the view
    // keeps its size, centred in them. Every handler may be empty.
    static void presentOnTopWithCover(const std::shared_ptr<platform::UIViewController>& controller,
                                      bool withCover, std::optional<platform::UIColor> coverColor,
                                      double coverAlpha, bool delay, TouchHandler coverTouchHandler,
                                      RectHandler animationHandler, RectHandler orientationChangedHandler);
    // Takes the view away at once; a cover fades out over 0.1 s, then leaves its superview and
    // lets go of the controller.
    static void dismissOnTop(const std::shared_ptr<platform::UIViewController>& controller);
    // Removes the launcher buttons (buttons tagged 888900 among the key window's direct
    // subviews), unless the receiver is a tip controller.
    static void dismissLauncherButton(const std::shared_ptr<platform::UIViewController>& controller);

    UIViewControllerKJViewExt() = delete;
};

}  // namespace brindlecue
