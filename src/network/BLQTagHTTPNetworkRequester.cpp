#include "network/BLQTagHTTPNetworkRequester.h"

#include "network/BLQHTTPRequestError.h"
#include "platform/foundation/CharacterSet.h"

namespace brindlecue {

BLQTagHTTPNetworkRequester::BLQTagHTTPNetworkRequester(std::shared_ptr<BLQIHTTPManager> httpManager,
                                                       std::shared_ptr<BLQIConfigManager> configManager,
                                                       std::shared_ptr<BLQIAppDetailsProvider> appDetails)
    : appDetails_(std::move(appDetails)),
      configManager_(std::move(configManager)),
      httpManager_(std::move(httpManager)) {}

void BLQTagHTTPNetworkRequester::sendDeleteRequest(const std::string& key, BLQRequestSuccessBlock success,
                                                   BLQRequestFailureBlock failure) {
    auto fail = [&failure](const BLQHTTPRequestError& error) {
        if (failure) failure(error.toError());
    };
    auto appId = appDetails_->appId();
    if (!appId)
        return fail(BLQHTTPRequestError::invalidURL("Tag: No appId for deletion request, aborting request"));
    auto installId = appDetails_->installId();
    if (!installId) {
        return fail(
            BLQHTTPRequestError::invalidURL("Tag: No installId for deletion request, aborting request"));
    }

    // The tag's identity is one path segment, "<app id>|<install id>|<key>": a "/", "?" or "#"
    // inside the key or the install id is encoded and cannot change the URL's structure. The host
    // and endpoint keep what a URL may hold unencoded.
    const std::string base = configManager_->getHost() + configManager_->getTagsEndpoint();
    const std::string segment = std::to_string(*appId) + "|" + *installId + "|" + key;
    const std::string encoded =
        platform::URL::addingPercentEncoding(base, platform::CharacterSet::urlFragmentAllowed()) + "/" +
        platform::URL::addingPercentEncoding(segment, platform::CharacterSet::urlPathAllowed().removing("/"));
    auto url = platform::URL::fromString(encoded);
    if (!url)
        return fail(BLQHTTPRequestError::invalidURL("Tag: Invalid URL for Tag deletion request: " + encoded));
    httpManager_->delete_(*url, [self = shared_from_this(), url = *url, success = std::move(success),
                                 failure = std::move(failure)](const BLQHTTPResult& result) {
        self->handleExpectedJSONResponse(result, "Tag", url, success, failure);
    });
}

}  // namespace brindlecue
