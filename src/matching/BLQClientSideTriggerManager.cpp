#include "matching/BLQClientSideTriggerManager.h"

#include <cstdio>

#include "matching/BLQMatchableFactory.h"
#include "storage/BLQITagDataStore.h"

namespace brindlecue {

BLQClientSideTriggerManager::BLQClientSideTriggerManager(std::shared_ptr<BLQITagDataStore> dataStore)
    : dataStore_(std::move(dataStore)) {}

bool BLQClientSideTriggerManager::checkForMatchesWithTriggerConditions(
    const std::vector<std::shared_ptr<KJFeedConditions>>& triggerConditions) {
    for (const auto& matcher : BLQMatchableFactory::createFromFeedConditions(triggerConditions)) {
        const std::string key = matcher->getTagKey();
        auto tag = dataStore_->getTag(key);
        if (!tag) {
            log("CST: Failed to find tag with key: " + key, BLQLoggingLevel::info);
            return false;
        }
        if (!matcher->performMatch(*tag)) {
            log("CST: Failed to match tag with key: " + key + ", local value = " + tag->value,
                BLQLoggingLevel::info);
            return false;
        }
    }
    return true;
}

void BLQClientSideTriggerManager::checkForMatches() {
    std::printf("Brindlecue -> Tags -> Check for matches\n");
    std::fflush(stdout);
}

}  // namespace brindlecue
