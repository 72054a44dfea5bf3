#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipManager.h"
#include "foundation/BLQILoggable.h"
#include "network/BLQResponseValidator.h"
#include "platform/Value.h"
#include "preview/BLQPreviewModeValidator.h"

namespace brindlecue {

class BLQIPreviewModeDataStore;
class BLQIPreviewModeDelegate;
class BLQIPreviewModeNetworkRequester;
class BLQIPreviewModeUIManager;
class BLQIScreenShotManager;
class KJTipSeriesElement;

// Decides from two timestamps whether this install is in author preview, switches the mode on
// (stored flag, delegate, acknowledgement that fetches the feed) and off, keeps the overlay panel
// on the host's screens while it is on, and forwards the panel's commands and the library's
// status messages to the parts that do the work.
//
// The decision runs on the caller's thread and takes no lock; everything that touches views is
// queued onto the main queue. One instance lives for the process.
class BLQPreviewModeManager final : public BLQIPreviewModeManager,
                                    public BLQILoggable,
                                    public std::enable_shared_from_this<BLQPreviewModeManager> {
public:
    using Validator = BLQResponseValidator<BLQPreviewModeValidator>;

    BLQPreviewModeManager(std::shared_ptr<BLQIPreviewModeDataStore> dataStore,
                          std::shared_ptr<BLQIPreviewModeUIManager> uiManager,
                          std::shared_ptr<BLQIScreenShotManager> screenShotManager,
                          std::shared_ptr<BLQITipManager> tipManager,
                          std::shared_ptr<BLQIPreviewModeNetworkRequester> networkRequester,
                          std::shared_ptr<Validator> validator);

    std::shared_ptr<BLQIPreviewModeDelegate> delegate() const override;
    void setDelegate(const std::shared_ptr<BLQIPreviewModeDelegate>& delegate) override;
    bool isInPreviewMode() const override;
    bool isPreviewModeShown() const override;
    void fetchPreviewModeStatus(const std::string& baseUrl) override;
    void setServerTimestamp(const std::optional<platform::Date>& timestamp) override;
    void checkIfPreviewModeIsRequiredOrNot(
        const std::shared_ptr<platform::UIViewController>& controller) override;
    void dismissTipButtonClickAfterExitPreview() override;
    void captureScreenShot() override;
    void replayGuide() override;
    void exitPreviewMode() override;
    std::shared_ptr<platform::UIViewController> previewModeView() override;
    bool isMenuShown() const override;
    void showPreviewMode() override;
    void hidePreviewMode() override;
    void layoutAuthorViews(const std::shared_ptr<platform::UIViewController>& controller) override;
    void togglePreviewModeView(bool isHidden) override;
    void resetOfDefaultMode() override;
    void receiveUpdated(BLQPreviewModeNotificationState state, const std::string& customMessage) override;
    std::shared_ptr<platform::UIImage> getLocalImage(const std::string& imageName) override;

    // The base URL the last explicit status check was given.
    std::optional<std::string> baseUrl() const;
    const std::shared_ptr<Validator>& validator() const { return validator_; }

private:
    void decidePreviewWidget();
    void enterPreviewMode();
    void leavePreviewMode();
    void acknowledgePreviewMode();
    void applyPreviewStatus(const platform::Value& json);
    // Clears the stored flag and tells the delegate, when the flag was set.
    void clearPreviewFlag();
    void attachPreviewPanel(const std::shared_ptr<platform::UIViewController>& controller);
    void placePreviewPanel();
    // Queues the clean-up after preview for these campaigns.
    void cleanUpAfterPreview(BLQITipManager::SeriesList campaigns);

    const std::shared_ptr<BLQIPreviewModeDataStore> dataStore_;
    const std::shared_ptr<BLQIPreviewModeUIManager> uiManager_;
    const std::shared_ptr<BLQIScreenShotManager> screenShotManager_;
    const std::shared_ptr<BLQITipManager> tipManager_;
    const std::shared_ptr<BLQIPreviewModeNetworkRequester> networkRequester_;
    const std::shared_ptr<Validator> validator_;
    mutable std::mutex mutex_;
    std::optional<std::string> baseUrl_;
    std::weak_ptr<BLQIPreviewModeDelegate> delegate_;
};

}  // namespace brindlecue
