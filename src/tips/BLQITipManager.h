#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/NotificationCenter.h"
#include "platform/Value.h"

namespace brindlecue {

class KJFeedObject;

namespace platform {
class UIView;
class UIViewController;
}  // namespace platform

// The tip engine as the facade publishes it (its `tipManager`), with what the feed manager and the
// targeting layer reach of it. Main queue unless said otherwise.
class BLQITipManager {
public:
    virtual ~BLQITipManager() = default;

    // Stores the feed records as campaigns (refusing those of another app key and those not newer
    // than the stored ones) and makes them the campaigns to show; an empty list is accepted.
    virtual void fillTipFromFeed(const std::vector<std::shared_ptr<KJFeedObject>>& feeds) = 0;
    // The React Native view name the host registered for the screen now shown; none on a native
    // screen.
    virtual std::optional<std::string> currentRCTViewName() const = 0;
    // The host screen now on view.
    virtual std::shared_ptr<platform::UIViewController> customerCurrentVC() const = 0;
    // Picks and shows a tip for the screen given under "vc" in the objects (notification form).
    virtual void showTipForViewController(const platform::Value& userInfo,
                                          const platform::Notification::ObjectMap& objects) = 0;
    // The library's preview panel while it is shown; targeting leaves it out of the host's views.
    virtual std::shared_ptr<platform::UIView> previewModePanel() const = 0;

    // On-demand guides: the id of a guide to show when its screen comes on view (empty clears
    // it), and showing a stored guide at once.
    virtual void setOnDemandGuideId(const std::string& campaignId) = 0;
    virtual void showOnDemandGuide(const std::string& campaignId) = 0;
    // Deletes the campaign's stored FAQ widget rows.
    virtual void deleteFAQFeedWithCampaignId(const std::string& campaignId) = 0;
    // Takes the floating button and its list off the key window, on the main queue.
    virtual void removeFAQLauncher() = 0;
};

}  // namespace brindlecue
