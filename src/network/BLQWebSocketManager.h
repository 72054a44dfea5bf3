#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/BLQILoggable.h"
#include "network/BLQIWebSocketManager.h"
#include "platform/foundation/URL.h"

namespace brindlecue {

namespace platform {
class URLSession;
class URLSessionWebSocketTask;
}  // namespace platform

// The library's one websocket client. It holds at most one connection (task), pings once on
// connecting and again 10 s after each pong, and reads frames with one receive loop, delivering
// them in order on the connection's serial delegate queue. It never reconnects by itself and never
// tells listeners of an error; failures are logged.
//
// Held by shared pointer (shared() for the process's instance). Listeners are held weakly, and a
// listener that has sent a request strongly until its answer arrives (keepUntilAnswered). The
// listener list, the task and the connection flag are guarded; listeners are called, and let go
// of, without any lock held.
class BLQWebSocketManager final : public BLQIWebSocketManager,
                                  public BLQILoggable,
                                  public std::enable_shared_from_this<BLQWebSocketManager> {
public:
    static constexpr double kTimeoutInterval = 60.0;
    static constexpr double kPingInterval = 10.0;

    // The process's instance, made on first use and kept for the life of the process.
    static std::shared_ptr<BLQWebSocketManager> shared();

    BLQWebSocketManager() = default;

    std::vector<std::shared_ptr<BLQIWebSocketManagerDelegate>> delegates() const override;
    bool isConnected() const override;
    // Appends the listener, held weakly (a listener that goes stops hearing; one the container built
    // and threw away leaves nothing behind); a listener registered twice hears every message twice.
    void registerDelegate(std::shared_ptr<BLQIWebSocketManagerDelegate> delegate) override;
    // Removes every registration of that listener object.
    void removeDelegate(const std::shared_ptr<BLQIWebSocketManagerDelegate>& delegate) override;
    // Holds the listener until one message of its type has reached it, or until the current
    // connection ends (a failed receive or send, its close, a disconnect, a newer connection) or
    // the client does. Each call waits for a message of its own. Nothing is held unless the
    // connection is running.
    void keepUntilAnswered(std::shared_ptr<BLQIWebSocketManagerDelegate> delegate) override;
    // A request for the URL with a 60 s time-out.
    void connect(const platform::URL& url);
    void connect(const platform::URLRequest& request) override;
    // Closes with code 1000 (normal closure); the task stays stored.
    void disconnect() override;
    void sendMessage(const platform::Value& message, std::function<void(bool)> completion) override;
    void sendPing(bool maintainConnection) override;

    // Sets the connection flag from the task's state, with a log line; nothing without a task.
    void checkState();
    // Routes one received text to the listeners of its "type".
    void handleText(const std::string& text);

    // The session's websocket callbacks.
    void didOpenWithProtocol(const std::optional<std::string>& protocol);
    void didCloseWithCode(const std::shared_ptr<platform::URLSessionWebSocketTask>& task, int64_t closeCode,
                          const std::optional<platform::Data>& reason);

private:
    // A listener held until its answer comes over the connection of the task.
    struct Waiting {
        std::shared_ptr<BLQIWebSocketManagerDelegate> listener;
        std::weak_ptr<platform::URLSessionWebSocketTask> task;
        uint64_t number;  // in the order the holds were taken
    };

    std::shared_ptr<platform::URLSessionWebSocketTask> currentTask() const;
    // Lets go of the listeners waiting on the task's connection, whose answer cannot come now.
    void letGoOfWaiting(const std::shared_ptr<platform::URLSessionWebSocketTask>& task);
    // Lets go of the listeners waiting on any connection but the current one.
    void letGoOfWaitingOnOlderTasks();
    // Starts the receive loop on the current task unless it is already reading it.
    void startReceiving();
    void receive(const std::shared_ptr<platform::URLSessionWebSocketTask>& task);

    std::mutex connectMutex_;  // one connect at a time
    mutable std::mutex mutex_;
    std::shared_ptr<platform::URLSession> session_;  // of the current task, which needs it to report
    std::shared_ptr<platform::URLSessionWebSocketTask> webSocketTask_;
    std::weak_ptr<platform::URLSessionWebSocketTask> receivingTask_;  // the task the loop reads
    std::vector<std::weak_ptr<BLQIWebSocketManagerDelegate>> delegates_;
    std::vector<Waiting> waiting_;
    uint64_t nextWaiting_ = 0;
    bool isConnected_ = false;
};

}  // namespace brindlecue
