#pragma once

#include <optional>
#include <string_view>

namespace brindlecue {

// The header names of the newer layer's requests ("Content-Type" is set by its literal name).
// "User-Agent" is not set by the client; "retry-after" is read from 429 answers.
enum class BLQHTTPHeaderKeys { appId, appKey, installId, installToken, userAgent, version, retryAfter };

constexpr std::string_view rawValue(BLQHTTPHeaderKeys key) {
    switch (key) {
        case BLQHTTPHeaderKeys::appId:
            return "X-App-Id";
        case BLQHTTPHeaderKeys::appKey:
            return "X-App-Key";
        case BLQHTTPHeaderKeys::installId:
            return "X-Installid";
        case BLQHTTPHeaderKeys::installToken:
            return "X-Install-Token";
        case BLQHTTPHeaderKeys::userAgent:
            return "User-Agent";
        case BLQHTTPHeaderKeys::version:
            return "X-Version";
        case BLQHTTPHeaderKeys::retryAfter:
            return "retry-after";
    }
    return "";
}

// Exact match only.
constexpr std::optional<BLQHTTPHeaderKeys> BLQHTTPHeaderKeysFromRawValue(std::string_view text) {
    for (auto key : {BLQHTTPHeaderKeys::appId, BLQHTTPHeaderKeys::appKey, BLQHTTPHeaderKeys::installId,
                     BLQHTTPHeaderKeys::installToken, BLQHTTPHeaderKeys::userAgent,
                     BLQHTTPHeaderKeys::version, BLQHTTPHeaderKeys::retryAfter}) {
        if (rawValue(key) == text) return key;
    }
    return std::nullopt;
}

// The statuses that have handlers.
enum class BLQHTTPStatusCode : int { conflict = 409, tooManyRequests = 429 };

constexpr std::optional<BLQHTTPStatusCode> BLQHTTPStatusCodeFromRawValue(int code) {
    if (code == 409) return BLQHTTPStatusCode::conflict;
    if (code == 429) return BLQHTTPStatusCode::tooManyRequests;
    return std::nullopt;
}

}  // namespace brindlecue
