#include "platform/foundation/WebSocketConnection.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/dispatch/Clock.h"
#include "sample-server/SampleServer.h"

namespace brindlecue::platform {
namespace {

using sampleserver::SampleServer;
using sampleserver::ServerOptions;
using Result = WebSocketConnection::ReceiveResult;

// Collects what the connection reports; waits are bounded in real time because the events come from
// a real socket.
struct Recorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;
    std::vector<Result> received;
    std::vector<std::optional<Error>> completions;

    WebSocketConnection::Callbacks callbacks() {
        return {[this](const std::string& protocol) { add("open"); },
                [this](uint16_t code, const std::string& reason) {
                    add("close " + std::to_string(code) + " " + reason);
                },
                [this](const Error& error) {
                    add("error " + error.domain() + " " + std::to_string(error.code()));
                }};
    }
    void add(std::string event) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(event));
        changed.notify_all();
    }
    std::function<void(Result)> receiver() {
        return [this](Result result) {
            std::lock_guard lock(mutex);
            received.push_back(std::move(result));
            changed.notify_all();
        };
    }
    WebSocketConnection::Completion completion() {
        return [this](std::optional<Error> error) {
            std::lock_guard lock(mutex);
            completions.push_back(std::move(error));
            changed.notify_all();
        };
    }
    template <class Pred>
    bool waitFor(Pred pred) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), pred);
    }
    bool waitForEvent(const std::string& event) {
        return waitFor([&] { return std::find(events.begin(), events.end(), event) != events.end(); });
    }
};

std::string text(const Result& result) {
    if (auto* s = std::get_if<std::string>(&result)) return *s;
    if (auto* e = std::get_if<Error>(&result))
        return "error " + e->domain() + " " + std::to_string(e->code());
    return "binary";
}

std::string wsURL(const SampleServer& server, const std::string& scheme = "ws") {
    return scheme + "://127.0.0.1:" + std::to_string(server.port()) + "/ws";
}

TEST(WebSocketConnection, ExchangesFramesInOrderWithQueuedReceives) {
    SampleServer server;
    server.setWebSocketEcho(true);
    server.setWebSocketOnConnect({"hello"});
    server.start();
    Recorder recorder;
    WebSocketConnection connection(wsURL(server), {{"X-App-Key", "key-1"}});
    connection.setCallbacks(recorder.callbacks());
    for (int i = 0; i < 4; ++i) connection.receive(recorder.receiver());
    connection.connect();
    // Sent before the connection opens: they wait for it.
    connection.sendText("one", recorder.completion());
    connection.sendText("two", recorder.completion());

    ASSERT_TRUE(recorder.waitFor([&] { return recorder.received.size() == 3; }));
    EXPECT_EQ(recorder.events.front(), "open");
    EXPECT_EQ(text(recorder.received[0]), "hello");
    EXPECT_EQ(text(recorder.received[1]), "one");
    EXPECT_EQ(text(recorder.received[2]), "two");
    EXPECT_EQ(recorder.completions, (std::vector<std::optional<Error>>{std::nullopt, std::nullopt}));
    EXPECT_EQ(server.journal().back().header("X-App-Key"), "key-1");

    // Frames that arrive with nobody waiting are kept for the next receive.
    server.sendWebSocketText("pushed");
    ASSERT_TRUE(recorder.waitFor([&] { return recorder.received.size() == 4; }));
    EXPECT_EQ(text(recorder.received[3]), "pushed");
}

TEST(WebSocketConnection, PingIsAnsweredByPong) {
    SampleServer server;
    server.start();
    Recorder recorder;
    WebSocketConnection connection(wsURL(server));
    connection.connect();
    connection.sendPing(recorder.completion());
    connection.sendPing(recorder.completion());
    ASSERT_TRUE(recorder.waitFor([&] { return recorder.completions.size() == 2; }));
    EXPECT_FALSE(recorder.completions[0]);
    EXPECT_FALSE(recorder.completions[1]);
    EXPECT_EQ(server.webSocketPingsReceived(), 2u);
}

TEST(WebSocketConnection, ServerCloseReachesOnCloseAndLaterCallsFail) {
    SampleServer server;
    server.start();
    Recorder recorder;
    WebSocketConnection connection(wsURL(server));
    connection.setCallbacks(recorder.callbacks());
    connection.receive(recorder.receiver());
    connection.connect();
    ASSERT_TRUE(recorder.waitForEvent("open"));
    server.closeWebSockets(4001);
    ASSERT_TRUE(recorder.waitForEvent("close 4001 "));

    connection.sendText("late", recorder.completion());
    connection.receive(recorder.receiver());
    ASSERT_TRUE(
        recorder.waitFor([&] { return recorder.completions.size() == 1 && recorder.received.size() == 2; }));
    EXPECT_EQ(text(recorder.received[0]), "error NSPOSIXErrorDomain 57");
    EXPECT_EQ(text(recorder.received[1]), "error NSPOSIXErrorDomain 57");
    ASSERT_TRUE(recorder.completions[0]);
    EXPECT_EQ(recorder.completions[0]->code(), 57);
    EXPECT_EQ(recorder.events.size(), 2u);  // no error on a clean close
}

TEST(WebSocketConnection, CancelPerformsTheCloseHandshake) {
    SampleServer server;
    server.start();
    Recorder recorder;
    WebSocketConnection connection(wsURL(server));
    connection.setCallbacks(recorder.callbacks());
    connection.connect();
    ASSERT_TRUE(recorder.waitForEvent("open"));
    connection.cancel(4100, "bye");
    ASSERT_TRUE(recorder.waitForEvent("close 4100 bye"));
}

TEST(WebSocketConnection, ConnectFailuresReportURLErrors) {
    uint16_t closedPort;
    {
        SampleServer gone;
        gone.start();
        closedPort = gone.port();
    }
    SampleServer server;
    server.start();
    struct Case {
        std::string url;
        std::string expected;
    } cases[] = {
        {"ws://127.0.0.1:" + std::to_string(closedPort) + "/ws", "error NSURLErrorDomain -1004"},
        {"http://127.0.0.1/ws", "error NSURLErrorDomain -1000"},
        {"ws://127.0.0.1:1/a b", "error NSURLErrorDomain -1000"},
        {"ws://127.0.0.1:" + std::to_string(server.port()) + "/elsewhere", "error NSURLErrorDomain -1011"},
    };
    for (const auto& c : cases) {
        Recorder recorder;
        WebSocketConnection connection(c.url);
        connection.setCallbacks(recorder.callbacks());
        connection.receive(recorder.receiver());
        connection.connect();
        ASSERT_TRUE(recorder.waitFor([&] { return !recorder.events.empty() && !recorder.received.empty(); }))
            << c.url;
        EXPECT_EQ(recorder.events, std::vector<std::string>{c.expected}) << c.url;
        EXPECT_EQ(text(recorder.received[0]), c.expected) << c.url;
    }
}

TEST(WebSocketConnection, TheHandshakeDeadlineRunsOnTheClock) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

    // The server accepts the connection and never answers the upgrade.
    Clock::useVirtual();
    Recorder recorder;
    WebSocketConnection connection("ws://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/ws", {},
                                   30);
    connection.setCallbacks(recorder.callbacks());
    connection.connect();
    // The deadline is set on the connection's worker thread.
    for (int i = 0; i < 1000 && Clock::pendingCount() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(Clock::pendingCount(), 1u);
    Clock::advance(29.5);
    EXPECT_EQ(Clock::pendingCount(), 1u);
    Clock::advance(0.5);
    EXPECT_TRUE(recorder.waitForEvent("error NSURLErrorDomain -1001"));
    ::close(listener);
    Clock::useReal();
}

TEST(WebSocketConnection, SecureConnectionAsksTheTrustEvaluator) {
    SampleServer server(ServerOptions{.tls = true});
    server.setWebSocketEcho(true);
    server.start();

    for (bool accept : {true, false}) {
        Recorder recorder;
        std::vector<std::vector<uint8_t>> seenChain;
        std::string seenHost;
        WebSocketConnection connection(
            wsURL(server, "wss"), {}, 60,
            [&](const WebSocketConnection::CertificateChain& chain, const std::string& host) {
                seenChain = chain;
                seenHost = host;
                return accept;
            });
        connection.setCallbacks(recorder.callbacks());
        connection.connect();
        if (accept) {
            connection.sendText("secret", recorder.completion());
            connection.receive(recorder.receiver());
            ASSERT_TRUE(recorder.waitFor([&] { return !recorder.received.empty(); }));
            EXPECT_EQ(text(recorder.received[0]), "secret");
        } else {
            ASSERT_TRUE(recorder.waitForEvent("error NSURLErrorDomain -1202"));
        }
        ASSERT_FALSE(seenChain.empty());
        EXPECT_EQ(seenChain.front(), server.certificateDER());
        EXPECT_EQ(seenHost, "127.0.0.1");
    }

    // Without an evaluator the system roots decide, and they do not know this certificate.
    Recorder recorder;
    WebSocketConnection connection(wsURL(server, "wss"));
    connection.setCallbacks(recorder.callbacks());
    connection.connect();
    EXPECT_TRUE(recorder.waitForEvent("error NSURLErrorDomain -1202"));
}

TEST(WebSocketConnection, DestructionAnswersPendingCompletionsQuietly) {
    SampleServer server;
    server.start();
    Recorder recorder;
    {
        WebSocketConnection connection(wsURL(server));
        connection.setCallbacks(recorder.callbacks());
        connection.connect();
        ASSERT_TRUE(recorder.waitForEvent("open"));
        connection.receive(recorder.receiver());
    }
    ASSERT_EQ(recorder.received.size(), 1u);
    EXPECT_EQ(text(recorder.received[0]), "error NSURLErrorDomain -999");
    EXPECT_EQ(recorder.events, std::vector<std::string>{"open"});
}

TEST(WebSocketConnection, AddressesThatNameNoEndpointFailBeforeAnyConnection) {
    SampleServer server;
    server.start();
    const std::string port = std::to_string(server.port());
    for (const std::string& url : std::vector<std::string>{"ws127.0.0.1/ws", "ws://[::1/ws", "ws://[::1]x/ws", "ws://:" + port + "/ws",
                                  "ws://127.0.0.1:8o/ws", "ws://127.0.0.1:123456/ws", "ws://127.0.0.1:0/ws",
                                  "ws://127.0.0.1:70000/ws", "ws://127.0.0.1:" + port + "/a\x7f"}) {
        Recorder recorder;
        WebSocketConnection connection(url);
        connection.setCallbacks(recorder.callbacks());
        connection.connect();
        ASSERT_TRUE(recorder.waitFor([&] { return !recorder.events.empty(); })) << url;
        EXPECT_EQ(recorder.events, std::vector<std::string>{"error NSURLErrorDomain -1000"}) << url;
    }
    EXPECT_TRUE(server.journal().empty());
}

TEST(WebSocketConnection, AnAddressWithUserQueryAndFragmentReachesItsPathAndOnlySafeHeadersGo) {
    SampleServer server(ServerOptions{.webSocketPath = "/"});
    server.start();
    Recorder recorder;
    WebSocketConnection connection(
        "WS://user:pw@127.0.0.1:" + std::to_string(server.port()) + "?k=v#part",
        {{"X-Good", "yes"}, {"X-Bad", "a\r\nInjected: 1"}, {"", "empty"}, {"X-Colon:", "no"}, {"X-Nul", std::string("a\0b", 3)}});
    connection.setCallbacks(recorder.callbacks());
    connection.connect();
    ASSERT_TRUE(recorder.waitForEvent("open"));
    auto request = server.journal().at(0);
    EXPECT_EQ(request.path, "/");
    EXPECT_EQ(request.query, "k=v");
    EXPECT_EQ(request.header("Host"), "127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(request.header("X-Good"), "yes");
    EXPECT_EQ(request.header("X-Bad"), "");
    EXPECT_EQ(request.header("Injected"), "");
    EXPECT_EQ(request.header("X-Nul"), "");
    connection.cancel();
    ASSERT_TRUE(recorder.waitForEvent("close 1000 "));

    // The bracketed form of an address is read too; nothing listens there on this port.
    Recorder v6;
    WebSocketConnection other("ws://[::1]:" + std::to_string(server.port()) + "/");
    other.setCallbacks(v6.callbacks());
    other.connect();
    ASSERT_TRUE(v6.waitFor([&] { return !v6.events.empty(); }));
    EXPECT_NE(v6.events[0], "error NSURLErrorDomain -1000");
}

TEST(WebSocketConnection, ACloseCodeThatMayNotBeSentGoesWithoutOneAndLongReasonsAreCut) {
    SampleServer server;
    server.start();
    {
        Recorder recorder;
        WebSocketConnection connection(wsURL(server));
        connection.setCallbacks(recorder.callbacks());
        connection.connect();
        ASSERT_TRUE(recorder.waitForEvent("open"));
        connection.cancel(1006, "reserved");
        ASSERT_TRUE(recorder.waitFor([&] { return !recorder.events.empty() && recorder.events.back() != "open"; }));
        EXPECT_EQ(recorder.events.back(), "close 1005 ");
    }
    {
        Recorder recorder;
        WebSocketConnection connection(wsURL(server));
        connection.setCallbacks(recorder.callbacks());
        connection.connect();
        ASSERT_TRUE(recorder.waitForEvent("open"));
        connection.cancel(3000, std::string(200, 'r'));
        ASSERT_TRUE(recorder.waitForEvent("close 3000 " + std::string(123, 'r')));
    }
}

}  // namespace
}  // namespace brindlecue::platform
