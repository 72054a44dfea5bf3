#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Value.h"
#include "storage/KJDao.h"

namespace brindlecue {

class KJDBManager;
class KJTipSeriesElement;

// The tip engine's copy of what the campaign cache holds: the active "CAMPAIGN" campaigns (by
// priority) and the active "FAQ" widget campaigns. Unarchiving and parsing a stored campaign
// costs far more than choosing a tip, so the copy is kept until the engine changes the cache or
// is handed a feed (invalidate), or until the next moment at which a stored row starts or stops
// being active. Only the engine and the feed road write the cache, and the feed road ends in the
// engine's intake.
//
// The campaigns are kept decoded by the row they came from: a refresh reads only the ids of the
// active rows (a row written anew gets a new id) and decodes the rows it has not seen, so an
// intake or a removal costs what it changed, not the whole list. Any thread.
class KJStoredCampaigns {
public:
    using SeriesList = std::vector<std::shared_ptr<KJTipSeriesElement>>;

    struct Campaigns {
        std::shared_ptr<const SeriesList> list;
        // Changes whenever the list changes.
        uint64_t generation = 0;
    };

    Campaigns campaigns();
    SeriesList faqCampaigns();
    // The next question reads the cache again.
    void invalidate();
    // The engine took the campaign of the feed id out of its list and may have deleted its row:
    // the copy drops the campaign when the row is gone and decodes it anew (a fresh campaign, as
    // a new read would give) when it stayed, without reading the other rows.
    void refreshCampaign(const std::string& feedId);
    // The dictionaries the engine is storing (KJDBManager::saveMultipleTipSeries hands them over
    // before it archives and writes them): the next read decodes their campaigns from them for
    // the rows written from them instead of unarchiving the rows. Takes no lock that the cache's
    // work may hold.
    void decodeAhead(std::vector<platform::Value> dictionaries, std::shared_ptr<KJDBManager> cache);

    // A campaign as decoded from the row of that version (null when the row gave none).
    struct Decoded {
        KJDao::RowVersion version;
        std::shared_ptr<KJTipSeriesElement> series;
    };
    // The campaigns decoded so far, by the row id they came from, as they stand now (later changes
    // leave it as it is), so that an intake can tell what a stored row holds without decoding it
    // again, inside a transaction of the cache (where it may take no lock of this copy).
    using DecodedRows = std::unordered_map<int64_t, Decoded>;
    std::shared_ptr<const DecodedRows> decodedRows();

private:
    // Under mutex_: reads what is missing or stale.
    void refreshIfNeeded(bool campaigns, bool faq);
    // Under mutex_: the list of the active rows, decoding those not seen yet, read at the moment
    // now in one look at the table with the active "FAQ" rows and the next moment at which the
    // active rows change (which it answers; now when the table could not be read).
    double readCampaigns(double now);
    struct Ahead;
    // Under mutex_: the dictionaries of decodeAhead with their campaigns decoded; null when there
    // is none. The next read forgets it.
    std::shared_ptr<Ahead> finishedAhead();

    std::mutex mutex_;
    std::shared_ptr<const SeriesList> campaigns_;
    bool campaignsStale_ = true;
    // The rows of campaigns_ in order, and the campaign of every row seen (null for a row that
    // gives none) with the row's version, for the rows still active.
    std::vector<KJDao::RowVersion> rows_;
    // Shared with the callers of decodedRows, so changed in place only while no one else holds it.
    std::shared_ptr<DecodedRows> decoded_ = std::make_shared<DecodedRows>();
    DecodedRows& changeDecoded();
    // Set by decodeAhead (under aheadMutex_ alone, which is never held while another lock is taken)
    // until the next read.
    std::mutex aheadMutex_;
    std::shared_ptr<Ahead> ahead_;
    std::optional<SeriesList> faq_;
    // The active "FAQ" rows as the last look at the table found them, until the copy is stale.
    std::optional<std::vector<KJDao::RowVersion>> faqRows_;
    uint64_t generation_ = 0;
    // The copy holds while the clock is before this moment (seconds since 1970).
    double validUntil_ = 0;
    bool validUntilKnown_ = false;
    // The moment of a read whose window is still to be found (at the next question).
    std::optional<double> windowFrom_;
};

}  // namespace brindlecue
