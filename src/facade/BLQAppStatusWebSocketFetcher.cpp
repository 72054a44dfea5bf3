#include "facade/BLQAppStatusWebSocketFetcher.h"

#include <utility>

#include "foundation/DecodingError.h"
#include "network/BLQHTTPRequestError.h"

namespace brindlecue {

std::shared_ptr<BLQAppStatusWebSocketFetcher> BLQAppStatusWebSocketFetcher::create(
    std::shared_ptr<BLQIAppDetailsProvider> appDetails,
    std::shared_ptr<BLQIWebSocketManager> webSocketManager) {
    auto fetcher = std::make_shared<BLQAppStatusWebSocketFetcher>(std::move(appDetails), webSocketManager);
    if (webSocketManager) webSocketManager->registerDelegate(fetcher);
    return fetcher;
}

BLQAppStatusWebSocketFetcher::BLQAppStatusWebSocketFetcher(
    std::shared_ptr<BLQIAppDetailsProvider> appDetails,
    std::shared_ptr<BLQIWebSocketManager> webSocketManager)
    : appDetails_(std::move(appDetails)), webSocketManager_(std::move(webSocketManager)) {}

void BLQAppStatusWebSocketFetcher::fetchAppStatus(const std::string& host,
                                                  std::shared_ptr<BLQIAppStatusFetchHandler> handler) {
    {
        std::lock_guard lock(mutex_);
        handler_ = std::move(handler);
    }
    auto manager = webSocketManager();
    if (!manager || manager->isConnected()) return;
    connectWebSocket(host, kEndpoint);
}

void BLQAppStatusWebSocketFetcher::receivedJSON(const platform::Value& json) {
    log("AppStatus: Received JSON: " + json.description(), BLQLoggingLevel::info);
    auto target = handler();
    auto data = writtenAndReadBack(json);
    if (!data) {
        if (target) {
            target->handleAppStatusFailure(
                BLQHTTPRequestError::unknownError("AppStatus: Failed to convert received JSON to Data object")
                    .toError());
        }
        return;
    }
    std::optional<BLQAppStatusModel> model;
    try {
        model = BLQAppStatusModel::decode(*data);
    } catch (const DecodingError&) {
    }
    if (!model) {
        if (target) {
            target->handleAppStatusFailure(BLQHTTPRequestError::failedToParseResponse(
                                               "AppStatus: Failed to parse response body as AppStatusModel")
                                               .toError());
        }
        return;
    }
    log("AppStatus: Parsed response as AppStatusModel: " + model->description(), BLQLoggingLevel::info);
    if (target) target->handleAppStatusSuccess(*model);
}

void BLQAppStatusWebSocketFetcher::receivedError(const platform::Error&) {}

std::shared_ptr<BLQIWebSocketManager> BLQAppStatusWebSocketFetcher::webSocketManager() const {
    std::lock_guard lock(mutex_);
    return webSocketManager_;
}

void BLQAppStatusWebSocketFetcher::setWebSocketManager(std::shared_ptr<BLQIWebSocketManager> manager) {
    std::lock_guard lock(mutex_);
    webSocketManager_ = std::move(manager);
}

std::shared_ptr<BLQIAppStatusFetchHandler> BLQAppStatusWebSocketFetcher::handler() const {
    std::lock_guard lock(mutex_);
    return handler_;
}

}  // namespace brindlecue
