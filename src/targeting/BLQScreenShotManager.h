#pragma once

#include "foundation/BLQILoggable.h"
#include "targeting/BLQIScreenShotManager.h"

namespace brindlecue {

// The screenshot manager the preview-mode manager is given: BLQLegacyScreenShotCapturer's
// capture. Holds nothing.
class BLQScreenShotManager final : public BLQIScreenShotManager, public BLQILoggable {
public:
    void captureScreenShot() override;
};

}  // namespace brindlecue
