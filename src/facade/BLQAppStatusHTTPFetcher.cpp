#include "facade/BLQAppStatusHTTPFetcher.h"

#include <utility>

#include "foundation/DecodingError.h"
#include "network/BLQHTTPRequestError.h"

namespace brindlecue {

BLQAppStatusHTTPFetcher::BLQAppStatusHTTPFetcher(std::shared_ptr<BLQIHTTPManager> httpManager,
                                                 std::shared_ptr<BLQIConfigManager> configManager,
                                                 std::shared_ptr<BLQIAppDetailsProvider> appDetails)
    : httpManager_(std::move(httpManager)),
      configManager_(std::move(configManager)),
      appDetails_(std::move(appDetails)) {}

void BLQAppStatusHTTPFetcher::fetchAppStatus(const std::string&,
                                             std::shared_ptr<BLQIAppStatusFetchHandler> handler) {
    auto fail = [&handler](const BLQHTTPRequestError& error) {
        if (handler) handler->handleAppStatusFailure(error.toError());
    };
    auto appKey = appDetails_->appKey();
    if (!appKey) return fail(BLQHTTPRequestError::invalidURL("AppStatus: No AppKey found yet"));

    const std::string host = configManager_->getHost();
    const std::string path = configManager_->getAppStatusEndpoint(*appKey);
    auto url = platform::URL::fromString(host + path);
    if (!url)
        return fail(
            BLQHTTPRequestError::invalidURL("AppStatus: Invalid URL for AppStatus request: " + host + path));

    httpManager_->get(*url, [self = shared_from_this(), url = *url, handler](const BLQHTTPResult& result) {
        auto success = [&](const platform::Value& json, const platform::URL&) {
            auto data = writtenAndReadBack(json);
            if (!data) return;
            std::optional<BLQAppStatusResponseModel> response;
            try {
                response = BLQAppStatusResponseModel::decode(*data);
            } catch (const DecodingError&) {
            }
            if (!response) {
                if (handler) {
                    handler->handleAppStatusFailure(
                        BLQHTTPRequestError::failedToParseResponse(
                            "AppStatus: Failed to parse response body as AppStatusModel")
                            .toError());
                }
                return;
            }
            self->log("AppStatus: Parsed response as AppStatusModel: " + response->appStatus.description(),
                      BLQLoggingLevel::info);
            if (handler) handler->handleAppStatusSuccess(response->appStatus);
        };
        auto failure = [&](const platform::Error& error) {
            if (handler) {
                handler->handleAppStatusFailure(
                    BLQHTTPRequestError::unknownError(error.localizedDescription()).toError());
            }
        };
        self->handleExpectedJSONResponse(result, "AppStatus", url, success, failure);
    });
}

}  // namespace brindlecue
