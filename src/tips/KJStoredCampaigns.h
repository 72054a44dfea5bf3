#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace brindlecue {

class KJTipSeriesElement;

// The tip engine's copy of what the campaign cache holds: the active "CAMPAIGN" campaigns (by
// priority) and the active "FAQ" widget campaigns. Reading and parsing every stored campaign
// costs far more than choosing a tip, so the copy is read once and kept until the engine changes
// the cache or is handed a feed (invalidate), or until the next moment at which a stored row
// starts or stops being active. Only the engine and the feed road write the cache, and the feed
// road ends in the engine's intake. Any thread.
class KJStoredCampaigns {
public:
    using SeriesList = std::vector<std::shared_ptr<KJTipSeriesElement>>;

    struct Campaigns {
        std::shared_ptr<const SeriesList> list;
        // Changes whenever the list is read anew.
        uint64_t generation = 0;
    };

    Campaigns campaigns();
    SeriesList faqCampaigns();
    // The next question reads the cache again.
    void invalidate();

private:
    // Under mutex_: reads what is missing or stale.
    void refreshIfNeeded(bool campaigns, bool faq);

    std::mutex mutex_;
    std::shared_ptr<const SeriesList> campaigns_;
    std::optional<SeriesList> faq_;
    uint64_t generation_ = 0;
    // The copy holds while the clock is before this moment (seconds since 1970).
    double validUntil_ = 0;
    bool validUntilKnown_ = false;
};

}  // namespace brindlecue
