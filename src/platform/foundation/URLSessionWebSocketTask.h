#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/URLSessionTask.h"

namespace brindlecue::platform {

class WebSocketConnection;

// A websocket ("ws" or "wss") task of a session. Messages sent before the connection is open wait
// for it; every completion, result and pong handler runs on the session's delegate queue, in the
// order of the events behind them. The delegate hears the opening and the closing handshake;
// the task completes when the connection ends (without error after a close handshake).
class URLSessionWebSocketTask final : public URLSessionTask {
public:
    enum CloseCode : int64_t {
        Invalid = 0,
        NormalClosure = 1000,
        GoingAway = 1001,
        ProtocolError = 1002,
        UnsupportedData = 1003,
        NoStatusReceived = 1005,
        AbnormalClosure = 1006,
        InvalidFramePayloadData = 1007,
        PolicyViolation = 1008,
        MessageTooBig = 1009,
        MandatoryExtensionMissing = 1010,
        InternalServerError = 1011,
        TLSHandshakeFailure = 1015,
    };

    struct Message {
        enum class Type { Data = 0, String = 1 };
        Type type = Type::String;
        Data data;
        std::string string;

        static Message text(std::string s) { return {Type::String, {}, std::move(s)}; }
        static Message binary(Data d) { return {Type::Data, std::move(d), {}}; }
    };
    using Completion = std::function<void(std::optional<Error>)>;
    using ReceiveCompletion = std::function<void(std::optional<Message>, std::optional<Error>)>;

    ~URLSessionWebSocketTask() override;

    void sendMessage(Message message, Completion completion);
    // One incoming message (or the error that ended the connection) per call, in order.
    void receiveMessageWithCompletionHandler(ReceiveCompletion completion);
    void sendPingWithPongReceiveHandler(Completion pongReceiveHandler);
    // Starts the closing handshake with the code and reason; cancel() closes with GoingAway.
    void cancelWithCloseCode(int64_t closeCode, const std::optional<Data>& reason);

    // Set once the connection has closed (Invalid until then).
    int64_t closeCode() const;
    std::optional<Data> closeReason() const;

protected:
    void startTransport() override;
    void setTransportSuspended(bool suspended) override;
    void cancelTransport(bool started) override;

private:
    friend class URLSession;
    using URLSessionTask::URLSessionTask;
    // Makes the connection for the request; without one (no usable URL) every operation fails.
    void prepare();
    Error unusableURLError() const;
    std::weak_ptr<URLSessionTask> weakSelf();
    static void deliver(const std::weak_ptr<URLSessionTask>& weak, const std::shared_ptr<OperationQueue>& queue,
                        std::function<void()> call);

    std::shared_ptr<WebSocketConnection> connection_;
    std::optional<int64_t> invalidURLCode_;
    int64_t closeCode_ = Invalid;
    std::optional<Data> closeReason_;
};

}  // namespace brindlecue::platform
