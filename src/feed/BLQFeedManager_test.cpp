// What the feed manager does with the records of a feed. Fetching and time stamps are shown
// against the sample server (tests/integration/Feed_test.cpp).

#include "feed/BLQFeedManager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "facade/BLQFacadeLink.h"
#include "feed/KJFeedObject.h"
#include "network/BLQIFeedNetworkRequester.h"
#include "platform/foundation/URL.h"
#include "support/RecordingLoggerManager.h"
#include "support/RecordingTipManager.h"
#include "support/StubConfigManager.h"

namespace brindlecue {
namespace {

using platform::Value;
using testing::ElementsAre;

class PruningDelegate final : public BLQIFeedReceivedDelegate {
public:
    void onFeedReceivedSuccessWithResponse(const Value&, const platform::URL&) override {}
    void onFeedReceivedFailureWithError(const platform::Error&) override {}
    void deleteInfiniteGuides() override { ++infiniteDeletions; }
    void deletedDisabledGuides(const std::vector<std::string>& ids) override { kept.push_back(ids); }
    int infiniteDeletions = 0;
    std::vector<std::vector<std::string>> kept;
};

std::shared_ptr<KJFeedObject> record(const char* id) {
    return KJFeedObject::createFromDictionary(Value::dictionary({{"id", id}}));
}

TEST(BLQFeedManager, OnlyACompleteFeedOutsidePreviewModePrunesTheCampaignCache) {
    auto tips = std::make_shared<testsupport::RecordingTipManager>();
    auto delegate = std::make_shared<PruningDelegate>();
    auto manager = std::make_shared<BLQFeedManager>(
        nullptr, std::make_shared<testsupport::StubConfigManager>(), tips, nullptr,
        BLQResponseValidator<BLQFeedValidator>(std::make_shared<BLQFeedValidator>()));
    manager->setDelegate(delegate);

    manager->processFeeds({record("7"), record("9")}, BLQFeedOrigin::completeFeed);
    manager->processFeeds({}, BLQFeedOrigin::completeFeed);
    manager->processFeeds({record("12")}, BLQFeedOrigin::addedGuide);
    manager->processFeeds({}, BLQFeedOrigin::addedGuide);
    BLQFacadeLink::setPreviewModeCheck([] { return true; });
    manager->processFeeds({record("5")}, BLQFeedOrigin::completeFeed);
    BLQFacadeLink::setPreviewModeCheck(nullptr);

    EXPECT_THAT(delegate->kept, ElementsAre(ElementsAre("7", "9")));
    EXPECT_EQ(delegate->infiniteDeletions, 1);
    // Every list reaches the tip engine, the empty ones included.
    auto calls = tips->calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].size(), 2u);
    EXPECT_TRUE(calls[1].empty());
    EXPECT_EQ(calls[2].at(0)->feed_id(), "12");
}

// The received answer is written out whole, so it is made only for a logger that takes its level;
// when one does, the line is the same as ever.
TEST(BLQFeedManager, RendersTheReceivedAnswerOnlyForALoggerThatTakesIt) {
    class Requester final : public BLQIFeedNetworkRequester {
    public:
        void fetchFeeds(BLQRequestSuccessBlock success, BLQRequestFailureBlock) override {
            success(answer, *platform::URL::fromString("https://feeds.test/v3/feeds"));
        }
        Value answer = Value::dictionary({{"count", 1}, {"results", Value::array({Value::dictionary({{"id", 4}})})}});
    };
    class LevelledLogger final : public testsupport::RecordingLoggerManager {
    public:
        int64_t lowest = 0;
        bool wouldLog(int64_t level) const override { return level >= lowest; }
    };
    auto requester = std::make_shared<Requester>();
    auto manager = std::make_shared<BLQFeedManager>(
        nullptr, std::make_shared<testsupport::StubConfigManager>(), std::make_shared<testsupport::RecordingTipManager>(),
        requester, BLQResponseValidator<BLQFeedValidator>(std::make_shared<BLQFeedValidator>()));
    auto logger = std::make_shared<LevelledLogger>();
    testsupport::ScopedLoggerManager scope(logger);

    logger->lowest = rawValue(BLQLoggingLevel::warning);
    manager->fetchFeeds(std::nullopt);
    EXPECT_EQ(logger->count("Feed: Received successfully"), 0u);

    logger->lowest = rawValue(BLQLoggingLevel::info);
    manager->fetchFeeds(std::nullopt);
    EXPECT_THAT(logger->linesStartingWith("Feed: Received successfully"),
                ElementsAre(testsupport::LogLine{
                    "Feed: Received successfully - received JSON: " + requester->answer.description(),
                    rawValue(BLQLoggingLevel::info)}));
}

// An answer the check refuses is reported to the delegate as an error, logged as one, and neither
// handed on nor counted as the last fetch.
TEST(BLQFeedManager, AnAnswerTheCheckRefusesIsReportedAndGoesNoFurther) {
    class Requester final : public BLQIFeedNetworkRequester {
    public:
        void fetchFeeds(BLQRequestSuccessBlock success, BLQRequestFailureBlock) override {
            success(Value::dictionary({{"results", "none"}}), *platform::URL::fromString("https://feeds.test/v3/feeds"));
        }
    };
    class RefusingValidator final : public BLQFeedValidator {
    public:
        bool validateResponse(const Value& received, const BLQFeed* sent, const std::string& prefix) const override {
            EXPECT_EQ(sent, nullptr);
            EXPECT_EQ(prefix, "Feed");
            return received["results"].isArray();
        }
    };
    class Config final : public testsupport::StubConfigManager {
    public:
        void setLastFeedFetchTime(platform::Date date) override { stored.push_back(date); }
        std::vector<platform::Date> stored;
    };
    class Delegate final : public BLQIFeedReceivedDelegate {
    public:
        void onFeedReceivedSuccessWithResponse(const Value& json, const platform::URL&) override {
            received.push_back(json);
        }
        void onFeedReceivedFailureWithError(const platform::Error& error) override { errors.push_back(error); }
        void deleteInfiniteGuides() override {}
        void deletedDisabledGuides(const std::vector<std::string>&) override {}
        std::vector<Value> received;
        std::vector<platform::Error> errors;
    };
    auto config = std::make_shared<Config>();
    auto delegate = std::make_shared<Delegate>();
    auto manager = std::make_shared<BLQFeedManager>(
        nullptr, config, std::make_shared<testsupport::RecordingTipManager>(), std::make_shared<Requester>(),
        BLQResponseValidator<BLQFeedValidator>(std::make_shared<RefusingValidator>()));
    manager->setDelegate(delegate);
    auto logger = testsupport::RecordingLoggerManager::install();

    manager->fetchFeeds(platform::Date::fromTimeIntervalSince1970(1767225600));
    EXPECT_TRUE(delegate->received.empty());
    ASSERT_EQ(delegate->errors.size(), 1u);
    const std::string expected =
        "Feed: Received successfully, but invalid Feed response received from server. Received: " +
        Value::dictionary({{"results", "none"}}).description();
    EXPECT_NE(delegate->errors[0].localizedDescription().find(expected), std::string::npos)
        << delegate->errors[0].localizedDescription();
    const auto lines = logger->linesStartingWith("Feed: ");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, rawValue(BLQLoggingLevel::error));
    EXPECT_EQ(lines[0].message, delegate->errors[0].localizedDescription());
    EXPECT_TRUE(config->stored.empty()) << "a refused answer is no fetch";
}

}  // namespace
}  // namespace brindlecue
