#pragma once

#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/Value.h"
#include "platform/foundation/URL.h"

namespace brindlecue {

// The feed manager's view of the facade: the outcome of each fetch, and the pruning of the
// campaign cache.
class BLQIFeedReceivedDelegate {
public:
    virtual ~BLQIFeedReceivedDelegate() = default;

    // The facade turns the answer's "results" into feed records and gives them back to
    // processFeeds as a complete feed.
    virtual void onFeedReceivedSuccessWithResponse(const platform::Value& response,
                                                   const platform::URL& url) = 0;
    virtual void onFeedReceivedFailureWithError(const platform::Error& error) = 0;
    // Deletes the campaigns that are never to be deleted (an empty feed lists none).
    virtual void deleteInfiniteGuides() = 0;
    // Deletes every stored campaign whose feed id is not among those of the feed.
    virtual void deletedDisabledGuides(const std::vector<std::string>& feedIdsThatStay) = 0;
};

}  // namespace brindlecue
