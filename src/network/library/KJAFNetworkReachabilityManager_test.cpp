#include "network/library/KJAFNetworkReachabilityManager.h"

#include <gtest/gtest.h>

#include <atomic>

#include "network/library/KJReachability.h"
#include "platform/NetworkReachability.h"
#include "platform/NotificationCenter.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "support/StringTables.h"

namespace brindlecue {
namespace {

using platform::NetworkReachability;
using platform::RunLoop;
using platform::Value;

constexpr uint32_t R = KJNetworkReachabilityFlagsReachable;
constexpr uint32_t required = KJNetworkReachabilityFlagsConnectionRequired;
constexpr uint32_t transient = KJNetworkReachabilityFlagsTransientConnection;
constexpr uint32_t onTraffic = KJNetworkReachabilityFlagsConnectionOnTraffic;
constexpr uint32_t onDemand = KJNetworkReachabilityFlagsConnectionOnDemand;
constexpr uint32_t intervention = KJNetworkReachabilityFlagsInterventionRequired;
constexpr uint32_t wwan = KJNetworkReachabilityFlagsIsWWAN;

// The network as the test sets it: every reference reads the same flags.
class ReachabilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::installMossgroveStringTable();
        NetworkReachability::setFlagsProvider([this](const NetworkReachability&) { return flags.load(); });
    }
    void TearDown() override {
        NetworkReachability::setFlagsProvider(nullptr);
        RunLoop::main().runUntilIdle();
    }
    void change(uint32_t newFlags) {
        flags = newFlags;
        NetworkReachability::networkChanged();
    }
    std::atomic<uint32_t> flags{0};
};

TEST(KJAFNetworkReachabilityStatus, FlagsMapToStatusesAndTexts) {
    testsupport::installMossgroveStringTable();
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(0), KJAFNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(R), KJAFNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(R | required), KJAFNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(R | required | onTraffic),
              KJAFNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(R | required | onDemand | wwan),
              KJAFNetworkReachabilityStatusReachableViaWWAN);
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(R | required | onTraffic | intervention),
              KJAFNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(wwan), KJAFNetworkReachabilityStatusNotReachable);
    EXPECT_EQ(KJAFNetworkReachabilityStatusForFlags(R | wwan), KJAFNetworkReachabilityStatusReachableViaWWAN);

    EXPECT_EQ(KJAFStringFromNetworkReachabilityStatus(2), "Reachable via WiFi");
    EXPECT_EQ(KJAFStringFromNetworkReachabilityStatus(1), "Reachable via WWAN");
    EXPECT_EQ(KJAFStringFromNetworkReachabilityStatus(0), "Not Reachable");
    EXPECT_EQ(KJAFStringFromNetworkReachabilityStatus(7), "Unknown");
}

TEST_F(ReachabilityTest, AMonitoringManagerFollowsEveryChangeOnTheMainQueue) {
    flags = R | required | onTraffic;
    auto manager = KJAFNetworkReachabilityManager::managerForDomain("api.example.test");
    ASSERT_TRUE(manager);
    EXPECT_FALSE(KJAFNetworkReachabilityManager::managerForDomain(""));
    std::vector<std::pair<int64_t, bool>> blockCalls;  // status, on the main thread
    manager->setReachabilityStatusChangeBlock(
        [&](int64_t status) { blockCalls.emplace_back(status, platform::isMainThread()); });
    std::vector<Value> notified;
    auto observer = platform::NotificationCenter::defaultCenter().addObserver(
        KJMossgroveReachabilityDidChangeNotification, nullptr, nullptr,
        [&](const platform::Notification& note) { notified.push_back(note.userInfo()); });

    // Started twice: one registration, and the first reading of each start.
    manager->startMonitoring();
    manager->startMonitoring();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return blockCalls.size() == 2; }));
    EXPECT_EQ(manager->networkReachabilityStatus(), KJAFNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Reachable via WiFi");

    change(R | wwan);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return blockCalls.size() == 3; }));
    EXPECT_TRUE(manager->isReachableViaWWAN());
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Reachable via WWAN");
    // Every report counts, also one that changes nothing.
    change(R | wwan);
    change(R | required | onTraffic | intervention);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return blockCalls.size() == 5; }));
    EXPECT_FALSE(manager->isReachable());

    std::vector<std::pair<int64_t, bool>> expected{{2, true}, {2, true}, {1, true}, {1, true}, {0, true}};
    EXPECT_EQ(blockCalls, expected);
    ASSERT_EQ(notified.size(), 5u);
    EXPECT_EQ(notified[2][KJMossgroveReachabilityNotificationStatusItem], Value(1));

    manager->stopMonitoring();
    change(R);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(blockCalls.size(), 5u);
    EXPECT_EQ(manager->networkReachabilityStatus(), 0);
    platform::NotificationCenter::defaultCenter().removeObserver(observer);
}

TEST_F(ReachabilityTest, AChangeIsAnnouncedWithoutABlockAndUnreadableFlagsGiveNoFirstReading) {
    auto manager = KJAFNetworkReachabilityManager::managerForDomain("api.example.test");
    int calls = 0;
    manager->setReachabilityStatusChangeBlock([&](int64_t) { ++calls; });
    manager->setReachabilityStatusChangeBlock(nullptr);
    std::vector<Value> notified;
    auto observer = platform::NotificationCenter::defaultCenter().addObserver(
        KJMossgroveReachabilityDidChangeNotification, nullptr, nullptr,
        [&](const platform::Notification& note) { notified.push_back(note.userInfo()); });
    // The first reading is taken on a background queue: it is awaited before the flags come back.
    std::atomic<int> asked{0};
    NetworkReachability::setFlagsProvider([&](const NetworkReachability&) -> std::optional<uint32_t> {
        ++asked;
        return std::nullopt;
    });
    manager->startMonitoring();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return asked.load() > 0; }));
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(notified.empty());
    EXPECT_EQ(manager->networkReachabilityStatus(), KJAFNetworkReachabilityStatusUnknown);

    NetworkReachability::setFlagsProvider([this](const NetworkReachability&) { return flags.load(); });
    change(R);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return notified.size() == 1; }));
    EXPECT_EQ(manager->networkReachabilityStatus(), KJAFNetworkReachabilityStatusReachableViaWiFi);
    EXPECT_EQ(calls, 0);
    manager->stopMonitoring();
    platform::NotificationCenter::defaultCenter().removeObserver(observer);
}

TEST_F(ReachabilityTest, TheSharedManagerIsNeverStartedAndStaysUnknown) {
    auto shared = KJAFNetworkReachabilityManager::sharedManager();
    EXPECT_EQ(shared, KJAFNetworkReachabilityManager::sharedManager());
    change(R);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(shared->networkReachabilityStatus(), KJAFNetworkReachabilityStatusUnknown);
    EXPECT_FALSE(shared->isReachable());
    EXPECT_EQ(shared->localizedNetworkReachabilityStatusString(), "Unknown");
}

TEST_F(ReachabilityTest, TheOlderMonitorTestsTheCurrentFlags) {
    auto reachability = KJReachability::reachabilityForInternetConnection();
    ASSERT_TRUE(reachability);
    flags = R | wwan;
    EXPECT_TRUE(reachability->isReachable());
    EXPECT_EQ(reachability->currentKJReachabilityStatus(), KJReachableViaWWAN);
    reachability->setReachableOnWWAN(false);
    EXPECT_FALSE(reachability->isReachable());
    EXPECT_TRUE(reachability->isReachableViaWWAN());
    EXPECT_EQ(reachability->currentKJReachabilityStatus(), KJNotReachable);

    flags = R | transient | required;
    EXPECT_FALSE(reachability->isReachable());
    EXPECT_TRUE(reachability->isConnectionRequired());
    EXPECT_FALSE(reachability->isConnectionOnDemand());
    flags = R | required | onDemand | intervention;
    EXPECT_TRUE(reachability->isConnectionOnDemand());
    EXPECT_TRUE(reachability->isInterventionRequired());

    flags = R;
    EXPECT_EQ(reachability->currentKJReachabilityFlags(), "-R -------");
    EXPECT_EQ(KJReachability::flagsText(0x7003f | wwan), "WR ctiCDld");
    EXPECT_NE(reachability->description().find(" (-R -------)>"), std::string::npos);
    EXPECT_EQ(reachability->currentKJReachabilityString(), "WiFi");
    testsupport::installStringTable("Localizable",
                                    Value::dictionary({{"WiFi", "Wi-Fi"}, {"No Connection", "Offline"}}));
    EXPECT_EQ(reachability->currentKJReachabilityString(), "Wi-Fi");
    flags = 0;
    EXPECT_EQ(reachability->currentKJReachabilityString(), "Offline");
    reachability->setReachableOnWWAN(true);
    flags = R | wwan;
    EXPECT_EQ(reachability->currentKJReachabilityString(), "Cellular");
    EXPECT_FALSE(reachability->isReachableViaWiFi());
    flags = 0;
    EXPECT_EQ(reachability->reachabilityFlags(), 0u);

    // Flags that cannot be read answer every test with false.
    NetworkReachability::setFlagsProvider([](const NetworkReachability&) { return std::nullopt; });
    EXPECT_FALSE(reachability->isReachable());
    EXPECT_FALSE(reachability->connectionRequired());
    EXPECT_EQ(reachability->reachabilityFlags(), 0u);
    EXPECT_FALSE(reachability->isReachableViaWWAN());
    EXPECT_FALSE(reachability->isReachableViaWiFi());
    EXPECT_FALSE(reachability->isConnectionOnDemand());
    EXPECT_FALSE(reachability->isInterventionRequired());
    EXPECT_EQ(reachability->currentKJReachabilityStatus(), KJNotReachable);
}

TEST_F(ReachabilityTest, TheNotifierCallsItsBlocksOnItsQueueAndKeepsTheMonitorAlive) {
    auto reachability = KJReachability::reachabilityWithHostname("api.example.test");
    ASSERT_TRUE(reachability);
    std::mutex mutex;
    std::vector<std::string> calls;
    auto record = [&](std::string what) {
        return [&, what](const std::shared_ptr<KJReachability>&) {
            std::lock_guard lock(mutex);
            calls.push_back(what + (platform::isMainThread() ? " main" : " queue"));
        };
    };
    reachability->setReachableBlock(record("reachable"));
    reachability->setUnreachableBlock(record("unreachable"));
    std::vector<std::shared_ptr<void>> posted;
    auto observer = platform::NotificationCenter::defaultCenter().addObserver(
        kKJReachabilityChangedNotification, nullptr, nullptr,
        [&](const platform::Notification& note) { posted.push_back(note.object()); });

    EXPECT_TRUE(reachability->startNotifier());
    EXPECT_TRUE(reachability->startNotifier());
    std::weak_ptr<KJReachability> weak = reachability;
    reachability.reset();
    ASSERT_FALSE(weak.expired());

    change(R);
    change(0);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return posted.size() == 2; }));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(calls, (std::vector<std::string>{"reachable queue", "unreachable queue"}));
    }
    EXPECT_EQ(posted[0], weak.lock());

    weak.lock()->stopNotifier();
    posted.clear();
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return weak.expired(); }));
    change(R);
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(posted.empty());
    platform::NotificationCenter::defaultCenter().removeObserver(observer);
}

TEST(NetworkReachability, TheSystemsFlagsKnowLoopbackTargets) {
    auto local = NetworkReachability::createWithAddress({16, 2, 0, 80, 127, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(local);
    EXPECT_EQ(local->addressText(), "127.0.0.1");
    EXPECT_EQ(NetworkReachability::systemFlags(*local),
              R | KJNetworkReachabilityFlagsIsLocalAddress | KJNetworkReachabilityFlagsIsDirect);
    EXPECT_EQ(NetworkReachability::systemFlags(*NetworkReachability::createWithName("LocalHost")),
              NetworkReachability::systemFlags(*local));
    EXPECT_FALSE(NetworkReachability::createWithAddress({16, 2, 0}));
    EXPECT_FALSE(NetworkReachability::createWithAddress(std::vector<uint8_t>(28, 0)));
}

}  // namespace
}  // namespace brindlecue
