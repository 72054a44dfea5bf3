#include "targeting/BLQScreenShotManager.h"

#include "targeting/BLQLegacyScreenShotCapturer.h"

namespace brindlecue {

void BLQScreenShotManager::captureScreenShot() {
    BLQLegacyScreenShotCapturer::captureScreenShot();
}

}  // namespace brindlecue
