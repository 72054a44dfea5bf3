#pragma once

#include <memory>
#include <string>

#include "preview/BLQPreviewModeNotificationState.h"

namespace brindlecue {

namespace platform {
class UIViewController;
}  // namespace platform

// The preview-mode manager as the facade publishes it, with what the tip engine and the widgets
// ask of it: the mode, the overlay, and the status messages the overlay shows.
class BLQIPreviewModeManager {
public:
    virtual ~BLQIPreviewModeManager() = default;

    // True while the install is in preview mode.
    virtual bool isInPreviewMode() const = 0;
    // Re-attaches or removes the overlay on the screen (none: the current one) according to the
    // preview flag.
    virtual void checkIfPreviewModeIsRequiredOrNot(const std::shared_ptr<platform::UIViewController>& controller) = 0;
    virtual void togglePreviewModeView(bool isHidden) = 0;
    // The controller that hosts the overlay, or none.
    virtual std::shared_ptr<platform::UIViewController> previewModeView() = 0;
    // Shows a status in the preview panel and its message; any thread.
    virtual void receiveUpdated(BLQPreviewModeNotificationState state, const std::string& customMessage) = 0;
};

}  // namespace brindlecue
