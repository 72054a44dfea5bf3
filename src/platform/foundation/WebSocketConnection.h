#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/Error.h"

namespace brindlecue::platform {

// One client websocket connection ("ws://" or "wss://" host[:port]/path), the transport under the
// platform's websocket task. It keeps one worker thread of the shared pool for its whole life; every
// callback and completion runs on it, in the order of the events that caused them. All methods are
// safe to call from any thread.
//
// Sends and pings issued before the connection opens wait for it; received frames are kept until
// asked for. receive() answers one request at a time: extra requests wait in line and are answered
// in the order they were made. Every completion is called exactly once; after the connection has
// ended, sends fail with NSPOSIXErrorDomain 57 and receives with the error that ended it (57 after
// a close handshake). Destruction cancels the connection, answers pending completions with
// NSURLErrorDomain -999 and silences the three callbacks; it waits for that, except inside one of
// the connection's own callbacks, where it happens once the callback has returned.
class WebSocketConnection {
public:
    using Headers = std::vector<std::pair<std::string, std::string>>;
    using CertificateChain = std::vector<std::vector<uint8_t>>;  // DER, the server's certificate first
    // Decides whether to trust a "wss" server; without one the system roots and the host name decide.
    using TrustEvaluator = std::function<bool(const CertificateChain& chain, const std::string& host)>;
    // A text frame, a binary frame or the error that ended the connection.
    using ReceiveResult = std::variant<std::string, std::vector<uint8_t>, Error>;
    using Completion = std::function<void(std::optional<Error>)>;

    struct Callbacks {
        std::function<void(const std::string& protocol)> onOpen;
        std::function<void(uint16_t code, const std::string& reason)> onClose;  // after a close handshake
        std::function<void(const Error& error)> onError;  // the connection failed or was lost
    };

    WebSocketConnection(std::string url, Headers headers = {}, double handshakeTimeoutSeconds = 60,
                        TrustEvaluator trust = {});
    ~WebSocketConnection();
    WebSocketConnection(const WebSocketConnection&) = delete;
    WebSocketConnection& operator=(const WebSocketConnection&) = delete;

    const std::string& url() const { return url_; }

    // Set before connect(); later calls replace them for events that have not happened yet.
    void setCallbacks(Callbacks callbacks);
    // Starts resolving, connecting and the handshakes; only the first call does anything.
    void connect();
    void sendText(std::string text, Completion completion);
    void receive(std::function<void(ReceiveResult)> completion);
    // The handler runs when the matching pong arrives, or with the error that prevented it.
    void sendPing(Completion pongHandler);
    // Closes with the code and reason; before the connection opens it just abandons it.
    void cancel(uint16_t closeCode = 1000, std::string reason = "");

    struct Impl;

private:
    std::string url_;
    std::shared_ptr<Impl> impl_;
};

}  // namespace brindlecue::platform
