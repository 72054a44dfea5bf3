#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Error.h"

namespace brindlecue {

// The networking layer's general error: the server refused (apiError), its answer could not be
// read (parseError), the load itself failed (networkError, carrying the URL loading error of the
// domain NSURLErrorDomain), or nothing more is known (unkown).
class APIError {
public:
    enum class Kind : int64_t { apiError = 0, parseError = 1, networkError = 2, unkown = 3 };

    static APIError apiError(std::string reason) { return APIError(Kind::apiError, std::move(reason)); }
    static APIError parseError(std::string reason) { return APIError(Kind::parseError, std::move(reason)); }
    static APIError networkError(platform::Error from);
    static APIError unkown() { return APIError(Kind::unkown, ""); }

    Kind kind() const { return kind_; }
    // The reason of apiError and parseError; empty for the other cases.
    const std::string& reason() const { return reason_; }
    // The URL loading error of networkError; none for the other cases.
    const std::optional<platform::Error>& from() const { return from_; }

    // The reason; for networkError the URL error's localized description; "Unknown error" for
    // unkown.
    std::string errorDescription() const;

private:
    APIError(Kind kind, std::string reason) : kind_(kind), reason_(std::move(reason)) {}

    Kind kind_;
    std::string reason_;
    std::optional<platform::Error> from_;
};

}  // namespace brindlecue
