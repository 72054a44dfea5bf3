// The engine's state, its start-up, campaign intake (feeds and preview feeds), the removal of
// finished campaigns, the change notifications and the calls it hands on. Selection, presentation
// and the step results live in KJTipManagerSelection.cpp, KJTipManagerPresentation.cpp and
// KJTipManagerResults.cpp.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "tips/KJTipManager.h"

#include "config/BLQInstallNotificationKeys.h"
#include "config/BLQInstallPlatform.h"
#include "config/BLQPreviewModeCheck.h"
#include "config/BLQUtilsFacade.h"
#include "feed/BLQIPreviewModeManager.h"
#include "feed/BLQITipCacheManager.h"
#include "feed/BLQITipViewController.h"
#include "feed/KJFeedConditions.h"
#include "feed/KJFeedObject.h"
#include "foundation/BLQDateUtils.h"
#include "foundation/BLQLogRoute.h"
#include "foundation/BLQUtils.h"
#include "foundation/BLQViewUtils.h"
#include "platform/BinaryPropertyList.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/DispatchSemaphore.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "storage/KJDBManager.h"
#include "storage/KJDao.h"
#include "targeting/KJTargettingWidgetV2.h"
#include "tips/BLQIGuideController.h"
#include "tips/BLQITipManagerDelegate.h"
#include "tips/BLQITipTriggers.h"
#include "tips/BLQInternalBaseGuideController.h"
#include "tips/KJTipManagerSupport.h"
#include "widgets/BLQIFeedBackInterface.h"

namespace brindlecue {

using platform::Value;
using namespace tipengine;

namespace {

constexpr const char* kTipUpdatedNotification = "Brindlecue_Tip_Updated";
constexpr const char* kPreviewTipsUpdatedNotification = "QX_Preview_Tips_Updated";
constexpr const char* kInitTipBridgeNotification = "KJ_InitTipBridge_Notification";
constexpr const char* kOrientationChangedNotification = "KJ_TipManager_OrientationChanged_Notification";
constexpr const char* kCarouselBridgeClass = "KJCarouselBridge";
constexpr const char* kCoverViewClass = "KJCoverView";
constexpr int64_t kLauncherButtonTag = 888900;

platform::SystemLog& systemLog() {
    static auto* log = new platform::SystemLog("com.brindlecue", "BrindlecueSDK");
    return *log;
}

// Sets "KJTips_Server" to the list of the campaigns' stored forms, written as one property list
// from the campaigns (no dictionary is made of them): the user defaults take it into their file as
// written, and make the list's value of it only if the key is read.
void setSeries(platform::UserDefaults& defaults, const BLQITipManager::SeriesList& list) {
    std::vector<const KJTipBaseElement*> campaigns;
    campaigns.reserve(list.size());
    for (const auto& series : list)
        if (series) campaigns.push_back(series.get());
    if (auto written = KJStoredForm::writeListOnItsOwn(campaigns)) {
        defaults.setWrittenValue("KJTips_Server", std::move(written));
        return;
    }
    // A form a property list cannot hold: refused, with its log line.
    platform::Array forms;
    for (const KJTipBaseElement* series : campaigns) forms.push_back(series->serializeToDictionary());
    defaults.set("KJTips_Server", Value(std::move(forms)));
}

Value dateOrEmpty(const std::optional<platform::Date>& date) {
    return date ? Value(*date) : Value("");
}

std::shared_ptr<BLQITipManager::SeriesList> listObject(BLQITipManager::SeriesList list) {
    return std::make_shared<BLQITipManager::SeriesList>(std::move(list));
}

}  // namespace

namespace tipengine {

std::string screenNameOf(const std::shared_ptr<platform::UIViewController>& controller) {
    if (!controller) return {};
    std::weak_ptr<platform::UIViewController> weak = controller;
    return blqAppendUniqueSuffix(controller->className(), [weak]() -> std::optional<std::string> {
        auto strong = weak.lock();
        auto view = strong ? strong->viewIfLoaded() : nullptr;
        auto content = view
                           ? std::dynamic_pointer_cast<platform::UIView>(view->performSelector("contentView"))
                           : nullptr;
        return content ? findNativeID(content) : std::nullopt;
    });
}

std::string decimal(double value) {
    char out[64];
    std::snprintf(out, sizeof out, "%f", value);
    return out;
}

}  // namespace tipengine

// ---- Start-up ---------------------------------------------------------------------------------

std::shared_ptr<KJTipManager> KJTipManager::make(std::shared_ptr<BLQIFeedBackInterface> faqListUI) {
    std::shared_ptr<KJTipManager> engine(new KJTipManager());
    engine->start(std::move(faqListUI));
    return engine;
}

void KJTipManager::start(std::shared_ptr<BLQIFeedBackInterface> faqListUI) {
    SeriesList campaigns;
    try {
        campaigns = *stored_.campaigns().list;
    } catch (const std::exception& error) {
        systemLog().log(
            platform::LogType::Error,
            std::string("failed to initial feed object and inner tip series, due to ") + error.what());
    }
    {
        std::lock_guard lock(mutex_);
        isBridgeInitCalled_ = false;
        autoDismissedTimeInterval_ = 0.0;
        innerFeedObjects_.clear();
        setInnerTipSeriesLocked(std::move(campaigns));
        currentTipViewController_.reset();
        concurrentTipsSemaphore_ = std::make_shared<platform::DispatchSemaphore>(1);
        singleTipShowingCount_ = 1;
        singleTipLock_ = std::make_shared<std::mutex>();
        showLauncherBtnClickLock_ = std::make_shared<std::mutex>();
        currentTipType_ = 0;
        faqListUI_ = std::move(faqListUI);
    }

    auto& center = platform::NotificationCenter::defaultCenter();
    std::weak_ptr<KJTipManager> weak = weak_from_this();
    auto handler = [weak](void (KJTipManager::*method)(const platform::Notification&)) {
        return [weak, method](const platform::Notification& notification) {
            if (auto engine = weak.lock()) ((*engine).*method)(notification);
        };
    };
    std::vector<std::shared_ptr<platform::NotificationObserver>> observers{
        center.addObserver(kTipUpdatedNotification, nullptr, nullptr,
                           handler(&KJTipManager::pollTipChangeNotificationHandler)),
        center.addObserver(BLQInstallNotificationKeys::installSuccessNotification, nullptr, nullptr,
                           handler(&KJTipManager::installUpdateSuccessNotificationHandler)),
        center.addObserver(BLQInstallNotificationKeys::updateSuccessNotification, nullptr, nullptr,
                           handler(&KJTipManager::installUpdateSuccessNotificationHandler)),
        center.addObserver(kOrientationChangedNotification, nullptr, nullptr,
                           handler(&KJTipManager::orientationChangedNotificationHandler)),
    };

    // A class of this build has no class methods to be called by name: a carousel bridge that the
    // host carries observes "KJ_InitTipBridge_Notification" itself.
    const bool bridge = platform::ClassRegistry::exists(kCarouselBridgeClass);
    systemLog().log(platform::LogType::Default,
                    std::string("Bridge for carousel: ") + (bridge ? kCarouselBridgeClass : "(null)") + ".");
    {
        std::lock_guard lock(mutex_);
        observers_ = std::move(observers);
        isBridgeInitCalled_ = true;
        isCarouselIntegrated_ = bridge;
    }
    center.post(kInitTipBridgeNotification);
}

KJTipManager::~KJTipManager() {
    auto& center = platform::NotificationCenter::defaultCenter();
    for (const auto& observer : observers_) center.removeObserver(observer);
}

void KJTipManager::setDelegate(const std::shared_ptr<BLQITipManagerDelegate>& delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
}

void KJTipManager::setTriggers(std::shared_ptr<BLQITipTriggers> triggers) {
    std::lock_guard lock(mutex_);
    triggers_ = std::move(triggers);
}

std::shared_ptr<BLQITipManagerDelegate> KJTipManager::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

std::shared_ptr<BLQITipTriggers> KJTipManager::triggers() const {
    std::lock_guard lock(mutex_);
    return triggers_;
}

std::shared_ptr<BLQITipCacheManager> KJTipManager::cacheManager() const {
    std::lock_guard lock(mutex_);
    return cacheManager_;
}

bool KJTipManager::isInPreviewMode() {
    return BLQPreviewModeCheck::isInPreviewMode();
}

void KJTipManager::reportPreviewState(int64_t state, const std::string& message) const {
    auto facade = delegate();
    auto previewMode = facade ? facade->previewModeManager() : nullptr;
    if (previewMode)
        previewMode->receiveUpdated(static_cast<BLQPreviewModeNotificationState>(state), message);
}

// ---- State ------------------------------------------------------------------------------------

BLQITipManager::SeriesList KJTipManager::cachedTips() const {
    auto cache = cacheManager();
    return cache ? cache->cachedTips() : SeriesList{};
}

std::shared_ptr<platform::UIViewController> KJTipManager::customerCurrentVC() const {
    std::lock_guard lock(mutex_);
    return customerCurrentVC_.lock();
}

void KJTipManager::setCustomerCurrentVC(const std::shared_ptr<platform::UIViewController>& controller) {
    std::lock_guard lock(mutex_);
    customerCurrentVC_ = controller;
}

std::optional<std::string> KJTipManager::currentRCTViewName() const {
    std::lock_guard lock(mutex_);
    return currentRCTViewName_;
}

void KJTipManager::setCurrentRCTViewName(std::optional<std::string> name) {
    std::lock_guard lock(mutex_);
    currentRCTViewName_ = std::move(name);
}

std::optional<std::string> KJTipManager::currentDisplayedTipFeedID() const {
    std::lock_guard lock(mutex_);
    return currentDisplayedTipFeedID_;
}

void KJTipManager::setCurrentDisplayedTipFeedID(std::optional<std::string> feedId) {
    std::lock_guard lock(mutex_);
    currentDisplayedTipFeedID_ = std::move(feedId);
}

std::optional<std::string> KJTipManager::currentDisplayedTipCampaignID() const {
    return std::nullopt;
}

BLQITipManager::SeriesList KJTipManager::innerTipSeries() const {
    std::lock_guard lock(mutex_);
    return innerTipSeries_;
}

std::shared_ptr<KJTipSeriesElement> KJTipManager::currentTipSeries() const {
    std::lock_guard lock(mutex_);
    return currentTipSeries_.lock();
}

std::shared_ptr<BLQITipViewController> KJTipManager::currentTipViewController() const {
    std::lock_guard lock(mutex_);
    return currentTipViewController_;
}

std::shared_ptr<platform::UIView> KJTipManager::tipCoverView() const {
    std::lock_guard lock(mutex_);
    return tipCoverView_;
}

void KJTipManager::setTipCoverView(const std::shared_ptr<platform::UIView>& coverView) {
    std::lock_guard lock(mutex_);
    tipCoverView_ = coverView;
}

std::shared_ptr<platform::UIView> KJTipManager::previewModePanel() const {
    std::lock_guard lock(mutex_);
    return previewModePanel_.lock();
}

std::shared_ptr<platform::DispatchSemaphore> KJTipManager::concurrentTipsSemaphore() const {
    std::lock_guard lock(mutex_);
    return concurrentTipsSemaphore_;
}

void KJTipManager::setConcurrentTipsSemaphore(std::shared_ptr<platform::DispatchSemaphore> semaphore) {
    std::lock_guard lock(mutex_);
    concurrentTipsSemaphore_ = std::move(semaphore);
}

std::shared_ptr<std::mutex> KJTipManager::showLauncherBtnClickLock() const {
    std::lock_guard lock(mutex_);
    return showLauncherBtnClickLock_;
}

std::shared_ptr<std::mutex> KJTipManager::singleTipLock() const {
    std::lock_guard lock(mutex_);
    return singleTipLock_;
}

int64_t KJTipManager::singleTipShowingCount() const {
    std::lock_guard lock(mutex_);
    return singleTipShowingCount_;
}

void KJTipManager::setSingleTipShowingCount(int64_t count) {
    std::lock_guard lock(mutex_);
    singleTipShowingCount_ = count;
}

double KJTipManager::autoDismissedTimeInterval() const {
    std::lock_guard lock(mutex_);
    return autoDismissedTimeInterval_;
}

bool KJTipManager::isSDKIntegrationCorrect() const {
    std::lock_guard lock(mutex_);
    return isSDKIntegrationCorrect_;
}

void KJTipManager::setIsSDKIntegrationCorrect(bool correct) {
    std::lock_guard lock(mutex_);
    isSDKIntegrationCorrect_ = correct;
}

void KJTipManager::setAutoDismissedTimeIntervalForTesting(double seconds) {
    std::lock_guard lock(mutex_);
    autoDismissedTimeInterval_ = seconds;
}

bool KJTipManager::isCarouselIntegrated() const {
    std::lock_guard lock(mutex_);
    return isCarouselIntegrated_;
}

std::map<std::string, platform::Date> KJTipManager::tipSeriesSincelastShown() const {
    std::lock_guard lock(mutex_);
    return tipSeriesSincelastShown_;
}

std::map<std::string, KJTipOffScreenTracker> KJTipManager::offScreenTipsTracker() const {
    auto t = triggers();
    return t ? t->offScreenTipsTracker() : std::map<std::string, KJTipOffScreenTracker>{};
}

int32_t KJTipManager::currentTipType() const {
    std::lock_guard lock(mutex_);
    return currentTipType_;
}

std::shared_ptr<KJTipSeriesElement> KJTipManager::multipleTourSeries() const {
    std::lock_guard lock(mutex_);
    return multipleTourSeries_;
}

int64_t KJTipManager::multipleTourIndex() const {
    std::lock_guard lock(mutex_);
    return multipleTourIndex_;
}

void KJTipManager::setMultipleTourIndex(int64_t index) {
    std::lock_guard lock(mutex_);
    multipleTourIndex_ = index;
}

std::optional<std::string> KJTipManager::onDemandGuideId() const {
    std::lock_guard lock(mutex_);
    return onDemandGuideId_;
}

void KJTipManager::setOnDemandGuideId(std::optional<std::string> campaignId) {
    std::lock_guard lock(mutex_);
    if (campaignId && campaignId->empty()) campaignId.reset();
    onDemandGuideId_ = std::move(campaignId);
}

std::optional<int64_t> KJTipManager::shownTipIndex(const std::string& feedId) const {
    std::lock_guard lock(mutex_);
    auto it = tipSeriesElementShown_.find(feedId);
    return it == tipSeriesElementShown_.end() ? std::nullopt : std::optional<int64_t>(it->second);
}

std::optional<platform::Date> KJTipManager::lastShownTime(const std::string& feedId) const {
    std::lock_guard lock(mutex_);
    auto it = tipSeriesSincelastShown_.find(feedId);
    return it == tipSeriesSincelastShown_.end() ? std::nullopt : std::optional<platform::Date>(it->second);
}

std::vector<std::shared_ptr<KJFeedObject>> KJTipManager::innerFeedObjects() const {
    std::lock_guard lock(mutex_);
    return innerFeedObjects_;
}

void KJTipManager::setInnerTipSeriesLocked(SeriesList list) {
    innerTipSeries_ = std::move(list);
    ++innerGeneration_;
}

void KJTipManager::writeTipsToDefaults(const SeriesList& list) const {
    auto& defaults = platform::UserDefaults::standard();
    setSeries(defaults, list);
    defaults.synchronize();
}

void KJTipManager::forgetShownState(const std::string& feedId) {
    std::lock_guard lock(mutex_);
    tipSeriesElementShown_.erase(feedId);
    tipSeriesSincelastShown_.erase(feedId);
}

void KJTipManager::setShownState(const std::string& feedId, int64_t index,
                                 std::optional<platform::Date> time) {
    std::lock_guard lock(mutex_);
    tipSeriesElementShown_[feedId] = index;
    if (time) tipSeriesSincelastShown_[feedId] = *time;
}

void KJTipManager::signalConcurrentTips() const {
    if (auto semaphore = concurrentTipsSemaphore()) semaphore->signal();
}

// ---- Feed intake --------------------------------------------------------------------------------

void KJTipManager::fillTipFromFeed(const std::vector<std::shared_ptr<KJFeedObject>>& feeds) {
    // The feed road may have pruned the campaign cache before handing the feed on.
    stored_.invalidate();
    {
        std::lock_guard lock(mutex_);
        feedsReceivedTime_ = platform::Date::now();
    }
    auto facade = delegate();
    const std::optional<std::string> appKey = facade ? facade->appKey() : std::nullopt;
    auto cache = KJDBManager::sharedInstance();

    // The campaigns this engine decoded already, by row: a stored row it has seen is not decoded
    // again to learn its modified time (taken before the transaction, whose lock comes after the
    // copy's).
    const auto decoded = stored_.decodedRows();
    std::vector<std::shared_ptr<KJDBFeedRecord>> toSave;
    bool saved = false;
    auto checkAndSave = [&](bool inTransaction) {
        toSave.clear();
        // The active rows by feed id, looked at once: a feed id without one has nothing stored.
        std::unordered_map<std::string_view, const KJDao::ActiveRow*> active;
        const auto versions = KJDao::findActiveRowTimes(platform::Date::now().timeIntervalSince1970());
        if (versions) {
            active.reserve(versions->size());
            for (const auto& row : *versions) active.emplace(row.feedId, &row);
        }
        // What findTipSeriesByFeedId gives for the feed id.
        auto storedSeries = [&](const std::string& feedId) -> std::shared_ptr<KJDBTipSeries> {
            if (!versions) return cache->findTipSeriesByFeedId(feedId);
            auto row = active.find(feedId);
            if (row == active.end()) return nullptr;
            // A campaign decoded from that row, as modified as the row is now, has the row's
            // modified time (which is all the check below asks of it).
            auto known = decoded->find(row->second->rowId);
            if (known != decoded->end() && known->second.version.feedId == row->second->feedId &&
                known->second.version.modified == row->second->modified && known->second.series)
                return known->second.series;
            return cache->findTipSeriesByFeedId(feedId);
        };
        for (const auto& feed : feeds) {
            if (!feed) continue;
            if (auto existing = storedSeries(text(feed->feed_id()))) {
                auto storedModified = existing->seriesModified();
                auto modified = feed->modified();
                if (!(modified && (!storedModified || *modified > *storedModified))) {
                    logGuides(2,
                              "received a feed but not to save it, as tip series element already exists and "
                              "updated");
                    continue;
                }
            }
            auto feedKey = feed->app_key();
            if (!feedKey || !appKey || *feedKey != *appKey) {
                logGuides(2, "Wrong app key = " + text(feedKey));
                continue;
            }
            if (!feed->isPreview()) toSave.push_back(feed);
        }
        // The live list below takes the new rows' campaigns decoded from what is stored, not from
        // their archives.
        // Inside the transaction, the rows looked at above are as they were.
        if (!toSave.empty())
            saved = cache->saveMultipleTipSeries(
                toSave,
                [&](const std::vector<Value>& dictionaries) { stored_.decodeAhead(dictionaries, cache); },
                inTransaction);
        return saved;
    };
    // The looks for stored rows and the write are one transaction: the file is locked once for
    // the feed, not once per campaign, and no other write comes between a look and the write.
    bool ran = false;
    KJDao::inTransaction([&] {
        ran = true;
        return checkAndSave(true);
    });
    // Without a transaction (the cache cannot be opened) each step goes on its own, as it would.
    if (!ran) checkAndSave(false);
    if (toSave.empty()) {
        logGuides(2, "no new tips to show");
        return;
    }
    logGuides(2,
              saved ? "save multiple tip series to DB successful" : "save multiple tip series to DB failed");

    std::vector<std::shared_ptr<KJFeedObject>> custom;
    // The campaigns made here only name their screens in a log line: the live list comes back from
    // the cache below, so lending them the live campaigns' views would change nothing, and a feed
    // is parsed only for the line or to tell a custom feed.
    const bool logsScreens = BLQLogRoute::wouldLogAtLevel(2);
    for (const auto& feed : feeds) {
        if (!feed) continue;
        if (!logsScreens && !(feed->content()["tool"] == Value("custom"))) continue;
        if (auto series = parseTipSeriesFromFeed(feed, false)) {
            logGuides(2, "Fetch tip for view. " + screenOfTarget(series->target) + ".");
        } else if (feed->content()["tool"] == Value("custom")) {
            custom.push_back(feed);
            logGuides(2, "Fetch custom feed id " + text(feed->feed_id()) + ".");
        }
    }

    stored_.invalidate();
    SeriesList campaigns = *stored_.campaigns().list;
    // Read here, on the intake's queue, so that the next screen's decision on the main queue finds
    // the widget campaigns too.
    stored_.faqCampaigns();
    {
        std::lock_guard lock(mutex_);
        setInnerTipSeriesLocked(campaigns);
        innerFeedObjects_ = custom;
    }
    logGuides(2, "updated local campaign feeds cache with DB data");

    auto& defaults = platform::UserDefaults::standard();
    setSeries(defaults, campaigns);
    platform::Array feedsStored;
    for (const auto& feed : custom) feedsStored.push_back(feed->serializeToDictionary());
    defaults.set("KJFeeds_Server", Value(std::move(feedsStored)));
    defaults.synchronize();

    if (!isInPreviewMode()) sendTipUpdatedNotification();
}

std::shared_ptr<KJTipSeriesElement> KJTipManager::parseTipSeriesFromFeed(
    const std::shared_ptr<KJFeedObject>& feed, bool needReconnectByContent) {
    Value content = feed ? feed->content() : Value();
    if (!content.isDictionary() || !content["setup"].isDictionary() || !content["payload"].isArray()) {
        logGuides(4, "Invalid feed parameter");
        return nullptr;
    }
    Value row = content;
    row.set("seriesAuthorMode", feed->isPreview() ? "PREVIEW" : "CAMPAIGN");
    row.set("feed_id", text(feed->feed_id()));
    row.set("campaignid", text(feed->campaignid()));
    row.set("modified", dateOrEmpty(feed->modified()));
    row.set("repeat_conditions", text(feed->repeat_conditions()));
    row.set("deletion_conditions", text(feed->deletion_conditions()));
    row.set("priority", static_cast<int32_t>(feed->priority()));
    auto series = KJTipSeriesElement::createFromFeed(row);
    if (!series || !needReconnectByContent) return series;

    std::shared_ptr<KJTipSeriesElement> live;
    for (const auto& candidate : innerTipSeries()) {
        if (candidate && candidate->isEqual(series.get())) {
            live = candidate;
            break;
        }
    }
    if (!live) return series;
    series->triggerControl = live->triggerControl;
    for (const auto& step : series->arrayTips) {
        for (const auto& old : live->arrayTips) {
            if (step && old && old->isEqual(step.get())) {
                step->viewController = old->viewController;
                step->targetControl = old->targetControl;
                break;
            }
        }
    }
    return series;
}

void KJTipManager::purgeDuplicateInfiniteCampaign(const SeriesList& stored) {
    std::lock_guard lock(mutex_);
    // As a rule the live list begins with the stored campaigns themselves (an intake makes it so):
    // then every one is present.
    if (stored.size() <= innerTipSeries_.size() &&
        std::equal(stored.begin(), stored.end(), innerTipSeries_.begin()))
        return;
    std::unordered_set<std::string> present;
    present.reserve(innerTipSeries_.size() + stored.size());
    for (const auto& series : innerTipSeries_)
        if (series) present.insert(text(series->campaignid));
    bool appended = false;
    for (const auto& series : stored) {
        if (!series || !present.insert(text(series->campaignid)).second) continue;
        innerTipSeries_.push_back(series);
        appended = true;
    }
    if (appended) ++innerGeneration_;
}

void KJTipManager::removeTipSeries(const std::shared_ptr<KJTipSeriesElement>& series) {
    {
        std::lock_guard lock(mutex_);
        currentTipSeries_.reset();
    }
    if (!series) {
        logGuides(2, "cannot remove a nil tip series!");
        return;
    }
    auto cache = KJDBManager::sharedInstance();
    if (series->triggerType != kOnDemandTrigger &&
        (series->deletion_conditions.empty() ||
         cache->canDeleteTipSeriesByFeedId(series->deletion_conditions))) {
        const std::string feedId = text(series->feed_id);
        logGuides(2,
                  "remove tip series:" + feedId +
                      (cache->deleteTipSeriesByFeedId(feedId) ? " from db successful" : " from db failed"));
    }
    // A campaign that stays in the cache comes back fresh on a later screen.
    stored_.refreshCampaign(text(series->feed_id));

    if (isInPreviewMode()) {
        auto previewCache = cacheManager();
        if (!previewCache) return;
        for (const auto& cached : previewCache->cachedTips()) {
            if (cached && cached->isEqual(series.get())) {
                previewCache->removeCachedTip(cached);
                break;
            }
        }
        return;
    }
    SeriesList remaining;
    {
        std::lock_guard lock(mutex_);
        const size_t before = innerTipSeries_.size();
        std::erase_if(innerTipSeries_, [&](const auto& s) { return !s || s->isEqual(series.get()); });
        if (innerTipSeries_.size() == before) return;
        ++innerGeneration_;
        remaining = innerTipSeries_;
    }
    writeTipsToDefaults(remaining);
}

void KJTipManager::updateFeedRepeatConditions(const std::shared_ptr<KJTipElement>& step) {
    auto series = step ? step->series.lock() : nullptr;
    if (!series) return;
    const std::string feedId = text(series->feed_id);
    if (feedId.empty()) return;
    auto advanced = [&](const KJFeedConditions::List& conditions, const std::string& name) {
        return KJFeedConditions::getUpdatedFeedConditions(
            KJFeedConditions::getSavedFeedConditions(feedId, conditions, name), name, true);
    };
    auto& defaults = platform::UserDefaults::standard();
    for (const char* name : {"repeat_conditions", "deletion_conditions"}) {
        std::string conditions =
            advanced(std::string(name) == "repeat_conditions" ? series->repeat_conditions
                                                              : series->deletion_conditions,
                     name);
        if (!conditions.empty())
            defaults.set(KJFeedConditions::savedStateKey(name, feedId), Value(conditions));
    }
    defaults.synchronize();
}

void KJTipManager::deleteFAQFeedWithCampaignId(const std::string& campaignId) {
    KJDBManager::sharedInstance()->deleteFAQTipByCampaignId(campaignId);
    stored_.invalidate();
}

// ---- Preview feeds ------------------------------------------------------------------------------

void KJTipManager::processUpdatedFeed(const Value& response) {
    {
        std::lock_guard lock(mutex_);
        datePoll_.reset();
    }
    logGuides(2, "Brindlecue - Preview Mode - Feeds fetched: " + response.description() + ".");
    if (!response.isDictionary()) {
        logGuides(1, "Brindlecue polls feed should be dictionary, got " + response.description() + ".");
        return;
    }
    const platform::Array* results = response["results"].getArray();
    if (results == nullptr) {
        logGuides(1, "Brindlecue polls feed should be array, got " + response["results"].description() + ".");
        return;
    }
    if (results->empty()) {
        logGuides(1, "Polling fail, get empty result: " + response.description());
        return;
    }
    if (isInPreviewMode()) reportPreviewState(kPreviewStateFeedArrived, "");
    if (!results->front().isDictionary()) {
        logGuides(1, "Brindlecue polls feed item should be dictionary, but got " +
                         results->front().description() + ".");
        return;
    }

    auto facade = delegate();
    const Value& updated = response["app_status"]["feed_updated"];
    if (!updated.isAbsent()) {
        auto parsed = blqParseDate(updated, 0);
        auto known = facade ? facade->feedsModifiedTime() : std::nullopt;
        if (known && parsed && *known >= *parsed) return;
        if (facade) facade->setFeedsModifiedTime(parsed);
    }

    SeriesList made;
    auto& defaults = platform::UserDefaults::standard();
    for (const Value& item : *results) {
        if (item["type"] != Value("PREVIEW") && !item["campaignid"].isNil()) continue;
        {
            std::lock_guard lock(mutex_);
            feedsReceivedTime_ = platform::Date::now();
        }
        auto feed = KJFeedObject::createFromDictionary(item);
        if (!feed) continue;
        auto series = parseTipSeriesFromFeed(feed, false);
        Value content = feed->content();
        if (content["setup"]["tool"] == Value("fab")) {
            if (!series) series = std::make_shared<KJTipSeriesElement>();
            const platform::Array* payload = content["payload"].getArray();
            series->faq = payload != nullptr && !payload->empty() ? payload->front() : Value();
            series->fab = content["setup"];
        }
        platform::Date modified = feed->modified().value_or(platform::Date::now());
        defaults.set("KJTips_Feed_LastModified", Value(blqFormatISODate(modified.addingTimeInterval(1.0))));
        defaults.synchronize();
        if (series) made.push_back(series);
    }
    if (made.empty()) return;

    auto first = made.front();
    if (auto previewCache = cacheManager()) {
        auto cached = previewCache->cachedTips();
        for (size_t i = 0; i < cached.size(); ++i) {
            if (!cached[i] || text(cached[i]->feed_id) != text(first->feed_id)) continue;
            auto known = facade ? facade->feedsModifiedTime() : std::nullopt;
            if (known && (!cached[i]->modified || *known > *cached[i]->modified))
                previewCache->replaceCachedTip(static_cast<int64_t>(i), first);
            break;
        }
    }
    platform::NotificationCenter::defaultCenter().post(kPreviewTipsUpdatedNotification, nullptr,
                                                       Value::dictionary(), {{"tips", listObject({first})}});
}

void KJTipManager::addCacheManager(std::shared_ptr<BLQITipCacheManager> cacheManager) {
    std::lock_guard lock(mutex_);
    cacheManager_ = std::move(cacheManager);
}

void KJTipManager::replyCachedPreviewTips() {
    if (auto cache = cacheManager()) cache->replayCachedPreviewTips();
}

void KJTipManager::removePreviewTips() {
    if (auto cache = cacheManager()) cache->removePreviewTips();
}

// ---- Notifications --------------------------------------------------------------------------------

void KJTipManager::sendTipUpdatedNotification() {
    platform::NotificationCenter::defaultCenter().post(
        kTipUpdatedNotification, nullptr, Value::dictionary({{"change", true}, {"source", "fetch"}}),
        {{"tips", listObject(innerTipSeries())}});
}

void KJTipManager::pollTipChangeNotificationHandler(const platform::Notification& notification) {
    logGuides(1, "Polling tip notification get called");
    const Value& info = notification.userInfo();
    if (!info["change"].boolValue()) {
        logGuides(1, "Polling but cannot preview, because isChanging is false.");
        return;
    }
    auto tips = notification.object<SeriesList>("tips");
    const SeriesList list = tips ? *tips : SeriesList{};
    const std::string source = info["source"].isString() ? *info["source"].getString() : std::string();

    std::shared_ptr<KJTipSeriesElement> chosen;
    if (source == "poll") {
        logGuides(1, "Source is poll");
        if (list.size() != 1) {
            logGuides(1, "Source is poll, but number is not 1.");
            logGuides(1, "Cannot show tip, because there is no tip series.");
            return;
        }
        chosen = list.front();
        logGuides(1, "Source is poll, get one tip from poll.");
    } else if (source == "fetch") {
        logGuides(1, "Source is fetch");
        if (list.empty()) {
            logGuides(
                1,
                "dismissing current showing campaign tips as cache cleared, due to server returns a empty "
                "results in feed");
            removePreviewTips();
            platform::DispatchQueue::main()->async([] {
                auto window = blqKeyWindow();
                if (!window) return;
                auto subviews = window->subviews();
                for (const auto& view : subviews)
                    if (view && view->isKindOfClass(kCoverViewClass)) view->removeFromSuperview();
            });
            return;
        }
        auto current = customerCurrentVC();
        for (const auto& series : list) {
            if (series && targetMatches(series->target, current)) {
                chosen = series;
                logGuides(2, "Source is fetch, find one tip match current vc.");
                break;
            }
        }
        if (!chosen) return;
    } else {
        logGuides(1, "Cannot show tip, because there is no tip series.");
        return;
    }
    if (!chosen || chosen->arrayTips.empty()) {
        logGuides(1, "Cannot show tip, because inner tip is empty.");
        return;
    }

    std::weak_ptr<KJTipManager> weak = weak_from_this();
    platform::DispatchQueue::main()->async([weak] {
        auto engine = weak.lock();
        if (!engine) return;
        auto screen = engine->customerCurrentVC();
        if (!screen) {
            logGuides(2, "current VC is nil, stop showing the current tip");
            return;
        }
        auto view = screen->viewIfLoaded();
        auto window = view ? view->window() : nullptr;
        if (auto launcher = window ? window->viewWithTag(kLauncherButtonTag) : nullptr) {
            logGuides(1, "A Launcher is added. Remove it.");
            launcher->removeFromSuperview();
        }
        auto showAgain = [weak] {
            auto engine = weak.lock();
            if (!engine) return;
            platform::Notification::ObjectMap objects;
            if (auto current = engine->customerCurrentVC()) objects["vc"] = current;
            engine->showTipForViewController(Value::dictionary(), objects);
        };
        if (auto tipController = engine->currentTipViewController()) {
            logGuides(1, "A tip is already shown. Dismiss it.");
            tipController->setClickButton1Handler(nullptr);
            tipController->setClickButton2Handler(nullptr);
            tipController->setClickCloseButtonHandler(nullptr);
            tipController->dismissTipWithRemoveCoverView(true, true, showAgain);
        } else {
            logGuides(1, "Preview is relaunch and there is no previous tip.");
            showAgain();
        }
    });
}

void KJTipManager::installUpdateSuccessNotificationHandler(const platform::Notification&) {
    auto facade = delegate();
    const std::string platformWord = facade ? facade->developmentPlatform() : std::string();
    if (platformWord != BLQInstallPlatform::native() && platformWord != BLQInstallPlatform::reactNative())
        return;
    const std::string value = platform::ClassRegistry::exists(kCarouselBridgeClass) ? "true" : "false";
    auto& defaults = platform::UserDefaults::standard();
    if (defaults.string("kj_module_carousel") != value) defaults.setString("kj_module_carousel", value);
    defaults.synchronize();
}

// ---- Calls handed to the triggers -------------------------------------------------------------------

void KJTipManager::hookEventForTipSeries(const std::shared_ptr<KJTipSeriesElement>& series,
                                         const std::shared_ptr<platform::UIViewController>& controller,
                                         double minDelaySeconds) {
    if (auto t = triggers()) t->hookEventForTipSeries(series, controller, minDelaySeconds);
}

void KJTipManager::removeEventForSeries(const std::shared_ptr<KJTipSeriesElement>& series) {
    if (auto t = triggers()) t->removeEventForSeries(series);
}

void KJTipManager::showOnDemandGuide(const std::string& campaignId) {
    if (auto t = triggers()) t->showOnDemandGuide(campaignId);
}

void KJTipManager::showOnDemandCampaignWithTips(const std::vector<std::shared_ptr<KJTipElement>>& steps) {
    if (auto t = triggers()) t->showOnDemandCampaignWithTips(steps);
}

void KJTipManager::removeFAQLauncher() {
    if (auto t = triggers()) t->removeFAQLauncher();
}

void KJTipManager::customFeedForViewController(const std::shared_ptr<platform::UIViewController>& controller) {
    if (auto t = triggers()) t->customFeedForViewController(controller);
}

void KJTipManager::targetSuperTagForViewController(const std::shared_ptr<platform::UIViewController>& controller) {
    if (auto t = triggers()) t->targetSuperTagForViewController(controller);
}

void KJTipManager::superTagEventHandlerV2(const std::shared_ptr<platform::NSObject>& sender) {
    if (auto t = triggers()) t->superTagEventHandlerV2(sender);
}

void KJTipManager::addOffScreenTip(const std::shared_ptr<KJTipElement>& step) {
    if (auto t = triggers()) t->addOffScreenTip(step);
}

void KJTipManager::removeOffScreenTip(const std::shared_ptr<KJTipElement>& step) {
    if (auto t = triggers()) t->removeOffScreenTip(step);
}

void KJTipManager::removeOffScreenTipOnGuideCompletion(const std::shared_ptr<KJTipElement>& step) {
    if (auto t = triggers()) t->removeOffScreenTipOnGuideCompletion(step);
}

void KJTipManager::removeAllOffScreenTips() {
    if (auto t = triggers()) t->removeAllOffScreenTips();
}

void KJTipManager::displayOffScreenTips(const platform::Value& userInfo,
                                        const platform::Notification::ObjectMap& objects) {
    if (auto t = triggers()) t->displayOffScreenTips(userInfo, objects);
}

std::shared_ptr<KJTargettingWidgetV2> KJTipManager::getWidgetTargettingAlgoTool(
    const std::optional<std::string>&) {
    return std::make_shared<KJTargettingWidgetV2>();
}

void KJTipManager::registerGuideBlock(std::shared_ptr<BLQIGuideController> block, const std::string& key) {
    auto controller = std::make_shared<BLQInternalBaseGuideController>();
    controller->setCustomGuideBlock(block);
    if (block) block->setInternalBase(controller);
    std::lock_guard lock(mutex_);
    customGuideBlocks_[key] = std::move(controller);
}

std::shared_ptr<BLQITipViewController> KJTipManager::retrieveGuideBlockForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = customGuideBlocks_.find(key);
    return it == customGuideBlocks_.end() ? nullptr : it->second;
}

}  // namespace brindlecue
