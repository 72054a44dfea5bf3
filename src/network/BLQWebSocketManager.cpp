#include "network/BLQWebSocketManager.h"

#include <algorithm>
#include <iterator>

#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionDelegate.h"
#include "platform/foundation/URLSessionWebSocketTask.h"

namespace brindlecue {

using platform::URLSessionTask;
using platform::URLSessionWebSocketTask;

namespace {

// The session holds its delegate for good; this one refers to the client weakly, so that a
// client other than the shared one can go away.
class SessionDelegate final : public platform::URLSessionDelegate {
public:
    explicit SessionDelegate(std::weak_ptr<BLQWebSocketManager> client) : client_(std::move(client)) {}

    void webSocketTaskDidOpenWithProtocol(const std::shared_ptr<platform::URLSession>&,
                                          const std::shared_ptr<URLSessionWebSocketTask>&,
                                          const std::optional<std::string>& protocol) override {
        if (auto client = client_.lock()) client->didOpenWithProtocol(protocol);
    }
    void webSocketTaskDidCloseWithCode(const std::shared_ptr<platform::URLSession>&,
                                       const std::shared_ptr<URLSessionWebSocketTask>& task,
                                       int64_t closeCode,
                                       const std::optional<platform::Data>& reason) override {
        if (auto client = client_.lock()) client->didCloseWithCode(task, closeCode, reason);
    }

private:
    std::weak_ptr<BLQWebSocketManager> client_;
};

bool isValidUTF8(const platform::Data& bytes) {
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const uint8_t c = bytes[i];
        size_t extra;
        if (c < 0x80) {
            extra = 0;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        if (extra > n - i - 1) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) return false;
        }
        // Overlong forms, surrogates and code points above U+10FFFF.
        const uint8_t next = extra > 0 ? bytes[i + 1] : 0;
        if ((c == 0xE0 && next < 0xA0) || (c == 0xED && next >= 0xA0) || (c == 0xF0 && next < 0x90) ||
            (c == 0xF4 && next >= 0x90)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

}  // namespace

std::shared_ptr<BLQWebSocketManager> BLQWebSocketManager::shared() {
    // Never destroyed: delegate queues may still reach it while the process exits.
    static auto* instance = new std::shared_ptr<BLQWebSocketManager>(std::make_shared<BLQWebSocketManager>());
    return *instance;
}

std::vector<std::shared_ptr<BLQIWebSocketManagerDelegate>> BLQWebSocketManager::delegates() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<BLQIWebSocketManagerDelegate>> live;
    for (const auto& weak : delegates_)
        if (auto delegate = weak.lock()) live.push_back(std::move(delegate));
    return live;
}

bool BLQWebSocketManager::isConnected() const {
    std::lock_guard lock(mutex_);
    return isConnected_;
}

void BLQWebSocketManager::registerDelegate(std::shared_ptr<BLQIWebSocketManagerDelegate> delegate) {
    if (!delegate) return;
    std::lock_guard lock(mutex_);
    std::erase_if(delegates_, [](const auto& weak) { return weak.expired(); });
    delegates_.push_back(delegate);
}

void BLQWebSocketManager::removeDelegate(const std::shared_ptr<BLQIWebSocketManagerDelegate>& delegate) {
    std::lock_guard lock(mutex_);
    std::erase_if(delegates_, [&](const auto& weak) {
        auto live = weak.lock();
        return !live || live == delegate;
    });
}

void BLQWebSocketManager::keepUntilAnswered(std::shared_ptr<BLQIWebSocketManagerDelegate> delegate) {
    if (!delegate) return;
    // Only a running connection can answer: a stored task that ended, or one the flag still counts
    // as connected after its receive failed, would hold the listener until some later connect.
    auto task = currentTask();
    if (!task || task->state() != URLSessionTask::State::Running) return;
    std::lock_guard lock(mutex_);
    if (task != webSocketTask_ || !isConnected_) return;
    waiting_.push_back(Waiting{std::move(delegate), task, nextWaiting_++});
}

void BLQWebSocketManager::letGoOfWaiting(const std::shared_ptr<URLSessionWebSocketTask>& task) {
    std::vector<Waiting> released;
    {
        std::lock_guard lock(mutex_);
        auto ended = std::stable_partition(waiting_.begin(), waiting_.end(), [&](const Waiting& w) {
            auto waitedOn = w.task.lock();
            return waitedOn && waitedOn != task;
        });
        std::move(ended, waiting_.end(), std::back_inserter(released));
        waiting_.erase(ended, waiting_.end());
    }
    // The listeners go here, outside the lock: a listener may hold the last reference to a client.
}

void BLQWebSocketManager::letGoOfWaitingOnOlderTasks() {
    std::vector<Waiting> released;
    {
        std::lock_guard lock(mutex_);
        auto older = std::stable_partition(waiting_.begin(), waiting_.end(),
                                           [&](const Waiting& w) { return w.task.lock() == webSocketTask_; });
        std::move(older, waiting_.end(), std::back_inserter(released));
        waiting_.erase(older, waiting_.end());
    }
}

std::shared_ptr<URLSessionWebSocketTask> BLQWebSocketManager::currentTask() const {
    std::lock_guard lock(mutex_);
    return webSocketTask_;
}

void BLQWebSocketManager::connect(const platform::URL& url) {
    connect(platform::URLRequest(url, platform::URLRequest::CachePolicy::UseProtocolCachePolicy,
                                 kTimeoutInterval));
}

void BLQWebSocketManager::connect(const platform::URLRequest& request) {
    std::lock_guard connecting(connectMutex_);
    if (isConnected()) return;
    // A serial delegate queue: frames, send outcomes and pongs are handled one at a time, in order.
    auto queue = platform::OperationQueue::create();
    queue->setMaxConcurrentOperationCount(1);
    auto session =
        platform::URLSession::create(platform::URLSessionConfiguration::defaultSessionConfiguration(),
                                     std::make_shared<SessionDelegate>(weak_from_this()), queue);
    auto task = session->webSocketTaskWithRequest(request);
    if (!task) return;
    {
        std::lock_guard lock(mutex_);
        session_ = session;
        webSocketTask_ = task;
    }
    // An answer comes over the connection its request went out on.
    letGoOfWaitingOnOlderTasks();
    task->resume();
    checkState();
    sendPing(true);
    startReceiving();
}

void BLQWebSocketManager::disconnect() {
    if (auto task = currentTask()) {
        task->cancelWithCloseCode(URLSessionWebSocketTask::NormalClosure, std::nullopt);
        letGoOfWaiting(task);
    }
    checkState();
}

void BLQWebSocketManager::checkState() {
    auto task = currentTask();
    if (!task) return;
    std::string line;
    bool connected = false;
    switch (task->state()) {
        case URLSessionTask::State::Running:
            line = "WebSocket -> WebSocket task is connected and running.";
            connected = true;
            break;
        case URLSessionTask::State::Suspended:
            line = "WebSocket -> WebSocket task is suspended.";
            break;
        case URLSessionTask::State::Canceling:
            line = "WebSocket -> WebSocket task is being canceled.";
            break;
        case URLSessionTask::State::Completed:
            line = "WebSocket -> WebSocket task is completed.";
            break;
        default:
            line = "WebSocket -> Unknown state.";
            break;
    }
    {
        std::lock_guard lock(mutex_);
        isConnected_ = connected;
    }
    log(line, BLQLoggingLevel::info);
}

void BLQWebSocketManager::sendMessage(const platform::Value& message, std::function<void(bool)> completion) {
    log("WebSocket -> Sending message: " + message.description(), BLQLoggingLevel::info);
    platform::Error error;
    std::optional<std::string> json;
    if (message.isValidJSONObject()) {
        json = message.toJSON(false, &error);
    } else {
        error = platform::Error::withDescription("NSCocoaErrorDomain", 3840,
                                                 "Invalid top-level type in JSON write");
    }
    if (!json) {
        log("WebSocket -> Error serializing JSON: " + error.localizedDescription(), BLQLoggingLevel::info);
        return;
    }
    log("WebSocket -> Sending json: " + *json, BLQLoggingLevel::info);
    auto task = currentTask();
    if (!task) return;
    task->sendMessage(
        URLSessionWebSocketTask::Message::text(*json),
        [weak = weak_from_this(), weakTask = std::weak_ptr<URLSessionWebSocketTask>(task),
         completion = std::move(completion)](std::optional<platform::Error> error) {
            if (auto self = weak.lock()) {
                if (error) {
                    self->log("WebSocket -> Error sending message: " + error->localizedDescription(),
                              BLQLoggingLevel::info);
                } else {
                    self->log("WebSocket -> Sent message successfully", BLQLoggingLevel::info);
                }
                self->checkState();
                if (error) {
                    // A send fails only on a connection that has ended or is ending, though the
                    // task may still count as running: no answer comes over it, to this request
                    // or to any other, and the next request must connect anew.
                    auto task = weakTask.lock();
                    {
                        std::lock_guard lock(self->mutex_);
                        if (task && task == self->webSocketTask_) self->isConnected_ = false;
                    }
                    self->letGoOfWaiting(task);
                }
            }
            if (completion) completion(!error);
        });
}

void BLQWebSocketManager::sendPing(bool maintainConnection) {
    auto task = currentTask();
    if (!task) return;
    task->sendPingWithPongReceiveHandler(
        [self = shared_from_this(), maintainConnection](std::optional<platform::Error> error) {
            if (error) {
                self->log("WebSocket -> received error after ping: " + error->localizedDescription(),
                          BLQLoggingLevel::info);
                return;
            }
            // A loop that a data frame or an error has ended starts again; a running one goes on alone.
            self->startReceiving();
            if (maintainConnection) {
                platform::DispatchQueue::main()->asyncAfter(kPingInterval, [self] { self->sendPing(true); });
            }
        });
}

void BLQWebSocketManager::startReceiving() {
    std::shared_ptr<URLSessionWebSocketTask> task;
    {
        std::lock_guard lock(mutex_);
        if (!webSocketTask_ || receivingTask_.lock() == webSocketTask_) return;
        task = webSocketTask_;
        receivingTask_ = task;
    }
    receive(task);
}

void BLQWebSocketManager::receive(const std::shared_ptr<URLSessionWebSocketTask>& task) {
    std::weak_ptr<BLQWebSocketManager> weak = weak_from_this();
    std::weak_ptr<URLSessionWebSocketTask> weakTask = task;
    task->receiveMessageWithCompletionHandler(
        [weak, weakTask](std::optional<URLSessionWebSocketTask::Message> message,
                         std::optional<platform::Error> error) {
            auto self = weak.lock();
            if (!self) return;
            self->checkState();
            auto task = weakTask.lock();
            auto endLoop = [&] {
                std::lock_guard lock(self->mutex_);
                if (self->receivingTask_.lock() == task) self->receivingTask_.reset();
            };
            if (error || !message) {
                // A receive error is the error that ended the connection, though the task may not
                // count as completed yet: the flag must not keep a later connect from opening a new one.
                {
                    std::lock_guard lock(self->mutex_);
                    if (task && task == self->webSocketTask_) self->isConnected_ = false;
                }
                if (error)
                    self->log("WebSocket -> Received error: " + error->localizedDescription(),
                              BLQLoggingLevel::info);
                endLoop();
                // No answer comes over this connection any more.
                self->letGoOfWaiting(task);
                return;
            }
            if (message->type != URLSessionWebSocketTask::Message::Type::String) return endLoop();
            self->handleText(message->string);
            // Go on reading this task while it is the current one; a newer task has its own loop.
            bool current;
            {
                std::lock_guard lock(self->mutex_);
                current = task && task == self->webSocketTask_;
            }
            if (!current) return endLoop();
            self->receive(task);
        });
}

void BLQWebSocketManager::handleText(const std::string& text) {
    auto json = platform::Value::fromJSON(text);
    if (!json || !json->isDictionary()) {
        log("Failed to convert the Data to a JSON object", BLQLoggingLevel::error);
        return;
    }
    log("WebSocket -> Received JSON: " + json->description(), BLQLoggingLevel::info);
    const std::string* type = (*json)["type"].getString();
    if (!type) return;
    uint64_t waitingBefore;
    {
        std::lock_guard lock(mutex_);
        waitingBefore = nextWaiting_;
    }
    std::vector<std::shared_ptr<BLQIWebSocketManagerDelegate>> heard;
    for (const auto& listener : delegates()) {
        if (rawValue(listener->eventType()) != *type) continue;
        listener->receivedJSON(*json);
        heard.push_back(listener);
    }
    // The message answers, for each listener that heard it, the oldest request it was held for
    // (one made while the message was being handed out waits for the next).
    std::vector<Waiting> answered;
    {
        std::lock_guard lock(mutex_);
        for (const auto& listener : heard) {
            auto held = std::find_if(waiting_.begin(), waiting_.end(), [&](const Waiting& w) {
                return w.listener == listener && w.number < waitingBefore;
            });
            if (held == waiting_.end()) continue;
            answered.push_back(std::move(*held));
            waiting_.erase(held);
        }
    }
}

void BLQWebSocketManager::didOpenWithProtocol(const std::optional<std::string>&) {
    log("WebSocket -> Did open connection", BLQLoggingLevel::info);
}

void BLQWebSocketManager::didCloseWithCode(const std::shared_ptr<URLSessionWebSocketTask>& task,
                                           int64_t closeCode, const std::optional<platform::Data>& reason) {
    if (task) letGoOfWaiting(task);
    if (reason && isValidUTF8(*reason)) {
        log("WebSocket -> Closed connection for reason: " + std::string(reason->begin(), reason->end()) +
                " with closeCode: " + std::to_string(closeCode),
            BLQLoggingLevel::info);
    } else {
        log("WebSocket -> Closed connection", BLQLoggingLevel::info);
    }
}

}  // namespace brindlecue
