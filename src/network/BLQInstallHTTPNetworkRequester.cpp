#include "network/BLQInstallHTTPNetworkRequester.h"

#include "network/BLQHTTPRequestError.h"

namespace brindlecue {

BLQInstallHTTPNetworkRequester::BLQInstallHTTPNetworkRequester(
    std::shared_ptr<BLQIHTTPManager> httpManager, std::shared_ptr<BLQIConfigManager> configManager)
    : httpManager_(std::move(httpManager)), configManager_(std::move(configManager)) {}

void BLQInstallHTTPNetworkRequester::sendInstallRequest(const BLQInstallDTO& install,
                                                        BLQRequestSuccessBlock success,
                                                        BLQRequestFailureBlock failure) {
    const std::string host = configManager_->getHost();
    const std::string path = configManager_->getInstallsEndpoint();
    auto url = platform::URL::fromString(host + path);
    if (!url) {
        if (failure)
            failure(BLQHTTPRequestError::invalidURL(
                        "Install: Invalid URL for Install Registration post: " + host + path)
                        .toError());
        return;
    }
    auto document = install.asDictionary();
    auto body = document.toJSON();
    if (!body) {
        if (failure)
            failure(
                BLQHTTPRequestError::failedToParseRequestBody(
                    "Install: Invalid request body for Install Registration post: " + document.description())
                    .toError());
        return;
    }
    httpManager_->post(*url, platform::Data(body->begin(), body->end()),
                       [self = shared_from_this(), url = *url, success = std::move(success),
                        failure = std::move(failure)](const BLQHTTPResult& result) {
                           self->handleExpectedJSONResponse(result, "Install", url, success, failure);
                       });
}

}  // namespace brindlecue
