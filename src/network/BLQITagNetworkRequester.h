#pragma once

#include <string>

#include "network/BLQIHTTPJSONResponseHandler.h"

namespace brindlecue {

// Deletes a tag of this install on the server. Returns at once; one callback runs per call.
class BLQITagNetworkRequester {
public:
    virtual ~BLQITagNetworkRequester() = default;
    virtual void sendDeleteRequest(const std::string& key, BLQRequestSuccessBlock success,
                                   BLQRequestFailureBlock failure) = 0;
};

}  // namespace brindlecue
