#include "network/BLQWebSocketManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "config/BLQInstallDTO.h"
#include "network/BLQIWebSocketConnectionInitiator.h"
#include "network/BLQInstallWebsocketNetworkRequester.h"
#include "network/BLQNetworkTestDoubles_test.h"
#include "platform/Date.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

namespace brindlecue {
namespace {

using platform::Clock;
using platform::RunLoop;
using platform::Value;
using testing::RecordingLoggerManager;

class Listener final : public BLQIWebSocketManagerDelegate {
public:
    explicit Listener(BLQWebSocketEventType type) : type_(type) {}
    BLQWebSocketEventType eventType() const override { return type_; }
    void receivedJSON(const Value& json) override {
        std::lock_guard lock(mutex_);
        received_.push_back(json);
    }
    void receivedError(const platform::Error&) override {
        ADD_FAILURE() << "the client never reports errors";
    }
    std::vector<Value> received() const {
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    BLQWebSocketEventType type_;
    mutable std::mutex mutex_;
    std::vector<Value> received_;
};

class Initiator final : public BLQIWebSocketConnectionInitiator {
public:
    explicit Initiator(std::shared_ptr<BLQIWebSocketManager> manager) : manager_(std::move(manager)) {}
    std::shared_ptr<BLQIWebSocketManager> webSocketManager() const override { return manager_; }
    void setWebSocketManager(std::shared_ptr<BLQIWebSocketManager> manager) override {
        manager_ = std::move(manager);
    }

private:
    std::shared_ptr<BLQIWebSocketManager> manager_;
};

class BLQWebSocketManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        server.start();
    }
    // Each connection of the test ends with a failed receive, unless it ended while nothing read it
    // (endedUnread counts those); the failures are awaited here, so that nothing of this test is
    // reported while the next one runs.
    void TearDown() override {
        manager->disconnect();
        auto journal = server.journal();
        size_t connections = std::count_if(journal.begin(), journal.end(), [](const auto& e) { return e.path == "/ws"; });
        server.closeWebSockets(1000);
        waitFor([&] { return logs->count("WebSocket -> Received error: ") + endedUnread >= connections; });
        RunLoop::main().runUntilIdle();
        // A ping scheduled before the disconnect holds the manager, its task and the connection's
        // worker until it fires: it fails on the ended connection, and the chain ends there.
        if (Clock::pendingCount() > 0) {
            const size_t failed = logs->count("WebSocket -> received error after ping: ");
            Clock::advance(BLQWebSocketManager::kPingInterval);
            waitFor([&] { return logs->count("WebSocket -> received error after ping: ") > failed; });
            RunLoop::main().runUntilIdle();
        }
    }

    void connect() { Initiator(manager).connectWebSocket(server.baseURL(), "/ws"); }
    bool waitFor(const std::function<bool()>& condition) { return RunLoop::main().runUntil(condition); }
    // Connected, first ping answered and the next one scheduled 10 s ahead.
    void connectAndAwaitFirstPong() {
        connect();
        ASSERT_TRUE(
            waitFor([&] { return server.webSocketPingsReceived() == 1 && Clock::pendingCount() == 1; }));
    }

    sampleserver::SampleServer server;
    std::shared_ptr<RecordingLoggerManager> logs = RecordingLoggerManager::install();
    std::shared_ptr<BLQWebSocketManager> manager = std::make_shared<BLQWebSocketManager>();
    size_t endedUnread = 0;  // connections that ended while no receive was waiting on them
};

TEST_F(BLQWebSocketManagerTest, PingsOnConnectingAndTenSecondsAfterEachPong) {
    connectAndAwaitFirstPong();
    EXPECT_TRUE(manager->isConnected());
    EXPECT_EQ(server.webSocketClientCount(), 1u);
    EXPECT_TRUE(logs->contains("WebSocket -> WebSocket task is connected and running.", 2));

    // A second connect while connected opens nothing (no state check, no ping).
    size_t checks = logs->count("WebSocket -> WebSocket task is");
    connect();
    EXPECT_EQ(logs->count("WebSocket -> WebSocket task is"), checks);

    Clock::advance(9.9);
    EXPECT_EQ(Clock::pendingCount(), 1u);
    Clock::advance(0.1);
    ASSERT_TRUE(waitFor([&] { return server.webSocketPingsReceived() == 2 && Clock::pendingCount() == 1; }));
    Clock::advance(10);
    ASSERT_TRUE(waitFor([&] { return server.webSocketPingsReceived() == 3; }));
    EXPECT_EQ(server.webSocketClientCount(), 1u);
}

TEST_F(BLQWebSocketManagerTest, FramesReachTheListenersOfTheirTypeInOrder) {
    auto config = std::make_shared<Listener>(BLQWebSocketEventType::config);
    auto status = std::make_shared<Listener>(BLQWebSocketEventType::status);
    manager->registerDelegate(config);
    manager->registerDelegate(status);
    manager->registerDelegate(config);
    std::vector<std::string> frames{R"({"type":"config","n":1})",
                                    R"({"type":"Config","n":0})",
                                    R"({"type":5})",
                                    "[1,2]",
                                    "not json",
                                    R"({"n":0})"};
    for (int n = 2; n <= 20; ++n) frames.push_back(R"({"type":"config","n":)" + std::to_string(n) + "}");
    frames.push_back(R"({"type":"status","n":21})");
    server.setWebSocketOnConnect(frames);
    connect();

    ASSERT_TRUE(waitFor([&] { return status->received().size() == 1; }));
    auto received = config->received();
    ASSERT_EQ(received.size(), 40u);
    for (size_t i = 0; i < received.size(); ++i) {
        EXPECT_EQ(received[i]["n"].integerValue(), static_cast<int64_t>(i / 2 + 1));
        EXPECT_EQ(received[i]["type"].stringValue(), "config");  // the whole envelope
    }
    EXPECT_EQ(status->received()[0]["n"].integerValue(), 21);
    EXPECT_EQ(logs->count("Failed to convert the Data to a JSON object"), 2u);
    EXPECT_TRUE(logs->contains("Failed to convert the Data to a JSON object", 5));
}

TEST_F(BLQWebSocketManagerTest, SendingBeforeConnectingOnlyLogs) {
    bool called = false;
    manager->sendMessage(Value::dictionary({{"type", "log"}}), [&](bool) { called = true; });
    RunLoop::main().runUntilIdle();
    EXPECT_FALSE(called);
    EXPECT_EQ(logs->lines(),
              (std::vector<testing::LogLine>{{"WebSocket -> Sending message: {\n    type = log;\n}", 2},
                                             {R"(WebSocket -> Sending json: {"type":"log"})", 2}}));
}

TEST_F(BLQWebSocketManagerTest, SentMessagesArriveAsJSONText) {
    connect();
    std::atomic<int> outcome{-1};
    manager->sendMessage(Value::dictionary({{"type", "update"}, {"n", 1}}),
                         [&](bool sent) { outcome = sent; });
    ASSERT_TRUE(waitFor([&] { return outcome != -1 && server.webSocketReceived().size() == 1; }));
    EXPECT_EQ(outcome, 1);
    EXPECT_EQ(server.webSocketReceived()[0], R"({"type":"update","n":1})");
    EXPECT_TRUE(logs->contains("WebSocket -> Sent message successfully", 2));
}

TEST_F(BLQWebSocketManagerTest, DisconnectingEndsThePingChainAndNothingReconnects) {
    connectAndAwaitFirstPong();
    manager->disconnect();
    EXPECT_FALSE(manager->isConnected());
    // The state is read just after the cancel; on a busy machine the close handshake, which runs on
    // the connection's own thread, may already be over by then.
    EXPECT_TRUE(logs->contains("WebSocket -> WebSocket task is being canceled.", 2) ||
                logs->contains("WebSocket -> WebSocket task is completed.", 2));
    ASSERT_TRUE(waitFor([&] { return server.webSocketClientCount() == 0; }));

    Clock::advance(10);
    ASSERT_TRUE(waitFor([&] { return logs->count("WebSocket -> received error after ping: ") == 1; }));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(Clock::pendingCount(), 0u);
    EXPECT_EQ(server.webSocketClientCount(), 0u);
}

TEST_F(BLQWebSocketManagerTest, AServerCloseIsLoggedAndNotFollowedByAReconnect) {
    connectAndAwaitFirstPong();
    server.closeWebSockets(1000);
    // The close callback and the failed receive arrive on the delegate queue in either order.
    ASSERT_TRUE(waitFor([&] {
        return logs->count("WebSocket -> Closed connection") == 1 && !manager->isConnected() &&
               logs->count("WebSocket -> Received error: ") >= 1;
    }));
    EXPECT_EQ(logs->count("WebSocket -> Received error: "), 1u);
    // The server counts the client until the client's answer to its close frame has arrived.
    ASSERT_TRUE(waitFor([&] { return server.webSocketClientCount() == 0; }));
    Clock::advance(60);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(server.webSocketClientCount(), 0u);
    EXPECT_FALSE(manager->isConnected());

    // Only a user's call connects again.
    connect();
    ASSERT_TRUE(waitFor([&] { return server.webSocketClientCount() == 1; }));
}

TEST_F(BLQWebSocketManagerTest, WhatCannotBeWrittenAsJSONIsNeitherSentNorAnswered) {
    connectAndAwaitFirstPong();
    std::atomic<int> completions{0};
    manager->sendMessage(Value("just text"), [&](bool) { ++completions; });
    manager->sendMessage(Value::dictionary({{"when", platform::Date()}}), [&](bool) { ++completions; });
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(logs->count("WebSocket -> Error serializing JSON: "), 2u);
    EXPECT_EQ(logs->count("WebSocket -> Sending json: "), 0u);
    // What follows still goes out: nothing was queued for the two.
    std::atomic<int> sent{-1};
    manager->sendMessage(Value::dictionary({{"type", "log"}}), [&](bool ok) { sent = ok; });
    ASSERT_TRUE(waitFor([&] { return sent != -1; }));
    EXPECT_EQ(sent, 1);
    // The client has written the frame; the server records it on its own thread.
    ASSERT_TRUE(waitFor([&] { return !server.webSocketReceived().empty(); }));
    EXPECT_EQ(server.webSocketReceived(), std::vector<std::string>{R"({"type":"log"})"});
    EXPECT_EQ(completions, 0);
}

TEST_F(BLQWebSocketManagerTest, ASendOnAnEndedConnectionFailsAndSaysSo) {
    connectAndAwaitFirstPong();
    server.closeWebSockets(1000);
    ASSERT_TRUE(waitFor([&] { return logs->count("WebSocket -> Received error: ") == 1; }));
    std::atomic<int> outcome{-1};
    manager->sendMessage(Value::dictionary({{"type", "update"}}), [&](bool sent) { outcome = sent; });
    ASSERT_TRUE(waitFor([&] { return outcome != -1; }));
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(logs->count("WebSocket -> Error sending message: "), 1u);
    EXPECT_FALSE(manager->isConnected());
    EXPECT_TRUE(server.webSocketReceived().empty());
}

TEST_F(BLQWebSocketManagerTest, ARemovedListenerHearsNothingMore) {
    auto kept = std::make_shared<Listener>(BLQWebSocketEventType::config);
    auto removed = std::make_shared<Listener>(BLQWebSocketEventType::config);
    manager->registerDelegate(nullptr);
    manager->registerDelegate(removed);
    manager->registerDelegate(kept);
    {
        // One that went away is dropped with the removal of another.
        auto gone = std::make_shared<Listener>(BLQWebSocketEventType::config);
        manager->registerDelegate(gone);
    }
    EXPECT_EQ(manager->delegates().size(), 2u);
    manager->removeDelegate(removed);
    ASSERT_EQ(manager->delegates().size(), 1u);
    EXPECT_EQ(manager->delegates()[0], kept);
    // Without a connection there is nothing to hold a listener for.
    manager->keepUntilAnswered(removed);
    manager->keepUntilAnswered(nullptr);

    server.setWebSocketOnConnect({R"({"type":"config","n":1})"});
    connect();
    ASSERT_TRUE(waitFor([&] { return kept->received().size() == 1; }));
    EXPECT_TRUE(removed->received().empty());
    std::weak_ptr<Listener> weakRemoved = removed;
    removed.reset();
    EXPECT_TRUE(weakRemoved.expired()) << "the client held a listener it was never asked to keep";
}

// The install requester as its users hold it: made, asked and let go at once.
class RequesterLetGo : public BLQWebSocketManagerTest {
protected:
    void SetUp() override {
        BLQWebSocketManagerTest::SetUp();
        config->host = server.baseURL();
    }
    static BLQInstallDTO installRecord() {
        return BLQInstallDTO("install-1", std::nullopt, "app-key-1", "3.0.3", std::nullopt, std::nullopt,
                             std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                             std::nullopt, false, std::nullopt, std::nullopt, std::nullopt);
    }
    // Notes the answer's "n".
    BLQRequestSuccessBlock noteAnswer() {
        return [this](const Value& json, const platform::URL&) {
            std::lock_guard lock(mutex);
            answers.push_back(json["n"].integerValue());
        };
    }
    static BLQRequestFailureBlock noFailure() {
        return [](const platform::Error&) { ADD_FAILURE() << "no failure is reported"; };
    }
    // Asks with a requester that nothing but the client holds afterwards.
    std::weak_ptr<BLQInstallWebsocketNetworkRequester> askAndLetGo(int times = 1) {
        auto requester = BLQInstallWebsocketNetworkRequester::create(manager, config);
        for (int i = 0; i < times; ++i)
            requester->sendInstallRequest(installRecord(), noteAnswer(), noFailure());
        return requester;
    }
    // The requests reached the server and their send outcomes came back (the outcome's handler
    // held the requester until then).
    void awaitSent(size_t requests) {
        ASSERT_TRUE(server.waitForWebSocketMessages(requests));
        ASSERT_TRUE(waitFor(
            [&] { return logs->count("Install: Sent message successfully to websocket") == requests; }));
    }
    std::vector<int64_t> heard() {
        std::lock_guard lock(mutex);
        return answers;
    }

    std::shared_ptr<testing::FakeConfigManager> config = std::make_shared<testing::FakeConfigManager>();
    std::mutex mutex;
    std::vector<int64_t> answers;
};

TEST_F(RequesterLetGo, HearsTheAnswerToEachRequestAndIsThenLetGo) {
    // Built and thrown away without asking, a requester leaves no listener behind.
    BLQInstallWebsocketNetworkRequester::create(manager, config);
    EXPECT_TRUE(manager->delegates().empty());

    auto requester = askAndLetGo(2);
    awaitSent(2);
    EXPECT_FALSE(requester.expired()) << "held by the client while its answers are due";
    server.sendWebSocketText(R"({"type":"register","n":1})");
    ASSERT_TRUE(waitFor([&] { return heard().size() == 1; }));
    EXPECT_FALSE(requester.expired()) << "one answer is still due";
    // A message of another type answers nothing.
    server.sendWebSocketText(R"({"type":"update","n":0})");
    server.sendWebSocketText(R"({"type":"register","n":2})");
    ASSERT_TRUE(waitFor([&] { return heard().size() == 2; }));
    EXPECT_EQ(heard(), (std::vector<int64_t>{1, 2}));
    ASSERT_TRUE(waitFor([&] { return requester.expired(); })) << "let go once answered";
    EXPECT_TRUE(manager->delegates().empty());
}

TEST_F(RequesterLetGo, IsLetGoWhenTheConnectionEndsWithoutAnAnswer) {
    auto requester = askAndLetGo();
    awaitSent(1);
    EXPECT_FALSE(requester.expired());
    server.closeWebSockets(1000);
    ASSERT_TRUE(waitFor([&] { return requester.expired(); }));
    EXPECT_TRUE(heard().empty());

    // Nor does a disconnect keep one.
    connect();
    requester = askAndLetGo();
    awaitSent(2);
    EXPECT_FALSE(requester.expired());
    manager->disconnect();
    ASSERT_TRUE(waitFor([&] { return requester.expired(); }));
    EXPECT_TRUE(heard().empty());
}

// A request that cannot be answered holds nothing: a send on a connection that has ended, or on one
// that fails while it opens, lets its requester go as soon as the failure is known, and a later
// connection's answer reaches only the requester that asked over it.
TEST_F(RequesterLetGo, IsLetGoAtOnceWhenItsSendFails) {
    // The stored connection has ended and the host makes no URL: nothing connects anew, and the
    // message goes to the ended task.
    connectAndAwaitFirstPong();
    server.closeWebSockets(1000);
    ASSERT_TRUE(waitFor([&] { return logs->count("WebSocket -> Received error: ") == 1; }));
    {
        auto listener = std::make_shared<Listener>(BLQWebSocketEventType::config);
        std::weak_ptr<Listener> weakListener = listener;
        manager->keepUntilAnswered(listener);
        listener.reset();
        EXPECT_TRUE(weakListener.expired()) << "held against a connection that has ended";
    }
    config->host = "not a host";
    auto requester = askAndLetGo();
    ASSERT_TRUE(waitFor([&] { return logs->count("Install: Failed to send message to websocket") == 1; }));
    ASSERT_TRUE(waitFor([&] { return requester.expired(); })) << "held for an answer that cannot come";

    // A connection whose opening fails: the send queued on it fails with it.
    config->host = server.baseURL() + "/missing";
    requester = askAndLetGo();
    ASSERT_TRUE(waitFor([&] { return logs->count("Install: Failed to send message to websocket") == 2; }));
    ASSERT_TRUE(waitFor([&] { return requester.expired(); }));

    config->host = server.baseURL();
    requester = askAndLetGo();
    awaitSent(1);
    server.sendWebSocketText(R"({"type":"register","n":7})");
    ASSERT_TRUE(waitFor([&] { return requester.expired(); }));
    EXPECT_EQ(heard(), std::vector<int64_t>{7});
    EXPECT_TRUE(manager->delegates().empty());
}

// A connection that ends without a close frame while no receive is waiting on it tells the client
// nothing, and the flag still counts it as connected. The first send over it fails, and that failure
// lets go at once of the requester held for an answer over it.
TEST_F(RequesterLetGo, IsLetGoWhenASendOverItsSilentlyEndedConnectionFails) {
    connectAndAwaitFirstPong();
    auto held = askAndLetGo();
    awaitSent(1);
    // A data frame ends the receive loop; until the next pong nothing reads the connection.
    server.sendWebSocketBinary("x");
    server.dropWebSockets();
    ASSERT_TRUE(waitFor([&] { return server.webSocketClientCount() == 0; }));
    endedUnread = 1;
    EXPECT_FALSE(held.expired()) << "nothing has told the client yet";

    // Sends go out until the client has seen its connection end; the first that fails is the one.
    bool failed = false;
    for (int attempt = 0; attempt < 200 && !failed; ++attempt) {
        std::atomic<int> outcome{-1};
        manager->sendMessage(Value::dictionary({{"type", "log"}}), [&outcome](bool ok) { outcome = ok; });
        ASSERT_TRUE(waitFor([&] { return outcome != -1; }));
        failed = outcome == 0;
    }
    ASSERT_TRUE(failed);
    EXPECT_TRUE(held.expired()) << "held over a connection whose send failed";
    EXPECT_FALSE(manager->isConnected());

    // A new connection's answer finds no one left to hear it.
    connect();
    ASSERT_TRUE(waitFor([&] { return server.webSocketClientCount() == 1; }));
    server.sendWebSocketText(R"({"type":"register","n":1})");
    ASSERT_TRUE(waitFor([&] { return logs->count("WebSocket -> Received JSON: ") == 1; }));
    EXPECT_TRUE(heard().empty());
    EXPECT_TRUE(manager->delegates().empty());
}

// A request made from the requester's own handler while a message is handed out is not answered
// by that message: the client holds the requester until the next one of its type.
TEST_F(RequesterLetGo, ARequestMadeWhileAMessageIsHandedOutWaitsForTheNext) {
    auto requester = BLQInstallWebsocketNetworkRequester::create(manager, config);
    std::weak_ptr<BLQInstallWebsocketNetworkRequester> weak = requester;
    BLQRequestSuccessBlock note = noteAnswer();
    requester->sendInstallRequest(
        installRecord(),
        [&weak, note](const Value& json, const platform::URL& url) {
            note(json, url);
            if (json["n"].integerValue() != 2) return;
            if (auto self = weak.lock()) self->sendInstallRequest(installRecord(), note, noFailure());
        },
        noFailure());
    awaitSent(1);
    server.sendWebSocketText(R"({"type":"register","n":1})");
    ASSERT_TRUE(waitFor([&] { return heard().size() == 1; }));
    // Heard by a requester its maker still holds and that no request of its own is waiting on:
    // the handler asks again.
    server.sendWebSocketText(R"({"type":"register","n":2})");
    awaitSent(2);
    requester.reset();
    EXPECT_FALSE(weak.expired()) << "the request made while the message was handed out is still due";
    server.sendWebSocketText(R"({"type":"register","n":3})");
    ASSERT_TRUE(waitFor([&] { return heard().size() == 3; }));
    EXPECT_EQ(heard(), (std::vector<int64_t>{1, 2, 3}));
    ASSERT_TRUE(waitFor([&] { return weak.expired(); })) << "let go once answered";
}

// A close reason is logged with the code only when it is UTF-8. The platform refuses a close frame
// whose reason is not (the connection fails instead); a reason that reaches the client anyway is
// left out of the line.
TEST_F(BLQWebSocketManagerTest, ACloseReasonIsLoggedOnlyWhenItIsUTF8) {
    connectAndAwaitFirstPong();
    server.closeWebSockets(4001, "maintenance \xE2\x9A\x99");
    ASSERT_TRUE(waitFor([&] { return logs->count("WebSocket -> Closed connection") == 1; }));
    EXPECT_TRUE(logs->contains(
        "WebSocket -> Closed connection for reason: maintenance \xE2\x9A\x99 with closeCode: 4001", 2));
    ASSERT_TRUE(waitFor([&] { return logs->count("WebSocket -> Received error: ") == 1; }));

    connect();
    ASSERT_TRUE(waitFor([&] { return server.webSocketClientCount() == 1 && manager->isConnected(); }));
    server.closeWebSockets(4002, "bad \xFF");
    ASSERT_TRUE(waitFor([&] { return logs->count("WebSocket -> Received error: ") == 2 && !manager->isConnected(); }));
    EXPECT_EQ(logs->count("WebSocket -> Closed connection for reason: bad"), 0u);

    // Both connections have ended; the close lines from here on are the calls' own.
    const size_t before = logs->lines().size();
    using Bytes = platform::Data;
    for (const Bytes& reason : {Bytes{'b', 0xFF}, Bytes{0xED, 0xA0, 0x80}, Bytes{0xC0, 0x80}, Bytes{0xE2, 0x82},
                                Bytes{0xF4, 0x90, 0x80, 0x80}})
        manager->didCloseWithCode(nullptr, 4003, reason);
    manager->didCloseWithCode(nullptr, 1000, std::nullopt);
    manager->didCloseWithCode(nullptr, 1000, Bytes{'o', 'k', ' ', 0xF0, 0x9F, 0x98, 0x80});
    std::vector<std::string> lines;
    const auto all = logs->lines();
    for (size_t i = before; i < all.size(); ++i)
        if (all[i].message.starts_with("WebSocket -> Closed connection")) lines.push_back(all[i].message);
    std::vector<std::string> expected(6, "WebSocket -> Closed connection");
    expected.push_back("WebSocket -> Closed connection for reason: ok \xF0\x9F\x98\x80 with closeCode: 1000");
    EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace brindlecue
