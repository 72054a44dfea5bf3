#include "storage/BLQCoreDataFeedDataStore.h"

#include "storage/BLQCoreData.h"
#include "storage/BLQFeed.h"

namespace brindlecue {

void BLQCoreDataFeedDataStore::saveContext() const {
    platform::Error error;
    if (!BLQCoreData::sharedInstance().saveContext(&error))
        log("Feed: Failed to save context with error: " + error.description(), BLQLoggingLevel::error);
}

std::shared_ptr<BLQFeed> BLQCoreDataFeedDataStore::getFeed(const std::string& id) {
    auto request = BLQFeed::fetchRequest();
    request.setPredicate(BLQFeed::findById(id));
    auto found = context_->fetch(request);
    if (!found) {
        log("Feed: Failed to retrieve Feed with id: " + id, BLQLoggingLevel::error);
        return nullptr;
    }
    if (found->empty()) {
        log("Feed: Couldn't find Feed with id: " + id, BLQLoggingLevel::warning);
        return nullptr;
    }
    return std::dynamic_pointer_cast<BLQFeed>(found->front());
}

std::vector<std::shared_ptr<BLQFeed>> BLQCoreDataFeedDataStore::getAllFeeds() {
    platform::Error error;
    auto found = context_->fetch(BLQFeed::fetchRequest(), &error);
    if (!found) {
        log("Feed: Failed to retrieve Feeds: " + error.localizedDescription(), BLQLoggingLevel::error);
        return {};
    }
    std::vector<std::shared_ptr<BLQFeed>> feeds;
    for (const auto& object : *found)
        if (auto feed = std::dynamic_pointer_cast<BLQFeed>(object)) feeds.push_back(std::move(feed));
    return feeds;
}

void BLQCoreDataFeedDataStore::saveFeed(const std::shared_ptr<BLQFeed>& feed) {
    if (!feed) return;
    auto owner = feed->managedObjectContext();
    if (!owner) {
        if (!context_->insertObject(feed)) {
            log("Feed: Refused to save a Feed that was already deleted or belongs to another model",
                BLQLoggingLevel::error);
            return;
        }
    } else if (owner != context_) {
        log("Feed: Refused to save a Feed that belongs to another context", BLQLoggingLevel::error);
        return;
    }
    saveContext();
}

}  // namespace brindlecue
