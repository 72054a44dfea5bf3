#pragma once

#include <optional>
#include <string>

#include "platform/Error.h"

namespace brindlecue {

// The app-status layer's own error. The fetchers report BLQHTTPRequestError; the fetch handler
// recognises this one as well and drops it like any other error.
class BLQAppStatusError {
public:
    static constexpr const char* kDomain = "BrindlecueSDK.BLQAppStatusError";

    enum class Kind { invalidURL, failedToParseResponse, networkRequestFailed, unknownError };

    static BLQAppStatusError invalidURL(std::string message) {
        return {Kind::invalidURL, std::move(message), {}};
    }
    static BLQAppStatusError failedToParseResponse(std::string message) {
        return {Kind::failedToParseResponse, std::move(message), {}};
    }
    static BLQAppStatusError networkRequestFailed(platform::Error underlying) {
        return {Kind::networkRequestFailed, "", std::move(underlying)};
    }
    static BLQAppStatusError unknownError(std::string message) {
        return {Kind::unknownError, std::move(message), {}};
    }

    Kind kind() const { return kind_; }
    const std::string& message() const { return message_; }
    const std::optional<platform::Error>& underlyingError() const { return underlying_; }

    // The platform error it bridges to: its domain, the case's number as code, no user info.
    platform::Error toError() const { return platform::Error(kDomain, static_cast<int64_t>(kind_)); }
    static bool isAppStatusError(const platform::Error& error) { return error.domain() == kDomain; }

private:
    BLQAppStatusError(Kind kind, std::string message, std::optional<platform::Error> underlying)
        : kind_(kind), message_(std::move(message)), underlying_(std::move(underlying)) {}

    Kind kind_;
    std::string message_;
    std::optional<platform::Error> underlying_;
};

}  // namespace brindlecue
