#pragma once

#include "platform/Value.h"

namespace brindlecue {

// The campaign cache's structural check of a stored row before it is built into a campaign.
class FeedValidatorService {
public:
    // Both checks below.
    static bool isFeedValid(const platform::Value& row);
    // A dictionary holding "setup", "seriesAuthorMode", "feed_id", "campaignid" and "modified"
    // (any values, null included).
    static bool isPayloadFeedValid(const platform::Value& row);
    // A dictionary whose "setup" is a dictionary holding "view", "display" and "tool".
    static bool iSetupFeedValid(const platform::Value& row);
};

}  // namespace brindlecue
