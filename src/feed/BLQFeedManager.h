#pragma once

#include <memory>
#include <mutex>

#include "config/BLQIConfigManager.h"
#include "feed/BLQFeedValidator.h"
#include "feed/BLQIFeedManager.h"
#include "feed/BLQITipManager.h"
#include "foundation/BLQILoggable.h"
#include "network/BLQIFeedNetworkRequester.h"
#include "network/BLQResponseValidator.h"
#include "storage/BLQIFeedDataStore.h"

namespace brindlecue {

// Fetches the campaign feed when a session starts (fetchFeeds without a date) and when the
// app-status document carries a feed time stamp later than that of the last fetch; checks the
// answer, keeps the time stamp that caused the fetch as the last fetch time, and hands the answer
// to its delegate (the facade), which gives the records back to processFeeds. That prunes the
// campaign cache for a complete feed and hands the records to the tip engine.
//
// Callbacks run on the thread the requester completes on. The delegate is held weakly (the
// facade owns the manager). Made with make_shared: a fetch in flight keeps the manager alive.
class BLQFeedManager final : public BLQIFeedManager,
                             public BLQILoggable,
                             public std::enable_shared_from_this<BLQFeedManager> {
public:
    BLQFeedManager(std::shared_ptr<BLQIFeedDataStore> dataStore,
                   std::shared_ptr<BLQIConfigManager> configManager,
                   std::shared_ptr<BLQITipManager> tipManager,
                   std::shared_ptr<BLQIFeedNetworkRequester> networkRequester,
                   BLQResponseValidator<BLQFeedValidator> validator);

    std::shared_ptr<BLQIFeedReceivedDelegate> delegate() const override;
    void setDelegate(std::shared_ptr<BLQIFeedReceivedDelegate> delegate) override;
    void checkFeedTimeStamp(const std::string& timeStamp) override;
    void fetchFeeds(std::optional<platform::Date> serverDate) override;
    // A complete feed first prunes the cache: an empty one of the campaigns that are never to be
    // deleted, another (outside preview mode) of every campaign it does not list.
    void processFeeds(const std::vector<std::shared_ptr<KJFeedObject>>& feeds, BLQFeedOrigin origin) override;

private:
    void handleAnswer(const platform::Value& json, const platform::URL& url,
                      std::optional<platform::Date> serverDate);
    void handleFailure(const platform::Error& error);

    // Held for the manager's life; the feed road does not use it.
    const std::shared_ptr<BLQIFeedDataStore> dataStore_;
    const std::shared_ptr<BLQIConfigManager> configManager_;
    const std::shared_ptr<BLQITipManager> tipManager_;
    const std::shared_ptr<BLQIFeedNetworkRequester> networkRequester_;
    const BLQResponseValidator<BLQFeedValidator> validator_;

    mutable std::mutex mutex_;
    std::weak_ptr<BLQIFeedReceivedDelegate> delegate_;
};

}  // namespace brindlecue
