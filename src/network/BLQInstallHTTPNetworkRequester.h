#pragma once

#include <memory>

#include "config/BLQIConfigManager.h"
#include "network/BLQIHTTPJSONResponseHandler.h"
#include "network/BLQIHTTPManager.h"
#include "network/BLQIInstallNetworkRequester.h"

namespace brindlecue {

// Registers the install: POST of the install document to the installs endpoint.
// Held by shared pointer: a request in flight keeps its requester alive.
class BLQInstallHTTPNetworkRequester : public BLQIInstallNetworkRequester,
                                       public BLQIHTTPJSONResponseHandler,
                                       public std::enable_shared_from_this<BLQInstallHTTPNetworkRequester> {
public:
    BLQInstallHTTPNetworkRequester(std::shared_ptr<BLQIHTTPManager> httpManager,
                                   std::shared_ptr<BLQIConfigManager> configManager);

    void sendInstallRequest(const BLQInstallDTO& install, BLQRequestSuccessBlock success,
                            BLQRequestFailureBlock failure) override;

private:
    std::shared_ptr<BLQIHTTPManager> httpManager_;
    std::shared_ptr<BLQIConfigManager> configManager_;
};

}  // namespace brindlecue
