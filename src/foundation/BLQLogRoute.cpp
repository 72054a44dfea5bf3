#include "foundation/BLQLogRoute.h"

#include <atomic>

#include "foundation/BLQILoggerManager.h"
#include "foundation/BLQPublished.h"

namespace brindlecue {

namespace {

std::atomic<int> constructionDepth{0};

}  // namespace

BLQLogRoute::ConstructionScope::ConstructionScope() {
    ++constructionDepth;
}

BLQLogRoute::ConstructionScope::~ConstructionScope() {
    --constructionDepth;
}

bool BLQLogRoute::isFacadeUnderConstruction() {
    return constructionDepth.load() > 0;
}

bool BLQLogRoute::wouldLogAtLevel(int64_t level) {
    if (isFacadeUnderConstruction()) return false;
    auto manager = BLQPublished<BLQILoggerManager>::get();
    return manager && manager->wouldLog(level);
}

void BLQLogRoute::logToConsoleAtLevel(int64_t level, const std::string& message) {
    if (isFacadeUnderConstruction()) return;
    // Called outside the slot's lock: a logger may log or publish in turn.
    if (auto manager = BLQPublished<BLQILoggerManager>::get()) manager->log(message, level);
}

}  // namespace brindlecue
