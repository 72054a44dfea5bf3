#pragma once

#include <memory>
#include <vector>

namespace brindlecue {

class KJFeedConditions;

// Decides whether the locally stored tags satisfy a campaign's trigger conditions.
class BLQIClientSideTriggerManager {
public:
    virtual ~BLQIClientSideTriggerManager() = default;
    virtual bool checkForMatchesWithTriggerConditions(
        const std::vector<std::shared_ptr<KJFeedConditions>>& triggerConditions) = 0;
    virtual void checkForMatches() = 0;
};

}  // namespace brindlecue
