#pragma once

#include <memory>

#include "config/BLQIConfigManager.h"
#include "network/BLQIFeedNetworkRequester.h"
#include "network/BLQIHTTPJSONResponseHandler.h"
#include "network/BLQIHTTPManager.h"

namespace brindlecue {

// Fetches the campaign feed: GET of the feed endpoint.
// Held by shared pointer: a request in flight keeps its requester alive.
class BLQFeedHTTPNetworkRequester : public BLQIFeedNetworkRequester,
                                    public BLQIHTTPJSONResponseHandler,
                                    public std::enable_shared_from_this<BLQFeedHTTPNetworkRequester> {
public:
    BLQFeedHTTPNetworkRequester(std::shared_ptr<BLQIHTTPManager> httpManager,
                                std::shared_ptr<BLQIConfigManager> configManager);

    void fetchFeeds(BLQRequestSuccessBlock success, BLQRequestFailureBlock failure) override;

private:
    std::shared_ptr<BLQIHTTPManager> httpManager_;
    std::shared_ptr<BLQIConfigManager> configManager_;
};

}  // namespace brindlecue
