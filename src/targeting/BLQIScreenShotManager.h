#pragma once

namespace brindlecue {

// Takes the author screenshot of the host screen on view and uploads it with the screen's target
// metadata; the preview-mode manager calls it from its overlay's menu. Main queue.
class BLQIScreenShotManager {
public:
    virtual ~BLQIScreenShotManager() = default;
    virtual void captureScreenShot() = 0;
};

}  // namespace brindlecue
