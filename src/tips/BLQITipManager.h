#pragma once

#include <memory>
#include <vector>

namespace brindlecue {

class KJFeedObject;

// The tip engine, as far as the feed manager reaches it.
class BLQITipManager {
public:
    virtual ~BLQITipManager() = default;

    // Stores the feed records as campaigns (refusing those of another app key and those not newer
    // than the stored ones) and makes them the campaigns to show; an empty list is accepted.
    virtual void fillTipFromFeed(const std::vector<std::shared_ptr<KJFeedObject>>& feeds) = 0;
};

}  // namespace brindlecue
