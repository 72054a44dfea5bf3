#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "network/BLQIWebSocketManagerDelegate.h"
#include "platform/Value.h"
#include "platform/foundation/URLRequest.h"

namespace brindlecue {

// The library's websocket client: one connection, JSON text frames out, every received JSON
// object routed by its "type" to the listeners of that type.
class BLQIWebSocketManager {
public:
    virtual ~BLQIWebSocketManager() = default;

    // In registration order.
    virtual std::vector<std::shared_ptr<BLQIWebSocketManagerDelegate>> delegates() const = 0;
    // Whether the connection was running at the last state check.
    virtual bool isConnected() const = 0;
    virtual void registerDelegate(std::shared_ptr<BLQIWebSocketManagerDelegate> delegate) = 0;
    virtual void removeDelegate(const std::shared_ptr<BLQIWebSocketManagerDelegate>& delegate) = 0;
    // Holds a registered listener that has sent a request until the next message of its type has
    // reached it (its answer), or the connection ends: it hears its answer even when nothing else
    // holds it meanwhile.
    virtual void keepUntilAnswered(std::shared_ptr<BLQIWebSocketManagerDelegate> delegate) = 0;
    // Opens a new connection unless connected.
    virtual void connect(const platform::URLRequest& request) = 0;
    virtual void disconnect() = 0;
    // Sends the object as one JSON text frame. The completion (true when sent) runs only when the
    // platform reports the outcome, not when nothing could be sent.
    virtual void sendMessage(const platform::Value& message, std::function<void(bool)> completion) = 0;
    virtual void sendPing(bool maintainConnection) = 0;
};

}  // namespace brindlecue
