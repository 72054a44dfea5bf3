// The campaign feed fetched from the sample server, at session start and when the app status
// announces a later feed, and taken into the campaign cache; the facade's part is played here.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "config/BLQHTTPAPIEndpoints.h"
#include "facade/BLQAppStatusFetchHandler.h"
#include "facade/BLQAppStatusHTTPFetcher.h"
#include "facade/BLQAppStatusManager.h"
#include "facade/BLQAppStatusManagerDependencies.h"
#include "facade/BLQConfigManager.h"
#include "feed/BLQFeedManager.h"
#include "feed/KJFeedObject.h"
#include "feed/KJTipSeriesElement.h"
#include "foundation/KJLog.h"
#include "network/BLQFeedHTTPNetworkRequester.h"
#include "network/BLQHTTPManager.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
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

class FacadeStandIn final : public BLQIFeedReceivedDelegate, public BLQIAppStatusDelegate {
public:
    std::weak_ptr<BLQIFeedManager> feeds;
    std::atomic<int> failures{0};

    void onFeedReceivedSuccessWithResponse(const Value& response, const platform::URL&) override {
        if (!response["results"].isArray()) return;
        std::vector<std::shared_ptr<KJFeedObject>> records;
        for (const Value& item : *response["results"].getArray())
            if (auto record = KJFeedObject::createFromDictionary(item)) records.push_back(record);
        feeds.lock()->processFeeds(records, BLQFeedOrigin::completeFeed);
    }
    void onFeedReceivedFailureWithError(const platform::Error&) override { ++failures; }
    void deleteInfiniteGuides() override { KJDao::deleteSeriesInfiniteCampaign(); }
    void deletedDisabledGuides(const std::vector<std::string>& ids) override {
        KJDao::deleteDisabledCampaign(ids);
    }
    bool hasValidInstall() override { return true; }
    void onAppStatusUpdated(const BLQAppStatusModel&) override {}
    void onFeedTimeStampUpdated(const std::string& timeStamp) override {
        feeds.lock()->checkFeedTimeStamp(timeStamp);
    }
};

std::string item(const std::string& id, const std::string& more = "", const std::string& appKey = "key-1") {
    return R"({"id": )" + id + R"(, "app_key": ")" + appKey + R"(", "campaignid": "c)" + id + R"(", )" +
           more +
           R"("activates": "2025-01-01T00:00:00.000Z", "expires": "2027-01-01T00:00:00.000Z",
        "modified": "2025-06-01T00:00:00.000Z", "content": {"setup": {"tool": "tip", "view": "Home",
        "display": ["dom"], "launcher": {"type": "page-open"}}, "payload": [{"meta": {"tool": "tip", "view": "Home"}}]}})";
}

class FeedTest : public testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        server.start();
        config->setHost(server.baseURL());
        details->setAppKey("key-1");
        auto cache = KJDBManager::sharedInstance();
        cache->setCollaborators({.appKey = [] { return std::optional<std::string>("key-1"); },
                                 .createFromFeed = nullptr,
                                 .isFeedValid = nullptr,
                                 .evaluate = nullptr});
        KJTipSeriesElement::registerWithCampaignCache(*cache);
        manager->setDelegate(facade);
        facade->feeds = manager;
        KJLogSetObserver([this](int, const std::string& line) { legacyLogs->log(line, 1); });
    }
    void answerFeed(const std::string& body) { server.addRoute(route("GET", "/v3/feeds", 200, body)); }
    size_t feedRequests() const {
        auto journal = server.journal();
        return std::count_if(journal.begin(), journal.end(),
                             [](const auto& r) { return r.path == "/v3/feeds"; });
    }
    std::vector<std::string> storedIds() const {
        std::vector<std::string> ids;
        for (const auto& series : KJDBManager::sharedInstance()->findAllCampaignFeeds())
            ids.push_back(*std::dynamic_pointer_cast<KJTipSeriesElement>(series)->feed_id);
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    bool intakes(size_t count) {
        return RunLoop::main().runUntil([&] { return tips->calls().size() >= count; });
    }

    testsupport::ScopedFakeTipElements fakes;
    sampleserver::SampleServer server;
    std::shared_ptr<testsupport::RecordingLoggerManager> logs =
        testsupport::RecordingLoggerManager::install();
    std::shared_ptr<testsupport::RecordingLoggerManager> legacyLogs =
        std::make_shared<testsupport::RecordingLoggerManager>();
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
};

TEST_F(FeedTest, TheFeedIsTakenInAtSessionStartAndOnALaterTimeStampAndOnlyACompleteAnswerChangesTheCache) {
    // At session start: one good item among items without an id, of another app, of wrong types.
    answerFeed(R"({"results": [)" + item("1") + R"(, {"app_key": "key-1", "content": {}}, )" +
               item("3", "", "key-9") +
               R"(, {"id": 4, "app_key": "key-1", "content": "setup", "priority": {}, "modified": 12}, )" +
               item("5", R"("repeat_conditions": [{"type": "seen_count", "value": 2}], )") + "]}");
    manager->fetchFeeds(std::nullopt);
    ASSERT_TRUE(intakes(1));
    EXPECT_EQ(tips->calls()[0].size(), 4u);
    EXPECT_EQ(storedIds(), (std::vector<std::string>{"1", "5"}));
    EXPECT_EQ(legacyLogs->count("Feed: received a feed item without an id"), 1u);
    EXPECT_EQ(legacyLogs->count("KJDB: received a feed but not to save it, as App key  is different"), 1u);
    EXPECT_EQ(legacyLogs->count("KJDB: received a feed but not to save it, as invalid feed payload"), 1u);
    EXPECT_FALSE(config->getLastFeedFetchTime());
    manager->checkFeedTimeStamp("soon");
    EXPECT_EQ(logs->count("Feed: Couldn't parse the feedTimeStamp to a date: soon"), 1u);

    // The app status announces a feed: fetched once, not again for the same time stamp.
    server.addRoute(
        route("GET", "/v3/apps/key-1/status", 200, R"({"app_status": {"feed_updated": "2026-01-01"}})"));
    answerFeed(R"({"results": [)" + item("5") + "," +
               item("6", R"("deletion_conditions": [{"repeat": "infinite"}], )") + "]}");
    auto handler = std::make_shared<BLQAppStatusFetchHandler>();
    auto polling = BLQAppStatusManager::create(std::make_shared<BLQAppStatusManagerDependencies>(
        details, config, std::make_shared<BLQAppStatusHTTPFetcher>(http, config, details), handler));
    handler->setManager(polling);
    polling->setDelegate(facade);
    Clock::advance(1);
    ASSERT_TRUE(intakes(2));
    EXPECT_EQ(config->getLastFeedFetchTime(), platform::Date::fromTimeIntervalSince1970(1767225600));
    EXPECT_EQ(storedIds(), (std::vector<std::string>{"5", "6"}));
    Clock::advance(2);
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return logs->count("Feed: Feed timestamp from server is earlier") > 0; }));
    EXPECT_EQ(feedRequests(), 2u);

    // A truncated or non-JSON answer, or one without results, changes nothing stored.
    for (const char* body : {R"({"results": [{"id": 2, "app_key": "key-1")", "<html>busy</html>"}) {
        const int failures = facade->failures;
        answerFeed(body);
        manager->checkFeedTimeStamp("2026-06-01T00:00:00.000Z");
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return facade->failures > failures; })) << body;
    }
    answerFeed(R"({"message": "try later"})");
    manager->fetchFeeds(std::nullopt);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return logs->count("Feed: Received successfully") == 3; }));
    EXPECT_EQ(tips->calls().size(), 2u);
    EXPECT_EQ(storedIds(), (std::vector<std::string>{"5", "6"}));
    EXPECT_EQ(config->getLastFeedFetchTime(), platform::Date::fromTimeIntervalSince1970(1767225600));

    // A later, empty feed deletes only the campaigns that are never to be deleted.
    server.addRoute(
        route("GET", "/v3/apps/key-1/status", 200, R"({"app_status": {"feed_updated": "2026-01-02"}})"));
    answerFeed(R"({"results": []})");
    Clock::advance(4);
    ASSERT_TRUE(intakes(3));
    EXPECT_EQ(feedRequests(), 6u);
    EXPECT_EQ(storedIds(), std::vector<std::string>{"5"});
    polling->setDelegate(nullptr);
}

}  // namespace
}  // namespace brindlecue
