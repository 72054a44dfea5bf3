#include "platform/foundation/URLSessionWebSocketTask.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/dispatch/OperationQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "sample-server/SampleServer.h"

namespace brindlecue::platform {
namespace {

using sampleserver::SampleServer;
using sampleserver::ServerOptions;
using Message = URLSessionWebSocketTask::Message;

class SocketRecorder : public URLSessionDelegate {
public:
    std::function<void(const URLAuthenticationChallenge&, ChallengeCompletion)> onChallenge;

    void taskDidReceiveChallenge(const std::shared_ptr<URLSession>&, const std::shared_ptr<URLSessionTask>&,
                                 const URLAuthenticationChallenge& challenge, ChallengeCompletion completion) override {
        if (onChallenge) return onChallenge(challenge, std::move(completion));
        completion(URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
    }
    void webSocketTaskDidOpenWithProtocol(const std::shared_ptr<URLSession>&,
                                          const std::shared_ptr<URLSessionWebSocketTask>&,
                                          const std::optional<std::string>&) override {
        add("open");
    }
    void webSocketTaskDidCloseWithCode(const std::shared_ptr<URLSession>&,
                                       const std::shared_ptr<URLSessionWebSocketTask>&, int64_t code,
                                       const std::optional<Data>&) override {
        add("close " + std::to_string(code));
    }
    void taskDidCompleteWithError(const std::shared_ptr<URLSession>&, const std::shared_ptr<URLSessionTask>&,
                                  const std::optional<Error>& e) override {
        add(e ? "complete " + std::to_string(e->code()) : "complete");
    }

    void add(std::string event) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(event));
    }
    bool has(const std::string& event) {
        std::lock_guard lock(mutex);
        return std::find(events.begin(), events.end(), event) != events.end();
    }
    std::vector<std::string> list() {
        std::lock_guard lock(mutex);
        return events;
    }

    std::mutex mutex;
    std::vector<std::string> events;
};

bool waitFor(const std::function<bool()>& predicate) { return RunLoop::main().runUntil(predicate, 20); }

std::string socketURL(const SampleServer& server) {
    std::string base = server.baseURL();
    return (base.rfind("https", 0) == 0 ? "wss" + base.substr(5) : "ws" + base.substr(4)) + "/ws";
}

class WebSocketTaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        recorder = std::make_shared<SocketRecorder>();
        session = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration(), recorder);
    }
    void TearDown() override { session->invalidateAndCancel(); }

    std::shared_ptr<SocketRecorder> recorder;
    std::shared_ptr<URLSession> session;
};

TEST_F(WebSocketTaskTest, ExchangesMessagesPingsAndTheClosingHandshake) {
    SampleServer server;
    server.start();
    server.setWebSocketOnConnect({R"({"type":"config"})"});
    URLRequest request(URL::fromString(socketURL(server)));
    request.setValue("k1", "X-App-Key");
    auto task = session->webSocketTaskWithRequest(request);

    // Sent before the connection is open: it waits for it.
    std::mutex mutex;
    std::vector<std::string> results;
    auto note = [&](std::string s) {
        std::lock_guard lock(mutex);
        results.push_back(std::move(s));
    };
    task->sendMessage(Message::text("first"), [&](auto error) { note(error ? "send failed" : "sent"); });
    task->receiveMessageWithCompletionHandler([&](auto message, auto error) {
        note(message ? "got " + message->string : "receive failed");
    });
    task->resume();
    EXPECT_EQ(task->state(), URLSessionTask::State::Running);
    ASSERT_TRUE(server.waitForWebSocketMessages(1));
    EXPECT_EQ(server.webSocketReceived().front(), "first");
    EXPECT_EQ(server.journal().back().header("x-app-key"), "k1");

    task->sendPingWithPongReceiveHandler([&](auto error) { note(error ? "pong failed" : "pong"); });
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard lock(mutex);
        return results.size() == 3;
    }));
    std::sort(results.begin(), results.end());
    EXPECT_EQ(results, (std::vector<std::string>{R"(got {"type":"config"})", "pong", "sent"}));
    EXPECT_EQ(server.webSocketPingsReceived(), 1u);
    EXPECT_TRUE(recorder->has("open"));

    task->cancelWithCloseCode(URLSessionWebSocketTask::NormalClosure, std::nullopt);
    ASSERT_TRUE(waitFor([&] { return task->state() == URLSessionTask::State::Completed; }));
    ASSERT_TRUE(waitFor([&] { return recorder->has("complete"); }));
    EXPECT_EQ(recorder->list(), (std::vector<std::string>{"open", "close 1000", "complete"}));
    EXPECT_EQ(task->closeCode(), URLSessionWebSocketTask::NormalClosure);

    // After the close every ping fails, and so would the next one.
    std::optional<Error> pongError;
    std::atomic<bool> ponged = false;
    task->sendPingWithPongReceiveHandler([&](auto error) {
        pongError = error ? error : Error("none", 0);
        ponged = true;
    });
    ASSERT_TRUE(waitFor([&] { return ponged.load(); }));
    EXPECT_NE(pongError->domain(), "none");
}

TEST_F(WebSocketTaskTest, TrustForWSSComesFromTheDelegate) {
    SampleServer server(ServerOptions{.tls = true});
    server.start();
    auto refused = session->webSocketTaskWithURL(*URL::fromString(socketURL(server)));
    refused->resume();
    ASSERT_TRUE(waitFor([&] { return refused->state() == URLSessionTask::State::Completed; }));
    EXPECT_TRUE(refused->error());
    EXPECT_EQ(server.webSocketClientCount(), 0u);

    auto anchor = SecCertificate::createWithData(server.certificateDER());
    recorder->onChallenge = [&](const URLAuthenticationChallenge& challenge, auto completion) {
        auto trust = challenge.protectionSpace().serverTrust();
        trust->setAnchorCertificates({anchor});
        completion(URLSessionAuthChallengeDisposition::UseCredential, URLCredential::forTrust(trust));
    };
    auto accepted = session->webSocketTaskWithURL(*URL::fromString(socketURL(server)));
    accepted->resume();
    ASSERT_TRUE(waitFor([&] { return recorder->has("open"); }));
    accepted->cancelWithCloseCode(URLSessionWebSocketTask::NormalClosure, std::nullopt);
    ASSERT_TRUE(waitFor([&] { return accepted->state() == URLSessionTask::State::Completed; }));
}

TEST_F(WebSocketTaskTest, AnUnusableURLFailsEveryOperation) {
    auto task = session->webSocketTaskWithURL(*URL::fromString("ftp://127.0.0.1/ws"));
    std::optional<Error> sendError;
    std::atomic<bool> sent = false;
    task->sendMessage(Message::text("x"), [&](auto error) {
        sendError = error;
        sent = true;
    });
    task->resume();
    ASSERT_TRUE(waitFor([&] { return sent.load() && recorder->has("complete -1002"); }));
    EXPECT_EQ(sendError->code(), URLError::UnsupportedURL);

    auto idle = session->webSocketTaskWithURL(*URL::fromString("ws://127.0.0.1:1/ws"));
    idle->cancel();
    EXPECT_EQ(idle->state(), URLSessionTask::State::Completed);
    EXPECT_EQ(idle->error()->code(), URLError::Cancelled);
}

TEST_F(WebSocketTaskTest, AnHTTPAddressReachesItsWebsocketWithTheSessionsHeadersBehindTheRequests) {
    SampleServer server;
    server.setWebSocketEcho(true);
    server.start();
    auto configuration = URLSessionConfiguration::defaultSessionConfiguration();
    configuration.httpAdditionalHeaders = {{"X-Session", "s"}, {"X-App-Key", "from-session"}};
    auto withHeaders = URLSession::create(configuration, recorder);
    URLRequest request(URL::fromString(server.baseURL() + "/ws"));
    request.setValue("from-request", "X-App-Key");
    auto task = withHeaders->webSocketTaskWithRequest(request);
    task->resume();
    ASSERT_TRUE(waitFor([&] { return recorder->has("open"); }));
    auto upgrade = server.journal().back();
    EXPECT_EQ(upgrade.header("X-Session"), "s");
    EXPECT_EQ(upgrade.header("X-App-Key"), "from-request");

    // Binary messages cannot go out on this transport; the failure says so.
    std::optional<Error> binaryError;
    std::atomic<bool> tried = false;
    task->sendMessage(Message::binary({1, 2}), [&](auto error) {
        binaryError = error;
        tried = true;
    });
    ASSERT_TRUE(waitFor([&] { return tried.load(); }));
    ASSERT_TRUE(binaryError);
    EXPECT_EQ(binaryError->code(), URLError::Unknown);

    // A close with a reason: the server's answer carries it back.
    task->cancelWithCloseCode(URLSessionWebSocketTask::GoingAway, Data{'b', 'y', 'e'});
    task->cancelWithCloseCode(URLSessionWebSocketTask::NormalClosure, std::nullopt);  // already closing: ignored
    ASSERT_TRUE(waitFor([&] { return task->state() == URLSessionTask::State::Completed; }));
    EXPECT_EQ(task->closeCode(), URLSessionWebSocketTask::GoingAway);
    EXPECT_EQ(task->closeReason(), (Data{'b', 'y', 'e'}));
    withHeaders->invalidateAndCancel();
}

TEST_F(WebSocketTaskTest, AnAddressWithoutAHostFailsEveryOperationAsABadURL) {
    auto task = session->webSocketTaskWithURL(*URL::fromString("ws:///ws"));
    std::vector<int64_t> codes;
    std::mutex mutex;
    auto note = [&](const std::optional<Error>& error) {
        std::lock_guard lock(mutex);
        codes.push_back(error ? error->code() : 0);
    };
    task->receiveMessageWithCompletionHandler([&](auto, auto error) { note(error); });
    task->sendPingWithPongReceiveHandler([&](auto error) { note(error); });
    task->resume();
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard lock(mutex);
        return codes.size() == 2 && recorder->has("complete -1000");
    }));
    EXPECT_EQ(codes, (std::vector<int64_t>{URLError::BadURL, URLError::BadURL}));
}

TEST_F(WebSocketTaskTest, ACloseBeforeTheStartCancelsAndASessionWithoutDelegateStillConnects) {
    auto early = session->webSocketTaskWithURL(*URL::fromString("ws://127.0.0.1:1/ws"));
    early->cancelWithCloseCode(URLSessionWebSocketTask::NormalClosure, std::nullopt);
    ASSERT_TRUE(waitFor([&] { return early->state() == URLSessionTask::State::Completed; }));
    EXPECT_EQ(early->error()->code(), URLError::Cancelled);

    SampleServer server;
    server.setWebSocketEcho(true);
    server.start();
    auto quiet = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration());
    auto task = quiet->webSocketTaskWithURL(*URL::fromString(socketURL(server)));
    std::atomic<bool> echoed = false;
    task->sendMessage(Message::text("hi"), nullptr);
    task->receiveMessageWithCompletionHandler([&](auto message, auto) { echoed = message && message->string == "hi"; });
    task->resume();
    ASSERT_TRUE(waitFor([&] { return echoed.load(); }));
    task->cancelWithCloseCode(URLSessionWebSocketTask::NormalClosure, std::nullopt);
    ASSERT_TRUE(waitFor([&] { return task->state() == URLSessionTask::State::Completed; }));
    EXPECT_EQ(task->closeCode(), URLSessionWebSocketTask::NormalClosure);
    quiet->invalidateAndCancel();
}

}  // namespace
}  // namespace brindlecue::platform
