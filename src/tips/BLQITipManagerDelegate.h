#pragma once

#include <memory>
#include <optional>
#include <string>

#include "feed/BLQFeedResult.h"
#include "platform/Date.h"
#include "platform/Value.h"

namespace brindlecue {

class BLQIClientSideTriggerManager;
class BLQIPreviewModeManager;

// The tip engine's view of the facade: the app key, the feed reports it sends as user events, the
// preview feed time, the host's on-demand callback and the managers it reads at call time. The
// engine holds it weakly (the facade owns the engine). Any thread.
class BLQITipManagerDelegate {
public:
    virtual ~BLQITipManagerDelegate() = default;

    virtual std::optional<std::string> appKey() const = 0;
    // "native" or "reactnative".
    virtual std::string developmentPlatform() const = 0;

    // User event 8201 for a step's result; an empty step id is left out.
    virtual void notifyFeedResult(const std::string& feedId, const std::string& campaignId, BLQFeedResult result,
                                  const std::string& stepId, bool deleteFeed, bool completed) = 0;
    // User event 8201 for a step that could not be shown; the message is the error content.
    virtual void notifyFeedResultOnError(const std::string& feedId, const std::string& campaignId,
                                         const std::string& tipType, const std::string& stepId,
                                         const platform::Value& message) = 0;
    // User event 8200.
    virtual void sendFeedAck(const std::string& feedId) = 0;
    // Calls the host's onDemandCampaignShown callback, when it set one.
    virtual void onDemandCampaignShown() = 0;

    // The modification time of the last preview feed taken in.
    virtual std::optional<platform::Date> feedsModifiedTime() const = 0;
    virtual void setFeedsModifiedTime(std::optional<platform::Date> time) = 0;

    virtual std::shared_ptr<BLQIClientSideTriggerManager> clientSideTriggerManager() const = 0;
    // None until the facade has made it.
    virtual std::shared_ptr<BLQIPreviewModeManager> previewModeManager() const = 0;
};

}  // namespace brindlecue
