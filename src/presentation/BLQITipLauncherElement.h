#pragma once

#include <cstdint>
#include <memory>

namespace brindlecue {

class KJTipElement;

namespace platform {
class UIButton;
class UIView;
}  // namespace platform

// What the tip engine needs of the presentation layer's launcher element (KJTipLauncherElement):
// the launcher button of a button campaign. The engine is given one with its triggers and adds
// its own touch-up-inside action to the button it gets back. Main queue.
class BLQITipLauncherElement {
public:
    static constexpr int64_t kLauncherTag = 888900;

    virtual ~BLQITipLauncherElement() = default;

    // The launcher of the first step's campaign, beside the target view (none for a launcher at a
    // position of the screen): a button tagged kLauncherTag whose launcher id
    // (brindlecueLauncherID) is the step's feed id, made the campaign's trigger control and put
    // into the view tree unless that campaign's launcher is there already. The element takes the
    // engine's showLauncherBtnClickLock while it looks for an earlier launcher and inserts the
    // button. None when no button could be made.
    virtual std::shared_ptr<platform::UIButton> addLauncherForTip(
        const std::shared_ptr<KJTipElement>& firstStep, const std::shared_ptr<platform::UIView>& target) = 0;
};

}  // namespace brindlecue
