#pragma once

#include "network/BLQWebSocketEventType.h"
#include "platform/Error.h"
#include "platform/Value.h"

namespace brindlecue {

// A listener of the websocket client for one message type. receivedJSON gets the whole envelope
// of every message of that type, on the connection's delegate queue.
class BLQIWebSocketManagerDelegate {
public:
    virtual ~BLQIWebSocketManagerDelegate() = default;
    virtual BLQWebSocketEventType eventType() const = 0;
    virtual void receivedJSON(const platform::Value& json) = 0;
    virtual void receivedError(const platform::Error& error) = 0;
};

}  // namespace brindlecue
