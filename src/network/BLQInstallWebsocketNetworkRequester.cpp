#include "network/BLQInstallWebsocketNetworkRequester.h"

#include "network/BLQHTTPRequestError.h"

namespace brindlecue {

std::shared_ptr<BLQInstallWebsocketNetworkRequester> BLQInstallWebsocketNetworkRequester::create(
    std::shared_ptr<BLQIWebSocketManager> webSocketManager,
    std::shared_ptr<BLQIConfigManager> configManager) {
    auto requester =
        std::make_shared<BLQInstallWebsocketNetworkRequester>(webSocketManager, std::move(configManager));
    if (webSocketManager) webSocketManager->registerDelegate(requester);
    return requester;
}

BLQInstallWebsocketNetworkRequester::BLQInstallWebsocketNetworkRequester(
    std::shared_ptr<BLQIWebSocketManager> webSocketManager, std::shared_ptr<BLQIConfigManager> configManager)
    : BLQWebsocketNetworkRequester("Install", "install", BLQWebSocketEventType::register_,
                                   std::move(webSocketManager), std::move(configManager)) {}

std::shared_ptr<BLQIInstallRegistrationDelegate> BLQInstallWebsocketNetworkRequester::delegate() const {
    std::lock_guard lock(delegateMutex_);
    return delegate_;
}

void BLQInstallWebsocketNetworkRequester::setDelegate(
    std::shared_ptr<BLQIInstallRegistrationDelegate> delegate) {
    std::lock_guard lock(delegateMutex_);
    delegate_ = std::move(delegate);
}

void BLQInstallWebsocketNetworkRequester::sendInstallRequest(const BLQInstallDTO& install,
                                                             BLQRequestSuccessBlock success,
                                                             BLQRequestFailureBlock failure) {
    request(install, std::move(success), std::move(failure));
}

BLQWebSocketEventModel::Payload BLQInstallWebsocketNetworkRequester::payload(const BLQInstallDTO& install,
                                                                             int64_t time,
                                                                             int64_t utcOffset) const {
    using Scalar = DecodableTypeStringOrFloatOrBool;
    return {
        {"id", Scalar::stringValue(*install.installId)},
        {"kj_version", Scalar::stringValue(*install.sdkVersion)},
        {"operating_system", Scalar::stringValue("ios")},
        {"created_on_client", Scalar::intValue(time)},
        // Not shifted to local time: the server reads it together with "utc_offset".
        {"created_local_time", Scalar::intValue(time)},
        {"utc_offset", Scalar::intValue(utcOffset)},
    };
}

void BLQInstallWebsocketNetworkRequester::onAnswerWithoutHostURL(const std::string& host,
                                                                 const BLQRequestFailureBlock& failure) {
    if (!failure) return;
    failure(BLQHTTPRequestError::unknownError(
                "Install: Received JSON, but failed to handle it due to missing 'fromURL': " + host)
                .toError());
}

}  // namespace brindlecue
