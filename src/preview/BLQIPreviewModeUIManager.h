#pragma once

#include <memory>
#include <string>

#include "feed/BLQPreviewModeNotificationState.h"

namespace brindlecue {

namespace platform {
class UIImage;
class UIViewController;
}  // namespace platform

// The floating preview panel as the preview-mode manager drives it: shown and hidden, brought to
// the front, given statuses, and the source of its icons. View work runs on the main thread;
// receiveUpdated may be called from any thread.
class BLQIPreviewModeUIManager {
public:
    virtual ~BLQIPreviewModeUIManager() = default;

    // The controller that hosts the panel; none before the panel was first shown.
    virtual std::shared_ptr<platform::UIViewController> previewModeView() const = 0;
    // True while the panel exists and is not hidden.
    virtual bool isShown() const = 0;
    virtual bool isMenuShown() const = 0;
    // Shows (making the panel the first time) or hides the panel.
    virtual void layoutUI(bool isHidden) = 0;
    // Brings the panel to the front of the controller's view; nothing for none.
    virtual void layoutAuthorViews(const std::shared_ptr<platform::UIViewController>& controller) = 0;
    // Hides or shows the panel while it exists; the screenshot capture uses it.
    virtual void togglePreviewModeView(bool isHidden) = 0;
    // Returns the banner to its idle look with the menu closed.
    virtual void resetOfDefaultMode() = 0;
    // Shows the status and the caller's message on the banner (on the main queue); a value that is
    // no status is ignored.
    virtual void receiveUpdated(BLQPreviewModeNotificationState state, const std::string& customMessage) = 0;
    // The panel image of that name among the resources, or none.
    virtual std::shared_ptr<platform::UIImage> getLocalImage(const std::string& imageName) = 0;
};

}  // namespace brindlecue
