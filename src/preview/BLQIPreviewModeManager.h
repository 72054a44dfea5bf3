#pragma once

#include <string>

#include "preview/BLQPreviewModeNotificationState.h"

namespace brindlecue {

// The preview-mode manager as the facade publishes it, with what its users need so far.
class BLQIPreviewModeManager {
public:
    virtual ~BLQIPreviewModeManager() = default;
    // True while the install is in preview mode.
    virtual bool isInPreviewMode() const = 0;
    // Shows a status in the preview panel; any thread.
    virtual void receiveUpdated(BLQPreviewModeNotificationState state, const std::string& customMessage) = 0;
};

}  // namespace brindlecue
