#pragma once

#include "network/BLQIHTTPJSONResponseHandler.h"

namespace brindlecue {

// Fetches the campaign feed. Returns at once; one callback runs per call.
class BLQIFeedNetworkRequester {
public:
    virtual ~BLQIFeedNetworkRequester() = default;
    virtual void fetchFeeds(BLQRequestSuccessBlock success, BLQRequestFailureBlock failure) = 0;
};

}  // namespace brindlecue
