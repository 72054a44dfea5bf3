#include "facade/BLQAppStatusManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "config/BLQHTTPAPIEndpoints.h"
#include "facade/BLQAppStatusFetchHandler.h"
#include "facade/BLQAppStatusManagerDependencies.h"
#include "facade/BLQConfigManager.h"
#include "facade/BLQFacadeLink.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "support/ConfigStoreLaunch.h"
#include "support/RecordingLoggerManager.h"
#include "support/SettableAppDetails.h"

namespace brindlecue {
namespace {

using platform::Clock;
using testsupport::LogLine;

// Records when each fetch was asked for; answers at once through the handler, with a failure
// unless a document is set.
class RecordingFetcher final : public BLQIAppStatusFetcher {
public:
    std::optional<BLQAppStatusModel> answer;

    void fetchAppStatus(const std::string&, std::shared_ptr<BLQIAppStatusFetchHandler> handler) override {
        {
            std::lock_guard lock(mutex_);
            times_.push_back(Clock::uptime());
        }
        if (answer)
            handler->handleAppStatusSuccess(*answer);
        else
            handler->handleAppStatusFailure(platform::Error("Test", 1));
    }
    std::vector<double> times() const {
        std::lock_guard lock(mutex_);
        return times_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<double> times_;
};

// Writes what it is told into the same log as the configuration's changes, so that the order of
// both can be read back.
class LoggingStatusDelegate final : public BLQIAppStatusDelegate, public BLQILoggable {
public:
    std::atomic<bool> validInstall{true};

    bool hasValidInstall() override { return validInstall; }
    void onAppStatusUpdated(const BLQAppStatusModel& model) override {
        log("Delegate: updated " + model.installToken.value_or(""), BLQLoggingLevel::info);
    }
    void onFeedTimeStampUpdated(const std::string& stamp) override {
        log("Delegate: feed " + stamp, BLQLoggingLevel::info);
    }
};

class BLQAppStatusManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        config = std::make_shared<BLQConfigManager>(testsupport::firstLaunchConfigStore(),
                                                    std::make_shared<BLQHTTPAPIEndpoints>());
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
    // The configuration's changes and the delegate's calls, in order.
    std::vector<std::string> applied() const {
        std::vector<std::string> out;
        for (const auto& line : logs->lines()) {
            if (line.message.rfind("Config: Setting ", 0) == 0) out.push_back(line.message.substr(16));
            if (line.message.rfind("Delegate: ", 0) == 0) out.push_back(line.message);
        }
        return out;
    }
    std::vector<std::string> pollLines() const {
        std::vector<std::string> out;
        for (const auto& line : logs->linesStartingWith("AppStatus: Polling app status with interval: "))
            out.push_back(
                line.message.substr(std::string("AppStatus: Polling app status with interval: ").size()));
        return out;
    }

    std::shared_ptr<testsupport::RecordingLoggerManager> logs =
        testsupport::RecordingLoggerManager::install();
    std::shared_ptr<BLQConfigManager> config;
    std::shared_ptr<RecordingFetcher> fetcher = std::make_shared<RecordingFetcher>();
    std::shared_ptr<BLQAppStatusFetchHandler> handler = std::make_shared<BLQAppStatusFetchHandler>();
    std::shared_ptr<LoggingStatusDelegate> delegate = std::make_shared<LoggingStatusDelegate>();
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
    config->setSDKDisabledTime(-1);
    advance(1);
    EXPECT_EQ(logs->count("AppStatus: SDK is disabled, aborting app status"), 1u);
    EXPECT_TRUE(fetcher->times().empty());
    config->setSDKDisabledTime(0);
    advance(1);
    EXPECT_EQ(fetcher->times(), std::vector<double>{7.0});
}

TEST_F(BLQAppStatusManagerTest, PollsDoubleFromOneSecondUpToThePollInterval) {
    manager->setDelegate(delegate);
    advance(45);  // every fetch fails: nothing is applied and polling goes on
    EXPECT_TRUE(applied().empty());
    EXPECT_EQ(gapsBetweenFetches(), (std::vector<double>{1, 2, 4, 8, 10, 10, 10}));
    EXPECT_EQ(pollLines(), (std::vector<std::string>{"1.0", "2.0", "4.0", "8.0", "10.0", "10.0", "10.0"}));
}

TEST_F(BLQAppStatusManagerTest, AServerIntervalBelowTheCapTakesOverButNeverBelowOneSecond) {
    manager->setDelegate(delegate);
    config->setAppStatusPollInterval(3);
    advance(9);
    EXPECT_EQ(gapsBetweenFetches(), (std::vector<double>{1, 2, 3, 3}));
    config->setAppStatusPollInterval(0);
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
    EXPECT_EQ(pollLines(),
              (std::vector<std::string>{"1.0", "2.0", "4.0", "8.0", "2.0", "2.0", "2.0", "4.0"}));
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
    fetcher->answer = BLQAppStatusResponseModel::decode(*platform::Value::fromJSON(R"({"app_status": {
        "disabled": 0, "supertags_level": "all", "supertags_filter": "", "app_status_poll_interval": 30,
        "log_handlers": [], "feed_updated": "2024-02-01T00:00:00.000Z", "priority_loglines": [8102],
        "host": "https://eu.example.test", "log_level": 0, "install_token": "tok", "id": 5}})"))
                          .appStatus;
    advance(1);
    EXPECT_EQ(applied(), (std::vector<std::string>{
                             "BLQ_CONFIG_SDK_DISABLED_TIME with value: 0",
                             "BLQ_CONFIG_SUPERTAG_LEVEL with value: all",
                             "BLQ_CONFIG_POLL_INTERVAL with value: 30",
                             "BLQ_CONFIG_LOG_HANDLERS with value: []",
                             "Delegate: feed 2024-02-01T00:00:00.000Z",
                             "BLQ_CONFIG_DISABLECODES with value: []",
                             "BLQ_CONFIG_PRIORITYCODES with value: [8102]",
                             "BLQ_CONFIG_ALIVE_HOST with value: https://eu.example.test",
                             "BLQ_CONFIG_DEBUG_LOG_LEVEL with value: trace",
                             "BLQ_CONFIG_LAST_APPSTATUS_FETCH_TIME with value: 2026-01-01T00:00:01.000Z",
                             "Delegate: updated tok",
                         }));
}

TEST_F(BLQAppStatusManagerTest, AbsentEmptyAndInvalidValuesAreLeftAlone) {
    config->setDisabledUserEventCodes({8051});
    config->setLogLevel(BLQLoggingLevel::warning);
    logs->clear();
    BLQAppStatusModel model = BLQAppStatusModel::decode(*platform::Value::fromJSON(
        R"({"priority_loglines": [1, 2], "host": "", "feed_updated": "", "log_level": 7})"));
    manager->updateAppStatusModel(model);  // no delegate: nobody told, the values still applied
    EXPECT_EQ(applied(), (std::vector<std::string>{
                             "BLQ_CONFIG_DISABLECODES with value: []",
                             "BLQ_CONFIG_PRIORITYCODES with value: [1, 2]",
                             "BLQ_CONFIG_LAST_APPSTATUS_FETCH_TIME with value: 2026-01-01T00:00:00.000Z",
                         }));
    EXPECT_EQ(config->getLogLevel(), BLQLoggingLevel::warning);
}

}  // namespace
}  // namespace brindlecue
