// "config" messages pushed by the sample server over the websocket reach the configuration
// manager, which logs them.

#include <gtest/gtest.h>

#include "config/BLQHTTPAPIEndpoints.h"
#include "facade/BLQConfigEventManagerWebSocket.h"
#include "facade/BLQConfigManager.h"
#include "network/BLQWebSocketManager.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "support/ConfigStoreLaunch.h"
#include "support/RecordingLoggerManager.h"
#include "support/SampleRoutes.h"
#include "support/SettableAppDetails.h"

namespace brindlecue {
namespace {

using platform::RunLoop;
using platform::Value;

TEST(ConfigEvents, AConfigMessageReachesTheConfigurationLogWhole) {
    platform::Clock::useVirtual();
    sampleserver::SampleServer server;
    server.start();
    auto logs = testsupport::RecordingLoggerManager::install();
    auto config = std::make_shared<BLQConfigManager>(testsupport::firstLaunchConfigStore(),
                                                     std::make_shared<BLQHTTPAPIEndpoints>());
    auto socket = std::make_shared<BLQWebSocketManager>();
    auto events =
        BLQConfigEventManagerWebSocket::create(std::make_shared<testsupport::SettableAppDetails>(), socket);
    events->setDelegate(config);

    const std::string message = R"({"type":"config","payload":{}})";
    server.setWebSocketOnConnect({R"({"type":"status","payload":{"log_level":1}})", message,
                                  R"({"type":"update_feed","payload":{}})"});
    events->connectWebSocket(server.baseURL(), config->getWebSocketEndpoint());
    ASSERT_TRUE(
        RunLoop::main().runUntil([&] { return logs->count("Config: Change success with response: ") == 1; }));

    auto lines = logs->linesStartingWith("Config: ");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].message,
              "Config: Change success with response: " + Value::fromJSON(message)->description());
    EXPECT_EQ(lines[0].level, 2);
    EXPECT_EQ(config->getLogLevel(), BLQLoggingLevel::info);  // nothing else changes

    socket->removeDelegate(events);
    socket->disconnect();
    // The ping scheduled after the first pong fails on the ended connection and lets it go. The
    // pong may come after the clock first moves on, and schedule the ping from a later time.
    const auto pingFailed = [&] { return logs->count("WebSocket -> received error after ping: ") == 1; };
    EXPECT_TRUE(RunLoop::main().runUntil([&] {
        if (pingFailed()) return true;
        platform::Clock::advance(BLQWebSocketManager::kPingInterval);
        return pingFailed();
    }));
    RunLoop::main().runUntilIdle();
}

}  // namespace
}  // namespace brindlecue
