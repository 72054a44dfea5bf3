#include "presentation/BLQCustomGuideLink.h"

#include <mutex>

#include "platform/TestingReset.h"

namespace brindlecue {

namespace {

struct Link {
    std::mutex mutex;
    std::shared_ptr<BLQITagManager> tagManager;
};

// Read by threads that may still run during exit: never destroyed.
Link& link() {
    static auto* shared = new Link();
    return *shared;
}

}  // namespace

void BLQCustomGuideLink::setTagManager(std::shared_ptr<BLQITagManager> manager) {
    platform::TestingReset::add("BLQCustomGuideLink", [] {
        std::lock_guard lock(link().mutex);
        link().tagManager.reset();
    });
    std::lock_guard lock(link().mutex);
    link().tagManager = std::move(manager);
}

std::shared_ptr<BLQITagManager> BLQCustomGuideLink::tagManager() {
    std::lock_guard lock(link().mutex);
    return link().tagManager;
}

}  // namespace brindlecue
