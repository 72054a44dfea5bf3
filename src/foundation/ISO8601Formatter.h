#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Date.h"

namespace brindlecue {

// Internet date and time (2024-01-31T10:00:00.000Z), written in GMT. Reading requires the full
// date with dashes, "T", the full time with colons and a zone ("Z", "+hh:mm" or "-hh:mm"); with
// fractional seconds the time must carry a fraction, without them it must not.
class ISO8601Formatter {
public:
    explicit ISO8601Formatter(bool withFractionalSeconds) : withFractionalSeconds_(withFractionalSeconds) {}

    // The two shared formatters, created once per process.
    static const ISO8601Formatter& iso8601withFractionalSeconds();
    static const ISO8601Formatter& iso8601withoutFractionalSeconds();

    // Milliseconds are written truncated; the empty text for a date that is not finite.
    std::string stringFromDate(platform::Date date) const;
    // None for any text that is not such a date; never throws.
    std::optional<platform::Date> dateFromString(std::string_view text) const;

private:
    bool withFractionalSeconds_;
};

}  // namespace brindlecue
