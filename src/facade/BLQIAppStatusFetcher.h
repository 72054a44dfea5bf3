#pragma once

#include <memory>
#include <string>

#include "facade/BLQIAppStatusFetchHandler.h"

namespace brindlecue {

// Gets the app-status document; the handler hears the outcome later.
class BLQIAppStatusFetcher {
public:
    virtual ~BLQIAppStatusFetcher() = default;
    virtual void fetchAppStatus(const std::string& host,
                                std::shared_ptr<BLQIAppStatusFetchHandler> handler) = 0;
};

}  // namespace brindlecue
