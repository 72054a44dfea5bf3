#include "network/BLQHTTPManager.h"

#include "network/BLQHTTPHeaderKeys.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLSession.h"

namespace brindlecue {

BLQHTTPManager::BLQHTTPManager(std::shared_ptr<BLQIAppDetailsProvider> appDetails,
                               std::vector<std::shared_ptr<BLQIHTTPErrorHandler>> errorHandlers)
    : session_(
          platform::URLSession::create(platform::URLSessionConfiguration::defaultSessionConfiguration())),
      appDetails_(std::move(appDetails)),
      errorHandlers_(std::move(errorHandlers)),
      headers_(std::make_shared<SynchronizedDictionary<std::string, std::string>>()) {
    headers_->set("Content-Type", "application/json");
}

void BLQHTTPManager::delete_(const platform::URL& url, Completion completion) {
    send(url, "DELETE", nullptr, std::move(completion));
}

void BLQHTTPManager::get(const platform::URL& url, Completion completion) {
    send(url, "GET", nullptr, std::move(completion));
}

void BLQHTTPManager::patch(const platform::URL& url, const platform::Data& data, Completion completion) {
    send(url, "PATCH", &data, std::move(completion));
}

void BLQHTTPManager::post(const platform::URL& url, const platform::Data& data, Completion completion) {
    send(url, "POST", &data, std::move(completion));
}

void BLQHTTPManager::refreshHeaders() {
    if (!appDetails_) return;
    auto set = [this](BLQHTTPHeaderKeys key, const std::optional<std::string>& value) {
        if (value) headers_->set(std::string(rawValue(key)), *value);
    };
    auto appId = appDetails_->appId();
    set(BLQHTTPHeaderKeys::appId, appId ? std::optional(std::to_string(*appId)) : std::nullopt);
    set(BLQHTTPHeaderKeys::appKey, appDetails_->appKey());
    set(BLQHTTPHeaderKeys::version, appDetails_->sdkVersion());
    set(BLQHTTPHeaderKeys::installId, appDetails_->installId());
    set(BLQHTTPHeaderKeys::installToken, appDetails_->installToken());
}

void BLQHTTPManager::send(const platform::URL& url, const std::string& method, const platform::Data* body,
                          Completion completion) {
    refreshHeaders();
    platform::URLRequest request(url, platform::URLRequest::CachePolicy::UseProtocolCachePolicy,
                                 kTimeoutInterval);
    request.setHTTPMethod(method);
    if (body) request.setHTTPBody(*body);
    headers_->forEach(
        [&request](const std::string& name, const std::string& value) { request.setValue(value, name); });

    // The completion may run after the client is gone (process exit); it holds what it uses.
    auto handle = [handlers = errorHandlers_, completion = std::move(completion)](
                      std::optional<platform::Data> data, std::shared_ptr<platform::URLResponse> response,
                      std::optional<platform::Error> error) {
        auto result = [&]() -> BLQHTTPResult {
            if (error) {
                handleErrorResponse(handlers, response);
                return BLQHTTPResult::failure(std::move(*error));
            }
            if (!data || !response) return BLQHTTPResult::failure(platform::Error(kErrorDomain, -1));
            if (auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(response);
                http && http->statusCode() >= 400) {
                handleErrorResponse(handlers, http);
                return BLQHTTPResult::failure(platform::Error(kErrorDomain, http->statusCode()));
            }
            return BLQHTTPResult::success(std::move(*data), std::move(response));
        }();
        if (completion) completion(result);
    };
    auto task = session_->dataTaskWithRequest(request, std::move(handle));
    if (task) task->resume();
}

void BLQHTTPManager::handleErrorResponse(const std::vector<std::shared_ptr<BLQIHTTPErrorHandler>>& handlers,
                                         const std::shared_ptr<platform::URLResponse>& response) {
    const BLQILoggable logger{};
    auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(response);
    if (!http) {
        logger.log("Networking: Failed to handle error as it was not a valid HTTPURLResponse object",
                   BLQLoggingLevel::info);
        return;
    }
    for (const auto& handler : handlers) {
        if (handler->getStatusCode() != http->statusCode()) continue;
        logger.log("Networking: handle Response Status Code " + std::to_string(http->statusCode()) + ": " +
                       http->description(),
                   BLQLoggingLevel::info);
        handler->handleHTTPErrorResponse(*http);
    }
}

}  // namespace brindlecue
