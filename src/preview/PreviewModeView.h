#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "feed/BLQPreviewModeNotificationState.h"
#include "platform/swiftui/View.h"
#include "platform/uikit/Geometry.h"
#include "preview/PreviewModeIcon.h"
#include "preview/PreviewModeOptions.h"

namespace brindlecue {

namespace platform {
class Timer;
}  // namespace platform

class PreviewNotification;

// The content of the floating preview panel: the status banner (a round white button with the
// status icon and, when there is one, its text) and, in front of it, the preview menu (capture a
// screenshot, replay, exit) that opens with a staggered reveal. The view never sizes the panel: it
// reports the size mode it needs and the chosen menu action to its host through two callbacks.
//
// Copies share one set of view states, which live as long as the host keeps a copy. The host
// attaches the banner model (environmentObject) before the view is drawn and lays the view out
// again whenever the model or the view's states change (setStatesChanged). Main thread.
class PreviewModeView {
public:
    using PositionCallback = std::function<void(PreviewModeBackgroundFrame mode, bool isMenuShown)>;
    using ActionCallback = std::function<void(PreviewModeAction action)>;

    struct States {
        bool isMenuShown = false;
        bool showMenuItems1 = false;  // camera
        bool showMenuItems2 = false;  // refresh
        bool showMenuItems3 = false;  // exit
        // The repeating one-second timer of the success countdown while the view is on screen.
        std::shared_ptr<platform::Timer> timer;
        int64_t secondsElapsed = 0;
        // Published as the position preference; nothing changes it.
        platform::CGPoint currentPosition{40, 40};
    };

    PreviewModeView(PositionCallback returnPreviewModePosition, ActionCallback returnPreviewModeAction,
                    platform::CGPoint defaultPosition = {50, 45});

    void environmentObject(std::shared_ptr<PreviewNotification> model) const;
    const std::shared_ptr<PreviewNotification>& model() const;
    // Told after each change of the view's own states.
    void setStatesChanged(std::function<void()> changed) const;

    // The view for the current model and states, laid out in the panel's space. Nothing without a
    // model.
    platform::swiftui::View body() const;

    const States& states() const;
    platform::CGPoint defaultPosition() const;
    // The custom message when there is one, else the message's text when there is one.
    std::optional<std::string> bannerText() const;
    PreviewModeBackgroundFrame currentFrameMode() const;
    double bannerOffsetX() const;

    // ---- Events.
    // The banner's button: opens or closes the menu when no message text shows, else turns the
    // banner idle.
    void bannerTapped() const;
    void toggleMenu() const;
    void menuItemPressed(BLQPreviewModeNotificationState state, PreviewModeAction action) const;
    void applyNotificationState(BLQPreviewModeNotificationState state) const;
    // The banner appears (starts a fresh timer and closes the menu) and disappears (stops it).
    void appear() const;
    void disappear() const;
    void startTimer() const;
    void stopTimer() const;
    // One tick of the screenshot-success countdown.
    void onTimerTick() const;

private:
    struct Shared;
    explicit PreviewModeView(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
    platform::swiftui::View content(platform::CGSize space) const;
    platform::swiftui::View bannerLayer() const;
    platform::swiftui::View menuLayer() const;
    // The banner's text, and the padding above and below it that keeps the banner in the panel.
    struct BannerLabel {
        platform::swiftui::View view;
        double verticalPadding;
    };
    BannerLabel bannerLabelText(const std::string& text) const;
    void changed() const;

    std::shared_ptr<Shared> shared_;
};

}  // namespace brindlecue
