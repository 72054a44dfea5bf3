#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "feed/BLQIFeedReceivedDelegate.h"
#include "platform/Date.h"

namespace brindlecue {

class KJFeedObject;

// Where feed records come from. Only a complete feed (a fetched answer, or the feeds of an
// install answer) says which campaigns the server still has, so only it prunes the campaign
// cache; guides the host adds from code are taken in beside the stored campaigns.
enum class BLQFeedOrigin { completeFeed, addedGuide };

// Decides when the campaign feed is fetched, fetches and checks it, and hands its records on to
// the tip engine.
class BLQIFeedManager {
public:
    virtual ~BLQIFeedManager() = default;

    virtual std::shared_ptr<BLQIFeedReceivedDelegate> delegate() const = 0;
    virtual void setDelegate(std::shared_ptr<BLQIFeedReceivedDelegate> delegate) = 0;
    // Fetches when the server's feed time stamp is later than that of the last fetch, or when
    // there was none.
    virtual void checkFeedTimeStamp(const std::string& timeStamp) = 0;
    // One request; on a valid answer the server date (when given) becomes the last fetch time.
    virtual void fetchFeeds(std::optional<platform::Date> serverDate) = 0;
    virtual void processFeeds(const std::vector<std::shared_ptr<KJFeedObject>>& feeds,
                              BLQFeedOrigin origin) = 0;
};

}  // namespace brindlecue
