#pragma once

#include <memory>
#include <mutex>

#include "tips/BLQIGuideController.h"

namespace brindlecue {

// The base of a host's custom guide block. Presenting and being dismissed are the host's to
// override (here they do nothing); the answers go to the engine through the internal controller
// the registration set:
//   dismissGuide        the close handler with true (the campaign is rejected and ends)
//   previousStepOfGuide button 1 with true, true (the previous step)
//   nextStepOfGuide     the status back to idle, then button 2 with true, true (the next step, or
//                       the campaign accepted on its last)
//   tapInsideOfGuide    the inside handler with true (the engine sets none)
//   tapOutsideOfGuide   the outside handler with true (the campaign is put aside)
// Each does nothing without an internal controller or without the handler.
//
// The block holds its internal controller weakly: the engine owns that controller (and through it
// the block) for as long as the registration lasts, so a block registered again under the same
// key, or whose engine has gone, reaches nothing. Any thread.
class BLQBaseGuideController : public BLQIGuideController {
public:
    void presentGuideBlockWithBrindlecueContainer(const std::shared_ptr<BrindlecueContainer>& container,
                                                  const std::shared_ptr<platform::UIViewController>& viewController,
                                                  PresentCompletion success, PresentCompletion failure) override {}
    void isDismissingGuide() override {}
    void dismissGuide() override;
    void previousStepOfGuide() override;
    void nextStepOfGuide() override;
    void tapInsideOfGuide() override;
    void tapOutsideOfGuide() override;

    void setInternalBase(const std::shared_ptr<BLQIInternalGuideController>& internalBase) override;
    std::shared_ptr<BLQIInternalGuideController> internalBase() const;

private:
    mutable std::mutex mutex_;
    std::weak_ptr<BLQIInternalGuideController> internalBase_;
};

}  // namespace brindlecue
