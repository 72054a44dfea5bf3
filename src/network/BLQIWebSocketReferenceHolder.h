#pragma once

#include <memory>

#include "network/BLQIWebSocketManager.h"

namespace brindlecue {

// Holds the websocket client its adopter uses.
class BLQIWebSocketReferenceHolder {
public:
    virtual ~BLQIWebSocketReferenceHolder() = default;
    virtual std::shared_ptr<BLQIWebSocketManager> webSocketManager() const = 0;
    virtual void setWebSocketManager(std::shared_ptr<BLQIWebSocketManager> manager) = 0;
};

}  // namespace brindlecue
