#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/BLQILoggable.h"
#include "platform/uikit/Geometry.h"
#include "platform/uikit/NSObject.h"
#include "preview/BLQIPreviewModeUIManager.h"
#include "preview/PreviewModeIcon.h"
#include "preview/PreviewModeOptions.h"

namespace brindlecue {

namespace platform {
class UIView;
class UIWindow;
}  // namespace platform

class PreviewModeHostingController;
class PreviewNotification;

// Owns the floating preview panel: a small draggable panel that shows the overlay view (status
// banner and menu) over the host's screens while the install is in preview mode.
//
// Nothing is made until the panel is first shown (layoutUI with false): an instance built and
// dropped leaves no trace. The panel is made then, on the main queue: a hosting controller whose
// view (frame (65, 100, 100, 90), clear, tagged as the library's own view, hidden) goes onto the
// key window of that moment, with a pan and a tap recogniser aimed at this manager. That window
// and the main screen's size are taken once, then. The panel grows to the right and downwards to
// the size mode the overlay view reports or a status's look names; dragging moves it and pushes it
// back into a safe zone; a tap keeps an enlarged panel inside the bottom of the screen. Menu
// choices go to the facade's preview-mode manager.
class BLQPreviewModeUIManager final : public BLQIPreviewModeUIManager,
                                      public platform::NSObject,
                                      public BLQILoggable {
public:
    static constexpr double kMarginHorizontal = 50;
    static constexpr double kMarginVertical = 100;
    static constexpr double kSpacing = 20;

    BLQPreviewModeUIManager();
    ~BLQPreviewModeUIManager() override;
    std::string className() const override { return "BLQPreviewModeUIManager"; }

    std::shared_ptr<platform::UIViewController> previewModeView() const override;
    void setPreviewModeView(std::shared_ptr<platform::UIViewController> controller);
    bool isShown() const override;
    bool isMenuShown() const override { return isMenuShown_.load(); }
    void setIsMenuShown(bool shown) { isMenuShown_.store(shown); }
    void layoutUI(bool isHidden) override;
    void layoutAuthorViews(const std::shared_ptr<platform::UIViewController>& controller) override;
    void togglePreviewModeView(bool isHidden) override;
    void resetOfDefaultMode() override;
    void receiveUpdated(BLQPreviewModeNotificationState state, const std::string& customMessage) override;
    std::shared_ptr<platform::UIImage> getLocalImage(const std::string& imageName) override;

    // The banner model the overlay view observes; it lives as long as the manager.
    const std::shared_ptr<PreviewNotification>& previewMode() const { return previewMode_; }
    // The window the panel was put on when it was made; none before, or when no window was key.
    std::shared_ptr<platform::UIWindow> targetWindow() const { return targetWindow_.lock(); }

    // The recognisers' actions (the sender is the recogniser).
    void handleTap(const std::shared_ptr<platform::NSObject>& sender);
    void handlePan(const std::shared_ptr<platform::NSObject>& sender);

    // The overlay view's callbacks: the size mode it needs with the menu flag, and a menu action.
    void returnPreviewModePosition(PreviewModeBackgroundFrame mode, bool isMenuShown);
    static void returnPreviewModeAction(PreviewModeAction action);

private:
    std::shared_ptr<platform::UIView> panel() const;
    void makePanel();
    // The safe-area insets of the target window (none without one).
    platform::UIEdgeInsets targetInsets() const;

    mutable std::mutex mutex_;
    std::shared_ptr<platform::UIViewController> previewModeView_;
    std::atomic<bool> isMenuShown_{false};
    const std::shared_ptr<PreviewNotification> previewMode_;
    std::shared_ptr<void> previewModeObservation_;
    std::weak_ptr<platform::UIWindow> targetWindow_;
    double widthScreen_ = 0;
    double heightScreen_ = 0;
};

}  // namespace brindlecue
