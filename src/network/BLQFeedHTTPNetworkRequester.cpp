#include "network/BLQFeedHTTPNetworkRequester.h"

#include "network/BLQHTTPRequestError.h"

namespace brindlecue {

BLQFeedHTTPNetworkRequester::BLQFeedHTTPNetworkRequester(std::shared_ptr<BLQIHTTPManager> httpManager,
                                                         std::shared_ptr<BLQIConfigManager> configManager)
    : httpManager_(std::move(httpManager)), configManager_(std::move(configManager)) {}

void BLQFeedHTTPNetworkRequester::fetchFeeds(BLQRequestSuccessBlock success, BLQRequestFailureBlock failure) {
    const std::string host = configManager_->getHost();
    const std::string path = configManager_->getFeedEndpoint();
    auto url = platform::URL::fromString(host + path);
    if (!url) {
        if (failure)
            failure(BLQHTTPRequestError::invalidURL("Feed: Invalid URL for Feed request: " + host + path)
                        .toError());
        return;
    }
    httpManager_->get(*url, [self = shared_from_this(), url = *url, success = std::move(success),
                             failure = std::move(failure)](const BLQHTTPResult& result) {
        self->handleExpectedJSONResponse(result, "Feed", url, success, failure);
    });
}

}  // namespace brindlecue
