#pragma once

#include <functional>
#include <string>

#include "network/BLQIHTTPJSONResponseHandler.h"

namespace brindlecue {

// How the preview-mode manager reaches the outside world: the explicit status check, the
// acknowledgement that this device entered preview mode, and the author's exit.
class BLQIPreviewModeNetworkRequester {
public:
    using AckSuccessBlock = std::function<void()>;

    virtual ~BLQIPreviewModeNetworkRequester() = default;

    // Success with the status document and its URL; failure with the error.
    virtual void fetchPreviewModeStatus(BLQRequestSuccessBlock success, BLQRequestFailureBlock failure) = 0;
    // The timestamp is the local preview timestamp as ISO-8601 text.
    virtual void ackPreviewModeConnection(const std::string& previewModeTimestamp, AckSuccessBlock success,
                                          BLQRequestFailureBlock failure) = 0;
    virtual void exitPreviewMode(AckSuccessBlock success, BLQRequestFailureBlock failure) = 0;
};

}  // namespace brindlecue
