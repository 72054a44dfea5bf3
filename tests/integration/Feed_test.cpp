// The campaign feed fetched from the sample server at session start and when the app status
// announces a later feed, taken into the campaign cache, with the facade's part played here.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "facade/BLQAppStatusFetchHandler.h"
#include "facade/BLQAppStatusHTTPFetcher.h"
#include "facade/BLQAppStatusManager.h"
#include "facade/BLQAppStatusManagerDependencies.h"
#include "facade/BLQConfigManager.h"
#include "facade/BLQSessionManager.h"
#include "feed/BLQFeedManager.h"
#include "feed/KJFeedObject.h"
#include "feed/KJTipSeriesElement.h"
#include "foundation/BLQFacadeLink.h"
#include "foundation/KJLog.h"
#include "network/BLQFeedHTTPNetworkRequester.h"
#include "network/BLQHTTPAPIEndpoints.h"
#include "network/BLQHTTPManager.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "storage/BLQCoreDataInstallDataStore.h"
#include "storage/BLQCoreDataSessionDataStore.h"
#include "storage/KJDBManager.h"
#include "storage/KJDao.h"
#include "support/ConfigStoreLaunch.h"
#include "support/FakeTipElements.h"
#include "support/RecordingLoggerManager.h"
#include "support/RecordingTipManager.h"
#include "support/SampleRoutes.h"
#include "support/SettableAppDetails.h"

namespace brindlecue {
namespace {

using platform::Clock;
using platform::RunLoop;
using platform::Value;
using testsupport::route;

// What the facade does with the feed manager's news.
class FacadeStandIn final : public BLQIFeedReceivedDelegate, public BLQIAppStatusDelegate {
public:
    std::weak_ptr<BLQIFeedManager> feeds;
    std::atomic<int> failures{0};

    void onFeedReceivedSuccessWithResponse(const Value& response, const platform::URL&) override {
        const platform::Array* results = response["results"].getArray();
        if (!results) return;
        std::vector<std::shared_ptr<KJFeedObject>> records;
        for (const Value& item : *results) {
            if (auto record = KJFeedObject::createFromDictionary(item)) records.push_back(record);
        }
        if (auto manager = feeds.lock()) manager->processFeeds(records, BLQFeedOrigin::completeFeed);
    }
    void onFeedReceivedFailureWithError(const platform::Error&) override { ++failures; }
    void deleteInfiniteGuides() override { KJDao::deleteSeriesInfiniteCampaign(); }
    void deletedDisabledGuides(const std::vector<std::string>& ids) override {
        KJDao::deleteDisabledCampaign(ids);
    }

    bool hasValidInstall() override { return true; }
    void onAppStatusUpdated(const BLQAppStatusModel&) override {}
    void onFeedTimeStampUpdated(const std::string& timeStamp) override {
        if (auto manager = feeds.lock()) manager->checkFeedTimeStamp(timeStamp);
    }
};

std::string item(const std::string& id, const std::string& modified, const std::string& appKey = "key-1") {
    return R"({"id": )" + id + R"(, "app_key": ")" + appKey + R"(", "campaignid": "c)" + id +
           R"(", "activates": "2025-01-01T00:00:00.000Z", "expires": "2027-01-01T00:00:00.000Z",
        "modified": ")" +
           modified + R"(", "repeat_conditions": [{"type": "seen_count", "op": "lt", "value": 2}],
        "content": {"setup": {"tool": "tip", "view": "Home", "display": ["dom"], "launcher": {"type": "page-open"}},
                    "payload": [{"meta": {"tool": "tip", "view": "Home"}}]}})";
}

// A campaign that stays until the feed is empty.
std::string infiniteItem(const std::string& id) {
    std::string text = item(id, "2025-06-01T00:00:00.000Z");
    const std::string key = R"("repeat_conditions")";
    return text.replace(text.find(key), key.size(),
                        R"("deletion_conditions": [{"repeat": "infinite"}], )" + key);
}

class FeedTest : public testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        server.start();
        config->setHost(server.baseURL());
        details->setAppKey("key-1");
        auto cache = KJDBManager::sharedInstance();
        cache->setCollaborators({.appKey = [] { return std::optional<std::string>("key-1"); }});
        KJTipSeriesElement::registerWithCampaignCache(*cache);
        manager->setDelegate(facade);
        facade->feeds = manager;
        KJLogSetObserver([this](int, const std::string& line) {
            std::lock_guard lock(mutex);
            legacyLog.push_back(line);
        });
    }

    void answerFeed(int status, const std::string& body) {
        server.addRoute(route("GET", "/v3/feeds", status, body));
    }
    size_t feedRequests() const {
        auto journal = server.journal();
        return static_cast<size_t>(std::count_if(journal.begin(), journal.end(),
                                                 [](const auto& r) { return r.path == "/v3/feeds"; }));
    }
    // The feed ids of the campaigns in the cache.
    std::vector<std::string> storedIds() const {
        std::vector<std::string> ids;
        for (const auto& series : KJDBManager::sharedInstance()->findAllCampaignFeeds())
            ids.push_back(std::dynamic_pointer_cast<KJTipSeriesElement>(series)->feed_id.value_or(""));
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    bool logged(const std::string& prefix) {
        std::lock_guard lock(mutex);
        return std::any_of(legacyLog.begin(), legacyLog.end(),
                           [&](const auto& l) { return l.rfind(prefix, 0) == 0; });
    }
    bool waitForCalls(size_t count) {
        return RunLoop::main().runUntil([&] { return tips->calls().size() >= count; });
    }

    testsupport::ScopedFakeTipElements fakes;
    sampleserver::SampleServer server;
    std::shared_ptr<testsupport::RecordingLoggerManager> logs =
        testsupport::RecordingLoggerManager::install();
    std::shared_ptr<BLQConfigManager> config = std::make_shared<BLQConfigManager>(
        testsupport::firstLaunchConfigStore(), std::make_shared<BLQHTTPAPIEndpoints>());
    std::shared_ptr<testsupport::SettableAppDetails> details =
        std::make_shared<testsupport::SettableAppDetails>();
    std::shared_ptr<BLQHTTPManager> http =
        std::make_shared<BLQHTTPManager>(details, std::vector<std::shared_ptr<BLQIHTTPErrorHandler>>{});
    std::shared_ptr<testsupport::RecordingTipManager> tips =
        std::make_shared<testsupport::RecordingTipManager>(true);
    std::shared_ptr<BLQFeedManager> manager = std::make_shared<BLQFeedManager>(
        nullptr, config, tips, std::make_shared<BLQFeedHTTPNetworkRequester>(http, config),
        BLQResponseValidator<BLQFeedValidator>(std::make_shared<BLQFeedValidator>()));
    std::shared_ptr<FacadeStandIn> facade = std::make_shared<FacadeStandIn>();
    std::mutex mutex;
    std::vector<std::string> legacyLog;
};

TEST_F(FeedTest, ASessionStartAndALaterFeedTimeStampFetchTheFeedAndPruneTheCache) {
    answerFeed(
        200, R"({"results": [)" + item("1", "2025-06-01T00:00:00.000Z") + "," +
                 R"({"app_key": "key-1", "content": {}},)" + item("3", "2025-06-01T00:00:00.000Z", "key-9") +
                 "," +
                 R"({"id": 4, "app_key": "key-1", "content": "setup", "priority": {}, "modified": 12},)" +
                 item("5", "2025-06-01T00:00:00.000Z") + "]}");

    // The facade fetches once the new session of the install exists.
    auto context = BLQCoreData::sharedInstance().backgroundContext();
    auto sessions =
        std::make_shared<BLQSessionManager>(std::make_shared<BLQCoreDataSessionDataStore>(context), details);
    std::atomic<bool> started{false};
    auto installs = std::make_shared<BLQCoreDataInstallDataStore>(context);
    installs->createInstallForAppKey("key-1", [&](auto result) {
        sessions->createNewSession(
            std::get<std::shared_ptr<BLQInstallDTO>>(result),
            [&](auto) { manager->fetchFeeds(std::nullopt), started = true; }, [&](const SessionError&) {});
    });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return started.load(); }));
    ASSERT_TRUE(waitForCalls(1));
    EXPECT_EQ(tips->calls()[0].size(), 4u);
    EXPECT_EQ(storedIds(), (std::vector<std::string>{"1", "5"}));
    EXPECT_TRUE(logged("Feed: received a feed item without an id"));
    EXPECT_TRUE(logged("KJDB: received a feed but not to save it, as App key  is different"));
    EXPECT_TRUE(logged("KJDB: received a feed but not to save it, as invalid feed payload"));
    EXPECT_FALSE(config->getLastFeedFetchTime());
    auto campaign = std::dynamic_pointer_cast<KJTipSeriesElement>(
        KJDBManager::sharedInstance()->findTipSeriesByFeedId("5"));
    ASSERT_TRUE(campaign);
    EXPECT_EQ(campaign->repeat_conditions.at(0)->currentValue, "0");

    // The app status announces a feed: fetched once, then not again for the same time stamp.
    server.addRoute(route("GET", "/v3/apps/key-1/status", 200,
                          R"({"app_status": {"feed_updated": "2026-01-01T00:00:00.000Z"}})"));
    answerFeed(200,
               R"({"results": [)" + item("5", "2025-07-01T00:00:00.000Z") + "," + infiniteItem("6") + "]}");
    auto handler = std::make_shared<BLQAppStatusFetchHandler>();
    auto polling = BLQAppStatusManager::create(std::make_shared<BLQAppStatusManagerDependencies>(
        details, config, std::make_shared<BLQAppStatusHTTPFetcher>(http, config, details), handler));
    handler->setManager(polling);
    polling->setDelegate(facade);
    Clock::advance(1);
    ASSERT_TRUE(waitForCalls(2));
    EXPECT_EQ(config->getLastFeedFetchTime(), platform::Date::fromTimeIntervalSince1970(1767225600));
    EXPECT_EQ(storedIds(), (std::vector<std::string>{"5", "6"}));
    Clock::advance(2);
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return logs->count("Feed: Feed timestamp from server is earlier") > 0; }));
    EXPECT_EQ(feedRequests(), 2u);

    server.addRoute(route("GET", "/v3/apps/key-1/status", 200,
                          R"({"app_status": {"feed_updated": "2026-01-01T00:00:01.000Z"}})"));
    answerFeed(200, R"({"results": []})");
    Clock::advance(4);
    ASSERT_TRUE(waitForCalls(3));
    EXPECT_EQ(feedRequests(), 3u);
    EXPECT_TRUE(tips->calls()[2].empty());
    // An empty feed deletes only the campaigns that are never to be deleted.
    EXPECT_EQ(storedIds(), std::vector<std::string>{"5"});
    polling->setDelegate(nullptr);
}

TEST_F(FeedTest, AnAnswerThatIsNotACompleteFeedChangesNothingStored) {
    answerFeed(200, R"({"results": [)" + item("1", "2025-06-01T00:00:00.000Z") + "]}");
    manager->checkFeedTimeStamp("2025-12-01T00:00:00.000Z");
    ASSERT_TRUE(waitForCalls(1));
    const auto lastFetch = config->getLastFeedFetchTime();
    ASSERT_TRUE(lastFetch);

    int failures = 0;
    for (const char* body : {R"({"results": [{"id": 2, "app_key": "key-1")", "<html>busy</html>"}) {
        answerFeed(200, body);
        manager->checkFeedTimeStamp("2026-01-01T00:00:00.000Z");
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return facade->failures.load() > failures; })) << body;
        failures = facade->failures.load();
    }
    answerFeed(200, R"({"message": "try later"})");
    manager->fetchFeeds(std::nullopt);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return logs->count("Feed: Received successfully") == 2; }));
    EXPECT_EQ(feedRequests(), 4u);
    EXPECT_EQ(tips->calls().size(), 1u);
    EXPECT_EQ(storedIds(), std::vector<std::string>{"1"});
    EXPECT_EQ(config->getLastFeedFetchTime(), lastFetch);
}

}  // namespace
}  // namespace brindlecue
