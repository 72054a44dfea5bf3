#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "feed/KJTipOffScreenTracker.h"
#include "platform/NotificationCenter.h"
#include "platform/Value.h"

namespace brindlecue {

class KJTipElement;
class KJTipSeriesElement;

namespace platform {
class NSObject;
class UIViewController;
}  // namespace platform

// The part of the tip engine that waits for the user: click and launcher triggers, on-demand
// guides, custom feeds, super tags, the FAQ launcher and the steps whose target was off screen.
// The engine hands these calls to the object installed with KJTipManager::setTriggers; while none
// is installed, no campaign is hooked, no on-demand guide shows, no custom feed is delivered, no
// super tag is counted and no off-screen step is kept. Main queue, except the off-screen
// bookkeeping, which the presenting worker's callbacks may reach from any queue.
class BLQITipTriggers {
public:
    virtual ~BLQITipTriggers() = default;

    // Hooks a click or button campaign on the screen, at least the minimum delay (seconds) later.
    virtual void hookEventForTipSeries(const std::shared_ptr<KJTipSeriesElement>& series,
                                       const std::shared_ptr<platform::UIViewController>& controller,
                                       double minDelaySeconds) = 0;
    // Unhooks the campaign's click hook or launcher button.
    virtual void removeEventForSeries(const std::shared_ptr<KJTipSeriesElement>& series) = 0;
    // Shows the stored campaign of the campaign id at once.
    virtual void showOnDemandGuide(const std::string& campaignId) = 0;
    // Shows the first step on the screen now on view when its target names that screen.
    virtual void showOnDemandCampaignWithTips(const std::vector<std::shared_ptr<KJTipElement>>& steps) = 0;
    // Hands the custom feeds of the screen to its custom-feed delegate.
    virtual void customFeedForViewController(const std::shared_ptr<platform::UIViewController>& controller) = 0;
    // Binds super-tag counting to the host screen's clickable views; a bound view's tap calls
    // superTagEventHandlerV2.
    virtual void targetSuperTagForViewController(const std::shared_ptr<platform::UIViewController>& controller) = 0;
    virtual void superTagEventHandlerV2(const std::shared_ptr<platform::NSObject>& sender) = 0;
    // Takes the FAQ launcher views off the key window.
    virtual void removeFAQLauncher() = 0;

    // One record per campaign (by the step's feed id): a later record replaces the earlier one.
    virtual void addOffScreenTip(const std::shared_ptr<KJTipElement>& step) = 0;
    virtual void removeOffScreenTip(const std::shared_ptr<KJTipElement>& step) = 0;
    // Drops the record only when the step is its campaign's last.
    virtual void removeOffScreenTipOnGuideCompletion(const std::shared_ptr<KJTipElement>& step) = 0;
    virtual bool hasOffScreenTip(const std::string& feedId) const = 0;
    virtual void removeAllOffScreenTips() = 0;
    // A copy of every record, by feed id.
    virtual std::map<std::string, KJTipOffScreenTracker> offScreenTipsTracker() const = 0;
    // The screen's scroll report ("vc" among the objects, "shouldShow" in the user info): the
    // recorded steps of the screen whose target is now found are shown.
    virtual void displayOffScreenTips(const platform::Value& userInfo,
                                      const platform::Notification::ObjectMap& objects) = 0;
};

}  // namespace brindlecue
