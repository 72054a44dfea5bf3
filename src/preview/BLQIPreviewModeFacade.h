#pragma once

#include <memory>

namespace brindlecue {

class BLQIFeedManager;
class BLQITagManager;

namespace platform {
class UIViewController;
}  // namespace platform

// What preview mode uses of the facade beyond what it publishes for every layer: the feed manager
// (the acknowledgement fetches the feed), the tag manager (the exit deletes the preview tag), the
// host's top screen (where the panel goes) and the SDK version check. The facade publishes itself
// with BLQPreviewModeLink::setFacade; until then preview mode finds none of them.
class BLQIPreviewModeFacade {
public:
    virtual ~BLQIPreviewModeFacade() = default;

    virtual std::shared_ptr<BLQIFeedManager> feedManager() const = 0;
    virtual std::shared_ptr<BLQITagManager> tagManager() const = 0;
    // The controller on top of the key window's root view controller; none when there is none.
    // Main queue.
    virtual std::shared_ptr<platform::UIViewController> topMostViewController() const = 0;
    // Logs whether this SDK is the latest published one.
    virtual void verifySDKVersion() = 0;
};

}  // namespace brindlecue
