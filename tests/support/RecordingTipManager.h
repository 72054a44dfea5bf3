#pragma once

// A tip engine that keeps every list of feed records handed to it (from any thread) and, when
// asked, stores them in the campaign cache as the engine does.

#include <memory>
#include <mutex>
#include <vector>

#include "feed/KJFeedObject.h"
#include "storage/KJDBManager.h"
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
