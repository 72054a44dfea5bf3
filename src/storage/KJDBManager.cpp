#include "storage/KJDBManager.h"

#include "foundation/KJLog.h"
#include "platform/KeyedArchiver.h"
#include "platform/TestingReset.h"
#include "storage/KJDBSettings.h"
#include "storage/KJDao.h"

namespace brindlecue {

using platform::Value;

namespace {

constexpr const char* kCannotCast = "KJDB: data type retrived from db cannot be casted to KJTipSeriesElement";

Value textOrEmpty(const std::optional<std::string>& s) {
    return Value(s.value_or(""));
}

Value dateOrEmpty(const std::optional<platform::Date>& d) {
    return d ? Value(*d) : Value("");
}

// Seconds since 1970 of a stored date; 0 for anything else.
double secondsOf(const Value& v) {
    auto d = v.getDate();
    return d ? d->timeIntervalSince1970() : 0.0;
}

Value textColumn(const Value& v) {
    if (const std::string* s = v.getString()) return Value(*s);
    if (v.isNil()) return Value("");
    return Value(v.stringValue());
}

}  // namespace

KJDBManager::KJDBManager() {
    KJDBSettings::createDatabaseTable();
}

namespace {

std::mutex& instanceMutex() {
    static auto* m = new std::mutex;
    return *m;
}

std::shared_ptr<KJDBManager>& instanceSlot() {
    static auto* instance = new std::shared_ptr<KJDBManager>();  // leaked: used until the process ends
    return *instance;
}

}  // namespace

std::shared_ptr<KJDBManager> KJDBManager::sharedInstance() {
    // Created once (again only after a test-only reset).
    std::lock_guard lock(instanceMutex());
    auto& instance = instanceSlot();
    if (!instance) {
        instance = std::shared_ptr<KJDBManager>(new KJDBManager());
        platform::TestingReset::add("KJDBManager", [] { resetForTesting(); });
    }
    return instance;
}

void KJDBManager::setCollaborators(Collaborators collaborators) {
    std::lock_guard lock(mutex_);
    collaborators_ = std::move(collaborators);
}

void KJDBManager::updateCollaborators(const std::function<void(Collaborators&)>& change) {
    std::lock_guard lock(mutex_);
    change(collaborators_);
}

KJDBManager::Collaborators KJDBManager::collaborators() const {
    std::lock_guard lock(mutex_);
    return collaborators_;
}

namespace {

std::string authorMode(const KJDBFeedRecord& feed, const Value& content) {
    if (feed.isPreview()) return "PREVIEW";
    auto campaignId = feed.campaignid();
    if (!campaignId) return "PREVIEW";
    return content["setup"]["tool"] == Value("fab") ? "FAQ" : "CAMPAIGN";
}

}  // namespace

std::string KJDBManager::seriesAuthorMode(const KJDBFeedRecord& feed) {
    return authorMode(feed, feed.content());
}

Value KJDBManager::setupFeedsDictionaryFromFeedObject(const KJDBFeedRecord& feed) {
    return setUpDictionary(feed, true);
}

Value KJDBManager::setUpDictionary(const KJDBFeedRecord& feed, bool lookForStored) {
    auto feedId = feed.feed_id();
    if (!feedId || feedId->empty()) {
        KJLog(1, "KJDB: received a feed but not to save it, as feedid is empty");
        return Value();
    }
    auto appKeyOfHost = collaborators().appKey;
    auto ownKey = appKeyOfHost ? appKeyOfHost() : std::nullopt;
    auto appKey = feed.app_key();
    if (!appKey || !ownKey || *appKey != *ownKey) {
        KJLog(1, "KJDB: received a feed but not to save it, as App key  is different");
        return Value();
    }
    Value stored = feed.content();
    if (!stored.isDictionary() || !stored["setup"].isDictionary() || !stored["payload"].isArray()) {
        KJLog(1,
              "KJDB: received a feed but not to save it, as invalid feed payload for a tip series element as "
              "setup "
              "or payload is not a dictionaty");
        return Value();
    }
    if (auto existing = lookForStored ? findTipSeriesByFeedId(*feedId) : nullptr) {
        auto storedModified = existing->seriesModified();
        auto modified = feed.modified();
        bool later = modified && (!storedModified || *modified > *storedModified);
        if (!later) {
            KJLog(
                1,
                "KJDB: received a feed but not to save it, as tip series element already exists and updated");
            return Value();
        }
    }
    // The item's own entries after the content's, a key the content already has replaced in its
    // place (as setting it would); built in one go.
    const platform::Dictionary& content = *stored.getDictionary();
    std::vector<platform::Dictionary::Entry> entries;
    entries.reserve(content.size() + 11);
    entries.assign(content.begin(), content.end());
    entries.emplace_back("seriesAuthorMode", authorMode(feed, stored));
    entries.emplace_back("feed_id", *feedId);
    entries.emplace_back("app_key", *appKey);
    entries.emplace_back("campaignid", textOrEmpty(feed.campaignid()));
    entries.emplace_back("modified", dateOrEmpty(feed.modified()));
    entries.emplace_back("deletion_conditions", textOrEmpty(feed.deletion_conditions()));
    entries.emplace_back("repeat_conditions", textOrEmpty(feed.repeat_conditions()));
    entries.emplace_back("trigger_conditions", textOrEmpty(feed.trigger_conditions()));
    entries.emplace_back("expires", dateOrEmpty(feed.expires()));
    entries.emplace_back("activates", dateOrEmpty(feed.activates()));
    entries.emplace_back("priority", feed.priority());
    return Value(platform::Dictionary(std::move(entries)));
}

Value KJDBManager::archiveDataToBeSaved(const Value& stored) {
    if (!stored.isDictionary()) {
        KJLog(1, "KJDB: when archive data got nil tip dictionary");
        return Value::dictionary();
    }
    std::vector<platform::Dictionary::Entry> row;
    row.reserve(15);
    row.emplace_back("feedId", textColumn(stored["feed_id"]));
    row.emplace_back("content", platform::KeyedArchiver::archivedData(stored));
    row.emplace_back("appKey", textColumn(stored["app_key"]));
    row.emplace_back("installId", textColumn(stored["installid"]));
    const Value& campaignId = stored["campaignid"];
    if (!campaignId.isNil() && !(campaignId.isString() && campaignId.getString()->empty())) {
        row.emplace_back("campaignId", textColumn(campaignId));
    }
    row.emplace_back("numFeeds", stored["num_feeds"].integerValue());
    row.emplace_back("created", secondsOf(stored["created"]));
    row.emplace_back("modified", secondsOf(stored["modified"]));
    row.emplace_back("expires", secondsOf(stored["expires"]));
    row.emplace_back("activates", secondsOf(stored["activates"]));
    row.emplace_back("type", textColumn(stored["seriesAuthorMode"]));
    row.emplace_back("deletionconditions", textColumn(stored["deletion_conditions"]));
    row.emplace_back("repeatconditions", textColumn(stored["repeat_conditions"]));
    row.emplace_back("triggerconditions", textColumn(stored["trigger_conditions"]));
    row.emplace_back("priority", stored["priority"].integerValue());
    // The columns' names, each once.
    return Value(platform::Dictionary::withDistinctKeys(std::move(row)));
}

// The check for a stored row (in the set-up) and the write are one step under the cache's lock
// and in one transaction, so no other writer comes between them.
bool KJDBManager::saveATipSeries(const KJDBFeedRecord& feed) {
    return KJDao::inTransaction([&] {
        Value stored = setupFeedsDictionaryFromFeedObject(feed);
        if (stored.isAbsent()) return false;
        return KJDao::insertATip(archiveDataToBeSaved(stored));
    });
}

bool KJDBManager::saveMultipleTipSeries(
    const std::vector<std::shared_ptr<KJDBFeedRecord>>& feeds,
    const std::function<void(const std::vector<Value>& dictionaries)>& setUp, bool newerThanStored) {
    return KJDao::inTransaction([&] {
        // Every item is set up against the rows stored before this call, then all are archived and
        // written, on the calling thread.
        std::vector<Value> dictionaries;
        for (const auto& feed : feeds) {
            if (!feed) continue;
            Value dictionary = setUpDictionary(*feed, !newerThanStored);
            if (!dictionary.isAbsent()) dictionaries.push_back(std::move(dictionary));
        }
        if (setUp && !dictionaries.empty()) setUp(dictionaries);
        std::vector<Value> rows;
        rows.reserve(dictionaries.size());
        for (const Value& dictionary : dictionaries) rows.push_back(archiveDataToBeSaved(dictionary));
        return rows.empty() || KJDao::insertMultipleTips(rows);
    });
}

void KJDBManager::resetForTesting() {
    KJDao::closeForTesting();
    KJDBSettings::forgetPathForTesting();
    std::lock_guard lock(instanceMutex());
    instanceSlot().reset();
}

std::shared_ptr<KJDBTipSeries> KJDBManager::findTipSeriesByFeedId(const std::string& feedId) {
    Value content = KJDao::findSeriesByFeedId(feedId);
    std::optional<Value> stored;
    if (const platform::Data* data = content.getData())
        stored = platform::KeyedArchiver::unarchiveObject(*data);
    if (!stored || !stored->isDictionary()) {
        KJLog(1, kCannotCast);
        return nullptr;
    }
    auto create = collaborators().createFromFeed;
    return create ? create(*stored) : nullptr;
}

std::optional<KJDBManager::SeriesList> KJDBManager::parseRows(
    const std::optional<std::vector<Value>>& contents, bool faq) {
    if (!contents) return std::nullopt;
    for (const Value& content : *contents) {
        if (!content.isData()) {
            KJLog(1, kCannotCast);
            return std::nullopt;
        }
    }
    Collaborators c = collaborators();
    SeriesList out;
    for (const Value& content : *contents)
        if (auto series = parseRow(c, content, faq)) out.push_back(std::move(series));
    return out;
}

std::shared_ptr<KJDBTipSeries> KJDBManager::parseRow(const Collaborators& c, const Value& content, bool faq) {
    const platform::Data* data = content.getData();
    auto stored = data ? platform::KeyedArchiver::unarchiveObject(*data) : std::nullopt;
    if (!stored || !stored->isDictionary()) {
        // A damaged row is passed over; the others still show.
        KJLog(1, kCannotCast);
        return nullptr;
    }
    return parseStored(c, *stored, faq);
}

std::shared_ptr<KJDBTipSeries> KJDBManager::parseStored(const Collaborators& c, const Value& stored,
                                                        bool faq) {
    if (c.isFeedValid && !c.isFeedValid(stored)) {
        KJLog(1, faq ? "KJDB: Invalid feed parameter missing in feed - setup" : "Invalid feed parameter");
        return nullptr;
    }
    auto series = c.createFromFeed ? c.createFromFeed(stored) : nullptr;
    if (!series) return nullptr;
    bool isFab = series->seriesTipType() == KJDBTipSeries::kFloatingActionButtonTipType;
    if (isFab != faq) return nullptr;
    if (faq) {
        series->setFab(stored["setup"]);
        const Value& payload = stored["payload"];
        if (payload.count() > 0) series->setFaq(payload[0]);
    }
    return series;
}

std::shared_ptr<KJDBTipSeries> KJDBManager::parseCampaignDictionary(const Value& stored) {
    if (!stored.isDictionary()) return nullptr;
    return parseStored(collaborators(), stored, false);
}

std::shared_ptr<KJDBTipSeries> KJDBManager::parseCampaignRow(const Value& content) {
    return parseRow(collaborators(), content, false);
}

std::optional<KJDBManager::SeriesList> KJDBManager::parseDataForTipSeriesElements(
    const std::optional<std::vector<Value>>& contents) {
    return parseRows(contents, false);
}

std::optional<KJDBManager::SeriesList> KJDBManager::getDataForFAQ(
    const std::optional<std::vector<Value>>& contents) {
    return parseRows(contents, true);
}

KJDBManager::SeriesList KJDBManager::findAllTipFeeds() {
    return parseDataForTipSeriesElements(KJDao::getAllSeries()).value_or(SeriesList{});
}

KJDBManager::SeriesList KJDBManager::findAllPreviewFeeds() {
    return parseDataForTipSeriesElements(KJDao::findSeriesByFeedType("PREVIEW")).value_or(SeriesList{});
}

KJDBManager::SeriesList KJDBManager::findAllCampaignFeeds() {
    return parseDataForTipSeriesElements(KJDao::findSeriesByFeedType("CAMPAIGN")).value_or(SeriesList{});
}

KJDBManager::SeriesList KJDBManager::findAllInfiniteCampaignFeeds() {
    return parseDataForTipSeriesElements(KJDao::findInfiniteSeriesByFeedType("CAMPAIGN"))
        .value_or(SeriesList{});
}

KJDBManager::SeriesList KJDBManager::findOnDemandCampaign(const std::string& campaignId) {
    return parseDataForTipSeriesElements(KJDao::findOnDemandCampaign(campaignId)).value_or(SeriesList{});
}

KJDBManager::SeriesList KJDBManager::findAllFAQFeeds() {
    return getDataForFAQ(KJDao::findSeriesByFeedType("FAQ")).value_or(SeriesList{});
}

bool KJDBManager::deleteTipSeriesByFeedId(const std::string& feedId) {
    return KJDao::deleteSeriesByFeedId(feedId);
}

bool KJDBManager::deleteFAQTipByCampaignId(const std::string& campaignId) {
    return KJDao::deleteFAQTipByCampaignId(campaignId);
}

bool KJDBManager::updateRepeatConditions(const std::string& conditions, const std::string& campaignId) {
    return KJDao::updateRepeatConditions(conditions, campaignId);
}

bool KJDBManager::canDeleteTipSeriesByFeedId(const DeletionConditions& conditions) {
    auto evaluate = collaborators().evaluate;
    return evaluate && evaluate(conditions);
}

}  // namespace brindlecue
