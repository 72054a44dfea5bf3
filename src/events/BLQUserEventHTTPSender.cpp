#include "events/BLQUserEventHTTPSender.h"

#include <string>

#include "network/BLQHTTPRequestError.h"

namespace brindlecue {

using platform::Value;

BLQUserEventHTTPSender::BLQUserEventHTTPSender(std::shared_ptr<BLQIHTTPManager> httpManager,
                                               std::shared_ptr<BLQIConfigManager> configManager,
                                               std::shared_ptr<BLQIAppDetailsProvider> appDetails)
    : httpManager_(std::move(httpManager)),
      configManager_(std::move(configManager)),
      appDetails_(std::move(appDetails)) {}

void BLQUserEventHTTPSender::uploadUserEvents(const std::vector<std::shared_ptr<BLQUserEventDTO>>& events,
                                              BLQRequestSuccessBlock success,
                                              BLQRequestFailureBlock failure) {
    auto fail = [&failure](const BLQHTTPRequestError& error) {
        if (failure) failure(error.toError());
    };
    const std::string host = configManager_->getHost();
    const std::string path = configManager_->getLogsEndpoint();
    auto installId = appDetails_->installId();
    if (!installId) return fail(BLQHTTPRequestError::invalidURL("UserEvent: No installId found"));
    auto appKey = appDetails_->appKey();
    if (!appKey) return fail(BLQHTTPRequestError::invalidURL("UserEvent: No appKey found"));
    const std::string text = host + path;
    auto url = platform::URL::fromString(text);
    if (!url) return fail(BLQHTTPRequestError::invalidURL("UserEvent: Invalid URL for Logs post: " + text));

    platform::Array records;
    records.reserve(events.size());
    for (const auto& event : events) {
        if (!event || event->code == BLQUserEventCode::unspecified) continue;
        auto document = event->toDictionary();
        if (!document) continue;
        log("UserEvent: Sending with code " + std::to_string(rawValue(event->code)) +
                ", fullObject: " + document->description(),
            BLQLoggingLevel::info);
        records.push_back(std::move(*document));
    }
    Value body = Value::dictionary(
        {{"installid", *installId}, {"app_key", *appKey}, {"records", Value(std::move(records))}});
    auto json = body.toJSON();
    if (!json) {
        return fail(BLQHTTPRequestError::failedToParseRequestBody(
            "UserEvent: Invalid request body for Logs post: " + body.description()));
    }
    httpManager_->post(*url, platform::Data(json->begin(), json->end()),
                       [self = shared_from_this(), url = *url, success = std::move(success),
                        failure = std::move(failure)](const BLQHTTPResult& result) {
                           self->handleExpectedJSONResponse(result, "UserEvent", url, success, failure);
                       });
}

}  // namespace brindlecue
