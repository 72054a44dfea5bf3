// The install and update requesters over the websocket, and the users' connect default.

#include <gtest/gtest.h>

#include "network/BLQHTTPRequestError.h"
#include "network/BLQInstallWebsocketNetworkRequester.h"
#include "network/BLQNetworkTestDoubles_test.h"
#include "network/BLQUpdateWebsocketNetworkRequester.h"
#include "platform/Date.h"
#include "platform/dispatch/Clock.h"

namespace brindlecue {
namespace {

using platform::URL;
using platform::Value;
using testing::LogLine;

class FakeWebSocketManager final : public BLQIWebSocketManager, public BLQIWebSocketConnectionInitiator {
public:
    bool connected = false;
    bool sendSucceeds = true;
    std::vector<std::string> connectedTo;
    std::vector<Value> sent;
    std::vector<std::shared_ptr<BLQIWebSocketManagerDelegate>> listeners;

    std::vector<std::shared_ptr<BLQIWebSocketManagerDelegate>> delegates() const override {
        return listeners;
    }
    bool isConnected() const override { return connected; }
    void registerDelegate(std::shared_ptr<BLQIWebSocketManagerDelegate> d) override {
        listeners.push_back(d);
    }
    void removeDelegate(const std::shared_ptr<BLQIWebSocketManagerDelegate>&) override {}
    void keepUntilAnswered(std::shared_ptr<BLQIWebSocketManagerDelegate> d) override { kept.push_back(d); }
    std::vector<std::shared_ptr<BLQIWebSocketManagerDelegate>> kept;
    void connect(const platform::URLRequest& request) override {
        EXPECT_EQ(request.timeoutInterval(), 60.0);
        connectedTo.push_back(request.url()->absoluteString());
        connected = true;
    }
    void disconnect() override {}
    void sendMessage(const Value& message, std::function<void(bool)> completion) override {
        sent.push_back(message);
        completion(sendSucceeds);
    }
    void sendPing(bool) override {}

    // As its own connection initiator, for the scheme test.
    std::shared_ptr<BLQIWebSocketManager> webSocketManager() const override { return self.lock(); }
    void setWebSocketManager(std::shared_ptr<BLQIWebSocketManager>) override {}
    std::weak_ptr<FakeWebSocketManager> self;
};

BLQInstallDTO install(std::optional<std::string> sdkVersion, std::optional<std::string> installId,
                      std::optional<std::string> appKey) {
    return BLQInstallDTO(std::move(installId), std::nullopt, std::move(appKey), std::move(sdkVersion),
                         std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                         std::nullopt, std::nullopt, false, std::nullopt, std::nullopt, std::nullopt);
}

struct Received {
    std::vector<std::pair<Value, std::string>> successes;
    std::vector<platform::Error> failures;
    BLQRequestSuccessBlock success() {
        return
            [this](const Value& json, const URL& url) { successes.emplace_back(json, url.absoluteString()); };
    }
    BLQRequestFailureBlock failure() {
        return [this](const platform::Error& error) { failures.push_back(error); };
    }
    std::string failureMessage(size_t i) const {
        return BLQHTTPRequestError::fromError(failures.at(i))->message();
    }
};

class WebsocketRequesterTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Clock::useVirtual();
        now = static_cast<int64_t>(platform::Date::now().timeIntervalSince1970());
        socket->self = socket;
    }
    // The client and its registered requesters hold each other for the client's life.
    void TearDown() override {
        socket->listeners.clear();
        socket->kept.clear();
    }

    std::shared_ptr<testing::RecordingLoggerManager> logs = testing::RecordingLoggerManager::install();
    std::shared_ptr<FakeWebSocketManager> socket = std::make_shared<FakeWebSocketManager>();
    std::shared_ptr<testing::FakeConfigManager> config = std::make_shared<testing::FakeConfigManager>();
    std::shared_ptr<BLQUpdateWebsocketNetworkRequester> updater =
        BLQUpdateWebsocketNetworkRequester::create(socket, config);
    std::shared_ptr<BLQInstallWebsocketNetworkRequester> installer =
        BLQInstallWebsocketNetworkRequester::create(socket, config);
    int64_t now = 0;
    Received received;
};

TEST_F(WebsocketRequesterTest, OnlyTheSchemeBecomesTheWebsocketOne) {
    socket->connectWebSocket("https://http.example.test", "/ws");
    socket->connectWebSocket("http://127.0.0.1:8080", "/ws");
    socket->connectWebSocket("https://api example.test", "/ws");
    EXPECT_EQ(socket->connectedTo,
              (std::vector<std::string>{"wss://http.example.test/ws", "ws://127.0.0.1:8080/ws"}));
}

TEST_F(WebsocketRequesterTest, ARequestConnectsOnlyWhenNeededAndSendsAtOnce) {
    ASSERT_EQ(socket->listeners.size(), 2u);
    EXPECT_EQ(socket->listeners[0]->eventType(), BLQWebSocketEventType::update);
    EXPECT_EQ(socket->listeners[1]->eventType(), BLQWebSocketEventType::register_);

    updater->sendInstallUpdateRequest(install("3.0.3", "inst-1", "key"), received.success(),
                                      received.failure());
    socket->sendSucceeds = false;
    installer->sendInstallRequest(install("3.0.3", "inst-1", "key"), received.success(), received.failure());
    EXPECT_EQ(socket->connectedTo, (std::vector<std::string>{"wss://api.example.test/ws"}));
    ASSERT_EQ(socket->sent.size(), 2u);
    // Each requester asks the client to keep it until its answer.
    ASSERT_EQ(socket->kept.size(), 2u);
    EXPECT_EQ(socket->kept[0].get(), static_cast<BLQIWebSocketManagerDelegate*>(updater.get()));
    EXPECT_EQ(socket->kept[1].get(), static_cast<BLQIWebSocketManagerDelegate*>(installer.get()));

    const Value& update = socket->sent[0];
    EXPECT_EQ(update["type"].stringValue(), "update");
    EXPECT_EQ(update["app_key"].stringValue(), "key");
    EXPECT_EQ(update["install_id"].stringValue(), "inst-1");
    EXPECT_EQ(update["payload"]["kj_version"].stringValue(), "3.0.3");
    EXPECT_TRUE(update["payload"]["utc_offset"].isInteger());
    const Value& registration = socket->sent[1];
    EXPECT_EQ(registration["type"].stringValue(), "register");
    EXPECT_EQ(registration["payload"]["id"].stringValue(), "inst-1");
    EXPECT_EQ(registration["payload"]["operating_system"].stringValue(), "ios");
    for (const Value& time :
         {update["timestamp"], registration["timestamp"], registration["payload"]["created_on_client"],
          registration["payload"]["created_local_time"]}) {
        EXPECT_EQ(time.getInteger(), now);
    }
    // Send outcomes are only logged.
    EXPECT_EQ(logs->lines(), (std::vector<LogLine>{{"Update: Sent message successfully to websocket", 2},
                                                   {"Install: Failed to send message to websocket", 2}}));
    EXPECT_TRUE(received.successes.empty() && received.failures.empty());
}

TEST_F(WebsocketRequesterTest, AnIncompleteRecordIsLoggedAndNothingIsSent) {
    updater->sendInstallUpdateRequest(install({}, {}, {}), received.success(), received.failure());
    installer->sendInstallRequest(install("3.0.3", {}, "key"), received.success(), received.failure());
    updater->sendInstallUpdateRequest(install("3.0.3", "i", {}), received.success(), received.failure());
    EXPECT_TRUE(socket->sent.empty());
    EXPECT_TRUE(socket->kept.empty()) << "no answer is due";
    EXPECT_EQ(logs->lines(), (std::vector<LogLine>{{"Update: No SDK Version specified", 5},
                                                   {"Install: No Install Id specified", 5},
                                                   {"Update: No App Key specified", 5}}));
}

TEST_F(WebsocketRequesterTest, EveryAnswerOfTheTypeGoesToTheLatestCallbacks) {
    Value answer = Value::dictionary({{"type", "update"}, {"payload", Value::dictionary()}});
    updater->receivedJSON(answer);  // before any request: dropped quietly
    updater->sendInstallUpdateRequest(install("3.0.3", "inst-1", "key"), received.success(),
                                      received.failure());
    updater->receivedJSON(answer);
    updater->receivedJSON(answer);
    EXPECT_EQ(received.successes,
              (std::vector<std::pair<Value, std::string>>(2, {answer, "https://api.example.test"})));

    Received onlyFailure;
    updater->sendInstallUpdateRequest(install("3.0.3", "inst-1", "key"), nullptr, onlyFailure.failure());
    updater->receivedJSON(answer);
    EXPECT_EQ(onlyFailure.failureMessage(0),
              "Update: Received JSON, but failed to handle it due to missing 'successBlock'");
    updater->receivedError(platform::Error("X", 1));
    EXPECT_EQ(onlyFailure.failures.at(1).domain(), "X");

    installer->receivedError(platform::Error::withDescription("X", 1, "gone"));
    EXPECT_EQ(logs->lines(),
              (std::vector<LogLine>{
                  {"Update: Sent message successfully to websocket", 2},
                  {"Update: Sent message successfully to websocket", 2},
                  {"Install: No failure block specified, received error over websocket of: gone", 2},
              }));
}

TEST_F(WebsocketRequesterTest, AnAnswerWhileTheHostIsNoURL) {
    Received forInstall;
    updater->sendInstallUpdateRequest(install("3.0.3", "inst-1", "key"), received.success(),
                                      received.failure());
    installer->sendInstallRequest(install("3.0.3", "inst-1", "key"), forInstall.success(),
                                  forInstall.failure());
    config->host = "not a host";
    updater->receivedJSON(Value::dictionary());
    installer->receivedJSON(Value::dictionary());

    EXPECT_TRUE(received.successes.empty() && received.failures.empty());
    EXPECT_TRUE(
        logs->contains("Update: Received JSON, but failed to handle it due to missing 'fromURL': not a host "
                       "or missing 'handler'",
                       5));
    EXPECT_TRUE(forInstall.successes.empty());
    EXPECT_EQ(forInstall.failureMessage(0),
              "Install: Received JSON, but failed to handle it due to missing 'fromURL': not a host");
}

}  // namespace
}  // namespace brindlecue
