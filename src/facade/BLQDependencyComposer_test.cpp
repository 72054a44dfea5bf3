// The composer's table over the real services, and the factory classes the facade obtains them
// through.

#include "facade/BLQDependencyComposer.h"

#include <gtest/gtest.h>

#include <set>

#include "config/BLQIConfigManager.h"
#include "facade/BLQAppStatusFetchHandler.h"
#include "facade/BLQAppStatusManager.h"
#include "facade/BLQAppStatusManagerFactory.h"
#include "facade/BLQIConfigEventManager.h"
#include "foundation/BLQDependencyManager.h"
#include "network/BLQ409HTTPErrorHandler.h"
#include "network/BLQ429HTTPErrorHandler.h"
#include "network/BLQHTTPManager.h"
#include "network/BLQWebSocketManager.h"
#include "storage/BLQCoreDataInstallDataStore.h"
#include "tips/BLQCustomGuideHelper.h"
#include "tips/KJTipManager.h"

namespace brindlecue {
namespace {

class ComposerTest : public testing::Test {
protected:
    void SetUp() override { BLQDependencyComposer::composeDependencies(); }
    BLQDependencyManager& container = BLQDependencyManager::shared();
};

TEST_F(ComposerTest, SingletonsAreOneObjectAndTheRestAreBuiltAnewEachTime) {
    auto http = container.resolve<BLQIHTTPManager>();
    EXPECT_EQ(http, container.resolve<BLQIHTTPManager>());
    auto client = std::dynamic_pointer_cast<BLQHTTPManager>(http);
    ASSERT_NE(client, nullptr);
    ASSERT_EQ(client->errorHandlers().size(), 2u);
    EXPECT_NE(std::dynamic_pointer_cast<BLQ409HTTPErrorHandler>(client->errorHandlers()[0]), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<BLQ429HTTPErrorHandler>(client->errorHandlers()[1]), nullptr);

    auto first = container.resolve<BLQIInstallDataStore>();
    auto second = container.resolve<BLQIInstallDataStore>();
    EXPECT_NE(first, second);
    EXPECT_NE(std::dynamic_pointer_cast<BLQCoreDataInstallDataStore>(first), nullptr);

    EXPECT_EQ(container.resolve<BLQIWebSocketManager>(),
              std::static_pointer_cast<BLQIWebSocketManager>(BLQWebSocketManager::shared()));
    auto engine = container.resolve<BLQITipManager>();
    EXPECT_NE(std::dynamic_pointer_cast<KJTipManager>(engine), nullptr);
    EXPECT_EQ(engine, container.resolve<BLQITipManager>());
}

TEST_F(ComposerTest, TheTableMarksTheLongLivedManagersAsSingletons) {
    std::set<std::string> singletons;
    std::set<std::string> names;
    for (const auto& row : BLQDependencyComposer::rows()) {
        EXPECT_TRUE(names.insert(row.interfaceName).second) << row.interfaceName << " is registered twice";
        if (row.singleton) singletons.insert(row.interfaceName);
    }
    for (const char* name :
         {"BLQIConfigManager", "BLQIWebSocketManager", "BLQIHTTPManager", "BLQILoggerManager",
          "BLQIInstallRegistrationManager", "BLQIUpdateRegistrationManager", "BLQISessionManager",
          "BLQIUserEventDeduperManager", "BLQIUserEventManager", "BLQITagManager", "BLQITipManager",
          "BLQIFeedManager", "BLQITargetingAlgorithm"})
        EXPECT_TRUE(singletons.count(name)) << name;
    for (const char* name :
         {"BLQIConfigDataStore", "BLQIAppDetailsProvider", "BLQIConfigEventManager",
          "BLQIClientSideTriggerManager", "BLQIScreenShotManager", "BLQICustomGuideHelper"})
        EXPECT_FALSE(singletons.count(name)) << name;
}

TEST_F(ComposerTest, FactoriesGiveTheContainersServices) {
    EXPECT_EQ(BLQConfigManagerFactory::createConfigManager(), BLQConfigManagerFactory::createConfigManager());
    EXPECT_EQ(BLQTipManagerFactory::createTipManager(), container.resolve<BLQITipManager>());

    // Each status manager gets its own fetcher and handler, and its handler reports to it.
    auto one =
        std::dynamic_pointer_cast<BLQAppStatusManager>(BLQAppStatusManagerFactory::createAppStatusManager());
    auto two =
        std::dynamic_pointer_cast<BLQAppStatusManager>(BLQAppStatusManagerFactory::createAppStatusManager());
    ASSERT_TRUE(one && two);
    EXPECT_NE(one, two);
    EXPECT_NE(one->dependencies()->fetcher(), two->dependencies()->fetcher());
    EXPECT_NE(one->dependencies()->handler(), two->dependencies()->handler());
    auto handler = std::dynamic_pointer_cast<BLQAppStatusFetchHandler>(one->dependencies()->handler());
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(handler->manager(), one);

    // Helpers are built anew and share the composer's six step parameters.
    auto a = std::dynamic_pointer_cast<BLQCustomGuideHelper>(BLQCustomGuideHelperFactory::createHelper());
    auto b = std::dynamic_pointer_cast<BLQCustomGuideHelper>(BLQCustomGuideHelperFactory::createHelper());
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    ASSERT_EQ(a->customGuideParams().size(), 6u);
    EXPECT_EQ(a->customGuideParams(), b->customGuideParams());
}

TEST_F(ComposerTest, AConfigEventManagerBuiltAndDroppedLeavesNoListenerBehind) {
    // Composing built one at registration and threw it away.
    auto websocket = BLQWebSocketManager::shared();
    EXPECT_TRUE(websocket->delegates().empty());
    auto events = container.resolve<BLQIConfigEventManager>();
    EXPECT_EQ(websocket->delegates().size(), 1u);
    events.reset();
    EXPECT_TRUE(websocket->delegates().empty());
}

TEST(BLQDependencyManager, ATestResetReleasesTheSingletonsAndForgetsTheFactories) {
    struct Service {};
    BLQDependencyManager container;
    container.register_<Service>(true, [] { return std::make_shared<Service>(); });
    int built = 0;
    container.register_<int>(false, [&] {
        ++built;
        return std::make_shared<int>(7);
    });
    std::weak_ptr<Service> singleton = container.resolve<Service>();
    ASSERT_FALSE(singleton.expired());
    EXPECT_EQ(*container.resolve<int>(), 7);

    container.resetForTesting();
    EXPECT_TRUE(singleton.expired());
    // Registered anew, as the next start does, it builds a new singleton.
    container.register_<Service>(true, [] { return std::make_shared<Service>(); });
    EXPECT_TRUE(container.resolve<Service>());
    EXPECT_EQ(built, 2);  // at registration and at the one resolution before the reset
}

TEST(ComposerDeathTest, ARowMovedAboveOneItNeedsStopsNamingTheMissingInterface) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto rows = BLQDependencyComposer::rows();
    ASSERT_EQ(rows[2].interfaceName, "BLQIConfigDataStore");
    ASSERT_EQ(rows[3].interfaceName, "BLQIConfigManager");
    std::swap(rows[2], rows[3]);
    EXPECT_DEATH(
        {
            BLQDependencyManager container;
            BLQDependencyComposer::compose(container, rows);
        },
        "Brindlecue - Dependency Manager failed to resolve dependency: BLQIConfigDataStore");
}

}  // namespace
}  // namespace brindlecue
