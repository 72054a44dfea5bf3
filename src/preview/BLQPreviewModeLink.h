#pragma once

#include <memory>

namespace brindlecue {

class BLQIPreviewModeFacade;

// Where preview mode finds the facade: held weakly (the facade owns preview mode). Any thread.
class BLQPreviewModeLink {
public:
    static void setFacade(const std::shared_ptr<BLQIPreviewModeFacade>& facade);
    // None until the facade published itself, or once it has gone.
    static std::shared_ptr<BLQIPreviewModeFacade> facade();
};

}  // namespace brindlecue
