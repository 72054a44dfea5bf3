#pragma once

#include <memory>

#include "network/BLQIWebSocketReferenceHolder.h"
#include "platform/Value.h"

namespace brindlecue {

// Sends messages through the held websocket client and hears whether each went out. Adopters are
// held by shared pointer: a send in flight keeps its sender alive until the outcome is known.
class BLQIWebSocketMessageSender : public virtual BLQIWebSocketReferenceHolder,
                                   public std::enable_shared_from_this<BLQIWebSocketMessageSender> {
public:
    // Hands the message to the client; the platform's outcome reaches onMessageSent() or
    // onMessageSendFailed().
    void send(const platform::Value& message);

    virtual void onMessageSent() = 0;
    virtual void onMessageSendFailed() = 0;
};

}  // namespace brindlecue
