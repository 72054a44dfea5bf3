#pragma once

#include <memory>

#include "feed/BLQITipCacheManager.h"
#include "foundation/BLQILoggable.h"

namespace brindlecue {

class BLQIPreviewModeManager;
class BLQITipManager;

namespace platform {
class Notification;
class NotificationObserver;
}  // namespace platform

// The preview campaigns while the install is in author preview. It takes them from
// "QX_Preview_Tips_Updated": a list of campaigns among the notification's objects under "tips"
// is merged into the cache (one campaign id at a time; a newer version of the same campaign goes
// in front of the older one) and each is offered on the current screen; the text "ReshowCache"
// under "tips" in the user info (or a dictionary whose "ReshowCache" is true) offers the cached
// campaigns again. A campaign is shown, hooked to its trigger or, when it belongs to another
// screen, announced in the preview panel ("Please go to <screen> to see the Guide").
//
// The list is guarded by a lock and every walk goes over a copy, so the notification (posted on
// any thread), the main queue and the tip engine may use it at once. A campaign without steps,
// target or modification date, or whose step index lies outside its steps, is skipped and
// logged. The tip engine owns the cache; the cache holds the engine and the preview-mode manager
// weakly.
class BLQTipCacheManager final : public BLQITipCacheManager, public BLQILoggable {
public:
    // A campaign's currentPreviewStep when none was chosen.
    static constexpr int64_t kPreviewStepNotFound = INT64_MAX;

    BLQTipCacheManager(std::shared_ptr<BLQITipManager> tipManager,
                       std::shared_ptr<BLQIPreviewModeManager> previewModeManager);
    // Stops observing the notification.
    ~BLQTipCacheManager() override;

    std::vector<std::shared_ptr<KJTipSeriesElement>> cachedTips() const override;
    void setCachedTips(std::vector<std::shared_ptr<KJTipSeriesElement>> tips);
    int64_t showingTipIndex() const override;
    void setShowingTipIndex(int64_t index) override;
    // Nothing cached: the panel says so. Otherwise every cached campaign is offered again from
    // its first step, on the main queue.
    void replayCachedPreviewTips() override;
    void removePreviewTips() override;
    // A negative index changes nothing.
    void replaceCachedTip(int64_t index, const std::shared_ptr<KJTipSeriesElement>& series) override;
    void removeCachedTip(const std::shared_ptr<KJTipSeriesElement>& series) override;
    void removeCachedTipAtIndex(int64_t index) override;

    // The handler of "QX_Preview_Tips_Updated", on the posting thread.
    void previewTipsUpdateHandler(const platform::Notification& notification);

private:
    struct Core;
    std::shared_ptr<Core> core_;
    std::shared_ptr<platform::NotificationObserver> observer_;
};

}  // namespace brindlecue
