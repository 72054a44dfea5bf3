#pragma once

#include <functional>
#include <memory>

namespace brindlecue {

class BLQIGuidePayload;
class BLQIInternalGuideController;
class BrindlecueContainer;

namespace platform {
class UIViewController;
}  // namespace platform

// A host app's custom guide block: the host's own user interface for the campaign steps that
// name the key it was registered under (registerGuideBlock of the tip engine). As a rule a host
// derives from BLQBaseGuideController, whose dismiss, previous, next and tap operations report the
// user's answers to the engine.
class BLQIGuideController {
public:
    // Takes the payload the block was given (or one of its own).
    using PresentCompletion = std::function<void(const std::shared_ptr<BLQIGuidePayload>& payload)>;

    virtual ~BLQIGuideController() = default;

    // Shows the container's step over the host screen on view (which may be none) and then calls
    // exactly one of the two blocks: success once the step shows, failure when it cannot. Until
    // then the engine counts the step as being put on screen. Main queue.
    virtual void presentGuideBlockWithBrindlecueContainer(const std::shared_ptr<BrindlecueContainer>& container,
                                                          const std::shared_ptr<platform::UIViewController>& viewController,
                                                          PresentCompletion success, PresentCompletion failure) = 0;
    // The engine took the step away: the block removes its user interface for it.
    virtual void isDismissingGuide() = 0;
    // The user's answers, to be reported to the engine.
    virtual void dismissGuide() = 0;
    virtual void previousStepOfGuide() = 0;
    virtual void nextStepOfGuide() = 0;
    virtual void tapInsideOfGuide() = 0;
    virtual void tapOutsideOfGuide() = 0;

    // Registration hands the block the engine-side controller through which it reports.
    virtual void setInternalBase(const std::shared_ptr<BLQIInternalGuideController>& internalBase) = 0;
};

}  // namespace brindlecue
