#pragma once

#include <string>

#include "platform/Value.h"

namespace brindlecue {

// The facade's feed reports that the widget host sends (user events 8200 and 8201).
class BLQIFeedExt {
public:
    virtual ~BLQIFeedExt() = default;
    // User event 8200 "Ack feed: <id>" with {"feed_id": id}.
    virtual void sendFeedAck(const std::string& feedId) = 0;
    // User event 8201 "Feed result: <id>" with the caller's details unchanged.
    virtual void notifyFeedResultWithResults(const std::string& feedId, const platform::Value& results) = 0;
};

}  // namespace brindlecue
