#include "network/BLQUpdateHTTPNetworkRequester.h"

#include "network/BLQHTTPRequestError.h"

namespace brindlecue {

BLQUpdateHTTPNetworkRequester::BLQUpdateHTTPNetworkRequester(std::shared_ptr<BLQIHTTPManager> httpManager,
                                                             std::shared_ptr<BLQIConfigManager> configManager)
    : httpManager_(std::move(httpManager)), configManager_(std::move(configManager)) {}

void BLQUpdateHTTPNetworkRequester::sendInstallUpdateRequest(const BLQInstallDTO& install,
                                                             BLQRequestSuccessBlock success,
                                                             BLQRequestFailureBlock failure) {
    auto fail = [&failure](const BLQHTTPRequestError& error) {
        if (failure) failure(error.toError());
    };
    const std::string host = configManager_->getHost();
    const std::string path = configManager_->getInstallsEndpoint();
    // An empty install id is not a missing one: it makes the URL ".../v3/installs/".
    if (!install.installId) {
        return fail(BLQHTTPRequestError::invalidURL(
            "Update: No installId on Install object for Update Registration patch request: " + host + path));
    }
    auto url = platform::URL::fromString(host + path + "/" + *install.installId);
    if (!url)
        return fail(BLQHTTPRequestError::invalidURL(
            "Update: Invalid URL for Update Registration post: " + host + path));
    auto document = install.asDictionary();
    auto body = document.toJSON();
    if (!body) {
        return fail(BLQHTTPRequestError::failedToParseRequestBody(
            "Update: Invalid request body for Update Update Registration post: " + document.description()));
    }
    httpManager_->patch(*url, platform::Data(body->begin(), body->end()),
                        [self = shared_from_this(), url = *url, success = std::move(success),
                         failure = std::move(failure)](const BLQHTTPResult& result) {
                            self->handleExpectedJSONResponse(result, "Update", url, success, failure);
                        });
}

}  // namespace brindlecue
