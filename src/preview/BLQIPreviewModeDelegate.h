#pragma once

namespace brindlecue {

namespace platform {
class Error;
class URL;
class Value;
}  // namespace platform

// Told by the preview-mode manager when preview mode is switched on or off and how an explicit
// status check ended. The facade is the delegate.
class BLQIPreviewModeDelegate {
public:
    virtual ~BLQIPreviewModeDelegate() = default;

    virtual void onPreviewModeToggledWithPreviewModeActive(bool previewModeActive) = 0;
    // The status document and the URL it came from.
    virtual void onPreviewModeCheckSuccessWithResponse(const platform::Value& response,
                                                       const platform::URL& url) = 0;
    virtual void onPreviewModeCheckFailureWithError(const platform::Error& error) = 0;
};

}  // namespace brindlecue
