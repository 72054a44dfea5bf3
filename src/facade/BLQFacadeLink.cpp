#include "facade/BLQFacadeLink.h"

#include "config/BLQPreviewModeCheck.h"
#include "foundation/BLQPublished.h"

namespace brindlecue {

bool BLQFacadeLink::isFacadeUnderConstruction() {
    return BLQLogRoute::isFacadeUnderConstruction();
}

void BLQFacadeLink::setLoggerManager(std::shared_ptr<BLQILoggerManager> manager) {
    BLQPublished<BLQILoggerManager>::set(std::move(manager));
}

std::shared_ptr<BLQILoggerManager> BLQFacadeLink::loggerManager() {
    return BLQPublished<BLQILoggerManager>::get();
}

void BLQFacadeLink::setUserEventManager(std::shared_ptr<BLQIUserEventManager> manager) {
    BLQPublished<BLQIUserEventManager>::set(std::move(manager));
}

std::shared_ptr<BLQIUserEventManager> BLQFacadeLink::userEventManager() {
    return BLQPublished<BLQIUserEventManager>::get();
}

void BLQFacadeLink::setConfigManager(std::shared_ptr<BLQIConfigManager> manager) {
    BLQPublished<BLQIConfigManager>::set(std::move(manager));
}

std::shared_ptr<BLQIConfigManager> BLQFacadeLink::configManager() {
    return BLQPublished<BLQIConfigManager>::get();
}

void BLQFacadeLink::setPreviewModeCheck(std::function<bool()> check) {
    BLQPreviewModeCheck::set(std::move(check));
}

bool BLQFacadeLink::isInPreviewMode() {
    return BLQPreviewModeCheck::isInPreviewMode();
}

void BLQFacadeLink::setTipManager(std::shared_ptr<BLQITipManager> manager) {
    BLQPublished<BLQITipManager>::set(std::move(manager));
}

std::shared_ptr<BLQITipManager> BLQFacadeLink::tipManager() {
    return BLQPublished<BLQITipManager>::get();
}

void BLQFacadeLink::setTargetingAlgo(std::shared_ptr<BLQITargetingAlgorithm> algorithm) {
    BLQPublished<BLQITargetingAlgorithm>::set(std::move(algorithm));
}

std::shared_ptr<BLQITargetingAlgorithm> BLQFacadeLink::targetingAlgo() {
    return BLQPublished<BLQITargetingAlgorithm>::get();
}

bool BLQFacadeLink::wouldLogAtLevel(int64_t level) {
    return BLQLogRoute::wouldLogAtLevel(level);
}

void BLQFacadeLink::logToConsoleAtLevel(int64_t level, const std::string& message) {
    BLQLogRoute::logToConsoleAtLevel(level, message);
}

void BLQFacadeLink::setFeedExt(std::shared_ptr<BLQIFeedExt> feedExt) {
    BLQPublished<BLQIFeedExt>::set(std::move(feedExt));
}

std::shared_ptr<BLQIFeedExt> BLQFacadeLink::feedExt() {
    return BLQPublished<BLQIFeedExt>::get();
}

void BLQFacadeLink::setPreviewModeManager(std::shared_ptr<BLQIPreviewModeManager> manager) {
    BLQPublished<BLQIPreviewModeManager>::set(std::move(manager));
}

std::shared_ptr<BLQIPreviewModeManager> BLQFacadeLink::previewModeManager() {
    return BLQPublished<BLQIPreviewModeManager>::get();
}

}  // namespace brindlecue
