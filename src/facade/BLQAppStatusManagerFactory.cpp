#include "facade/BLQAppStatusManagerFactory.h"

#include "config/BLQIConfigManager.h"
#include "config/BLQIInstallRegistrationManager.h"
#include "config/BLQISessionManager.h"
#include "config/BLQIUpdateRegistrationManager.h"
#include "events/BLQIUserEventManager.h"
#include "facade/BLQAppStatusManager.h"
#include "facade/BLQAppStatusManagerDependencies.h"
#include "facade/BLQIAppStatusFetchHandler.h"
#include "facade/BLQIConfigEventManager.h"
#include "feed/BLQIFeedManager.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipCacheManager.h"
#include "feed/BLQITipManager.h"
#include "foundation/BLQDependencyManager.h"
#include "targeting/BLQITargetingAlgorithm.h"

namespace brindlecue {

namespace {

template <class T>
std::shared_ptr<T> resolve() {
    return BLQDependencyManager::shared().resolve<T>();
}

}  // namespace

std::shared_ptr<BLQIAppStatusManager> BLQAppStatusManagerFactory::createAppStatusManager() {
    auto dependencies = std::make_shared<BLQAppStatusManagerDependencies>();
    auto manager = BLQAppStatusManager::create(dependencies);
    // Fetched documents reach the manager they were fetched for.
    dependencies->handler()->setManager(manager);
    return manager;
}

std::shared_ptr<BLQIConfigManager> BLQConfigManagerFactory::createConfigManager() {
    return resolve<BLQIConfigManager>();
}

std::shared_ptr<BLQIConfigEventManager> BLQConfigEventManagerFactory::createConfigEventManager() {
    return resolve<BLQIConfigEventManager>();
}

std::shared_ptr<BLQIInstallRegistrationManager>
BLQInstallRegistrationManagerFactory::createInstallRegistrationManager() {
    return resolve<BLQIInstallRegistrationManager>();
}

std::shared_ptr<BLQISessionManager> BLQSessionManagerFactory::createSessionManager() {
    return resolve<BLQISessionManager>();
}

std::shared_ptr<BLQIUpdateRegistrationManager>
BLQUpdateRegistrationManagerFactory::createUpdateRegistrationManager() {
    return resolve<BLQIUpdateRegistrationManager>();
}

std::shared_ptr<BLQIUserEventManager> BLQUserEventManagerFactory::createUserEventManager() {
    return resolve<BLQIUserEventManager>();
}

std::shared_ptr<BLQIFeedManager> BLQFeedManagerFactory::createFeedManager() {
    return resolve<BLQIFeedManager>();
}

std::shared_ptr<BLQIPreviewModeManager> BLQPreviewModeManagerFactory::createPreviewModeManager() {
    return resolve<BLQIPreviewModeManager>();
}

std::shared_ptr<BLQITipManager> BLQTipManagerFactory::createTipManager() {
    auto tipManager = resolve<BLQITipManager>();
    tipManager->addCacheManager(resolve<BLQITipCacheManager>());
    return tipManager;
}

std::shared_ptr<BLQITargetingAlgorithm> BLQTargetingAlgorithManager::createTargetingAlgorithmManager() {
    return resolve<BLQITargetingAlgorithm>();
}

}  // namespace brindlecue
