#pragma once

#include <optional>
#include <string>

#include "feed/BLQFeedResult.h"
#include "platform/Value.h"

namespace brindlecue {

// The facade's reporting of what happened to a shown step, as the layers below it reach it
// through BLQFacadeLink::feedResultReporter().
class BLQIFeedResultReporter {
public:
    virtual ~BLQIFeedResultReporter() = default;

    // User event 8201 "Feed result: <feed id>" with "feed_id", "guideid" (the campaign id),
    // "status" (the result's word), "feed_delete", "complete" and "step_id" (the step id as
    // text, only when that text is not empty); absent values are left out.
    virtual void notifyFeedResult(const std::optional<std::string>& feedId, const platform::Value& campaignId,
                                  BLQFeedResult result, const platform::Value& stepId, bool deleteFeed,
                                  bool completed) = 0;
};

}  // namespace brindlecue
