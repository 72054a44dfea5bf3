#include "network/BLQ429HTTPErrorHandler.h"

#include <charconv>
#include <cmath>

#include "config/BLQIConfigManager.h"
#include "foundation/BLQPublished.h"
#include "network/BLQHTTPHeaderKeys.h"
#include "platform/Date.h"

namespace brindlecue {

std::optional<double> BLQ429HTTPErrorHandler::parseRetryAfter(std::string_view text) {
    // A leading "+" is part of the number syntax the platform reads; from_chars does not take it.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    // "inf" and "nan" read as numbers, but no server means them as a pause.
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

void BLQ429HTTPErrorHandler::handleHTTPErrorResponse(const platform::HTTPURLResponse& response) {
    // Header names are case-insensitive: "Retry-After" counts as much as "retry-after".
    double pause = kDefaultPauseSeconds;
    if (auto text = response.valueForHTTPHeaderField(rawValue(BLQHTTPHeaderKeys::retryAfter))) {
        if (auto seconds = parseRetryAfter(*text)) pause = *seconds;
    }
    double until = platform::Date::now().timeIntervalSinceReferenceDate() + pause;
    if (auto configManager = BLQPublished<BLQIConfigManager>::get()) configManager->setSDKDisabledTime(until);
}

}  // namespace brindlecue
