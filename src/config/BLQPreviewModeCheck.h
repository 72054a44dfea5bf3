#pragma once

#include <functional>

namespace brindlecue {

// Whether the install is in preview mode, as the facade's preview-mode manager answers: the facade
// publishes how to ask it, for the layers below the facade.
class BLQPreviewModeCheck {
public:
    static void set(std::function<bool()> check);
    // False while no check is published. The check runs on the caller's thread, outside any lock.
    static bool isInPreviewMode();
};

}  // namespace brindlecue
