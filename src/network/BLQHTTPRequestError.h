#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Error.h"

namespace brindlecue {

// The error of the newer layer's requesters and of the managers that check their answers. Each
// case carries a message, except networkRequestFailed, which carries the error underneath.
//
// Failure callbacks take a platform::Error: toError() gives one in the domain kDomain with the
// case's number as code, the description as localized description and, for networkRequestFailed,
// the underlying error; fromError() reads the case back.
class BLQHTTPRequestError {
public:
    static constexpr const char* kDomain = "BLQHTTPRequestError";

    enum class Kind : int64_t {
        invalidURL = 0,
        failedToParseRequestBody = 1,
        failedToParseResponse = 2,
        networkRequestFailed = 3,
        invalidReturnedObjectFromServer = 4,
        unknownError = 5,
    };

    static BLQHTTPRequestError invalidURL(std::string message) {
        return {Kind::invalidURL, std::move(message)};
    }
    static BLQHTTPRequestError failedToParseRequestBody(std::string message) {
        return {Kind::failedToParseRequestBody, std::move(message)};
    }
    static BLQHTTPRequestError failedToParseResponse(std::string message) {
        return {Kind::failedToParseResponse, std::move(message)};
    }
    static BLQHTTPRequestError networkRequestFailed(platform::Error underlying);
    static BLQHTTPRequestError invalidReturnedObjectFromServer(std::string message) {
        return {Kind::invalidReturnedObjectFromServer, std::move(message)};
    }
    static BLQHTTPRequestError unknownError(std::string message) {
        return {Kind::unknownError, std::move(message)};
    }

    Kind kind() const { return kind_; }
    // The case's message; empty for networkRequestFailed.
    const std::string& message() const { return message_; }
    // Present for networkRequestFailed only.
    const std::optional<platform::Error>& underlyingError() const { return underlying_; }

    // The message, or the underlying error's localized description.
    std::string errorDescription() const;

    platform::Error toError() const;
    // None for an error of another domain or an unknown code.
    static std::optional<BLQHTTPRequestError> fromError(const platform::Error& error);

private:
    BLQHTTPRequestError(Kind kind, std::string message) : kind_(kind), message_(std::move(message)) {}

    Kind kind_;
    std::string message_;
    std::optional<platform::Error> underlying_;
};

}  // namespace brindlecue
