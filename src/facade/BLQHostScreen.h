#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/UIPresentationController.h"

namespace brindlecue {

class IKJCustomFeed;

namespace platform {
class UIViewController;
class UIViewControllerTransitionCoordinator;
}  // namespace platform

// What the three host base classes (view, table and collection controller) share: the
// excludeBehavior flag and the custom-feed delegate, the answers to their presentation
// controller, and the reports they make about their screen.
//
// A screen is reported when excludeBehavior is off and it is not one of the library's own
// screens. Reports go to the facade (page enter and exit), to preview mode (the overlay check) and
// to the internal bus, as notifications on the default centre carrying the controller under "vc"
// among their objects. The callbacks run on the main thread.
class BLQHostScreen : public platform::UIAdaptivePresentationControllerDelegate {
public:
    // Bus notifications the base classes post.
    static constexpr const char* kCustomFeedNotification = "BLQ_BrindlecueBridge_CustomFeed_Notification";
    static constexpr const char* kShowTipNotification = "BLQ_BrindlecueBridge_ShowTip_Notification";
    static constexpr const char* kShowOffScreenTipsNotification =
        "BLQ_BrindlecueBridge_ShowOffScreenTips_Notification";
    static constexpr const char* kSuperTagNotification = "BLQ_BrindlecueBridge_SuperTag_Notification";
    static constexpr const char* kSuperTagVCNotification = "BLQ_BrindlecueBridge_SuperTagVC_Notification";
    static constexpr const char* kForceDismissTipNotification =
        "BLQ_BrindlecueBridge_ForceDismissTip_Notification";
    static constexpr const char* kEnterVCNotification = "BLQ_BrindlecueBridge_EnterVC_Notification";
    static constexpr const char* kExitVCNotification = "BLQ_BrindlecueBridge_ExitVC_Notification";
    static constexpr const char* kPreviewTipsUpdatedNotification = "QX_Preview_Tips_Updated";
    static constexpr const char* kOrientationChangedNotification =
        "KJ_TipManager_OrientationChanged_Notification";
    // User-defaults key: the class name of the last reported screen about to appear.
    static constexpr const char* kEnterBackPageHistory = "ENTERBAK_PAGE_HISTORY";

    ~BLQHostScreen() override = default;

    // Keeps the screen out of page reports, custom feeds, super-tag targeting and tip dismissal;
    // off after every initialiser. An excluded screen still asks for tips when it appears.
    bool excludeBehavior() const { return excludeBehavior_.load(); }
    void setExcludeBehavior(bool exclude) { excludeBehavior_.store(exclude); }

    // Receives the custom feed items of this screen (held weakly). The tip engine finds it through
    // the getter "customFeedDelegate", so it reaches a delegate that is an NSObject.
    std::shared_ptr<IKJCustomFeed> customFeedDelegate() const;
    void setCustomFeedDelegate(const std::shared_ptr<IKJCustomFeed>& delegate);

    // ---- The controller's presentation controller.
    // Full screen (0).
    platform::UIModalPresentationStyle adaptivePresentationStyleForPresentationController(
        const std::shared_ptr<platform::UIPresentationController>& controller) override;
    // No adaptation (-1).
    platform::UIModalPresentationStyle adaptivePresentationStyleForPresentationController(
        const std::shared_ptr<platform::UIPresentationController>& controller,
        const std::shared_ptr<platform::UITraitCollection>& traitCollection) override;
    // None.
    std::shared_ptr<platform::UIViewController>
    presentationControllerViewControllerForAdaptivePresentationStyle(
        const std::shared_ptr<platform::UIPresentationController>& controller,
        platform::UIModalPresentationStyle style) override;
    bool presentationControllerShouldDismiss(
        const std::shared_ptr<platform::UIPresentationController>& controller) override;
    // The user dismissed the sheet: a reported screen reports page exit and exit and runs the
    // preview check.
    void presentationControllerDidDismiss(
        const std::shared_ptr<platform::UIPresentationController>& controller) override;

    // Enters the six base classes in the class registry (so that library screens are told apart
    // from host screens by name) with the "customFeedDelegate" getter of the host classes. Runs
    // when the first base controller is made; calling it again changes nothing.
    static void registerClasses();

protected:
    BLQHostScreen() = default;

    // The controller these reports are about (the object itself).
    virtual std::shared_ptr<platform::UIViewController> hostController() const = 0;
    // True for the library's own screens, which are never reported.
    virtual bool isLibraryScreen() const { return false; }

    bool isReported() const;
    // The screen's page name: its class name, or in a React Native host the native id under its
    // view's content view.
    std::string pageName() const;

    // Posts the notification with the controller under "vc".
    void postWithController(const char* name) const;
    // The facade's page enter / page exit with the page name.
    void reportPageEnter() const;
    void reportPageExit() const;
    // The preview-mode manager re-attaches or removes its overlay for this screen.
    void checkPreviewMode() const;
    // A screen that adopts IKJDeepLinking displays its deep-linking state.
    void displayDeepLinking() const;
    // Writes the class name under "ENTERBAK_PAGE_HISTORY".
    void recordEnterBack() const;
    // In preview mode: queued on the main queue, the controller becomes the delegate of its
    // navigation controller's presentation controller, so that it hears when the user dismisses
    // the sheet.
    void adoptNavigationSheetInPreviewMode() const;
    // Removes the launcher buttons from the key window.
    void removeLauncherButtons() const;
    // The requests of an appeared screen, reported or not: in preview mode the preview cache's
    // replay ({"tips": "ReshowCache"}), else show tip and then the super-tag view count.
    void postAppearedRequests() const;
    // Once the size transition has finished, posts the new size (a std::shared_ptr<CGSize> as the
    // object).
    static void postSizeChange(
        platform::CGSize size,
        const std::shared_ptr<platform::UIViewControllerTransitionCoordinator>& coordinator);

private:
    std::atomic<bool> excludeBehavior_{false};
    mutable std::mutex delegateMutex_;
    std::weak_ptr<IKJCustomFeed> customFeedDelegate_;
};

}  // namespace brindlecue
