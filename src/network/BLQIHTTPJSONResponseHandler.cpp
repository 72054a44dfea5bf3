#include "network/BLQIHTTPJSONResponseHandler.h"

#include <string_view>

#include "network/BLQHTTPRequestError.h"
#include "platform/foundation/HTTPURLResponse.h"

namespace brindlecue {

void BLQIHTTPJSONResponseHandler::handleExpectedJSONResponse(const BLQHTTPResult& result,
                                                             const std::string& errorMessagePrefix,
                                                             const platform::URL& requestUrl,
                                                             const BLQRequestSuccessBlock& success,
                                                             const BLQRequestFailureBlock& failure) const {
    auto fail = [&failure](const BLQHTTPRequestError& error) {
        if (failure) failure(error.toError());
    };
    if (!result.isSuccess()) return fail(BLQHTTPRequestError::networkRequestFailed(result.error()));

    auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(result.response());
    if (!http) {
        // Only a host of another scheme than http(s) gets here; the caller must still hear of it.
        return fail(BLQHTTPRequestError::unknownError(
            errorMessagePrefix + ": Error occurred. The response is not an HTTP response"));
    }

    const std::string status = std::to_string(http->statusCode());
    log(errorMessagePrefix + ": status code: " + status, BLQLoggingLevel::info);
    log(errorMessagePrefix + ": response: " + http->description(), BLQLoggingLevel::info);
    if (http->statusCode() < 200 || http->statusCode() > 299) {
        return fail(BLQHTTPRequestError::unknownError(errorMessagePrefix +
                                                      ": Error occurred. Response code: " + status +
                                                      ", response: " + http->description()));
    }

    platform::Value json = platform::Value::dictionary();
    const auto& data = result.data();
    if (!data.empty()) {
        platform::Error parseError;
        auto parsed = platform::Value::fromJSON(
            std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), &parseError);
        if (!parsed)
            return fail(BLQHTTPRequestError::failedToParseResponse(parseError.localizedDescription()));
        if (parsed->isDictionary()) json = std::move(*parsed);
    }
    if (success) success(json, http->url() ? *http->url() : requestUrl);
}

}  // namespace brindlecue
