#include "facade/BLQAppStatusManagerDependencies.h"

#include <utility>

#include "foundation/BLQDependencyManager.h"

namespace brindlecue {

BLQAppStatusManagerDependencies::BLQAppStatusManagerDependencies() {
    auto& container = BLQDependencyManager::shared();
    appDetails_ = container.resolve<BLQIAppDetailsProvider>();
    config_ = container.resolve<BLQIConfigManager>();
    fetcher_ = container.resolve<BLQIAppStatusFetcher>();
    handler_ = container.resolve<BLQIAppStatusFetchHandler>();
}

BLQAppStatusManagerDependencies::BLQAppStatusManagerDependencies(
    std::shared_ptr<BLQIAppDetailsProvider> appDetails, std::shared_ptr<BLQIConfigManager> config,
    std::shared_ptr<BLQIAppStatusFetcher> fetcher, std::shared_ptr<BLQIAppStatusFetchHandler> handler)
    : appDetails_(std::move(appDetails)),
      config_(std::move(config)),
      fetcher_(std::move(fetcher)),
      handler_(std::move(handler)) {}

}  // namespace brindlecue
