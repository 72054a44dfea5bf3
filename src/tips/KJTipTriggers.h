#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "feed/KJTipOffScreenTracker.h"
#include "platform/NotificationCenter.h"
#include "platform/Value.h"
#include "platform/uikit/NSObject.h"
#include "tips/BLQITipTriggers.h"

namespace brindlecue {

class BLQITagManager;
class BLQITipLauncherElement;
class BLQITipTargetElement;
class BLQITipManagerDelegate;
class KJTipManager;

namespace platform {
class UIView;
}  // namespace platform

// What the tip engine does while it waits for the user: it hooks a click campaign onto its target
// view and a button campaign onto a launcher button, and shows the campaign's first step when
// either is tapped; it shows on-demand campaigns, hands custom feeds to their screen, counts
// clicks on a screen's clickable views as super tags, takes the FAQ launcher away, and retries
// the steps whose target was off screen when their screen scrolls.
//
// Installed in the engine with KJTipManager::setTriggers; it holds the engine weakly. It is the
// target of the hooks it installs (the engine's clickEventHandler, launcherEventHandler and
// superTagEventHandlerV2). The internal bus reaches displayOffScreenTips,
// customFeedForViewController and targetSuperTagForViewController through the engine.
//
// Threads: hooks, taps, launchers and super tags on the main queue (calls from elsewhere are
// moved there); the off-screen records on any thread, under the object's own lock.
class KJTipTriggers final : public platform::NSObject, public BLQITipTriggers {
public:
    static constexpr int64_t kFAQLauncherTag = 108101;
    static constexpr int64_t kFAQListTag = 108102;

    struct Collaborators {
        // Feed acknowledgements and preview states (the facade).
        std::weak_ptr<BLQITipManagerDelegate> facade;
        // Where super-tag clicks are counted.
        std::shared_ptr<BLQITagManager> tagManager;
        // Makes launcher buttons; without one no button campaign is hooked.
        std::shared_ptr<BLQITipLauncherElement> launcher;
        // The facade's loadLocalFeeds (a property list of the main bundle whose feeds a super-tag
        // click takes in, for development) and its clearing; both optional.
        std::function<std::optional<std::string>()> loadLocalFeeds = nullptr;
        std::function<void()> clearLoadLocalFeeds = nullptr;
    };

    // Made with platform::make (the hooks need the object's shared pointer).
    KJTipTriggers(std::weak_ptr<KJTipManager> engine, Collaborators collaborators);

    // ---- BLQITipTriggers ------------------------------------------------------------------------

    // At least 1 s (and the minimum) later, finds the campaign's target on the screen (and, for a
    // launcher whose first step is a pop tip, that step's target too); after the first step's
    // delay a click campaign hooks its target view, a button campaign places its launcher.
    void hookEventForTipSeries(const std::shared_ptr<KJTipSeriesElement>& series,
                               const std::shared_ptr<platform::UIViewController>& controller,
                               double minDelaySeconds) override;
    void removeEventForSeries(const std::shared_ptr<KJTipSeriesElement>& series) override;
    void showOnDemandGuide(const std::string& campaignId) override;
    void removeFAQLauncher() override;
    void addOffScreenTip(const std::shared_ptr<KJTipElement>& step) override;
    void removeOffScreenTip(const std::shared_ptr<KJTipElement>& step) override;
    // Drops the campaign's record only when the step is its campaign's last.
    void removeOffScreenTipOnGuideCompletion(const std::shared_ptr<KJTipElement>& step) override;
    bool hasOffScreenTip(const std::string& feedId) const override;
    void removeAllOffScreenTips() override;
    std::map<std::string, KJTipOffScreenTracker> offScreenTipsTracker() const override;

    // ---- Clicks and launchers -----------------------------------------------------------------------

    // The tapped view, or the view of the tap recogniser that fired: shows its click campaign's
    // first step. A tap recogniser fires once: it is taken off the view.
    void clickEventHandler(const std::shared_ptr<platform::NSObject>& sender);
    // Under the engine's showLauncherBtnClickLock: shows the launcher's campaign's first step and
    // takes the button away (also when its campaign is gone).
    void launcherEventHandler(const std::shared_ptr<platform::NSObject>& sender);
    // The first campaign (the preview cache's in preview mode, else the live ones) of the trigger
    // type hooked on this very view, or whose feed id is the launcher's id.
    std::shared_ptr<KJTipSeriesElement> searchTipSeriesByTriggerControl(
        const std::shared_ptr<platform::NSObject>& view, int32_t trigger) const;
    std::shared_ptr<KJTipSeriesElement> searchTipSeriesByFeedID(
        const std::shared_ptr<platform::UIView>& button) const;

    // ---- On-demand campaigns and custom feeds --------------------------------------------------------

    // Shows the first step when it belongs to the screen now on view.
    void showOnDemandCampaignWithTips(const std::vector<std::shared_ptr<KJTipElement>>& steps) override;
    void showOnDemandForFAQ();
    // Acknowledges each custom feed item of the screen (or of every screen) and hands it to the
    // screen's custom-feed delegate (IKJCustomFeed) on the main queue.
    void customFeedForViewController(const std::shared_ptr<platform::UIViewController>& controller) override;

    // ---- Super tags ------------------------------------------------------------------------------------

    // For a host screen (not one of the library's own): binds super-tag counting to the
    // clickable views of the present window.
    void targetSuperTagForViewController(const std::shared_ptr<platform::UIViewController>& controller) override;
    // When view super tags are on.
    void hookEventForSuperTagToView(const std::shared_ptr<platform::UIView>& view);
    // When click super tags are on and the name passes the configuration's filter, adds 1 to the
    // tag named after the clicked view (superTagName).
    void superTagEventHandlerV2(const std::shared_ptr<platform::NSObject>& sender) override;
    // "kj_supertag_" + the URL-encoded class name of the view's controller + "_" + the URL-encoded
    // "<widget type>-<MD5 of "<ancestor>+<index>">" of the marks the binding left on the view.
    static std::string superTagName(const std::shared_ptr<platform::UIView>& view);

    // ---- Off-screen steps ------------------------------------------------------------------------------

    // From the screen's scroll callbacks: "vc" (objects) is the screen, "shouldShow" (user info)
    // true when scrolling begins to decelerate. Each recorded step of the screen whose target can
    // now be found is shown once.
    void displayOffScreenTips(const platform::Value& userInfo,
                              const platform::Notification::ObjectMap& objects) override;
    // The records of the screen (its step's target names the screen, or the record's screen is
    // the controller's class) that are due: recorded over 1.0 s ago, or at once with wait. On the
    // main queue, the completion gets each due pop tip whose target view is on screen now (the
    // step's targetControl is set), once; a step whose target is still missing is left recorded.
    void shouldCheckIfOffScreenTipExsists(
        const std::shared_ptr<platform::UIViewController>& controller, bool wait,
        std::function<void(const std::shared_ptr<KJTipElement>&)> completion);
    // A copy of the campaign's record.
    std::optional<KJTipOffScreenTracker> offScreenTip(const std::string& feedId) const;

private:
    // Runs the block now on the main thread, else queues it there.
    static void onMainQueue(std::function<void()> block);
    // The sender itself, or the view of the gesture recogniser that sent.
    static std::shared_ptr<platform::UIView> tappedView(const std::shared_ptr<platform::NSObject>& sender);

    // The live view of the target on the screen now shown; a new finder for every look-up.
    std::shared_ptr<platform::UIView> rematch(const std::shared_ptr<BLQITipTargetElement>& target) const;
    std::shared_ptr<KJTipManager> engine() const { return engine_.lock(); }
    std::shared_ptr<KJTipTriggers> self() { return sharedAs<KJTipTriggers>(); }
    void hookFoundTargets(const std::shared_ptr<KJTipSeriesElement>& series,
                          const std::shared_ptr<platform::UIView>& seriesTarget,
                          const std::shared_ptr<platform::UIView>& firstTarget);
    void loadLocalFeedsIfAsked();

    const std::weak_ptr<KJTipManager> engine_;
    const Collaborators collaborators_;

    mutable std::mutex mutex_;
    std::map<std::string, KJTipOffScreenTracker> offScreenTipsTracker_;
};

}  // namespace brindlecue
