#pragma once

#include <memory>
#include <optional>
#include <string>

#include "feed/BLQPreviewModeNotificationState.h"
#include "platform/Date.h"

namespace brindlecue {

namespace platform {
class UIImage;
class UIViewController;
}  // namespace platform

class BLQIPreviewModeDelegate;

// The preview-mode manager as the facade publishes it: whether the install is in author preview,
// the switch from the server's preview date, the overlay panel on the host's screens, the panel's
// menu commands and the status messages it shows.
//
// The members after the first group have bodies that do nothing, so that doubles standing in for
// what one part of the library asks of preview mode need not spell them out.
class BLQIPreviewModeManager {
public:
    virtual ~BLQIPreviewModeManager() = default;

    // True while the install is in preview mode.
    virtual bool isInPreviewMode() const = 0;
    // Queues on the main queue the overlay's attachment to the screen (none: the current one),
    // or its removal, according to the preview flag.
    virtual void checkIfPreviewModeIsRequiredOrNot(
        const std::shared_ptr<platform::UIViewController>& controller) = 0;
    virtual void togglePreviewModeView(bool isHidden) = 0;
    // The controller that hosts the overlay, or none.
    virtual std::shared_ptr<platform::UIViewController> previewModeView() = 0;
    // Shows a status in the preview panel and its message; any thread.
    virtual void receiveUpdated(BLQPreviewModeNotificationState state, const std::string& customMessage) = 0;

    // Held weakly: the facade, which owns the manager, sets itself.
    virtual std::shared_ptr<BLQIPreviewModeDelegate> delegate() const { return nullptr; }
    virtual void setDelegate(const std::shared_ptr<BLQIPreviewModeDelegate>&) {}
    // The overlay is on screen.
    virtual bool isPreviewModeShown() const { return false; }
    // Asks the server for the preview status and follows it; the delegate hears the outcome.
    virtual void fetchPreviewModeStatus(const std::string& /*baseUrl*/) {}
    // The app status's preview date (none when it has none); acts only when it changed.
    virtual void setServerTimestamp(const std::optional<platform::Date>& /*timestamp*/) {}
    // Queues on the main queue the removal of what preview campaigns left on screen: cover views,
    // launcher buttons and the triggers hooked for them.
    virtual void dismissTipButtonClickAfterExitPreview() {}
    // The menu's commands.
    virtual void captureScreenShot() {}
    virtual void replayGuide() {}
    virtual void exitPreviewMode() {}
    virtual bool isMenuShown() const { return false; }
    virtual void showPreviewMode() {}
    virtual void hidePreviewMode() {}
    virtual void layoutAuthorViews(const std::shared_ptr<platform::UIViewController>& /*controller*/) {}
    virtual void resetOfDefaultMode() {}
    // A panel image among the library's resources, or none.
    virtual std::shared_ptr<platform::UIImage> getLocalImage(const std::string& /*imageName*/) {
        return nullptr;
    }
};

}  // namespace brindlecue
