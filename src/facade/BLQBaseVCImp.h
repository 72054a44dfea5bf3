#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/NSObject.h"

namespace brindlecue {

namespace platform {
class Bundle;
class NotificationObserver;
class Notification;
class UIViewController;
}  // namespace platform

// The keyboard adjuster of a library screen (a controller that implements BLQBaseVC): it hears
// the keyboard's did-show and did-hide notifications from its creation to its release and hands
// them to its controller, and moves the controller's view out of the keyboard's way and back
// when the controller allows it (isViewAdjustForKeyboard). It also finds the bundle of a library
// screen's interface file. It lives as long as its controller, which it does not keep alive.
class BLQBaseVCImp final : public platform::NSObject {
public:
    BLQBaseVCImp() = default;
    ~BLQBaseVCImp() override;
    std::string className() const override { return "BLQBaseVCImp"; }

    // The bundle to initialise a controller of the class with: the bundle given; else, with a
    // file name, the bundle holding "<name>.nib"; else the bundle holding a "nib" named after the
    // class or, failing that, after each superclass in turn up to the root class. None when no
    // bundle holds the file (the platform's default lookup then applies).
    static std::shared_ptr<platform::Bundle> prepareInitForClass(
        const std::string& className, const std::optional<std::string>& nibName,
        const std::shared_ptr<platform::Bundle>& bundle);

    // Binds the adjuster to its controller (held weakly) and starts hearing the keyboard.
    void initForVC(const std::shared_ptr<platform::UIViewController>& controller);
    std::shared_ptr<platform::UIViewController> vc() const;

    // The controller's view extends under no bar.
    void viewDidLoad();

    // The keyboard notifications: begin frame, end frame and duration go to the controller's
    // keyboardDidShowFrom / keyboardDidHideFrom. A did-show without an end frame is ignored.
    void keyboardDidShowHandler(const platform::Notification& notification);
    void keyboardDidHideHandler(const platform::Notification& notification);

    // With the controller's consent, the view, seen centred on the screen (that frame is kept
    // until the keyboard hides), moves up so that its bottom sits on the keyboard's top (the end
    // frame's y), over the duration; a view taller than the room above the keyboard starts at 0
    // and is shortened to it. A view clear of the keyboard stays.
    void keyboardDidShowFrom(const platform::CGRect& begin, const platform::CGRect& end, double duration);
    // With the controller's consent, the view goes back to the frame kept when the keyboard
    // showed, over the duration. Nothing happens when no frame was kept.
    void keyboardDidHideFrom(const platform::CGRect& begin, const platform::CGRect& end, double duration);

    // The frame the view returns to when the keyboard hides; none while the keyboard is not up.
    std::optional<platform::CGRect> frameBeforekeyboardShow() const;

private:
    mutable std::mutex mutex_;
    std::weak_ptr<platform::UIViewController> vc_;
    std::optional<platform::CGRect> frameBeforekeyboardShow_;
    std::shared_ptr<platform::NotificationObserver> showObserver_;
    std::shared_ptr<platform::NotificationObserver> hideObserver_;
};

}  // namespace brindlecue
