#pragma once

#include <memory>
#include <optional>
#include <string>

#include "feed/BLQFeedResult.h"

namespace brindlecue {

namespace platform {
class UIViewController;
}  // namespace platform

// What the tip controllers use of the facade: the app key (for a log line), the host screen on
// top, the feed acknowledgement and the feed result report. The facade installs it with
// KJTipPresentation::setFacade; until then a tip controller finds no top screen and sends no
// report. Main queue, except the two reports (any thread).
class BLQITipPresentationFacade {
public:
    virtual ~BLQITipPresentationFacade() = default;

    virtual std::optional<std::string> appKey() const = 0;
    // The controller on top of the key window's root view controller, following presented,
    // navigation, tab and child controllers; none when there is none.
    virtual std::shared_ptr<platform::UIViewController> topMostViewController() const = 0;
    // User event 8200 for the feed.
    virtual void sendFeedAck(const std::string& feedId) = 0;
    // User event 8201 for a step's result.
    virtual void notifyFeedResult(const std::string& feedId, const std::string& campaignId,
                                  BLQFeedResult result, const std::string& stepId, bool deleteFeed,
                                  bool completed) = 0;
};

}  // namespace brindlecue
