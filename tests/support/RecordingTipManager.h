#pragma once

// A tip engine that keeps every list of feed records handed to it (from any thread) and, when
// asked, stores them in the campaign cache as the engine does. It also records the widget
// host's calls (on-demand guides, deleted FAQ widgets, removed launchers) and reports the screen
// set in `currentVC`.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "feed/KJFeedObject.h"
#include "storage/KJDBManager.h"
#include "platform/uikit/UIViewController.h"
#include "support/StubTipManager.h"

namespace brindlecue::testsupport {

class RecordingTipManager final : public StubTipManager {
public:
    using Feeds = std::vector<std::shared_ptr<KJFeedObject>>;
    explicit RecordingTipManager(bool storeInCache = false) : storeInCache_(storeInCache) {}

    void fillTipFromFeed(const Feeds& feeds) override {
        if (storeInCache_) KJDBManager::sharedInstance()->saveMultipleTipSeries({feeds.begin(), feeds.end()});
        std::lock_guard lock(mutex_);
        calls_.push_back(feeds);
    }
    std::shared_ptr<platform::UIViewController> customerCurrentVC() const override { return currentVC.lock(); }
    void setOnDemandGuideId(std::optional<std::string> campaignId) override {
        onDemandGuideIds.push_back(campaignId.value_or(""));
    }
    void showOnDemandGuide(const std::string& campaignId) override { shownOnDemandGuides.push_back(campaignId); }
    void deleteFAQFeedWithCampaignId(const std::string& campaignId) override {
        deletedFAQFeeds.push_back(campaignId);
    }
    void removeFAQLauncher() override { ++removedFAQLaunchers; }

    // Main thread only.
    std::weak_ptr<platform::UIViewController> currentVC;
    std::vector<std::string> onDemandGuideIds;
    std::vector<std::string> shownOnDemandGuides;
    std::vector<std::string> deletedFAQFeeds;
    int removedFAQLaunchers = 0;

    std::vector<Feeds> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    const bool storeInCache_;
    mutable std::mutex mutex_;
    std::vector<Feeds> calls_;
};

}  // namespace brindlecue::testsupport
