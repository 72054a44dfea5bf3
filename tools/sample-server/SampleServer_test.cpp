#include "sample-server/SampleServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <system_error>
#include <thread>

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <nlohmann/json.hpp>

namespace brindlecue::sampleserver {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

using Response = http::response<http::string_body>;

// A blocking client over a fresh connection, reading one answer.
struct Client {
    asio::io_context ioc;
    tcp::socket socket{ioc};
    explicit Client(uint16_t port) { socket.connect({asio::ip::make_address("127.0.0.1"), port}); }

    void writeRaw(const std::string& bytes) { asio::write(socket, asio::buffer(bytes)); }
    Response read(beast::error_code& ec) {
        beast::flat_buffer buffer;
        Response response;
        http::read(socket, buffer, response, ec);
        return response;
    }
    Response request(http::verb verb, const std::string& target, const std::string& body = "",
                     Headers headers = {}) {
        http::request<http::string_body> req(verb, target, 11);
        req.set(http::field::host, "127.0.0.1");
        for (auto& [name, value] : headers) req.set(name, value);
        req.body() = body;
        req.prepare_payload();
        http::write(socket, req);
        beast::error_code ec;
        auto response = read(ec);
        EXPECT_FALSE(ec) << ec.message();
        return response;
    }
};

Response get(const SampleServer& server, const std::string& target) {
    return Client(server.port()).request(http::verb::get, target);
}

class SampleServerTest : public ::testing::Test {
protected:
    void SetUp() override { server.start(); }
    SampleServer server;
};

TEST_F(SampleServerTest, RoutesMatchMethodAndWholePathMostRecentFirst) {
    server.addRoute({"GET", "/v3/feed/.*", 200, {{"X-Answer", "older"}}, R"({"feed":[]})"});
    server.addRoute({"GET", "/v3/feed/special", 201, {}, "plain words"});
    server.addRoute({"POST", "/v3/installs", 409, {}, ""});

    auto older = get(server, "/v3/feed/abc?x=1");
    EXPECT_EQ(older.result_int(), 200);
    EXPECT_EQ(older[http::field::content_type], "application/json");
    EXPECT_EQ(older["X-Answer"], "older");
    EXPECT_EQ(older.body(), R"({"feed":[]})");

    auto newer = get(server, "/v3/feed/special");
    EXPECT_EQ(newer.result_int(), 201);
    EXPECT_EQ(newer[http::field::content_type], "text/plain; charset=utf-8");

    // The pattern must match the whole path, and the method must agree.
    auto prefixOnly = get(server, "/v3/feed");
    EXPECT_EQ(prefixOnly.result_int(), 404);
    EXPECT_EQ(nlohmann::json::parse(prefixOnly.body())["path"], "/v3/feed");
    EXPECT_EQ(get(server, "/v3/installs").result_int(), 404);
    EXPECT_EQ(Client(server.port()).request(http::verb::post, "/v3/installs", "{}").result_int(), 409);
}

TEST_F(SampleServerTest, LimitedRoutesFallThroughOnceUsedUp) {
    server.addRoute({"*", "/status", 200, {}, "ok"});
    Route fault{"*", "/status", 429, {{"Retry-After", "3"}}, ""};
    fault.times = 2;
    server.addRoute(fault);

    Client client(server.port());  // one keep-alive connection for all three
    auto first = client.request(http::verb::get, "/status");
    EXPECT_EQ(first.result_int(), 429);
    EXPECT_EQ(first["retry-after"], "3");
    EXPECT_EQ(client.request(http::verb::put, "/status").result_int(), 429);
    EXPECT_EQ(client.request(http::verb::get, "/status").result_int(), 200);
}

TEST_F(SampleServerTest, DelayedAndDroppedAnswers) {
    Route slow{"GET", "/slow", 200, {}, "late"};
    slow.delaySeconds = 0.05;
    server.addRoute(slow);
    Route drop{"GET", "/drop", 200, {}, ""};
    drop.closeConnection = true;
    server.addRoute(drop);

    EXPECT_EQ(get(server, "/slow").body(), "late");
    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].status, 200);
    EXPECT_GE(journal[0].answeredAt - journal[0].receivedAt, 0.05);

    // A late answer to a request from before a clear leaves the entries of later requests alone.
    Route later{"GET", "/later", 200, {}, "later"};
    later.delaySeconds = 0.4;
    server.addRoute(later);
    server.clearJournal();
    std::thread late([&] { get(server, "/later"); });
    ASSERT_TRUE(server.waitForRequests(1));
    server.clearJournal();
    get(server, "/missing");
    late.join();
    journal = server.journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].path, "/missing");
    EXPECT_EQ(journal[0].status, 404);

    Client client(server.port());
    client.writeRaw("GET /drop HTTP/1.1\r\nHost: x\r\n\r\n");
    beast::error_code ec;
    client.read(ec);
    EXPECT_TRUE(ec);
}

TEST_F(SampleServerTest, CredentialsValidatorsAndRanges) {
    Route guarded{"GET", "/private", 200, {{"Cache-Control", "max-age=60"}}, "0123456789"};
    guarded.basicAuth = "user:secret";
    guarded.etag = "\"v1\"";
    guarded.acceptsRanges = true;
    server.addRoute(guarded);

    Client client(server.port());
    auto refused = client.request(http::verb::get, "/private");
    EXPECT_EQ(refused.result_int(), 401);
    EXPECT_EQ(refused[http::field::www_authenticate], "Basic realm=\"sample\"");
    Headers credentials{{"Authorization", "Basic dXNlcjpzZWNyZXQ="}};
    auto full = client.request(http::verb::get, "/private", "", credentials);
    EXPECT_EQ(full.result_int(), 200);
    EXPECT_EQ(full[http::field::etag], "\"v1\"");
    EXPECT_EQ(full.body(), "0123456789");

    auto withTag = credentials;
    withTag.emplace_back("If-None-Match", "\"v1\"");
    auto notModified = client.request(http::verb::get, "/private", "", withTag);
    EXPECT_EQ(notModified.result_int(), 304);
    EXPECT_EQ(notModified[http::field::cache_control], "max-age=60");
    EXPECT_TRUE(notModified.body().empty());

    auto ranged = credentials;
    ranged.emplace_back("Range", "bytes=6-");
    auto rest = client.request(http::verb::get, "/private", "", ranged);
    EXPECT_EQ(rest.result_int(), 206);
    EXPECT_EQ(rest[http::field::content_range], "bytes 6-9/10");
    EXPECT_EQ(rest.body(), "6789");
    ranged.emplace_back("If-Range", "\"v0\"");
    EXPECT_EQ(client.request(http::verb::get, "/private", "", ranged).body(), "0123456789");
}

TEST_F(SampleServerTest, JournalKeepsEveryRequestWithDecodedChunkedBodies) {
    server.addRoute({"POST", "/v3/tags", 200, {}, "{}"});
    Client client(server.port());
    client.writeRaw(
        "POST /v3/tags?app_key=a%20b&x=1 HTTP/1.1\r\nHost: h\r\nX-Install-ID: abc\r\n"
        "Transfer-Encoding: chunked\r\n\r\n5\r\n{\"a\":\r\n3\r\n 1}\r\n0\r\n\r\n");
    beast::error_code ec;
    EXPECT_EQ(client.read(ec).result_int(), 200);
    get(server, "/missing");

    ASSERT_TRUE(server.waitForRequests(2));
    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].method, "POST");
    EXPECT_EQ(journal[0].path, "/v3/tags");
    EXPECT_EQ(journal[0].query, "app_key=a%20b&x=1");
    EXPECT_EQ(journal[0].body, "{\"a\": 1}");
    EXPECT_EQ(journal[0].header("x-install-id"), "abc");
    EXPECT_EQ(journal[0].header("X-Missing"), "");
    bool originalCase = false;
    for (auto& [name, value] : journal[0].headers) originalCase = originalCase || name == "X-Install-ID";
    EXPECT_TRUE(originalCase);
    EXPECT_EQ(journal[1].path, "/missing");

    server.clearJournal();
    EXPECT_TRUE(server.journal().empty());
    EXPECT_FALSE(server.waitForRequests(1, 0.01));
}

TEST_F(SampleServerTest, MalformedRequestGets400AndServerCarriesOn) {
    for (const char* bad : {"garbage\r\n\r\n", "GET / HTTP/1.1\r\nContent-Length: nope\r\n\r\n",
                            "GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n"}) {
        Client client(server.port());
        client.writeRaw(bad);
        beast::error_code ec;
        auto response = client.read(ec);
        EXPECT_FALSE(ec) << bad;
        EXPECT_EQ(response.result_int(), 400) << bad;
    }
    EXPECT_EQ(get(server, "/after").result_int(), 404);
}

TEST(SampleServerScenario, LoadsRoutesAndWebSocketSettings) {
    SampleServer server;
    ASSERT_TRUE(server.loadScenario(R"({
        "routes": [
            {"method": "GET", "path": "/v3/apps/.*/status", "status": 200, "body": {"enabled": true},
             "headers": {"X-Mode": "test"}},
            {"method": "GET", "path": "/v3/apps/.*", "status": 500, "times": 1},
            {"path": "/text", "body": "hello", "delay": 0, "close": false}
        ],
        "websocket": {"echo": true, "on_connect": [{"type": "config"}, "plain"]}
    })"));
    server.start();
    auto status = get(server, "/v3/apps/k/status");
    EXPECT_EQ(status.result_int(), 200);
    EXPECT_EQ(nlohmann::json::parse(status.body())["enabled"], true);
    EXPECT_EQ(status["X-Mode"], "test");
    EXPECT_EQ(get(server, "/v3/apps/k").result_int(), 500);
    EXPECT_EQ(get(server, "/v3/apps/k").result_int(), 404);
    EXPECT_EQ(get(server, "/text").body(), "hello");
}

TEST(SampleServerScenario, MalformedDocumentsChangeNothing) {
    SampleServer server;
    ASSERT_TRUE(server.loadScenario(R"({"routes": [{"path": "/kept", "body": "kept"}]})"));
    for (const char* bad : {
             "not json",
             "[]",
             R"({"routes": {}})",
             R"({"routes": [{"method": "GET"}]})",
             R"({"routes": [{"path": "("}]})",
             R"({"routes": [{"path": "/a", "status": "200"}]})",
             R"({"routes": [{"path": "/a", "delay": -1}]})",
             R"({"routes": [{"path": "/a", "close": "yes"}]})",
             R"({"routes": [{"path": "/a", "headers": []}]})",
             R"({"websocket": {"on_connect": "hi"}})",
         })
        EXPECT_FALSE(server.loadScenario(bad)) << bad;
    server.start();
    EXPECT_EQ(get(server, "/kept").body(), "kept");
}

TEST(SampleServerScenario, ErrorsSayWhatIsWrongAndWhere) {
    SampleServer server;
    struct Case {
        const char* document;
        const char* error;
    };
    const Case cases[] = {
        {"{\n  \"routes\": [\n    {\"path\": \"/a\",}\n  ]\n}",
         "parse error at line 3, column 19: syntax error while parsing object key"},
        {"[]", "the document is not an object"},
        {R"({"rotes": []})", "unknown key \"rotes\""},
        {R"({"routes": [{"path": "/a"}, {"method": "POST", "rout": "/v3/logs"}]})",
         "route 2 has no \"path\" string"},
        {R"({"routes": [{"path": "/a"}, {"method": "POST", "path": "/v3/logs", "rout": 1}]})",
         "route 2 (POST /v3/logs): unknown key \"rout\""},
        {R"({"routes": [{"path": "/a", "delay": 1e300}]})",
         "route 1 (GET /a): \"delay\" must be a number of seconds from 0 to 86400"},
        {R"({"routes": [{"path": "/a", "delay": 86400.5}]})", "\"delay\" must be"},
        {R"({"routes": [{"path": "/a", "times": -2}]})", "route 1 (GET /a): \"times\""},
        {R"({"routes": [{"path": "/a", "times": 1.5}]})", "route 1 (GET /a): \"times\""},
        {R"({"routes": [{"path": "/a", "status": 1000}]})", "route 1 (GET /a): \"status\""},
        {R"({"routes": [{"path": "/a", "echo": [1]}]})", "route 1 (GET /a): \"echo\""},
        {R"({"routes": [{"path": "(", "method": "PUT"}]})",
         "route 1 (PUT (): \"path\" is not a regular expression"},
        {R"({"websocket": {"ehco": true}})", "websocket: unknown key \"ehco\""},
        {R"({"websocket": {"echo": 1}})", "websocket: \"echo\""},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(server.loadScenario(c.document, &error)) << c.document;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.document << "\n gave: " << error;
    }
    // The longest wait the server takes is allowed.
    std::string error = "untouched";
    EXPECT_TRUE(server.loadScenario(R"({"routes": [{"path": "/a", "delay": 86400, "times": -1}]})", &error));
    EXPECT_EQ(error, "untouched");
}

TEST(SampleServerStart, OnATakenPortThrowsTheBindErrorAndCanBeDestroyedOrStartedAgain) {
    SampleServer first;
    first.start();
    {
        SampleServer second(ServerOptions{.port = first.port()});
        try {
            second.start();
            ADD_FAILURE() << "a second server started on port " << first.port();
        } catch (const std::system_error& e) {
            EXPECT_EQ(std::string(e.what()), "bind: Address already in use");
        }
        EXPECT_EQ(second.port(), 0);
    }  // destroyed after a failed start

    SampleServer again(ServerOptions{.port = first.port()});
    EXPECT_THROW(again.start(), std::system_error);
    again.stop();  // nothing to stop
    const uint16_t port = first.port();
    first.stop();
    again.addRoute({"GET", "/ok", 200, {}, "yes"});
    again.start();  // the port is free now
    EXPECT_EQ(again.port(), port);
    EXPECT_EQ(get(again, "/ok").body(), "yes");
}

TEST(SampleServerTls, HandshakeSucceedsWithTheGeneratedCertificateAsAuthority) {
    SampleServer server(ServerOptions{.tls = true});
    server.addRoute({"GET", "/secure", 200, {}, "yes"});
    server.start();
    EXPECT_EQ(server.baseURL(), "https://127.0.0.1:" + std::to_string(server.port()));
    EXPECT_NE(server.certificatePEM().find("BEGIN CERTIFICATE"), std::string::npos);
    EXPECT_FALSE(server.certificateDER().empty());

    asio::io_context ioc;
    for (const char* host : {"127.0.0.1", "localhost"}) {
        asio::ssl::context ctx(asio::ssl::context::tls_client);
        ctx.add_certificate_authority(asio::buffer(server.certificatePEM()));
        ctx.set_verify_mode(asio::ssl::verify_peer);
        beast::ssl_stream<beast::tcp_stream> stream(ioc, ctx);
        SSL_set1_host(stream.native_handle(), host);
        beast::get_lowest_layer(stream).connect({asio::ip::make_address("127.0.0.1"), server.port()});
        stream.handshake(asio::ssl::stream_base::client);
        http::request<http::string_body> req(http::verb::get, "/secure", 11);
        req.set(http::field::host, host);
        http::write(stream, req);
        beast::flat_buffer buffer;
        Response response;
        http::read(stream, buffer, response);
        EXPECT_EQ(response.body(), "yes") << host;
    }

    // Without the certificate as an authority the handshake fails verification.
    asio::ssl::context strict(asio::ssl::context::tls_client);
    strict.set_verify_mode(asio::ssl::verify_peer);
    beast::ssl_stream<beast::tcp_stream> stream(ioc, strict);
    beast::get_lowest_layer(stream).connect({asio::ip::make_address("127.0.0.1"), server.port()});
    beast::error_code ec;
    stream.handshake(asio::ssl::stream_base::client, ec);
    EXPECT_TRUE(ec);
}

// A blocking websocket client.
struct WsClient {
    asio::io_context ioc;
    websocket::stream<beast::tcp_stream> ws{ioc};
    WsClient(uint16_t port, const std::string& path) {
        beast::get_lowest_layer(ws).connect({asio::ip::make_address("127.0.0.1"), port});
        ws.handshake("127.0.0.1", path);
    }
    std::string read() {
        beast::flat_buffer buffer;
        ws.read(buffer);
        return beast::buffers_to_string(buffer.data());
    }
};

TEST_F(SampleServerTest, WebSocketEchoGreetingBroadcastAndClose) {
    server.setWebSocketEcho(true);
    server.setWebSocketOnConnect({R"({"type":"config"})"});
    WsClient client(server.port(), "/ws");
    EXPECT_EQ(client.read(), R"({"type":"config"})");

    client.ws.text(true);
    client.ws.write(asio::buffer(std::string("first")));
    client.ws.write(asio::buffer(std::string("second")));
    EXPECT_EQ(client.read(), "first");
    EXPECT_EQ(client.read(), "second");
    client.ws.ping({});
    client.ws.binary(true);
    client.ws.write(asio::buffer(std::string("\x01\x02", 2)));
    EXPECT_EQ(client.read(), std::string("\x01\x02", 2));
    EXPECT_TRUE(client.ws.got_binary());

    ASSERT_TRUE(server.waitForWebSocketMessages(2));
    EXPECT_EQ(server.webSocketReceived(), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(server.webSocketPingsReceived(), 1u);
    EXPECT_EQ(server.webSocketClientCount(), 1u);
    auto journal = server.journal();
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.back().path, "/ws");

    server.setWebSocketEcho(false);
    server.sendWebSocketText("pushed");
    EXPECT_EQ(client.read(), "pushed");

    server.closeWebSockets(4001);
    beast::flat_buffer buffer;
    beast::error_code ec;
    client.ws.read(buffer, ec);
    EXPECT_EQ(ec, websocket::error::closed);
    EXPECT_EQ(client.ws.reason().code, 4001);
}

// A drop ends the connection after what was queued before it, without a close frame.
TEST_F(SampleServerTest, WebSocketBinaryFrameThenDropWithoutCloseFrame) {
    WsClient client(server.port(), "/ws");
    ASSERT_EQ(server.webSocketClientCount(), 1u);
    server.sendWebSocketBinary(std::string("\x00\xFF", 2));
    server.dropWebSockets();
    EXPECT_EQ(client.read(), std::string("\x00\xFF", 2));
    EXPECT_TRUE(client.ws.got_binary());
    beast::flat_buffer buffer;
    beast::error_code ec;
    client.ws.read(buffer, ec);
    EXPECT_TRUE(ec);
    EXPECT_NE(ec, websocket::error::closed) << "a close frame came";
    for (int i = 0; i < 500 && server.webSocketClientCount() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(server.webSocketClientCount(), 0u);
}

TEST(SampleServerStop, TearsDownOpenConnectionsAndCanRestart) {
    SampleServer server;
    Route slow{"GET", "/slow", 200, {}, ""};
    slow.delaySeconds = 60;
    server.addRoute(slow);
    server.start();

    WsClient ws(server.port(), "/ws");
    Client idle(server.port());
    Client waiting(server.port());
    waiting.writeRaw("GET /slow HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(server.waitForRequests(2));

    server.stop();
    beast::error_code ec;
    waiting.read(ec);
    EXPECT_TRUE(ec);
    EXPECT_EQ(server.webSocketClientCount(), 0u);

    server.start();
    EXPECT_EQ(get(server, "/anything").result_int(), 404);
}

}  // namespace
}  // namespace brindlecue::sampleserver
