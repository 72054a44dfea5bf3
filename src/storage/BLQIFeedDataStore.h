#pragma once

#include <memory>
#include <string>
#include <vector>

namespace brindlecue {

class BLQFeed;

// Where the newer layer's feed entities are kept. Works on managed objects: callers use it, and
// the feeds it hands out, only on the store context's queue.
class BLQIFeedDataStore {
public:
    virtual ~BLQIFeedDataStore() = default;

    virtual void saveFeed(const std::shared_ptr<BLQFeed>& feed) = 0;
    // Null when no feed has the id.
    virtual std::shared_ptr<BLQFeed> getFeed(const std::string& id) = 0;
    virtual std::vector<std::shared_ptr<BLQFeed>> getAllFeeds() = 0;
};

}  // namespace brindlecue
