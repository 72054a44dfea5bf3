#pragma once

#include "config/BLQInstallDTO.h"
#include "network/BLQIHTTPJSONResponseHandler.h"

namespace brindlecue {

// Registers the install with the server. Returns at once; one callback runs per call.
class BLQIInstallNetworkRequester {
public:
    virtual ~BLQIInstallNetworkRequester() = default;
    virtual void sendInstallRequest(const BLQInstallDTO& install, BLQRequestSuccessBlock success,
                                    BLQRequestFailureBlock failure) = 0;
};

}  // namespace brindlecue
