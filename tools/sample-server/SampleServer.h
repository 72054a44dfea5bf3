#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace brindlecue::sampleserver {

using Headers = std::vector<std::pair<std::string, std::string>>;

// The longest the server waits before an answer or in its middle: a day.
inline constexpr double kMaxDelaySeconds = 24 * 60 * 60;

// One scripted answer. The first route (most recently added first) whose method and path pattern
// match answers the request.
struct Route {
    std::string method = "GET";  // "*" matches any method
    std::string pathPattern;     // ECMAScript regular expression matched against the whole path
    int status = 200;
    Headers headers;               // extra answer headers
    std::string body;              // answer body (JSON bodies get Content-Type application/json)
    double delaySeconds = 0;       // real seconds to wait before answering (at most kMaxDelaySeconds)
    bool closeConnection = false;  // drop the connection without answering
    int times = -1;                // how many requests it answers; -1: every request
    // "user:password": a request without these Basic credentials gets 401 with the challenge
    // WWW-Authenticate: Basic realm="sample" instead.
    std::string basicAuth = "";
    // Sent as ETag; a request whose If-None-Match names it gets 304 without a body.
    std::string etag = "";
    // "Range: bytes=N-" gets 206 with the rest of the body (unless an If-Range names another tag).
    bool acceptsRanges = false;
    // Sends the head and this many body bytes, waits stallSeconds (real time), then the rest.
    long long stallAfterBytes = -1;
    double stallSeconds = 0;
    // Top-level fields of the request's JSON object body copied into the JSON object answer (an
    // install answer that names the install it was sent), replacing the answer's own.
    std::vector<std::string> echoFields{};
};

// One request as the server received it.
struct JournalEntry {
    std::string method;
    std::string path;   // without the query
    std::string query;  // the text after "?", still percent-encoded
    Headers headers;    // as received, original letter case
    std::string body;
    std::string header(const std::string& name) const;  // case-insensitive; "" when missing
    // Seconds on the server's monotonic clock: when the request had arrived and when its answer
    // began to go out (0 while it has not).
    double receivedAt = 0;
    double answeredAt = 0;
    int status = 0;  // the status answered (0 while none)
};

struct ServerOptions {
    bool tls = false;  // serve HTTPS/WSS with a freshly generated self-signed certificate
    std::string webSocketPath = "/ws";
    uint16_t port = 0;  // 0: an ephemeral port
};

// A real HTTP and websocket server on 127.0.0.1 (ephemeral port) that tests and the demo run the
// library against. HTTP and websocket share the port. Unmatched requests get 404 with a JSON body.
class SampleServer {
public:
    explicit SampleServer(ServerOptions options = {});
    ~SampleServer();  // stops the server

    // Listens on the port of the options and serves on a thread of its own. Throws
    // std::system_error when it cannot listen (its what() reads "bind: Address already in use");
    // the server is then as before the call: it can be destroyed or started again.
    void start();
    void stop();
    uint16_t port() const;
    // "http://127.0.0.1:<port>" or "https://..." with TLS.
    std::string baseURL() const;

    void addRoute(Route route);
    void clearRoutes();
    // A scenario document: {"routes": [{"method", "path", "status", "headers": {..}, "body": <json or text>,
    // "delay", "close", "times", "echo": [field, ...]}], "websocket": {"echo": bool, "on_connect": [<json or
    // text>, ...]}}. The document's routes replace the current ones and match in document order (the first
    // listed wins); routes added later with addRoute() still take precedence. Returns false (and changes
    // nothing) for a malformed document, with what is wrong and where in *error: the parser's line and
    // column, or the route (its place in the list from 1, its method and path) and its key at fault. A
    // key the document does not know is an error.
    bool loadScenario(const std::string& json, std::string* error = nullptr);

    std::vector<JournalEntry> journal() const;
    void clearJournal();
    // Waits (real time, bounded) until at least n requests are in the journal.
    bool waitForRequests(size_t n, double timeoutSeconds = 10) const;

    // TLS only: the server's certificate.
    std::string certificatePEM() const;
    std::vector<uint8_t> certificateDER() const;

    // Websocket side. Upgrade requests are journaled like any other request; a client counts as
    // connected from its upgrade request on, so one that sees its connection open is counted.
    void setWebSocketEcho(bool echo);
    void setWebSocketOnConnect(std::vector<std::string> messages);  // text frames sent to each new client
    void sendWebSocketText(const std::string& text);                // to every connected client
    void sendWebSocketBinary(const std::string& data);              // to every connected client
    // Closes every client's connection with the code and reason (up to 123 bytes, sent as given).
    void closeWebSockets(uint16_t code = 1000, const std::string& reason = {});
    // Ends every client's connection without a close frame, after the frames queued before it.
    void dropWebSockets();
    size_t webSocketClientCount() const;
    std::vector<std::string> webSocketReceived() const;  // text frames received, in order
    bool waitForWebSocketMessages(size_t n, double timeoutSeconds = 10) const;
    size_t webSocketPingsReceived() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace brindlecue::sampleserver
