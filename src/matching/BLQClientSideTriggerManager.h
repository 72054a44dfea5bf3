#pragma once

#include <memory>
#include <vector>

#include "foundation/BLQILoggable.h"
#include "matching/BLQIClientSideTriggerManager.h"

namespace brindlecue {

class BLQITagDataStore;

// Tests trigger conditions against the tag store: every condition that makes a matcher must find
// its tag stored and accepted (AND, stopping at the first failure, so later tags are not looked
// up). Conditions that make no matcher are left out; none left passes. Reads the store only, on
// the caller's thread; logs its two failure lines at level 2 with the prefix "CST: ".
class BLQClientSideTriggerManager final : public BLQIClientSideTriggerManager, public BLQILoggable {
public:
    explicit BLQClientSideTriggerManager(std::shared_ptr<BLQITagDataStore> dataStore);

    bool checkForMatchesWithTriggerConditions(
        const std::vector<std::shared_ptr<KJFeedConditions>>& triggerConditions) override;
    // Writes "Brindlecue -> Tags -> Check for matches" to standard output and nothing else.
    void checkForMatches() override;

private:
    const std::shared_ptr<BLQITagDataStore> dataStore_;
};

}  // namespace brindlecue
