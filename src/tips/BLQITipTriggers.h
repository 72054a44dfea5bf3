#pragma once

#include <memory>
#include <string>

namespace brindlecue {

class KJTipElement;
class KJTipSeriesElement;

namespace platform {
class UIViewController;
}  // namespace platform

// The part of the tip engine that waits for the user: click and launcher triggers, on-demand
// guides, the FAQ launcher and the steps whose target was off screen. The engine hands these
// calls to the object installed with KJTipManager::setTriggers; while none is installed, no
// campaign is hooked, no on-demand guide shows and no off-screen step is kept. Main queue, except
// the off-screen bookkeeping, which the presenting worker's callbacks may reach from any queue.
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
    // Takes the FAQ launcher views off the key window.
    virtual void removeFAQLauncher() = 0;

    // One record per campaign (by the step's feed id): a later record replaces the earlier one.
    virtual void addOffScreenTip(const std::shared_ptr<KJTipElement>& step) = 0;
    virtual void removeOffScreenTip(const std::shared_ptr<KJTipElement>& step) = 0;
    virtual bool hasOffScreenTip(const std::string& feedId) const = 0;
    virtual void removeAllOffScreenTips() = 0;
};

}  // namespace brindlecue
