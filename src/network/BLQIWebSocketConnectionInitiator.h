#pragma once

#include <string>

#include "network/BLQIWebSocketReferenceHolder.h"

namespace brindlecue {

// Opens the connection of the held websocket client towards a host.
class BLQIWebSocketConnectionInitiator : public virtual BLQIWebSocketReferenceHolder {
public:
    // The host's scheme becomes the websocket one ("https" gives "wss", "http" gives "ws"; the rest
    // of the host stays as it is), the path is appended, and the client connects with a 60 s
    // time-out. A text that makes no valid URL connects nothing.
    void connectWebSocket(const std::string& host, const std::string& path);
};

}  // namespace brindlecue
