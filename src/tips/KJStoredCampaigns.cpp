#include "tips/KJStoredCampaigns.h"

#include <algorithm>
#include <limits>
#include <string>

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

const platform::Value* KJStoredCampaigns::justStoredFor(const KJDao::RowVersion& row) const {
    auto it = justStored_.find(row.feedId);
    if (it == justStored_.end()) return nullptr;
    // The row as the dictionary was written: the same modified time (the cache's column).
    auto modified = it->second["modified"].getDate();
    return (modified ? modified->timeIntervalSince1970() : 0.0) == row.modified ? &it->second : nullptr;
}

void KJStoredCampaigns::rememberStored(std::vector<platform::Value> dictionaries) {
    std::lock_guard lock(mutex_);
    for (auto& dictionary : dictionaries)
        if (const std::string* feedId = dictionary["feed_id"].getString())
            justStored_[*feedId] = std::move(dictionary);
}

void KJStoredCampaigns::readCampaigns() {
    auto rows = KJDao::findRowVersionsByFeedType("CAMPAIGN");
    if (!rows) rows.emplace();  // as an unreadable cache reads: nothing stored
    campaignsStale_ = false;
    if (campaigns_ && *rows == rows_) {
        justStored_.clear();
        return;
    }

    auto cache = KJDBManager::sharedInstance();
    // The rows not seen yet are decoded from what was just stored or from their archives; each on
    // its own, so many of them are shared among workers.
    std::vector<std::shared_ptr<KJTipSeriesElement>> series(rows->size());
    std::vector<std::pair<size_t, platform::Value>> toDecode;  // row index, stored dictionary or content
    for (size_t i = 0; i < rows->size(); ++i) {
        const KJDao::RowVersion& row = (*rows)[i];
        auto known = decoded_.find(row.rowId);
        if (known != decoded_.end() && known->second.version == row)
            series[i] = known->second.series;
        else if (const platform::Value* stored = justStoredFor(row))
            toDecode.emplace_back(i, *stored);
        else
            toDecode.emplace_back(i, KJDao::findContentByRowId(row.rowId));
    }
    platform::DispatchQueue::concurrentPerform(toDecode.size(), [&](size_t k) {
        const auto& [index, source] = toDecode[k];
        series[index] = std::dynamic_pointer_cast<KJTipSeriesElement>(
            source.isDictionary() ? cache->parseCampaignDictionary(source) : cache->parseCampaignRow(source));
    });
    std::unordered_map<int64_t, Decoded> decoded;
    decoded.reserve(rows->size());
    auto list = std::make_shared<SeriesList>();
    list->reserve(rows->size());
    for (size_t i = 0; i < rows->size(); ++i) {
        if (series[i]) list->push_back(series[i]);
        decoded.emplace((*rows)[i].rowId, Decoded{(*rows)[i], std::move(series[i])});
    }
    decoded_ = std::move(decoded);
    justStored_.clear();
    rows_ = std::move(*rows);
    campaigns_ = std::move(list);
    ++generation_;
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
        validUntilKnown_ = false;
    }
    bool read = false;
    if (campaigns && (campaignsStale_ || !campaigns_)) {
        readCampaigns();
        read = true;
    }
    if (faq && !faq_) {
        faq_ = campaignsOf(KJDBManager::sharedInstance()->findAllFAQFeeds());
        read = true;
    }
    if (read && !validUntilKnown_ && !windowFrom_) windowFrom_ = now;
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
    if (!campaigns_ || campaignsStale_) return;  // the next question reads everything anyway
    auto row = std::find_if(rows_.begin(), rows_.end(), [&](const auto& r) { return r.feedId == feedId; });
    if (row == rows_.end()) return;
    auto known = decoded_.find(row->rowId);
    if (known == decoded_.end() || !known->second.series) {
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
        decoded_.erase(known);
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
    validUntilKnown_ = false;
    windowFrom_.reset();
}

}  // namespace brindlecue
