#include "facade/BLQConfigEventManagerWebSocket.h"

#include <utility>

namespace brindlecue {

std::shared_ptr<BLQConfigEventManagerWebSocket> BLQConfigEventManagerWebSocket::create(
    std::shared_ptr<BLQIAppDetailsProvider> appDetails,
    std::shared_ptr<BLQIWebSocketManager> webSocketManager) {
    auto manager = std::make_shared<BLQConfigEventManagerWebSocket>(std::move(appDetails), webSocketManager);
    if (webSocketManager) webSocketManager->registerDelegate(manager);
    return manager;
}

BLQConfigEventManagerWebSocket::BLQConfigEventManagerWebSocket(
    std::shared_ptr<BLQIAppDetailsProvider> appDetails,
    std::shared_ptr<BLQIWebSocketManager> webSocketManager)
    : appDetails_(std::move(appDetails)), webSocketManager_(std::move(webSocketManager)) {}

std::shared_ptr<BLQIConfigEventDelegate> BLQConfigEventManagerWebSocket::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void BLQConfigEventManagerWebSocket::setDelegate(std::shared_ptr<BLQIConfigEventDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

BLQWebSocketEventType BLQConfigEventManagerWebSocket::eventType() const {
    std::lock_guard lock(mutex_);
    return eventType_;
}

void BLQConfigEventManagerWebSocket::setEventType(BLQWebSocketEventType type) {
    std::lock_guard lock(mutex_);
    eventType_ = type;
}

void BLQConfigEventManagerWebSocket::receivedJSON(const platform::Value& json) {
    if (auto target = delegate()) target->onConfigUpdateSuccessWithResponse(json);
}

void BLQConfigEventManagerWebSocket::receivedError(const platform::Error& error) {
    if (auto target = delegate()) target->onConfigUpdateFailureWithError(error);
}

std::shared_ptr<BLQIWebSocketManager> BLQConfigEventManagerWebSocket::webSocketManager() const {
    std::lock_guard lock(mutex_);
    return webSocketManager_;
}

void BLQConfigEventManagerWebSocket::setWebSocketManager(std::shared_ptr<BLQIWebSocketManager> manager) {
    std::lock_guard lock(mutex_);
    webSocketManager_ = std::move(manager);
}

}  // namespace brindlecue
