#pragma once

#include <memory>

#include "facade/BLQIAppStatusManagerDependencies.h"

namespace brindlecue {

// The app-status manager's collaborators, fixed at creation.
class BLQAppStatusManagerDependencies final : public BLQIAppStatusManagerDependencies {
public:
    // Resolves the app details, the configuration manager, the fetcher and the fetch handler from
    // the shared dependency container, in this order.
    BLQAppStatusManagerDependencies();
    BLQAppStatusManagerDependencies(std::shared_ptr<BLQIAppDetailsProvider> appDetails,
                                    std::shared_ptr<BLQIConfigManager> config,
                                    std::shared_ptr<BLQIAppStatusFetcher> fetcher,
                                    std::shared_ptr<BLQIAppStatusFetchHandler> handler);

    std::shared_ptr<BLQIAppDetailsProvider> appDetails() const override { return appDetails_; }
    std::shared_ptr<BLQIConfigManager> config() const override { return config_; }
    std::shared_ptr<BLQIAppStatusFetcher> fetcher() const override { return fetcher_; }
    std::shared_ptr<BLQIAppStatusFetchHandler> handler() const override { return handler_; }

private:
    std::shared_ptr<BLQIAppDetailsProvider> appDetails_;
    std::shared_ptr<BLQIConfigManager> config_;
    std::shared_ptr<BLQIAppStatusFetcher> fetcher_;
    std::shared_ptr<BLQIAppStatusFetchHandler> handler_;
};

}  // namespace brindlecue
