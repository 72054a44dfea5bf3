#include "tips/KJStoredCampaigns.h"

#include <limits>
#include <string>

#include "feed/KJTipSeriesElement.h"
#include "platform/Date.h"
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
        if (auto campaign = std::dynamic_pointer_cast<KJTipSeriesElement>(series)) out.push_back(std::move(campaign));
    }
    return out;
}

}  // namespace

void KJStoredCampaigns::refreshIfNeeded(bool campaigns, bool faq) {
    const double now = platform::Date::now().timeIntervalSince1970();
    if (validUntilKnown_ && now >= validUntil_) {
        campaigns_.reset();
        faq_.reset();
        validUntilKnown_ = false;
    }
    bool read = false;
    if (campaigns && !campaigns_) {
        campaigns_ = std::make_shared<const SeriesList>(campaignsOf(KJDBManager::sharedInstance()->findAllCampaignFeeds()));
        ++generation_;
        read = true;
    }
    if (faq && !faq_) {
        faq_ = campaignsOf(KJDBManager::sharedInstance()->findAllFAQFeeds());
        read = true;
    }
    if (read && !validUntilKnown_) {
        validUntil_ = nextActivityChange(now);
        validUntilKnown_ = true;
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

void KJStoredCampaigns::invalidate() {
    std::lock_guard lock(mutex_);
    campaigns_.reset();
    faq_.reset();
    validUntilKnown_ = false;
}

}  // namespace brindlecue
