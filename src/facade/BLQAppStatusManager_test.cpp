#include "facade/BLQAppStatusManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "facade/BLQAppStatusFetchHandler.h"
#include "facade/BLQAppStatusManagerDependencies.h"
#include "foundation/BLQFacadeLink.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "support/RecordingLoggerManager.h"
#include "support/SettableAppDetails.h"
#include "support/StubConfigManager.h"

namespace brindlecue {
namespace {

using platform::Clock;
using testsupport::LogLine;

// Records the changes the manager makes, in order, and answers the questions it asks.
class RecordingConfig final : public testsupport::StubConfigManager {
public:
    std::atomic<int64_t> pollInterval{10};
    std::atomic<bool> enabled{true};

    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    int64_t getAppStatusPollInterval() const override { return pollInterval; }
    bool isBrindlecueEnabled() const override { return enabled; }
    std::string getHost() override { return "https://status.example.test"; }

    void setSDKDisabledTime(double t) override { record("disabled " + std::to_string(t)); }
    void setSuperTagDisabledLevel(const std::string& v) override { record("level " + v); }
    void setSuperTagFilter(const std::string& v) override { record("filter " + v); }
    void setAppStatusPollInterval(int64_t s) override { record("interval " + std::to_string(s)); }
    void setLogHandlers(const std::vector<BLQLogHandlerModel>& h) override {
        record("handlers " + std::to_string(h.size()));
    }
    void setDisabledUserEventCodes(const std::vector<int64_t>& c) override {
        record("disabled codes " + std::to_string(c.size()));
    }
    void setPriorityUserEventCodes(const std::vector<int64_t>& c) override {
        record("priority codes " + std::to_string(c.size()));
    }
    void setHost(const std::string& h) override { record("host " + h); }
    void setLogLevel(BLQLoggingLevel l) override { record("log level " + std::to_string(rawValue(l))); }
    void setLastAppStatusFetchTime(platform::Date d) override {
        record("fetched at " + std::to_string(d.timeIntervalSince1970()));
    }

    void record(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

// Records when each fetch was asked for; can answer at once through the handler.
class RecordingFetcher final : public BLQIAppStatusFetcher {
public:
    std::optional<BLQAppStatusModel> answer;

    void fetchAppStatus(const std::string& host, std::shared_ptr<BLQIAppStatusFetchHandler> handler) override {
        {
            std::lock_guard lock(mutex_);
            times_.push_back(Clock::uptime());
            EXPECT_EQ(host, "https://status.example.test");
        }
        if (answer) handler->handleAppStatusSuccess(*answer);
        else handler->handleAppStatusFailure(platform::Error("Test", 1));
    }
    std::vector<double> times() const {
        std::lock_guard lock(mutex_);
        return times_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<double> times_;
};

class FakeStatusDelegate final : public BLQIAppStatusDelegate {
public:
    std::atomic<bool> validInstall{true};
    RecordingConfig* config = nullptr;

    bool hasValidInstall() override { return validInstall; }
    void onAppStatusUpdated(const BLQAppStatusModel& model) override {
        config->record("updated " + model.installToken.value_or(""));
    }
    void onFeedTimeStampUpdated(const std::string& stamp) override { config->record("feed " + stamp); }
};

class BLQAppStatusManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        delegate->config = config.get();
        BLQFacadeLink::setPreviewModeCheck([this] { return inPreviewMode.load(); });
        manager = BLQAppStatusManager::create(std::make_shared<BLQAppStatusManagerDependencies>(
            std::make_shared<testsupport::SettableAppDetails>(), config, fetcher, handler));
        handler->setManager(manager);
        platform::RunLoop::main().runUntilIdle();
    }
    void TearDown() override { BLQFacadeLink::setPreviewModeCheck(nullptr); }

    // Moves the clock on in half seconds, letting every check that falls due finish and schedule
    // the next one.
    void advance(double seconds) {
        for (double done = 0; done < seconds; done += 0.5) {
            Clock::advance(0.5);
            settle();
        }
    }
    void settle() {
        manager->queue()->sync([] {});
        platform::RunLoop::main().runUntilIdle();
        EXPECT_EQ(Clock::pendingCount(), 1u) << "one poll pending at " << Clock::uptime();
    }
    std::vector<double> gapsBetweenFetches() const {
        std::vector<double> gaps;
        double last = 0;
        for (double t : fetcher->times()) {
            gaps.push_back(t - last);
            last = t;
        }
        return gaps;
    }
    std::vector<std::string> pollLines() const {
        std::vector<std::string> out;
        for (const auto& line : logs->linesStartingWith("AppStatus: Polling app status with interval: "))
            out.push_back(line.message.substr(std::string("AppStatus: Polling app status with interval: ").size()));
        return out;
    }

    std::shared_ptr<testsupport::RecordingLoggerManager> logs = testsupport::RecordingLoggerManager::install();
    std::shared_ptr<RecordingConfig> config = std::make_shared<RecordingConfig>();
    std::shared_ptr<RecordingFetcher> fetcher = std::make_shared<RecordingFetcher>();
    std::shared_ptr<BLQAppStatusFetchHandler> handler = std::make_shared<BLQAppStatusFetchHandler>();
    std::shared_ptr<FakeStatusDelegate> delegate = std::make_shared<FakeStatusDelegate>();
    std::atomic<bool> inPreviewMode{false};
    std::shared_ptr<BLQAppStatusManager> manager;
};

TEST_F(BLQAppStatusManagerTest, WithoutAValidInstallItChecksEverySecondAndFetchesNothing) {
    advance(3);  // no delegate yet
    delegate->validInstall = false;
    manager->setDelegate(delegate);
    advance(2);
    EXPECT_EQ(logs->count("AppStatus: Checking if should request App Status"), 5u);
    EXPECT_EQ(logs->count("AppStatus: No valid install found, aborting app status"), 5u);
    EXPECT_EQ(logs->lines().front(), (LogLine{"AppStatus: Checking if should request App Status", 2}));
    EXPECT_TRUE(fetcher->times().empty());
    EXPECT_EQ(manager->timeInterval(), 1.0);

    delegate->validInstall = true;
    config->enabled = false;
    advance(1);
    EXPECT_EQ(logs->count("AppStatus: SDK is disabled, aborting app status"), 1u);
    EXPECT_TRUE(fetcher->times().empty());
    config->enabled = true;
    advance(1);
    EXPECT_EQ(fetcher->times(), std::vector<double>{7.0});
}

TEST_F(BLQAppStatusManagerTest, PollsDoubleFromOneSecondUpToThePollInterval) {
    manager->setDelegate(delegate);
    advance(45);
    EXPECT_EQ(gapsBetweenFetches(), (std::vector<double>{1, 2, 4, 8, 10, 10, 10}));
    EXPECT_EQ(pollLines(), (std::vector<std::string>{"1.0", "2.0", "4.0", "8.0", "10.0", "10.0", "10.0"}));
}

TEST_F(BLQAppStatusManagerTest, AServerIntervalBelowTheCapTakesOverButNeverBelowOneSecond) {
    manager->setDelegate(delegate);
    config->pollInterval = 3;
    advance(9);
    EXPECT_EQ(gapsBetweenFetches(), (std::vector<double>{1, 2, 3, 3}));
    config->pollInterval = 0;
    advance(5);  // the check at 12 still waited 3 s
    EXPECT_EQ(gapsBetweenFetches(), (std::vector<double>{1, 2, 3, 3, 3, 1, 1}));
    EXPECT_EQ(pollLines().back(), "1.0");
}

TEST_F(BLQAppStatusManagerTest, PreviewModePollsEveryTwoSecondsThenDoublingResumes) {
    manager->setDelegate(delegate);
    advance(7);  // checks at 1, 3, 7; the next due at 15
    inPreviewMode = true;
    manager->shouldCheckForAppStatus();
    settle();
    advance(4);
    inPreviewMode = false;
    advance(12);
    // In preview mode from 7 to 11; the check at 13 doubles from 2 s again.
    EXPECT_EQ(gapsBetweenFetches(), (std::vector<double>{1, 2, 4, 0, 2, 2, 2, 4}));
    EXPECT_EQ(pollLines(), (std::vector<std::string>{"1.0", "2.0", "4.0", "8.0", "2.0", "2.0", "2.0", "4.0"}));
}

TEST_F(BLQAppStatusManagerTest, AnExternalCheckReplacesThePendingPoll) {
    manager->setDelegate(delegate);
    advance(2);  // checked at 1; the next poll due at 3
    manager->shouldCheckForAppStatus();
    manager->shouldCheckForAppStatus();
    settle();  // two checks at 2 (intervals 2 and 4): one poll pending, due 8 s later
    advance(7);
    EXPECT_EQ(fetcher->times(), (std::vector<double>{1, 2, 2}));
    advance(1);
    EXPECT_EQ(fetcher->times(), (std::vector<double>{1, 2, 2, 10}));
    EXPECT_EQ(manager->timeInterval(), 10.0);
}

TEST_F(BLQAppStatusManagerTest, AFetchedDocumentIsAppliedInOrderAndStamped) {
    manager->setDelegate(delegate);
    auto model = BLQAppStatusResponseModel::decode(*platform::Value::fromJSON(R"({"app_status": {
        "disabled": 0, "supertags_level": "all", "supertags_filter": "", "app_status_poll_interval": 30,
        "log_handlers": [], "feed_updated": "2024-02-01T00:00:00.000Z", "priority_loglines": [8102],
        "host": "https://eu.example.test", "log_level": 0, "install_token": "tok", "id": 5}})"))
                     .appStatus;
    fetcher->answer = model;
    advance(1);
    const std::string stamp = "fetched at " + std::to_string(platform::Date::now().timeIntervalSince1970());
    EXPECT_EQ(config->calls(), (std::vector<std::string>{
                                   "disabled 0.000000", "level all", "interval 30", "handlers 0",
                                   "feed 2024-02-01T00:00:00.000Z", "disabled codes 0", "priority codes 1",
                                   "host https://eu.example.test", "log level 0", stamp, "updated tok"}));
}

TEST_F(BLQAppStatusManagerTest, AbsentEmptyAndInvalidValuesAreLeftAlone) {
    BLQAppStatusModel model = BLQAppStatusModel::decode(*platform::Value::fromJSON(
        R"({"disabled_loglines": [8051, 8052], "host": "", "feed_updated": "", "log_level": 7})"));
    manager->updateAppStatusModel(model);  // no delegate: nobody told, values still applied
    model.logLevel = -1;
    model.disabledUserEventCodes.reset();
    manager->updateAppStatusModel(model);
    const std::string stamp = "fetched at " + std::to_string(platform::Date::now().timeIntervalSince1970());
    EXPECT_EQ(config->calls(), (std::vector<std::string>{"disabled codes 2", stamp, "disabled codes 0", stamp}));
}

TEST_F(BLQAppStatusManagerTest, TheHandlerPassesDocumentsOnAndDropsFailures) {
    manager->setDelegate(delegate);
    advance(1);  // the fetcher fails: nothing applied, polling goes on
    EXPECT_TRUE(config->calls().empty());
    EXPECT_EQ(manager->timeInterval(), 2.0);

    BLQAppStatusModel model = BLQAppStatusModel::decode(platform::Value::dictionary({{"install_token", "t2"}}));
    handler->handleAppStatusSuccess(model);
    EXPECT_EQ(config->calls().back(), "updated t2");
    auto orphan = std::make_shared<BLQAppStatusFetchHandler>();
    orphan->handleAppStatusSuccess(model);
    orphan->handleAppStatusFailure(platform::Error("Test", 1));
    EXPECT_EQ(config->calls().size(), 3u);
}

}  // namespace
}  // namespace brindlecue
