#pragma once

#include <memory>

#include "config/BLQIAppDetailsProvider.h"
#include "config/BLQIConfigManager.h"
#include "facade/BLQIAppStatusFetchHandler.h"
#include "facade/BLQIAppStatusFetcher.h"

namespace brindlecue {

// What the app-status manager works with.
class BLQIAppStatusManagerDependencies {
public:
    virtual ~BLQIAppStatusManagerDependencies() = default;
    virtual std::shared_ptr<BLQIAppDetailsProvider> appDetails() const = 0;
    virtual std::shared_ptr<BLQIConfigManager> config() const = 0;
    virtual std::shared_ptr<BLQIAppStatusFetcher> fetcher() const = 0;
    virtual std::shared_ptr<BLQIAppStatusFetchHandler> handler() const = 0;
};

}  // namespace brindlecue
