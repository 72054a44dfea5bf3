// The app-status document fetched from the sample server, applied to the configuration, and the
// pause a 429 answer orders, against the real configuration store.

#include <gtest/gtest.h>

#include <mutex>

#include "config/BLQHTTPAPIEndpoints.h"
#include "facade/BLQAppStatusFetchHandler.h"
#include "facade/BLQAppStatusHTTPFetcher.h"
#include "facade/BLQAppStatusManager.h"
#include "facade/BLQAppStatusManagerDependencies.h"
#include "facade/BLQConfigManager.h"
#include "facade/BLQFacadeLink.h"
#include "network/BLQ409HTTPErrorHandler.h"
#include "network/BLQ429HTTPErrorHandler.h"
#include "network/BLQHTTPManager.h"
#include "network/BLQHTTPRequestError.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "support/ConfigStoreLaunch.h"
#include "support/RecordingLoggerManager.h"
#include "support/SampleRoutes.h"
#include "support/SettableAppDetails.h"

namespace brindlecue {
namespace {

using platform::Clock;
using platform::RunLoop;
using testsupport::route;
using Kind = BLQHTTPRequestError::Kind;

class ValidInstall final : public BLQIAppStatusDelegate {
public:
    bool hasValidInstall() override { return true; }
    void onAppStatusUpdated(const BLQAppStatusModel&) override {}
    void onFeedTimeStampUpdated(const std::string&) override {}
};

// Keeps the one outcome of a fetch.
class OutcomeHandler final : public BLQIAppStatusFetchHandler {
public:
    void setManager(std::shared_ptr<BLQIAppStatusManager>) override {}
    void handleAppStatusSuccess(const BLQAppStatusModel& model) override {
        std::lock_guard lock(mutex_);
        ++outcomes_, document = model;
    }
    void handleAppStatusFailure(const platform::Error& e) override {
        std::lock_guard lock(mutex_);
        ++outcomes_, error = BLQHTTPRequestError::fromError(e);
    }
    int outcomes() const {
        std::lock_guard lock(mutex_);
        return outcomes_;
    }
    std::optional<BLQAppStatusModel> document;
    std::optional<BLQHTTPRequestError> error;

private:
    mutable std::mutex mutex_;
    int outcomes_ = 0;
};

const char* kFullDocument = R"({"app_status": {
    "id": 12, "installid": "i-1", "disabled": 0, "log_level": 4,
    "log_handlers": [{"name": "cloud", "log_level": 5}, {"name": "stdout", "log_level": 3}],
    "feed_updated": "2024-02-01T00:00:00.000Z", "host": "https://eu.example.test/",
    "install_token": "tok-9", "supertags_level": "no_clicks", "supertags_filter": "^Home",
    "app_status_poll_interval": 30, "priority_loglines": [8102, 8999], "disabled_loglines": [8051]}})";

class AppStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        server.start();
        store = testsupport::firstLaunchConfigStore();
        config = launchConfig();
        config->setHost(server.baseURL());
        BLQFacadeLink::setConfigManager(config);
        details->setAppKey("key-1");
        fetcher = std::make_shared<BLQAppStatusHTTPFetcher>(http, config, details);
        logs->clear();
    }
    void TearDown() override { BLQFacadeLink::setConfigManager(nullptr); }

    std::shared_ptr<BLQConfigManager> launchConfig() {
        return std::make_shared<BLQConfigManager>(store, std::make_shared<BLQHTTPAPIEndpoints>());
    }
    std::shared_ptr<OutcomeHandler> fetchOnce() {
        auto handler = std::make_shared<OutcomeHandler>();
        fetcher->fetchAppStatus("ignored", handler);
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return handler->outcomes() > 0; }));
        return handler;
    }
    void answerStatus(int status, std::string body, sampleserver::Headers headers = {}) {
        server.clearRoutes();
        server.addRoute(route("GET", "/v3/apps/key-1/status", status, std::move(body), std::move(headers)));
    }
    std::shared_ptr<BLQAppStatusManager> startPolling() {
        auto handler = std::make_shared<BLQAppStatusFetchHandler>();
        auto manager = BLQAppStatusManager::create(
            std::make_shared<BLQAppStatusManagerDependencies>(details, config, fetcher, handler));
        handler->setManager(manager);
        manager->setDelegate(std::make_shared<ValidInstall>());
        RunLoop::main().runUntilIdle();
        return manager;
    }
    size_t settingLines() const { return logs->count("Config: Setting "); }

    sampleserver::SampleServer server;
    std::shared_ptr<testsupport::RecordingLoggerManager> logs =
        testsupport::RecordingLoggerManager::install();
    std::shared_ptr<BLQCoreDataConfigDataStore> store;
    std::shared_ptr<BLQConfigManager> config;
    std::shared_ptr<testsupport::SettableAppDetails> details =
        std::make_shared<testsupport::SettableAppDetails>();
    std::shared_ptr<BLQHTTPManager> http = std::make_shared<BLQHTTPManager>(
        details, std::vector<std::shared_ptr<BLQIHTTPErrorHandler>>{
                     std::make_shared<BLQ409HTTPErrorHandler>(), std::make_shared<BLQ429HTTPErrorHandler>()});
    std::shared_ptr<BLQAppStatusHTTPFetcher> fetcher;
};

TEST_F(AppStatusTest, APolledDocumentIsAppliedToTheConfiguration) {
    answerStatus(200, kFullDocument);
    auto manager = startPolling();
    Clock::advance(1);
    // A setting is logged before it is set: wait for the value itself.
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return config->getLastAppStatusFetchTime().has_value(); }));

    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].method, "GET");
    EXPECT_EQ(journal[0].path, "/v3/apps/key-1/status");
    EXPECT_EQ(config->getSDKDisabledTime(), 0);
    EXPECT_EQ(config->getLogLevel(), BLQLoggingLevel::warning);
    EXPECT_EQ(config->getLogHandlers(),
              (std::vector<BLQLogHandlerModel>{{BLQLogHandlerName::cloud, BLQLoggingLevel::error},
                                               {BLQLogHandlerName::stdout_, BLQLoggingLevel::notice}}));
    EXPECT_EQ(config->getHost(), "https://eu.example.test");
    EXPECT_EQ(config->getSuperTagDisabledLevel(), "no_clicks");
    EXPECT_EQ(config->getSuperTagFilter(), "^Home");
    EXPECT_EQ(config->getAppStatusPollInterval(), 30);
    EXPECT_EQ(config->getPriorityUserEventCodes(), (std::vector<int64_t>{8102, 8999}));
    EXPECT_EQ(config->getDisabledUserEventCodes(), std::vector<int64_t>{8051});
    EXPECT_EQ(config->getLastAppStatusFetchTime(), platform::Date::now());
    // Nine of the ten steps change a setting (the feed timestamp goes to the facade), then the
    // fetch time is stamped.
    EXPECT_EQ(logs->linesStartingWith("Config: Setting ").size(), 10u);
    EXPECT_EQ(logs->linesStartingWith("AppStatus: Parsed response as AppStatusModel: ").size(), 1u);
}

TEST_F(AppStatusTest, DocumentsThatDoNotDecodeChangeNothing) {
    struct Case {
        int status;
        const char* body;
        Kind kind;
        const char* message;
    };
    const Case cases[] = {
        {200, R"({"app_status": {"log_level": "3", "host": "https://x.example.test"}})",
         Kind::failedToParseResponse, "AppStatus: Failed to parse response body as AppStatusModel"},
        {200, R"({"status": {"log_level": 3}})", Kind::failedToParseResponse,
         "AppStatus: Failed to parse response body as AppStatusModel"},
        {200, R"({"app_status": {"log_level": 3, "host": "https://x.exa)", Kind::unknownError, nullptr},
        // The client fails error statuses itself; the answer handling passes that error on.
        {500, R"({"app_status": {"log_level": 3}})", Kind::unknownError,
         "The operation couldn’t be completed. (HTTPManager error 500.)"},
    };
    for (const Case& c : cases) {
        answerStatus(c.status, c.body);
        auto outcome = fetchOnce();
        ASSERT_TRUE(outcome->error) << c.body;
        EXPECT_EQ(outcome->error->kind(), c.kind) << c.body;
        if (c.message) {
            EXPECT_EQ(outcome->error->message().rfind(c.message, 0), 0u) << outcome->error->message();
        }
    }
    EXPECT_EQ(server.journal().size(), 4u);
    EXPECT_EQ(settingLines(), 0u);
    EXPECT_EQ(config->getHost(), server.baseURL());
    EXPECT_EQ(config->getLogLevel(), BLQLoggingLevel::info);

    details->setAppKey(std::nullopt);
    auto outcome = fetchOnce();
    EXPECT_EQ(outcome->error->kind(), Kind::invalidURL);
    EXPECT_EQ(outcome->error->message(), "AppStatus: No AppKey found yet");
    EXPECT_EQ(server.journal().size(), 4u);
}

TEST_F(AppStatusTest, ATooManyRequestsAnswerPausesPollingAcrossARestart) {
    answerStatus(429, "", {{"retry-after", "120"}});
    auto manager = startPolling();
    Clock::advance(1);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !config->isBrindlecueEnabled(); }));
    const double until = platform::Date::now().timeIntervalSinceReferenceDate() + 120;
    EXPECT_EQ(config->getSDKDisabledTime(), until);

    // The next checks are skipped while the pause lasts.
    manager->queue()->sync([] {});
    RunLoop::main().runUntilIdle();
    Clock::advance(2);
    manager->queue()->sync([] {});
    EXPECT_EQ(logs->count("AppStatus: SDK is disabled, aborting app status"), 1u);
    EXPECT_EQ(server.journal().size(), 1u);

    // The app restarts: the pause is still there, and lifts by itself when its time has come.
    store = testsupport::relaunchConfigStore();
    auto relaunched = launchConfig();
    EXPECT_EQ(relaunched->getSDKDisabledTime(), until);
    EXPECT_FALSE(relaunched->isBrindlecueEnabled());
    Clock::advance(117);
    EXPECT_FALSE(relaunched->isBrindlecueEnabled());
    Clock::advance(1);
    EXPECT_TRUE(relaunched->isBrindlecueEnabled());
}

}  // namespace
}  // namespace brindlecue
