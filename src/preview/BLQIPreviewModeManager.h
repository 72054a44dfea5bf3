#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace brindlecue {

namespace platform {
class UIViewController;
}  // namespace platform

// The preview-mode manager, with what the tip engine asks of it: the mode, the overlay, and the
// status messages the overlay shows.
class BLQIPreviewModeManager {
public:
    virtual ~BLQIPreviewModeManager() = default;

    virtual bool isInPreviewMode() = 0;
    // Re-attaches or removes the overlay on the screen (none: the current one) according to the
    // preview flag.
    virtual void checkIfPreviewModeIsRequiredOrNot(const std::shared_ptr<platform::UIViewController>& controller) = 0;
    virtual void togglePreviewModeView(bool isHidden) = 0;
    // The controller that hosts the overlay, or none.
    virtual std::shared_ptr<platform::UIViewController> previewModeView() = 0;
    // Shows a status (a BLQPreviewModeNotificationState by its raw value) and its message.
    virtual void receiveUpdated(int64_t state, const std::string& customMessage) = 0;
};

}  // namespace brindlecue
