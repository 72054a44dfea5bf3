#include "network/BLQWebsocketNetworkRequester.h"

#include "foundation/DateExtensions.h"
#include "network/BLQHTTPRequestError.h"
#include "platform/Date.h"

namespace brindlecue {

BLQWebsocketNetworkRequester::BLQWebsocketNetworkRequester(
    std::string prefix, std::string noun, BLQWebSocketEventType type,
    std::shared_ptr<BLQIWebSocketManager> webSocketManager, std::shared_ptr<BLQIConfigManager> configManager)
    : prefix_(std::move(prefix)),
      noun_(std::move(noun)),
      configManager_(std::move(configManager)),
      webSocketManager_(std::move(webSocketManager)),
      eventType_(type) {}

std::shared_ptr<BLQIWebSocketManager> BLQWebsocketNetworkRequester::webSocketManager() const {
    std::lock_guard lock(mutex_);
    return webSocketManager_;
}

void BLQWebsocketNetworkRequester::setWebSocketManager(std::shared_ptr<BLQIWebSocketManager> manager) {
    std::lock_guard lock(mutex_);
    webSocketManager_ = std::move(manager);
}

BLQWebSocketEventType BLQWebsocketNetworkRequester::eventType() const {
    std::lock_guard lock(mutex_);
    return eventType_;
}

void BLQWebsocketNetworkRequester::setEventType(BLQWebSocketEventType type) {
    std::lock_guard lock(mutex_);
    eventType_ = type;
}

void BLQWebsocketNetworkRequester::request(const BLQInstallDTO& install, BLQRequestSuccessBlock success,
                                           BLQRequestFailureBlock failure) {
    {
        std::lock_guard lock(mutex_);
        successBlock_ = std::move(success);
        failureBlock_ = std::move(failure);
    }
    auto manager = webSocketManager();
    if (manager && !manager->isConnected()) {
        connectWebSocket(configManager_->getHost(), configManager_->getWebSocketEndpoint());
    }
    buildMessage(install);
}

void BLQWebsocketNetworkRequester::buildMessage(const BLQInstallDTO& install) {
    if (!install.sdkVersion) return log(prefix_ + ": No SDK Version specified", BLQLoggingLevel::error);
    if (!install.installId) return log(prefix_ + ": No Install Id specified", BLQLoggingLevel::error);
    if (!install.appKey) return log(prefix_ + ": No App Key specified", BLQLoggingLevel::error);

    const platform::Date now = platform::Date::now();
    const auto time = static_cast<int64_t>(now.timeIntervalSince1970());
    const int64_t utcOffset = getTimeZoneOffsetInMilitaryHours(now);
    BLQWebSocketEventModel message(eventType(), time, *install.appKey, install.installId,
                                   payload(install, time, utcOffset));
    auto dictionary = message.asDictionary();
    if (!dictionary) {
        return log(
            prefix_ + ": Failed to convert " + noun_ + " message to dictionary: " + message.description(),
            BLQLoggingLevel::error);
    }
    // The client holds this requester until the answer has come, even when its maker lets go.
    if (auto manager = webSocketManager()) {
        if (auto self = weak_from_this().lock())
            manager->keepUntilAnswered(std::shared_ptr<BLQIWebSocketManagerDelegate>(
                self, static_cast<BLQIWebSocketManagerDelegate*>(this)));
    }
    send(*dictionary);
}

void BLQWebsocketNetworkRequester::receivedJSON(const platform::Value& json) {
    BLQRequestSuccessBlock success;
    BLQRequestFailureBlock failure;
    {
        std::lock_guard lock(mutex_);
        success = successBlock_;
        failure = failureBlock_;
    }
    const std::string host = configManager_->getHost();
    auto url = platform::URL::fromString(host);
    if (!url) return onAnswerWithoutHostURL(host, failure);
    if (success) return success(json, *url);
    if (failure) {
        failure(BLQHTTPRequestError::unknownError(
                    prefix_ + ": Received JSON, but failed to handle it due to missing 'successBlock'")
                    .toError());
    }
}

void BLQWebsocketNetworkRequester::receivedError(const platform::Error& error) {
    BLQRequestFailureBlock failure;
    {
        std::lock_guard lock(mutex_);
        failure = failureBlock_;
    }
    if (failure) return failure(error);
    log(prefix_ +
            ": No failure block specified, received error over websocket of: " + error.localizedDescription(),
        BLQLoggingLevel::info);
}

void BLQWebsocketNetworkRequester::onMessageSent() {
    log(prefix_ + ": Sent message successfully to websocket", BLQLoggingLevel::info);
}

void BLQWebsocketNetworkRequester::onMessageSendFailed() {
    log(prefix_ + ": Failed to send message to websocket", BLQLoggingLevel::info);
}

}  // namespace brindlecue
