#pragma once

#include <memory>

#include "config/BLQIAppDetailsProvider.h"
#include "config/BLQIConfigManager.h"
#include "foundation/BLQILoggable.h"
#include "network/BLQIHTTPJSONResponseHandler.h"
#include "network/BLQIHTTPManager.h"
#include "preview/BLQIPreviewModeNetworkRequester.h"

namespace brindlecue {

// Preview mode's requests. The status check is a GET of the app-status document; the
// acknowledgement makes the facade's feed manager fetch the feed (which brings the preview
// campaigns) and calls neither callback; the exit deletes the reserved preview tag through the
// facade's tag manager and reports success at once.
// Held by shared pointer: a request in flight keeps its requester alive.
class BLQPreviewModeHTTPNetworkRequester final
    : public BLQIPreviewModeNetworkRequester,
      public BLQIHTTPJSONResponseHandler,
      public std::enable_shared_from_this<BLQPreviewModeHTTPNetworkRequester> {
public:
    BLQPreviewModeHTTPNetworkRequester(std::shared_ptr<BLQIHTTPManager> httpManager,
                                       std::shared_ptr<BLQIConfigManager> configManager,
                                       std::shared_ptr<BLQIAppDetailsProvider> appDetails);

    // Without an app key, or with a URL that does not form, fails at once with invalidURL.
    void fetchPreviewModeStatus(BLQRequestSuccessBlock success, BLQRequestFailureBlock failure) override;
    void ackPreviewModeConnection(const std::string& previewModeTimestamp, AckSuccessBlock success,
                                  BLQRequestFailureBlock failure) override;
    void exitPreviewMode(AckSuccessBlock success, BLQRequestFailureBlock failure) override;

private:
    std::shared_ptr<BLQIHTTPManager> httpManager_;
    std::shared_ptr<BLQIConfigManager> configManager_;
    std::shared_ptr<BLQIAppDetailsProvider> appDetails_;
};

}  // namespace brindlecue
