#pragma once

#include <compare>
#include <string>

namespace brindlecue::platform {

// A point in time, as seconds since 1970-01-01 00:00:00 UTC. The platform counts from its
// reference date (2001-01-01 00:00:00 UTC); both views are offered.
class Date {
public:
    static constexpr double kReferenceDateOffset = 978307200.0;  // 2001-01-01 in Unix seconds

    constexpr Date() = default;
    static constexpr Date fromTimeIntervalSince1970(double s) { return Date(s); }
    static constexpr Date fromTimeIntervalSinceReferenceDate(double s) { return Date(s + kReferenceDateOffset); }
    // The current time of the process clock (virtual in tests).
    static Date now();

    constexpr double timeIntervalSince1970() const { return seconds_; }
    constexpr double timeIntervalSinceReferenceDate() const { return seconds_ - kReferenceDateOffset; }
    constexpr double timeIntervalSince(Date other) const { return seconds_ - other.seconds_; }
    double timeIntervalSinceNow() const;
    constexpr Date addingTimeInterval(double s) const { return Date(seconds_ + s); }
    // Milliseconds since 1970 for ICU's calendars and formatters, to the nearest microsecond: a
    // date read from whole milliseconds ("...59.990") gives those milliseconds back, not the
    // product of its seconds by 1,000 a hair below them, which would write "...59.989".
    double millisecondsSince1970() const;

    // "2001-01-01 00:00:00 +0000", the platform's description of a date.
    std::string description() const;

    constexpr auto operator<=>(const Date&) const = default;

private:
    constexpr explicit Date(double s) : seconds_(s) {}
    double seconds_ = 0;
};

}  // namespace brindlecue::platform
