#include "preview/BLQPreviewModeHTTPNetworkRequester.h"

#include "feed/BLQIFeedManager.h"
#include "network/BLQHTTPRequestError.h"
#include "preview/BLQIPreviewModeFacade.h"
#include "preview/BLQPreviewModeLink.h"
#include "tags/BLQITagManager.h"
#include "tags/BLQTagKey.h"

namespace brindlecue {

BLQPreviewModeHTTPNetworkRequester::BLQPreviewModeHTTPNetworkRequester(
    std::shared_ptr<BLQIHTTPManager> httpManager, std::shared_ptr<BLQIConfigManager> configManager,
    std::shared_ptr<BLQIAppDetailsProvider> appDetails)
    : httpManager_(std::move(httpManager)),
      configManager_(std::move(configManager)),
      appDetails_(std::move(appDetails)) {}

void BLQPreviewModeHTTPNetworkRequester::fetchPreviewModeStatus(BLQRequestSuccessBlock success,
                                                                BLQRequestFailureBlock failure) {
    auto fail = [&failure](const BLQHTTPRequestError& error) {
        if (failure) failure(error.toError());
    };
    auto appKey = appDetails_ ? appDetails_->appKey() : std::nullopt;
    if (!appKey) return fail(BLQHTTPRequestError::invalidURL("PreviewMode: No appKey found yet"));
    const std::string host = configManager_->getHost();
    const std::string endpoint = configManager_->getAppStatusEndpoint(*appKey);
    auto url = platform::URL::fromString(host + endpoint);
    if (!url) {
        return fail(BLQHTTPRequestError::invalidURL(
            "PreviewMode: Invalid URL for Preview Mode request: " + host + endpoint));
    }
    httpManager_->get(*url, [self = shared_from_this(), url = *url, success = std::move(success),
                             failure = std::move(failure)](const BLQHTTPResult& result) {
        self->handleExpectedJSONResponse(result, "PreviewMode", url, success, failure);
    });
}

void BLQPreviewModeHTTPNetworkRequester::ackPreviewModeConnection(const std::string&, AckSuccessBlock,
                                                                  BLQRequestFailureBlock) {
    auto facade = BLQPreviewModeLink::facade();
    if (auto feeds = facade ? facade->feedManager() : nullptr) feeds->fetchFeeds(std::nullopt);
}

void BLQPreviewModeHTTPNetworkRequester::exitPreviewMode(AckSuccessBlock success, BLQRequestFailureBlock) {
    auto facade = BLQPreviewModeLink::facade();
    if (auto tags = facade ? facade->tagManager() : nullptr) tags->deleteTagWithKey(BLQTagKey::previewMode());
    if (success) success();
}

}  // namespace brindlecue
