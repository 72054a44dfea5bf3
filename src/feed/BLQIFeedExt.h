#pragma once

#include <optional>
#include <string>

#include "feed/BLQFeedResult.h"
#include "platform/Value.h"

namespace brindlecue {

// The facade's feed reports (user events 8200 and 8201) as the widget host and web tips send them.
class BLQIFeedExt {
public:
    virtual ~BLQIFeedExt() = default;
    // User event 8200 "Ack feed: <id>" with {"feed_id": id}.
    virtual void sendFeedAck(const std::string& feedId) = 0;
    // User event 8201 "Feed result: <id>" with the caller's details unchanged.
    virtual void notifyFeedResultWithResults(const std::string& feedId, const platform::Value& results) = 0;
    // User event 8201 "Feed result: <feed id>" with "feed_id", "guideid" (the campaign id),
    // "status" (the result's word), "feed_delete", "complete" and "step_id" (the step id as
    // text, only when that text is not empty); absent values are left out.
    virtual void notifyFeedResult(const std::optional<std::string>& feedId, const platform::Value& campaignId,
                                  BLQFeedResult result, const platform::Value& stepId, bool deleteFeed,
                                  bool completed) = 0;
};

}  // namespace brindlecue
