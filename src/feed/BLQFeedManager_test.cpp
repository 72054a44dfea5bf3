#include "feed/BLQFeedManager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "feed/KJFeedObject.h"
#include "foundation/BLQFacadeLink.h"
#include "network/BLQHTTPRequestError.h"
#include "support/RecordingLoggerManager.h"
#include "support/RecordingTipManager.h"
#include "support/StubConfigManager.h"

namespace brindlecue {
namespace {

using platform::Date;
using platform::Value;
using testing::ElementsAre;

class FetchTimeConfig final : public testsupport::StubConfigManager {
public:
    std::optional<Date> lastFetch;
    std::optional<Date> getLastFeedFetchTime() const override { return lastFetch; }
    void setLastFeedFetchTime(Date date) override { lastFetch = date; }
};

// Keeps the callbacks of each request for the test to answer.
class PendingRequester final : public BLQIFeedNetworkRequester {
public:
    struct Request {
        BLQRequestSuccessBlock success;
        BLQRequestFailureBlock failure;
    };
    void fetchFeeds(BLQRequestSuccessBlock success, BLQRequestFailureBlock failure) override {
        requests.push_back({std::move(success), std::move(failure)});
    }
    std::vector<Request> requests;
};

class RecordingDelegate final : public BLQIFeedReceivedDelegate {
public:
    void onFeedReceivedSuccessWithResponse(const Value& response, const platform::URL&) override {
        answers.push_back(response);
    }
    void onFeedReceivedFailureWithError(const platform::Error& error) override { errors.push_back(error); }
    void deleteInfiniteGuides() override { ++infiniteDeletions; }
    void deletedDisabledGuides(const std::vector<std::string>& ids) override { kept.push_back(ids); }

    std::vector<Value> answers;
    std::vector<platform::Error> errors;
    int infiniteDeletions = 0;
    std::vector<std::vector<std::string>> kept;
};

class BLQFeedManagerTest : public testing::Test {
protected:
    void SetUp() override { manager->setDelegate(delegate); }
    void TearDown() override {
        BLQFacadeLink::setPreviewModeCheck(nullptr);
        requester->requests.clear();  // the callbacks keep the manager
    }

    static std::shared_ptr<KJFeedObject> record(const char* id) {
        return KJFeedObject::createFromDictionary(Value::dictionary({{"id", id}}));
    }
    void answer(const Value& json) {
        ASSERT_FALSE(requester->requests.empty());
        requester->requests.back().success(json, *platform::URL::fromString("https://feeds.test/v3/feeds"));
    }

    std::shared_ptr<testsupport::RecordingLoggerManager> logs =
        testsupport::RecordingLoggerManager::install();
    std::shared_ptr<FetchTimeConfig> config = std::make_shared<FetchTimeConfig>();
    std::shared_ptr<PendingRequester> requester = std::make_shared<PendingRequester>();
    std::shared_ptr<testsupport::RecordingTipManager> tips =
        std::make_shared<testsupport::RecordingTipManager>();
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<BLQFeedManager> manager = std::make_shared<BLQFeedManager>(
        nullptr, config, tips, requester,
        BLQResponseValidator<BLQFeedValidator>(std::make_shared<BLQFeedValidator>()));
};

TEST_F(BLQFeedManagerTest, OnlyAStrictlyLaterServerTimeStampFetchesAndBecomesTheLastFetchTime) {
    manager->checkFeedTimeStamp("soon");
    EXPECT_TRUE(requester->requests.empty());
    EXPECT_TRUE(logs->contains("Feed: Couldn't parse the feedTimeStamp to a date: soon", 4));

    manager->checkFeedTimeStamp("2026-01-02T00:00:00.000Z");
    ASSERT_EQ(requester->requests.size(), 1u);
    EXPECT_TRUE(logs->contains("Feed: No previous fetch time, fetching feed now", 2));
    EXPECT_FALSE(config->lastFetch);
    answer(Value::dictionary({{"results", Value::array()}}));
    const Date first = Date::fromTimeIntervalSince1970(1767312000);
    EXPECT_EQ(config->lastFetch, first);
    ASSERT_EQ(delegate->answers.size(), 1u);
    EXPECT_EQ(logs->count("Feed: Received successfully - received JSON: "), 1u);

    manager->checkFeedTimeStamp("1767312000");
    EXPECT_EQ(requester->requests.size(), 1u);
    EXPECT_TRUE(
        logs->contains("Feed: Feed timestamp from server is earlier than local, NOT fetching feed. Server: "
                       "2026-01-02T00:00:00.000Z, local: 2026-01-02T00:00:00.000Z",
                       2));

    // A fetch at session start stores no time; a failed fetch leaves it too.
    manager->fetchFeeds(std::nullopt);
    answer(Value::dictionary());
    manager->checkFeedTimeStamp("2026-01-03");
    ASSERT_EQ(requester->requests.size(), 3u);
    requester->requests.back().failure(BLQHTTPRequestError::unknownError("down").toError());
    EXPECT_EQ(config->lastFetch, first);
    ASSERT_EQ(delegate->errors.size(), 1u);
    EXPECT_EQ(logs->count("Feed: Failed to receive - error: "), 1u);
}

TEST_F(BLQFeedManagerTest, OnlyACompleteFeedPrunesTheCampaignStore) {
    manager->processFeeds({record("7"), record("9")}, BLQFeedOrigin::completeFeed);
    EXPECT_THAT(delegate->kept, ElementsAre(ElementsAre("7", "9")));
    EXPECT_EQ(delegate->infiniteDeletions, 0);

    manager->processFeeds({}, BLQFeedOrigin::completeFeed);
    EXPECT_EQ(delegate->infiniteDeletions, 1);

    manager->processFeeds({record("12")}, BLQFeedOrigin::addedGuide);
    manager->processFeeds({}, BLQFeedOrigin::addedGuide);
    BLQFacadeLink::setPreviewModeCheck([] { return true; });
    manager->processFeeds({record("5")}, BLQFeedOrigin::completeFeed);
    EXPECT_EQ(delegate->kept.size(), 1u);
    EXPECT_EQ(delegate->infiniteDeletions, 1);

    // Every list reaches the tip engine, the empty one included.
    auto calls = tips->calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].size(), 2u);
    EXPECT_TRUE(calls[1].empty());
    EXPECT_EQ(calls[2].at(0)->feed_id(), "12");
}

}  // namespace
}  // namespace brindlecue
