#pragma once

#include "config/BLQInstallDTO.h"
#include "network/BLQIHTTPJSONResponseHandler.h"

namespace brindlecue {

// Updates the registered install on the server. Returns at once; one callback runs per call.
class BLQIUpdateNetworkRequester {
public:
    virtual ~BLQIUpdateNetworkRequester() = default;
    virtual void sendInstallUpdateRequest(const BLQInstallDTO& install, BLQRequestSuccessBlock success,
                                          BLQRequestFailureBlock failure) = 0;
};

}  // namespace brindlecue
