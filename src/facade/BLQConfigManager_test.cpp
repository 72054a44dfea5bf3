#include "facade/BLQConfigManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "config/BLQConfigDefaults.h"
#include "config/BLQConfigKeys.h"
#include "config/BLQHTTPAPIEndpoints.h"
#include "platform/dispatch/Clock.h"
#include "support/ConfigStoreLaunch.h"
#include "support/RecordingLoggerManager.h"

namespace brindlecue {
namespace {

using platform::Clock;
using platform::Date;
using testsupport::LogLine;

class CountingHostDelegate final : public BLQIConfigManagerDelegate {
public:
    void hostDidChange() override { ++changes; }
    std::atomic<int> changes{0};
};

class BLQConfigManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        store = testsupport::firstLaunchConfigStore();
        manager = launch();
    }
    std::shared_ptr<BLQConfigManager> launch() {
        return std::make_shared<BLQConfigManager>(store, std::make_shared<BLQHTTPAPIEndpoints>());
    }
    // The next launch of the app: the stack reloaded from disk, a new manager over it.
    std::shared_ptr<BLQConfigManager> relaunch() {
        store = testsupport::relaunchConfigStore();
        return launch();
    }
    std::optional<std::string> storedText(BLQConfigKeys key) {
        testsupport::settleConfigStore();
        return store->getConfigSetting<std::string>(std::string(rawValue(key)));
    }
    void storeText(BLQConfigKeys key, const std::string& text) {
        store->setConfigSetting(std::string(rawValue(key)), text);
        testsupport::settleConfigStore();
    }
    std::vector<std::string> settingLines() const {
        std::vector<std::string> out;
        for (const auto& line : logs->linesStartingWith("Config: Setting ")) {
            EXPECT_EQ(line.level, 2);
            out.push_back(line.message);
        }
        return out;
    }

    std::shared_ptr<testsupport::RecordingLoggerManager> logs =
        testsupport::RecordingLoggerManager::install();
    std::shared_ptr<BLQCoreDataConfigDataStore> store;
    std::shared_ptr<BLQConfigManager> manager;
};

TEST(BLQConfigKeys, TwentyOneKeysMatchedExactly) {
    for (int i = 0; i < kBLQConfigKeyCount; ++i) {
        auto key = static_cast<BLQConfigKeys>(i);
        EXPECT_EQ(BLQConfigKeysFromRawValue(rawValue(key)), key);
    }
    EXPECT_EQ(rawValue(BLQConfigKeys::logLevel), "BLQ_CONFIG_DEBUG_LOG_LEVEL");
    EXPECT_FALSE(BLQConfigKeysFromRawValue("blq_config_app_key"));
}

TEST_F(BLQConfigManagerTest, AFirstLaunchReadsTheDefaults) {
    EXPECT_EQ(manager->getAppKey(), "");
    EXPECT_FALSE(manager->getAppId());
    EXPECT_EQ(manager->getAppStatusPollInterval(), 10);
    EXPECT_EQ(manager->getLogLevel(), BLQLoggingLevel::info);  // the seeded "2"
    EXPECT_EQ(manager->getLogHandlers(),
              (std::vector<BLQLogHandlerModel>{{BLQLogHandlerName::stdout_, BLQLoggingLevel::info}}));
    EXPECT_EQ(manager->getPriorityUserEventCodes(),
              (std::vector<int64_t>{8102, 8104, 8103, 8051, 8999, 8997, 8998, 8200, 8201, 8050}));
    EXPECT_TRUE(manager->getDisabledUserEventCodes().empty());
    EXPECT_EQ(manager->getSDKDisabledTime(), 0);
    EXPECT_TRUE(manager->isBrindlecueEnabled());
    EXPECT_FALSE(manager->getSuperTagDisabledLevel());
    EXPECT_EQ(manager->getHost(), BLQConfigDefaults::host());
    EXPECT_TRUE(settingLines().empty());  // reading the defaults changes nothing
}

TEST_F(BLQConfigManagerTest, StoredTextsReadBackAndMalformedPartsAreSkipped) {
    storeText(BLQConfigKeys::priorityCodes, "8201, ,x, 8108,+7");
    storeText(BLQConfigKeys::disableCodes, "9001");
    storeText(BLQConfigKeys::logHandlers,
              R"([{"name":"cloud","log_level":4},{"name":"stdout","log_level":1}])");
    storeText(BLQConfigKeys::logLevel, "7");  // out of range: the default
    storeText(BLQConfigKeys::appKey, "key-1");
    storeText(BLQConfigKeys::aliveHost, "https://EU.example.test/");
    manager = launch();
    EXPECT_EQ(manager->getPriorityUserEventCodes(), (std::vector<int64_t>{8201, 8108, 7}));
    EXPECT_EQ(manager->getDisabledUserEventCodes(), std::vector<int64_t>{9001});
    EXPECT_EQ(manager->getLogHandlers(),
              (std::vector<BLQLogHandlerModel>{{BLQLogHandlerName::cloud, BLQLoggingLevel::warning},
                                               {BLQLogHandlerName::stdout_, BLQLoggingLevel::debug}}));
    EXPECT_EQ(manager->getLogLevel(), BLQLoggingLevel::info);
    EXPECT_EQ(manager->getAppKey(), "key-1");
    // The stored host is trimmed on first use and stored trimmed.
    EXPECT_EQ(manager->getHost(), "https://EU.example.test");
    EXPECT_EQ(storedText(BLQConfigKeys::aliveHost), "https://EU.example.test");
}

TEST_F(BLQConfigManagerTest, ChangesAreLoggedAndStoredAndTheirKeysComeBackAsTheyShould) {
    manager->setAppId(42);
    manager->setAppKey("key-1");
    manager->setInstallToken("tok");
    manager->setSDKVersion("3.0.3");
    manager->setDisabledUserEventCodes({8051});
    manager->setPriorityUserEventCodes({});
    manager->setLogHandlers({{BLQLogHandlerName::cloud, BLQLoggingLevel::error}});
    manager->setLogLevel(BLQLoggingLevel::warning);
    manager->setAppStatusPollInterval(30);
    manager->setSuperTagDisabledLevel("no_clicks");
    manager->setSuperTagFilter("^Home");
    manager->setLastFeedFetchTime(Date::fromTimeIntervalSince1970(1706695200.25));
    manager->setSDKDisabledTime(-1);
    EXPECT_EQ(settingLines(),
              (std::vector<std::string>{
                  "Config: Setting BLQ_CONFIG_APP_ID with value: 42",
                  "Config: Setting BLQ_CONFIG_APP_KEY with value: key-1",
                  "Config: Setting BLQ_CONFIG_INSTALL_TOKEN with value: tok",
                  "Config: Setting BLQ_CONFIG_SDK_VERSION with value: 3.0.3",
                  "Config: Setting BLQ_CONFIG_DISABLECODES with value: [8051]",
                  "Config: Setting BLQ_CONFIG_PRIORITYCODES with value: []",
                  "Config: Setting BLQ_CONFIG_LOG_HANDLERS with value: [{name: cloud, log_level: 5}]",
                  "Config: Setting BLQ_CONFIG_DEBUG_LOG_LEVEL with value: warning",
                  "Config: Setting BLQ_CONFIG_POLL_INTERVAL with value: 30",
                  "Config: Setting BLQ_CONFIG_SUPERTAG_LEVEL with value: no_clicks",
                  "Config: Setting BLQ_CONFIG_SUPERTAG_FILTER with value: ^Home",
                  "Config: Setting BLQ_CONFIG_LAST_FEED_FETCH_TIME with value: 2024-01-31T10:00:00.250Z",
                  "Config: Setting BLQ_CONFIG_SDK_DISABLED_TIME with value: -1",
              }));
    EXPECT_EQ(manager->getAppStatusPollInterval(), 30);
    EXPECT_EQ(storedText(BLQConfigKeys::appId), "42");
    EXPECT_EQ(storedText(BLQConfigKeys::appStatusPollInterval), "");

    auto next = relaunch();
    EXPECT_EQ(next->getAppKey(), "key-1");
    EXPECT_EQ(next->getSDKVersion(), "3.0.3");
    EXPECT_EQ(next->getDisabledUserEventCodes(), std::vector<int64_t>{8051});
    EXPECT_EQ(next->getPriorityUserEventCodes(), BLQConfigDefaults::priorityUserEventCodes());
    EXPECT_EQ(next->getLogHandlers(),
              (std::vector<BLQLogHandlerModel>{{BLQLogHandlerName::cloud, BLQLoggingLevel::error}}));
    EXPECT_EQ(next->getLastFeedFetchTime(), Date::fromTimeIntervalSince1970(1706695200.25));
    // Process-long values start over.
    EXPECT_FALSE(next->getAppId());
    EXPECT_EQ(next->getAppStatusPollInterval(), 10);
    EXPECT_EQ(next->getLogLevel(), BLQLoggingLevel::info);
    EXPECT_FALSE(next->getSuperTagDisabledLevel());
    EXPECT_FALSE(next->getSuperTagFilter());
    // A pause until further notice ends with the process; a timed one outlives the restart.
    EXPECT_EQ(next->getSDKDisabledTime(), 0);
    EXPECT_TRUE(next->isBrindlecueEnabled());
    const double until = Date::now().timeIntervalSinceReferenceDate() + 120;
    next->setSDKDisabledTime(until);
    auto third = relaunch();
    EXPECT_EQ(third->getSDKDisabledTime(), until);
    EXPECT_FALSE(third->isBrindlecueEnabled());
}

TEST_F(BLQConfigManagerTest, EveryLogLevelIsLoggedByItsName) {
    for (auto level : {BLQLoggingLevel::trace, BLQLoggingLevel::debug, BLQLoggingLevel::info,
                       BLQLoggingLevel::notice, BLQLoggingLevel::warning, BLQLoggingLevel::error}) {
        manager->setLogLevel(level);
        EXPECT_EQ(manager->getLogLevel(), level);
    }
    const std::string prefix = "Config: Setting BLQ_CONFIG_DEBUG_LOG_LEVEL with value: ";
    EXPECT_EQ(settingLines(), (std::vector<std::string>{prefix + "trace", prefix + "debug", prefix + "info",
                                                        prefix + "notice", prefix + "warning", prefix + "error"}));
}

TEST_F(BLQConfigManagerTest, AStoredPauseThatIsNotWhollyANumberIsNoPause) {
    for (const char* text : {"", "soon", "4000000000s", "--1"}) {
        storeText(BLQConfigKeys::sdkDisabledTime, text);
        manager = launch();
        EXPECT_EQ(manager->getSDKDisabledTime(), 0) << text;
        EXPECT_TRUE(manager->isBrindlecueEnabled()) << text;
    }
    storeText(BLQConfigKeys::sdkDisabledTime, "4000000000.5");
    manager = launch();
    EXPECT_EQ(manager->getSDKDisabledTime(), 4000000000.5);
    EXPECT_FALSE(manager->isBrindlecueEnabled());
}

TEST_F(BLQConfigManagerTest, TheEnableTestFollowsTheDisabledTime) {
    const double now = Date::now().timeIntervalSinceReferenceDate();
    manager->setSDKDisabledTime(now + 60.5);
    EXPECT_FALSE(manager->isBrindlecueEnabled());
    Clock::advance(60);
    EXPECT_FALSE(manager->isBrindlecueEnabled());
    Clock::advance(0.5);
    EXPECT_TRUE(manager->isBrindlecueEnabled());  // reaching the time is enough; nothing is reset
    EXPECT_EQ(manager->getSDKDisabledTime(), now + 60.5);
    manager->setSDKDisabledTime(-5);
    EXPECT_TRUE(manager->isBrindlecueEnabled());
    EXPECT_TRUE(relaunch()->isBrindlecueEnabled());
}

TEST_F(BLQConfigManagerTest, HostChangesAreTrimmedCaseInsensitiveAndToldOnce) {
    auto delegate = std::make_shared<CountingHostDelegate>();
    manager->setDelegate(delegate);
    ASSERT_EQ(manager->getHost(), BLQConfigDefaults::host());
    EXPECT_EQ(delegate->changes, 0);

    manager->setHost("https://eu.example.test/");
    EXPECT_EQ(manager->getHost(), "https://eu.example.test");
    EXPECT_EQ(storedText(BLQConfigKeys::aliveHost), "https://eu.example.test");
    EXPECT_EQ(delegate->changes, 1);
    manager->setHost("HTTPS://EU.EXAMPLE.TEST");
    manager->setHost("");
    manager->setHost("/");
    EXPECT_EQ(manager->getHost(), "https://eu.example.test");
    EXPECT_EQ(delegate->changes, 1);
    EXPECT_EQ(settingLines(),
              std::vector<std::string>{
                  "Config: Setting BLQ_CONFIG_ALIVE_HOST with value: https://eu.example.test"});
    EXPECT_EQ(relaunch()->getHost(), "https://eu.example.test");
}

TEST_F(BLQConfigManagerTest, HostChangeCheckComparesWithTheRequestsSchemeAndHost) {
    using platform::Value;
    auto answer = [](Value host) {
        return Value::dictionary({{"app_status", Value::dictionary({{"host", host}})}});
    };
    auto delegate = std::make_shared<CountingHostDelegate>();
    manager->setDelegate(delegate);

    // Malformed answers ask for nothing.
    EXPECT_FALSE(manager->checkForHostChange(Value::dictionary(), std::nullopt));
    EXPECT_FALSE(manager->checkForHostChange(answer(5), std::nullopt));
    EXPECT_FALSE(manager->checkForHostChange(answer(""), std::nullopt));
    // Same host in other letter case; an alias of the default host.
    EXPECT_FALSE(manager->checkForHostChange(answer("https://A.example.test"),
                                             "https://a.example.test:8443/v3/installs?x=1"));
    EXPECT_FALSE(
        manager->checkForHostChange(answer("HTTP://API.BRINDLECUE.IO"), BLQConfigDefaults::host() + "/v3"));
    EXPECT_EQ(delegate->changes, 0);

    EXPECT_TRUE(manager->checkForHostChange(answer("https://b.example.test/"),
                                            "https://a.example.test/v3/installs?x=1"));
    EXPECT_EQ(manager->getHost(), "https://b.example.test");
    EXPECT_EQ(delegate->changes, 1);
    // Without a request URL the current host is the one compared with.
    EXPECT_FALSE(manager->checkForHostChange(answer("https://B.example.test"), std::nullopt));
}

TEST_F(BLQConfigManagerTest, SuperTagLevelAndFilter) {
    EXPECT_TRUE(manager->isSuperTagsEnabled(0));
    EXPECT_TRUE(manager->isSuperTagsEnabled(1));
    EXPECT_TRUE(manager->isSuperTagFilterPassed("anything"));

    manager->setSuperTagDisabledLevel("no_clicks");
    EXPECT_TRUE(manager->isSuperTagsEnabled(0));
    EXPECT_FALSE(manager->isSuperTagsEnabled(1));
    manager->setSuperTagDisabledLevel("enabled");
    EXPECT_TRUE(manager->isSuperTagsEnabled(1));
    manager->setSuperTagDisabledLevel("ALL");
    EXPECT_FALSE(manager->isSuperTagsEnabled(0));
    EXPECT_FALSE(manager->isSuperTagsEnabled(1));

    manager->setSuperTagFilter("^Home");
    EXPECT_TRUE(manager->isSuperTagFilterPassed("HomeScreen"));
    EXPECT_FALSE(manager->isSuperTagFilterPassed("MyHome"));
    manager->setSuperTagFilter("Home");
    EXPECT_TRUE(manager->isSuperTagFilterPassed("MyHomeScreen"));
    manager->setSuperTagFilter("");
    EXPECT_FALSE(manager->isSuperTagFilterPassed("HomeScreen"));
}

TEST_F(BLQConfigManagerTest, ConcurrentChangesAndReadsSeeWholeValuesAndTheStoreKeepsTheLast) {
    // Values too long for a string's inline buffer, so that a torn read would touch freed memory.
    const std::string prefix = "a-rather-long-app-key-that-lives-on-the-heap-";
    std::atomic<bool> tornRead{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if (t % 2 == 0) {
                    manager->setAppKey(prefix + std::to_string(t * 1000 + i));
                    manager->setPriorityUserEventCodes(std::vector<int64_t>(8, t * 1000 + i));
                } else {
                    const std::string key = manager->getAppKey();
                    if (!key.empty() && key.rfind(prefix, 0) != 0) tornRead = true;
                    const auto codes = manager->getPriorityUserEventCodes();
                    if (codes.size() == 8 && codes.front() != codes.back()) tornRead = true;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_FALSE(tornRead);
    EXPECT_EQ(storedText(BLQConfigKeys::appKey), manager->getAppKey());
}

}  // namespace
}  // namespace brindlecue
