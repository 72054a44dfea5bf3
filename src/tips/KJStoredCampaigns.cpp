#include "tips/KJStoredCampaigns.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

#include "feed/KJTipSeriesElement.h"
#include "platform/Date.h"
#include "platform/dispatch/DispatchQueue.h"
#include "storage/KJDBManager.h"
#include "storage/KJDao.h"

namespace brindlecue {

namespace {

// The first moment after now at which a stored row becomes active or stops being active
// (active: activates < now < expires); infinity when there is none.
double nextActivityChange(double now) {
    auto rows = KJDao::findSeriesElementsByQuarySQL(
        "SELECT MIN(t) FROM (SELECT activates AS t FROM QXFeeds WHERE activates > ?1 "
        "UNION ALL SELECT expires AS t FROM QXFeeds WHERE expires > ?1)",
        {platform::Value(now)});
    // Without an answer the copy is good for this question only.
    if (!rows) return now;
    if (rows->empty()) return std::numeric_limits<double>::infinity();
    const platform::Data* text = rows->front().getData();
    if (text == nullptr) return std::numeric_limits<double>::infinity();
    try {
        return std::stod(std::string(text->begin(), text->end()));
    } catch (const std::exception&) {
        return now;
    }
}

KJStoredCampaigns::SeriesList campaignsOf(const KJDBManager::SeriesList& stored) {
    KJStoredCampaigns::SeriesList out;
    out.reserve(stored.size());
    for (const auto& series : stored) {
        if (auto campaign = std::dynamic_pointer_cast<KJTipSeriesElement>(series))
            out.push_back(std::move(campaign));
    }
    return out;
}

}  // namespace

// The campaigns of the dictionaries being stored, decoded by the read that follows the write, on
// its own thread, from the dictionaries rather than from the rows' archives.
struct KJStoredCampaigns::Ahead {
    std::vector<platform::Value> dictionaries;
    // The last dictionary of each feed id: the row written last.
    std::unordered_map<std::string, size_t> byFeedId;
    std::vector<std::shared_ptr<KJTipSeriesElement>> series;
    // A dictionary whose decoding threw is decoded again by the read, which lets the error out.
    std::vector<char> failed;
    std::shared_ptr<KJDBManager> cache;

    void decode() {
        for (size_t i = 0; i < dictionaries.size(); ++i) {
            try {
                series[i] = std::dynamic_pointer_cast<KJTipSeriesElement>(
                    cache->parseCampaignDictionary(dictionaries[i]));
            } catch (...) {
                series[i].reset();
                failed[i] = true;
            }
        }
    }

    // The index of the dictionary the row was written from: the same feed id and modified time
    // (the cache's column); npos when there is none.
    size_t find(const KJDao::RowVersion& row) const {
        auto it = byFeedId.find(row.feedId);
        if (it == byFeedId.end()) return std::string::npos;
        auto modified = dictionaries[it->second]["modified"].getDate();
        return (modified ? modified->timeIntervalSince1970() : 0.0) == row.modified ? it->second
                                                                                    : std::string::npos;
    }
};

void KJStoredCampaigns::decodeAhead(std::vector<platform::Value> dictionaries,
                                    std::shared_ptr<KJDBManager> cache) {
    auto ahead = std::make_shared<Ahead>();
    ahead->cache = std::move(cache);
    for (size_t i = 0; i < dictionaries.size(); ++i)
        if (const std::string* feedId = dictionaries[i]["feed_id"].getString()) ahead->byFeedId[*feedId] = i;
    ahead->series.resize(dictionaries.size());
    ahead->failed.assign(dictionaries.size(), 0);
    ahead->dictionaries = std::move(dictionaries);
    // The read decodes them, right before the intake writes its stored list from the campaigns:
    // a worker decoding them while the rows are archived saved some wall time but cost more
    // processor time (the device's battery) than the work itself, both threads waiting on memory
    // the other one holds.
    std::lock_guard lock(aheadMutex_);
    ahead_ = std::move(ahead);
}

std::shared_ptr<KJStoredCampaigns::Ahead> KJStoredCampaigns::finishedAhead() {
    std::shared_ptr<Ahead> ahead;
    {
        std::lock_guard lock(aheadMutex_);
        ahead = std::move(ahead_);
    }
    if (!ahead) return nullptr;
    ahead->decode();
    return ahead;
}

std::shared_ptr<const KJStoredCampaigns::DecodedRows> KJStoredCampaigns::decodedRows() {
    std::lock_guard lock(mutex_);
    return decoded_;
}

KJStoredCampaigns::DecodedRows& KJStoredCampaigns::changeDecoded() {
    // Under mutex_, which every holder took to get it: one holder is this copy alone.
    if (decoded_.use_count() > 1) decoded_ = std::make_shared<DecodedRows>(*decoded_);
    return *decoded_;
}

double KJStoredCampaigns::readCampaigns(double now) {
    auto table = KJDao::findActiveRows({"CAMPAIGN", "FAQ"}, now);
    std::optional<std::vector<KJDao::RowVersion>> rows;
    double nextChange = now;  // without an answer the copy is good for this question only
    if (table) {
        rows = std::move(table->byKind[0]);
        faqRows_ = std::move(table->byKind[1]);
        nextChange = table->nextChange;
    } else {
        rows.emplace();  // as an unreadable cache reads: nothing stored
        faqRows_.reset();
    }
    campaignsStale_ = false;
    const std::shared_ptr<Ahead> ahead = finishedAhead();
    if (campaigns_ && *rows == rows_) return nextChange;

    auto cache = KJDBManager::sharedInstance();
    // The rows not seen yet are taken from what was decoded ahead, else decoded from what was just
    // stored or from their archives; each on its own, so many of them are shared among workers.
    std::vector<std::shared_ptr<KJTipSeriesElement>> series(rows->size());
    std::vector<std::pair<size_t, platform::Value>> toDecode;  // row index, stored dictionary or content
    for (size_t i = 0; i < rows->size(); ++i) {
        const KJDao::RowVersion& row = (*rows)[i];
        auto known = decoded_->find(row.rowId);
        const size_t stored = ahead ? ahead->find(row) : std::string::npos;
        if (known != decoded_->end() && known->second.version == row) {
            series[i] = known->second.series;
        } else if (stored == std::string::npos) {
            toDecode.emplace_back(i, KJDao::findContentByRowId(row.rowId));
        } else if (ahead->failed[stored]) {
            toDecode.emplace_back(i, ahead->dictionaries[stored]);
        } else {
            series[i] = ahead->series[stored];
        }
    }
    platform::DispatchQueue::concurrentPerform(toDecode.size(), [&](size_t k) {
        const auto& [index, source] = toDecode[k];
        series[index] = std::dynamic_pointer_cast<KJTipSeriesElement>(
            source.isDictionary() ? cache->parseCampaignDictionary(source) : cache->parseCampaignRow(source));
    });
    DecodedRows decoded;
    decoded.reserve(rows->size());
    auto list = std::make_shared<SeriesList>();
    list->reserve(rows->size());
    for (size_t i = 0; i < rows->size(); ++i) {
        if (series[i]) list->push_back(series[i]);
        decoded.emplace((*rows)[i].rowId, Decoded{(*rows)[i], std::move(series[i])});
    }
    decoded_ = std::make_shared<DecodedRows>(std::move(decoded));
    rows_ = std::move(*rows);
    campaigns_ = std::move(list);
    ++generation_;
    return nextChange;
}

void KJStoredCampaigns::refreshIfNeeded(bool campaigns, bool faq) {
    const double now = platform::Date::now().timeIntervalSince1970();
    // The window of the last read is found at the next question, not while the reader waits.
    if (!validUntilKnown_ && windowFrom_) {
        validUntil_ = nextActivityChange(*windowFrom_);
        validUntilKnown_ = true;
        windowFrom_.reset();
    }
    if (validUntilKnown_ && now >= validUntil_) {
        campaignsStale_ = true;
        faq_.reset();
        faqRows_.reset();
        validUntilKnown_ = false;
    }
    bool read = false;
    std::optional<double> nextChange;
    if (campaigns && (campaignsStale_ || !campaigns_)) {
        nextChange = readCampaigns(now);
        read = true;
    }
    if (faq && !faq_) {
        auto cache = KJDBManager::sharedInstance();
        if (faqRows_) {
            // The rows the last look at the table found, by row id.
            std::vector<int64_t> rowIds;
            rowIds.reserve(faqRows_->size());
            for (const auto& row : *faqRows_) rowIds.push_back(row.rowId);
            faq_ = campaignsOf(cache->getDataForFAQ(KJDao::findContentsByRowIds(rowIds)).value_or(
                KJDBManager::SeriesList{}));
        } else {
            faq_ = campaignsOf(cache->findAllFAQFeeds());
        }
        read = true;
    }
    if (read && !validUntilKnown_) {
        if (nextChange) {
            validUntil_ = *nextChange;
            validUntilKnown_ = true;
        } else if (!windowFrom_) {
            windowFrom_ = now;
        }
    }
}

KJStoredCampaigns::Campaigns KJStoredCampaigns::campaigns() {
    std::lock_guard lock(mutex_);
    refreshIfNeeded(true, false);
    return {campaigns_, generation_};
}

KJStoredCampaigns::SeriesList KJStoredCampaigns::faqCampaigns() {
    std::lock_guard lock(mutex_);
    refreshIfNeeded(false, true);
    return *faq_;
}

void KJStoredCampaigns::refreshCampaign(const std::string& feedId) {
    std::lock_guard lock(mutex_);
    faqRows_.reset();
    if (!campaigns_ || campaignsStale_) return;  // the next question reads everything anyway
    auto row = std::find_if(rows_.begin(), rows_.end(), [&](const auto& r) { return r.feedId == feedId; });
    if (row == rows_.end()) return;
    DecodedRows& decoded = changeDecoded();
    auto known = decoded.find(row->rowId);
    if (known == decoded.end() || !known->second.series) {
        campaignsStale_ = true;  // not in the list: a read puts it where it belongs
        return;
    }
    const auto old = known->second.series;
    const platform::Value content = KJDao::findSeriesByFeedId(feedId);
    std::shared_ptr<KJTipSeriesElement> fresh;
    if (content.isData()) {
        fresh = std::dynamic_pointer_cast<KJTipSeriesElement>(
            KJDBManager::sharedInstance()->parseCampaignRow(content));
        known->second.series = fresh;
    } else {
        decoded.erase(known);
        rows_.erase(row);
    }
    auto list = std::make_shared<SeriesList>();
    list->reserve(campaigns_->size());
    for (const auto& series : *campaigns_) {
        if (series != old) {
            list->push_back(series);
        } else if (fresh) {
            list->push_back(fresh);
        }
    }
    campaigns_ = std::move(list);
    ++generation_;
}

void KJStoredCampaigns::invalidate() {
    std::lock_guard lock(mutex_);
    campaignsStale_ = true;
    faq_.reset();
    faqRows_.reset();
    validUntilKnown_ = false;
    windowFrom_.reset();
}

}  // namespace brindlecue
