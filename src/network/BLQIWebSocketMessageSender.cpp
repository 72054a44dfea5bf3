#include "network/BLQIWebSocketMessageSender.h"

namespace brindlecue {

void BLQIWebSocketMessageSender::send(const platform::Value& message) {
    auto manager = webSocketManager();
    if (!manager) return;
    manager->sendMessage(message, [self = shared_from_this()](bool sent) {
        if (sent) {
            self->onMessageSent();
        } else {
            self->onMessageSendFailed();
        }
    });
}

}  // namespace brindlecue
