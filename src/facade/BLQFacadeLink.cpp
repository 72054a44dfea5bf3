#include "facade/BLQFacadeLink.h"

#include <atomic>
#include <mutex>

#include "events/BLQIUserEventManager.h"
#include "feed/BLQIFeedExt.h"
#include "config/BLQIConfigManager.h"
#include "foundation/BLQILoggerManager.h"
#include "feed/BLQIPreviewModeManager.h"
#include "targeting/BLQITargetingAlgorithm.h"
#include "feed/BLQITipManager.h"

namespace brindlecue {

namespace {

struct Links {
    std::mutex mutex;
    std::shared_ptr<BLQILoggerManager> loggerManager;
    std::shared_ptr<BLQIUserEventManager> userEventManager;
    std::shared_ptr<BLQIConfigManager> configManager;
    std::shared_ptr<const std::function<bool()>> previewModeCheck;
    std::shared_ptr<BLQITipManager> tipManager;
    std::shared_ptr<BLQITargetingAlgorithm> targetingAlgo;
    std::shared_ptr<BLQIFeedExt> feedExt;
    std::shared_ptr<BLQIPreviewModeManager> previewModeManager;
    std::atomic<int> constructionDepth{0};
};

// Reached by worker threads that may still log while the process exits: never destroyed.
Links& links() {
    static Links* instance = new Links();
    return *instance;
}

}  // namespace

BLQFacadeLink::ConstructionScope::ConstructionScope() {
    ++links().constructionDepth;
}

BLQFacadeLink::ConstructionScope::~ConstructionScope() {
    --links().constructionDepth;
}

bool BLQFacadeLink::isFacadeUnderConstruction() {
    return links().constructionDepth.load() > 0;
}

void BLQFacadeLink::setLoggerManager(std::shared_ptr<BLQILoggerManager> manager) {
    std::lock_guard lock(links().mutex);
    links().loggerManager = std::move(manager);
}

std::shared_ptr<BLQILoggerManager> BLQFacadeLink::loggerManager() {
    std::lock_guard lock(links().mutex);
    return links().loggerManager;
}

void BLQFacadeLink::setUserEventManager(std::shared_ptr<BLQIUserEventManager> manager) {
    std::lock_guard lock(links().mutex);
    links().userEventManager = std::move(manager);
}

std::shared_ptr<BLQIUserEventManager> BLQFacadeLink::userEventManager() {
    std::lock_guard lock(links().mutex);
    return links().userEventManager;
}

void BLQFacadeLink::setConfigManager(std::shared_ptr<BLQIConfigManager> manager) {
    std::lock_guard lock(links().mutex);
    links().configManager = std::move(manager);
}

std::shared_ptr<BLQIConfigManager> BLQFacadeLink::configManager() {
    std::lock_guard lock(links().mutex);
    return links().configManager;
}

void BLQFacadeLink::setPreviewModeCheck(std::function<bool()> check) {
    auto shared = check ? std::make_shared<const std::function<bool()>>(std::move(check)) : nullptr;
    std::lock_guard lock(links().mutex);
    links().previewModeCheck = std::move(shared);
}

bool BLQFacadeLink::isInPreviewMode() {
    std::shared_ptr<const std::function<bool()>> check;
    {
        std::lock_guard lock(links().mutex);
        check = links().previewModeCheck;
    }
    return check && (*check)();
}

void BLQFacadeLink::setTipManager(std::shared_ptr<BLQITipManager> manager) {
    std::lock_guard lock(links().mutex);
    links().tipManager = std::move(manager);
}

std::shared_ptr<BLQITipManager> BLQFacadeLink::tipManager() {
    std::lock_guard lock(links().mutex);
    return links().tipManager;
}

void BLQFacadeLink::setTargetingAlgo(std::shared_ptr<BLQITargetingAlgorithm> algorithm) {
    std::lock_guard lock(links().mutex);
    links().targetingAlgo = std::move(algorithm);
}

std::shared_ptr<BLQITargetingAlgorithm> BLQFacadeLink::targetingAlgo() {
    std::lock_guard lock(links().mutex);
    return links().targetingAlgo;
}

bool BLQFacadeLink::wouldLogAtLevel(int64_t level) {
    if (isFacadeUnderConstruction()) return false;
    auto manager = loggerManager();
    return manager && manager->wouldLog(level);
}

void BLQFacadeLink::logToConsoleAtLevel(int64_t level, const std::string& message) {
    if (isFacadeUnderConstruction()) return;
    // Called outside the lock: a logger may log or publish in turn.
    if (auto manager = loggerManager()) manager->log(message, level);
}

void BLQFacadeLink::setFeedExt(std::shared_ptr<BLQIFeedExt> feedExt) {
    std::lock_guard lock(links().mutex);
    links().feedExt = std::move(feedExt);
}

std::shared_ptr<BLQIFeedExt> BLQFacadeLink::feedExt() {
    std::lock_guard lock(links().mutex);
    return links().feedExt;
}

void BLQFacadeLink::setPreviewModeManager(std::shared_ptr<BLQIPreviewModeManager> manager) {
    std::lock_guard lock(links().mutex);
    links().previewModeManager = std::move(manager);
}

std::shared_ptr<BLQIPreviewModeManager> BLQFacadeLink::previewModeManager() {
    std::lock_guard lock(links().mutex);
    return links().previewModeManager;
}

}  // namespace brindlecue
