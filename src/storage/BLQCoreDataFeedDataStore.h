#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/BLQILoggable.h"
#include "platform/coredata/ManagedObjectContext.h"
#include "storage/BLQIFeedDataStore.h"

namespace brindlecue {

// The feed store over a Core Data context. Unlike the other stores it does not schedule its work:
// it must be called from inside the context's queue (perform or performAndWait). Failures are log
// lines prefixed "Feed: ".
class BLQCoreDataFeedDataStore final : public BLQIFeedDataStore, public BLQILoggable {
public:
    explicit BLQCoreDataFeedDataStore(std::shared_ptr<platform::ManagedObjectContext> context)
        : context_(std::move(context)) {}

    std::shared_ptr<BLQFeed> getFeed(const std::string& id) override;
    std::vector<std::shared_ptr<BLQFeed>> getAllFeeds() override;
    // Inserts a feed made without a context, then saves; a feed already in the store's context is
    // only saved. A feed of another context (or one deleted) is refused with a log line.
    void saveFeed(const std::shared_ptr<BLQFeed>& feed) override;

    const std::shared_ptr<platform::ManagedObjectContext>& context() const { return context_; }

private:
    void saveContext() const;

    std::shared_ptr<platform::ManagedObjectContext> context_;
};

}  // namespace brindlecue
