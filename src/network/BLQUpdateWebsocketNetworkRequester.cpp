#include "network/BLQUpdateWebsocketNetworkRequester.h"

namespace brindlecue {

std::shared_ptr<BLQUpdateWebsocketNetworkRequester> BLQUpdateWebsocketNetworkRequester::create(
    std::shared_ptr<BLQIWebSocketManager> webSocketManager,
    std::shared_ptr<BLQIConfigManager> configManager) {
    auto requester =
        std::make_shared<BLQUpdateWebsocketNetworkRequester>(webSocketManager, std::move(configManager));
    if (webSocketManager) webSocketManager->registerDelegate(requester);
    return requester;
}

BLQUpdateWebsocketNetworkRequester::BLQUpdateWebsocketNetworkRequester(
    std::shared_ptr<BLQIWebSocketManager> webSocketManager, std::shared_ptr<BLQIConfigManager> configManager)
    : BLQWebsocketNetworkRequester("Update", "update", BLQWebSocketEventType::update,
                                   std::move(webSocketManager), std::move(configManager)) {}

std::shared_ptr<BLQIUpdateRegistrationDelegate> BLQUpdateWebsocketNetworkRequester::delegate() const {
    std::lock_guard lock(delegateMutex_);
    return delegate_;
}

void BLQUpdateWebsocketNetworkRequester::setDelegate(
    std::shared_ptr<BLQIUpdateRegistrationDelegate> delegate) {
    std::lock_guard lock(delegateMutex_);
    delegate_ = std::move(delegate);
}

void BLQUpdateWebsocketNetworkRequester::sendInstallUpdateRequest(const BLQInstallDTO& install,
                                                                  BLQRequestSuccessBlock success,
                                                                  BLQRequestFailureBlock failure) {
    request(install, std::move(success), std::move(failure));
}

BLQWebSocketEventModel::Payload BLQUpdateWebsocketNetworkRequester::payload(const BLQInstallDTO& install,
                                                                            int64_t,
                                                                            int64_t utcOffset) const {
    return {
        {"kj_version", DecodableTypeStringOrFloatOrBool::stringValue(*install.sdkVersion)},
        {"utc_offset", DecodableTypeStringOrFloatOrBool::intValue(utcOffset)},
    };
}

void BLQUpdateWebsocketNetworkRequester::onAnswerWithoutHostURL(const std::string& host,
                                                                const BLQRequestFailureBlock&) {
    log("Update: Received JSON, but failed to handle it due to missing 'fromURL': " + host +
            " or missing 'handler'",
        BLQLoggingLevel::error);
}

}  // namespace brindlecue
