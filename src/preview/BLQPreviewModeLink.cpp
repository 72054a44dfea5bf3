#include "preview/BLQPreviewModeLink.h"

#include <mutex>

#include "platform/TestingReset.h"

namespace brindlecue {

namespace {

struct Link {
    std::mutex mutex;
    std::weak_ptr<BLQIPreviewModeFacade> facade;
};

// Read by threads that may still run during exit: never destroyed.
Link& link() {
    static auto* shared = new Link();
    return *shared;
}

}  // namespace

void BLQPreviewModeLink::setFacade(const std::shared_ptr<BLQIPreviewModeFacade>& facade) {
    platform::TestingReset::add("BLQPreviewModeLink", [] {
        std::lock_guard lock(link().mutex);
        link().facade.reset();
    });
    std::lock_guard lock(link().mutex);
    link().facade = facade;
}

std::shared_ptr<BLQIPreviewModeFacade> BLQPreviewModeLink::facade() {
    std::lock_guard lock(link().mutex);
    return link().facade.lock();
}

}  // namespace brindlecue
