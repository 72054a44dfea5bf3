#pragma once

#include <memory>

#include "config/BLQIAppDetailsProvider.h"
#include "config/BLQIConfigManager.h"
#include "network/BLQIHTTPJSONResponseHandler.h"
#include "network/BLQIHTTPManager.h"
#include "network/BLQITagNetworkRequester.h"

namespace brindlecue {

// Deletes a tag: DELETE of the tags endpoint, "/" and the path segment "<app id>|<install id>|<key>".
// Held by shared pointer: a request in flight keeps its requester alive.
class BLQTagHTTPNetworkRequester final : public BLQITagNetworkRequester,
                                         public BLQIHTTPJSONResponseHandler,
                                         public std::enable_shared_from_this<BLQTagHTTPNetworkRequester> {
public:
    BLQTagHTTPNetworkRequester(std::shared_ptr<BLQIHTTPManager> httpManager,
                               std::shared_ptr<BLQIConfigManager> configManager,
                               std::shared_ptr<BLQIAppDetailsProvider> appDetails);

    void sendDeleteRequest(const std::string& key, BLQRequestSuccessBlock success,
                           BLQRequestFailureBlock failure) override;

private:
    std::shared_ptr<BLQIAppDetailsProvider> appDetails_;
    std::shared_ptr<BLQIConfigManager> configManager_;
    std::shared_ptr<BLQIHTTPManager> httpManager_;
};

}  // namespace brindlecue
