#pragma once

#include <optional>
#include <string_view>

#include "foundation/BLQILoggable.h"
#include "network/BLQIHTTPErrorHandler.h"

namespace brindlecue {

// "Too many requests": pauses the whole library for the seconds of the answer's "retry-after"
// field (3600 s when it is missing or unreadable), through the facade's configuration manager.
class BLQ429HTTPErrorHandler final : public BLQIHTTPErrorHandler, public BLQILoggable {
public:
    static constexpr double kDefaultPauseSeconds = 3600;

    BLQ429HTTPErrorHandler() = default;

    int getStatusCode() const override { return 429; }
    void handleHTTPErrorResponse(const platform::HTTPURLResponse& response) override;

    // The seconds a "retry-after" text asks for: a whole decimal number (no blanks around it, no
    // HTTP date) that is finite; none otherwise.
    static std::optional<double> parseRetryAfter(std::string_view text);
};

}  // namespace brindlecue
