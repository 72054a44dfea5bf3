#include "feed/BLQFeedManager.h"

#include "config/BLQPreviewModeCheck.h"
#include "feed/KJFeedObject.h"
#include "foundation/DateExtensions.h"
#include "foundation/StringExtensions.h"
#include "network/BLQHTTPRequestError.h"

namespace brindlecue {

using platform::Value;

BLQFeedManager::BLQFeedManager(std::shared_ptr<BLQIFeedDataStore> dataStore,
                               std::shared_ptr<BLQIConfigManager> configManager,
                               std::shared_ptr<BLQITipManager> tipManager,
                               std::shared_ptr<BLQIFeedNetworkRequester> networkRequester,
                               BLQResponseValidator<BLQFeedValidator> validator)
    : dataStore_(std::move(dataStore)),
      configManager_(std::move(configManager)),
      tipManager_(std::move(tipManager)),
      networkRequester_(std::move(networkRequester)),
      validator_(std::move(validator)) {}

std::shared_ptr<BLQIFeedReceivedDelegate> BLQFeedManager::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void BLQFeedManager::setDelegate(std::shared_ptr<BLQIFeedReceivedDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
}

void BLQFeedManager::checkFeedTimeStamp(const std::string& timeStamp) {
    auto serverDate = toDate(timeStamp);
    if (!serverDate) {
        log("Feed: Couldn't parse the feedTimeStamp to a date: " + timeStamp, BLQLoggingLevel::warning);
        return;
    }
    auto lastFetch = configManager_->getLastFeedFetchTime();
    if (!lastFetch) {
        log("Feed: No previous fetch time, fetching feed now", BLQLoggingLevel::info);
        fetchFeeds(serverDate);
        return;
    }
    const std::string dates =
        "Server: " + toISO8601String(*serverDate) + ", local: " + toISO8601String(*lastFetch);
    if (*serverDate > *lastFetch) {
        log("Feed: Feed timestamp from server is later than local, fetching feed now. " + dates,
            BLQLoggingLevel::info);
        fetchFeeds(serverDate);
    } else {
        log("Feed: Feed timestamp from server is earlier than local, NOT fetching feed. " + dates,
            BLQLoggingLevel::info);
    }
}

void BLQFeedManager::fetchFeeds(std::optional<platform::Date> serverDate) {
    auto self = shared_from_this();
    networkRequester_->fetchFeeds(
        [self, serverDate](const Value& json, const platform::URL& url) {
            self->handleAnswer(json, url, serverDate);
        },
        [self](const platform::Error& error) { self->handleFailure(error); });
}

void BLQFeedManager::handleAnswer(const Value& json, const platform::URL& url,
                                  std::optional<platform::Date> serverDate) {
    if (!validator_.responseValidator()->validateResponse(json, nullptr, "Feed")) {
        auto error =
            BLQHTTPRequestError::invalidReturnedObjectFromServer(
                "Feed: Received successfully, but invalid Feed response received from server. Received: " +
                json.description())
                .toError();
        log(error.localizedDescription(), BLQLoggingLevel::error);
        if (auto target = delegate()) target->onFeedReceivedFailureWithError(error);
        return;
    }
    // The whole answer is rendered only for a logger that takes it.
    if (wouldLog(BLQLoggingLevel::info))
        log("Feed: Received successfully - received JSON: " + json.description(), BLQLoggingLevel::info);
    if (serverDate) configManager_->setLastFeedFetchTime(*serverDate);
    if (auto target = delegate()) target->onFeedReceivedSuccessWithResponse(json, url);
}

void BLQFeedManager::handleFailure(const platform::Error& error) {
    log("Feed: Failed to receive - error: " + error.description(), BLQLoggingLevel::info);
    if (auto target = delegate()) target->onFeedReceivedFailureWithError(error);
}

void BLQFeedManager::processFeeds(const std::vector<std::shared_ptr<KJFeedObject>>& feeds,
                                  BLQFeedOrigin origin) {
    std::vector<std::shared_ptr<KJFeedObject>> records;
    records.reserve(feeds.size());
    for (const auto& feed : feeds) {
        if (feed) records.push_back(feed);
    }
    if (origin == BLQFeedOrigin::completeFeed) {
        auto target = delegate();
        if (records.empty()) {
            if (target) target->deleteInfiniteGuides();
        } else if (!BLQPreviewModeCheck::isInPreviewMode()) {
            std::vector<std::string> ids;
            ids.reserve(records.size());
            for (const auto& record : records) {
                if (auto id = record->feed_id()) ids.push_back(std::move(*id));
            }
            if (target) target->deletedDisabledGuides(ids);
        }
    }
    tipManager_->fillTipFromFeed(records);
}

}  // namespace brindlecue
