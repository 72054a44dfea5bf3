#include "facade/BLQAppStatusWebSocketFetcher.h"

#include <gtest/gtest.h>

#include "network/BLQHTTPRequestError.h"
#include "platform/foundation/URLRequest.h"
#include "support/RecordingLoggerManager.h"
#include "support/SettableAppDetails.h"

namespace brindlecue {
namespace {

using platform::Value;

class FakeWebSocketManager final : public BLQIWebSocketManager {
public:
    bool connected = false;
    std::vector<std::string> connectedTo;
    std::vector<std::shared_ptr<BLQIWebSocketManagerDelegate>> listeners;

    std::vector<std::shared_ptr<BLQIWebSocketManagerDelegate>> delegates() const override {
        return listeners;
    }
    bool isConnected() const override { return connected; }
    void registerDelegate(std::shared_ptr<BLQIWebSocketManagerDelegate> d) override {
        listeners.push_back(d);
    }
    void removeDelegate(const std::shared_ptr<BLQIWebSocketManagerDelegate>&) override {}
    void keepUntilAnswered(std::shared_ptr<BLQIWebSocketManagerDelegate>) override {
        ADD_FAILURE() << "the fetcher sends no request";
    }
    void connect(const platform::URLRequest& request) override {
        EXPECT_EQ(request.timeoutInterval(), 60.0);
        connectedTo.push_back(request.url()->absoluteString());
    }
    void disconnect() override {}
    void sendMessage(const Value&, std::function<void(bool)>) override { ADD_FAILURE() << "nothing is sent"; }
    void sendPing(bool) override {}
};

class RecordingHandler final : public BLQIAppStatusFetchHandler {
public:
    std::vector<BLQAppStatusModel> documents;
    std::vector<platform::Error> errors;
    void setManager(std::shared_ptr<BLQIAppStatusManager>) override {}
    void handleAppStatusSuccess(const BLQAppStatusModel& model) override { documents.push_back(model); }
    void handleAppStatusFailure(const platform::Error& error) override { errors.push_back(error); }
};

class BLQAppStatusWebSocketFetcherTest : public ::testing::Test {
protected:
    // The client would keep its listeners for the process; here they are let go.
    void TearDown() override { socket->listeners.clear(); }

    std::shared_ptr<testsupport::RecordingLoggerManager> logs =
        testsupport::RecordingLoggerManager::install();
    std::shared_ptr<testsupport::SettableAppDetails> details =
        std::make_shared<testsupport::SettableAppDetails>();
    std::shared_ptr<FakeWebSocketManager> socket = std::make_shared<FakeWebSocketManager>();
};

TEST_F(BLQAppStatusWebSocketFetcherTest, FetchesConnectWhenNeededAndStatusMessagesGoToTheLastHandler) {
    auto fetcher = BLQAppStatusWebSocketFetcher::create(details, socket);
    ASSERT_EQ(socket->listeners.size(), 1u);
    EXPECT_EQ(socket->listeners[0]->eventType(), BLQWebSocketEventType::status);
    fetcher->receivedJSON(
        Value::dictionary({{"type", "status"}, {"log_level", 3}}));  // no handler yet: dropped

    auto first = std::make_shared<RecordingHandler>();
    auto handler = std::make_shared<RecordingHandler>();
    fetcher->fetchAppStatus("https://api.example.test", first);
    fetcher->fetchAppStatus("http://httpbin.example.test", first);
    socket->connected = true;
    fetcher->fetchAppStatus("https://api.example.test", handler);
    // Only the scheme changes; an "http" inside the host name stays.
    EXPECT_EQ(socket->connectedTo,
              (std::vector<std::string>{"wss://api.example.test/ws", "ws://httpbin.example.test/ws"}));

    fetcher->receivedJSON(Value::dictionary({{"type", "status"}, {"log_level", 3}}));
    fetcher->receivedJSON(Value::dictionary({{"type", "status"}, {"log_level", "3"}}));
    fetcher->receivedJSON(Value::dictionary({{"type", "status"}, {"when", platform::Date::now()}}));
    EXPECT_TRUE(first->documents.empty() && first->errors.empty());
    ASSERT_EQ(handler->documents.size(), 1u);
    EXPECT_EQ(handler->documents[0].logLevel, 3);
    ASSERT_EQ(handler->errors.size(), 2u);
    auto parse = BLQHTTPRequestError::fromError(handler->errors[0]);
    EXPECT_EQ(parse->kind(), BLQHTTPRequestError::Kind::failedToParseResponse);
    EXPECT_EQ(parse->message(), "AppStatus: Failed to parse response body as AppStatusModel");
    auto convert = BLQHTTPRequestError::fromError(handler->errors[1]);
    EXPECT_EQ(convert->kind(), BLQHTTPRequestError::Kind::unknownError);
    EXPECT_EQ(convert->message(), "AppStatus: Failed to convert received JSON to Data object");
    EXPECT_EQ(logs->count("AppStatus: Received JSON: "), 4u);
}

}  // namespace
}  // namespace brindlecue
