#include "platform/foundation/URLSessionWebSocketTask.h"

#include <cctype>

#include "platform/dispatch/OperationQueue.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/WebSocketConnection.h"

namespace brindlecue::platform {

namespace {

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::weak_ptr<URLSessionTask> URLSessionWebSocketTask::weakSelf() { return weak_from_this(); }

// Results of the connection go to the task's delegate-call sequence; once the task is gone,
// straight to its delegate queue.
void URLSessionWebSocketTask::deliver(const std::weak_ptr<URLSessionTask>& weak,
                                      const std::shared_ptr<OperationQueue>& queue, std::function<void()> call) {
    if (auto task = weak.lock()) return task->enqueueDelegateCall(std::move(call));
    queue->addOperation(std::move(call));
}

// The connection may go with it anywhere, one of its own callbacks included.
URLSessionWebSocketTask::~URLSessionWebSocketTask() = default;

void URLSessionWebSocketTask::prepare() {
    const auto& request = originalRequest();
    auto session = this->session();
    if (!request || !request->url()) {
        invalidURLCode_ = URLError::UnsupportedURL;
        return;
    }
    const URL& url = *request->url();
    std::string scheme = lower(url.scheme().value_or(""));
    std::string text = url.absoluteString();
    // The platform takes http(s) URLs for websockets too.
    if (scheme == "http" || scheme == "https") text = (scheme == "http" ? "ws" : "wss") + text.substr(scheme.size());
    if (scheme != "ws" && scheme != "wss" && scheme != "http" && scheme != "https") {
        invalidURLCode_ = URLError::UnsupportedURL;
        return;
    }
    if (!url.host()) {
        invalidURLCode_ = URLError::BadURL;
        return;
    }

    WebSocketConnection::Headers headers = request->allHTTPHeaderFields();
    for (const auto& [name, value] : session->configuration().httpAdditionalHeaders) {
        if (!request->valueForHTTPHeaderField(name)) headers.emplace_back(name, value);
    }
    double timeout = request->hasExplicitTimeout() ? request->timeoutInterval()
                                                   : session->configuration().timeoutIntervalForRequest;
    std::weak_ptr<URLSessionTask> weak = weak_from_this();
    int port = url.port().value_or(scheme == "ws" || scheme == "http" ? 80 : 443);
    auto trust = [weak, port](const WebSocketConnection::CertificateChain& chain, const std::string& host) {
        auto task = weak.lock();
        auto session = task ? task->session() : nullptr;
        if (!session) return false;
        std::vector<std::shared_ptr<SecCertificate>> certificates;
        for (const auto& der : chain) certificates.push_back(SecCertificate::createWithData(der));
        auto serverTrust = SecTrust::create(certificates, {SecPolicy::createSSL(true, host)});
        return serverTrust &&
               session->decideServerTrust(task, serverTrust, host, port, "https") == URLSession::TrustDecision::Accept;
    };
    connection_ = std::make_shared<WebSocketConnection>(text, headers, timeout, trust);

    auto self = [weak] { return std::static_pointer_cast<URLSessionWebSocketTask>(weak.lock()); };
    WebSocketConnection::Callbacks callbacks;
    callbacks.onOpen = [self](const std::string& protocol) {
        auto task = self();
        auto session = task ? task->session() : nullptr;
        auto delegate = session ? session->delegate() : nullptr;
        if (!delegate) return;
        std::optional<std::string> chosen;
        if (!protocol.empty()) chosen = protocol;
        task->enqueueDelegateCall([delegate, session, task, chosen] {
            delegate->webSocketTaskDidOpenWithProtocol(session, task, chosen);
        });
    };
    callbacks.onClose = [self](uint16_t code, const std::string& reason) {
        auto task = self();
        if (!task) return;
        std::optional<Data> reasonData;
        if (!reason.empty()) reasonData = Data(reason.begin(), reason.end());
        {
            std::lock_guard lock(task->mutex_);
            task->closeCode_ = code;
            task->closeReason_ = reasonData;
        }
        auto session = task->session();
        if (auto delegate = session ? session->delegate() : nullptr) {
            task->enqueueDelegateCall([delegate, session, task, code, reasonData] {
                delegate->webSocketTaskDidCloseWithCode(session, task, code, reasonData);
            });
        }
        task->complete(std::nullopt);
    };
    callbacks.onError = [self](const Error& error) {
        if (auto task = self()) task->complete(error);
    };
    connection_->setCallbacks(std::move(callbacks));
}

Error URLSessionWebSocketTask::unusableURLError() const {
    const auto& request = originalRequest();
    return URLError::make(invalidURLCode_.value_or(URLError::UnsupportedURL), request ? request->url() : std::nullopt);
}

void URLSessionWebSocketTask::startTransport() {
    if (connection_) {
        connection_->connect();
    } else {
        complete(unusableURLError());
    }
}

void URLSessionWebSocketTask::setTransportSuspended(bool) {
    // A websocket keeps its connection while suspended; nothing is held back.
}

void URLSessionWebSocketTask::cancelTransport(bool started) {
    if (connection_) connection_->cancel(GoingAway);
    if (!started || !connection_) {
        const auto& request = originalRequest();
        complete(URLError::make(URLError::Cancelled, request ? request->url() : std::nullopt));
    }
}

void URLSessionWebSocketTask::cancelWithCloseCode(int64_t closeCode, const std::optional<Data>& reason) {
    bool started;
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::Running && state_ != State::Suspended) return;
        state_ = State::Canceling;
        started = started_;
    }
    if (connection_) {
        std::string text = reason ? std::string(reason->begin(), reason->end()) : std::string();
        connection_->cancel(static_cast<uint16_t>(closeCode), text);
    }
    if (!started || !connection_) {
        const auto& request = originalRequest();
        complete(URLError::make(URLError::Cancelled, request ? request->url() : std::nullopt));
    }
}

int64_t URLSessionWebSocketTask::closeCode() const {
    std::lock_guard lock(mutex_);
    return closeCode_;
}

std::optional<Data> URLSessionWebSocketTask::closeReason() const {
    std::lock_guard lock(mutex_);
    return closeReason_;
}

void URLSessionWebSocketTask::sendMessage(Message message, Completion completion) {
    auto self = std::static_pointer_cast<URLSessionWebSocketTask>(shared_from_this());
    if (!connection_) {
        enqueueDelegateCall([self, completion] {
            if (completion) completion(self->unusableURLError());
        });
        return;
    }
    if (message.type == Message::Type::Data) {
        // The transport sends text frames only; a binary message cannot go out as such.
        enqueueDelegateCall([completion] {
            if (completion) completion(URLError::make(URLError::Unknown));
        });
        return;
    }
    connection_->sendText(std::move(message.string), [weak = weakSelf(), queue = delegateQueue_, completion](std::optional<Error> error) {
        deliver(weak, queue, [completion, error] {
            if (completion) completion(error);
        });
    });
}

void URLSessionWebSocketTask::receiveMessageWithCompletionHandler(ReceiveCompletion completion) {
    auto self = std::static_pointer_cast<URLSessionWebSocketTask>(shared_from_this());
    if (!connection_) {
        enqueueDelegateCall([self, completion] {
            if (completion) completion(std::nullopt, self->unusableURLError());
        });
        return;
    }
    connection_->receive([weak = weakSelf(), queue = delegateQueue_, completion](WebSocketConnection::ReceiveResult result) {
        deliver(weak, queue, [completion, result = std::move(result)] {
            if (!completion) return;
            if (auto* text = std::get_if<std::string>(&result)) return completion(Message::text(*text), std::nullopt);
            if (auto* data = std::get_if<std::vector<uint8_t>>(&result)) return completion(Message::binary(*data), std::nullopt);
            completion(std::nullopt, std::get<Error>(result));
        });
    });
}

void URLSessionWebSocketTask::sendPingWithPongReceiveHandler(Completion pongReceiveHandler) {
    auto self = std::static_pointer_cast<URLSessionWebSocketTask>(shared_from_this());
    if (!connection_) {
        enqueueDelegateCall([self, pongReceiveHandler] {
            if (pongReceiveHandler) pongReceiveHandler(self->unusableURLError());
        });
        return;
    }
    connection_->sendPing([weak = weakSelf(), queue = delegateQueue_, pongReceiveHandler](std::optional<Error> error) {
        deliver(weak, queue, [pongReceiveHandler, error] {
            if (pongReceiveHandler) pongReceiveHandler(error);
        });
    });
}

}  // namespace brindlecue::platform
