#pragma once

#include <memory>

#include "config/BLQIConfigManager.h"
#include "network/BLQIHTTPJSONResponseHandler.h"
#include "network/BLQIHTTPManager.h"
#include "network/BLQIUpdateNetworkRequester.h"

namespace brindlecue {

// Updates the install: PATCH of the install document to the installs endpoint, "/" and its id.
// Held by shared pointer: a request in flight keeps its requester alive.
class BLQUpdateHTTPNetworkRequester : public BLQIUpdateNetworkRequester,
                                      public BLQIHTTPJSONResponseHandler,
                                      public std::enable_shared_from_this<BLQUpdateHTTPNetworkRequester> {
public:
    BLQUpdateHTTPNetworkRequester(std::shared_ptr<BLQIHTTPManager> httpManager,
                                  std::shared_ptr<BLQIConfigManager> configManager);

    void sendInstallUpdateRequest(const BLQInstallDTO& install, BLQRequestSuccessBlock success,
                                  BLQRequestFailureBlock failure) override;

private:
    std::shared_ptr<BLQIHTTPManager> httpManager_;
    std::shared_ptr<BLQIConfigManager> configManager_;
};

}  // namespace brindlecue
