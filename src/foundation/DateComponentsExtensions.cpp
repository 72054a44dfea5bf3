#include "foundation/DateComponentsExtensions.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "foundation/DurationParsingError.h"
#include "foundation/NumberRule.h"

namespace brindlecue {

namespace {

constexpr std::string_view kDesignators = "PWTYMDHMS";

// The number in front of the designator in the part: the text up to the designator's first
// occurrence (the whole part without one), split at every designator letter, last piece.
std::optional<double> numberBefore(std::string_view part, char designator) {
    std::string_view upTo = part.substr(0, part.find(designator));
    size_t lastSplit = upTo.find_last_of(kDesignators);
    std::string_view piece = lastSplit == std::string_view::npos ? upTo : upTo.substr(lastSplit + 1);
    return readNumber(piece);
}

int64_t toInteger(double value, const std::string& whole) {
    // Beyond ±2^63 the cast is undefined; such a duration cannot be given as components.
    if (!std::isfinite(value) || value >= 9223372036854775808.0 || value < -9223372036854775808.0) {
        throw DurationParsingError(DurationParsingError::Kind::invalidFormat, whole);
    }
    return static_cast<int64_t>(value);
}

std::optional<int64_t> floored(std::optional<double> value, const std::string& whole) {
    if (!value) return std::nullopt;
    return toInteger(std::floor(*value), whole);
}

std::optional<double> carried(std::optional<double> larger, double factor, std::optional<double> own) {
    if (larger) return std::fmod(*larger, 1.0) * factor + own.value_or(0);
    return own;
}

}  // namespace

platform::DateComponents from8601String(std::string_view text) {
    const std::string whole(text);
    if (text.empty() || text.front() != 'P') {
        throw DurationParsingError(DurationParsingError::Kind::invalidFormat, whole);
    }
    std::string_view rest = text.substr(1);
    platform::DateComponents result;

    if (auto weeks = numberBefore(rest, 'W')) {
        result.day = toInteger(std::trunc(*weeks * 7), whole);
        return result;
    }

    size_t t = rest.find('T');
    std::string_view datePart = t == std::string_view::npos ? rest : rest.substr(0, t);
    std::string_view timePart = t == std::string_view::npos ? std::string_view() : rest.substr(t + 1);

    auto years = numberBefore(datePart, 'Y');
    auto months = numberBefore(datePart, 'M');
    auto days = numberBefore(datePart, 'D');

    auto monthValue = carried(years, 12, months);
    if (monthValue && std::isfinite(*monthValue) && std::floor(*monthValue) != *monthValue) {
        throw DurationParsingError(DurationParsingError::Kind::unsupportedFractionsForMonth,
                                   std::string(rest));
    }
    result.year = floored(years, whole);
    result.month = floored(monthValue, whole);
    result.day = floored(days, whole);

    auto hourValue = carried(days, 24, numberBefore(timePart, 'H'));
    auto minuteValue = carried(hourValue, 60, numberBefore(timePart, 'M'));
    auto secondValue = carried(minuteValue, 60, numberBefore(timePart, 'S'));
    result.hour = floored(hourValue, whole);
    result.minute = floored(minuteValue, whole);
    result.second = floored(secondValue, whole);
    return result;
}

std::optional<platform::DateComponents> durationFrom8601String(std::string_view text) {
    try {
        return from8601String(text);
    } catch (const DurationParsingError&) {
        return std::nullopt;
    }
}

}  // namespace brindlecue

namespace brindlecue::platform {

namespace {

int64_t saturatingAdd(int64_t a, int64_t b) {
    int64_t out = 0;
    if (!__builtin_add_overflow(a, b, &out)) return out;
    return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

int64_t saturatingSub(int64_t a, int64_t b) {
    int64_t out = 0;
    if (!__builtin_sub_overflow(a, b, &out)) return out;
    return b < 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

template <class Op>
DateComponents combine(const DateComponents& l, const DateComponents& r, Op op) {
    auto field = [&](const std::optional<int64_t>& a,
                     const std::optional<int64_t>& b) -> std::optional<int64_t> {
        if (!a && !b) return std::nullopt;
        return op(a.value_or(0), b.value_or(0));
    };
    DateComponents out;
    out.second = field(l.second, r.second);
    out.minute = field(l.minute, r.minute);
    out.hour = field(l.hour, r.hour);
    out.day = field(l.day, r.day);
    out.weekOfYear = field(l.weekOfYear, r.weekOfYear);
    out.month = field(l.month, r.month);
    out.year = field(l.year, r.year);
    return out;
}

}  // namespace

DateComponents operator+(const DateComponents& lhs, const DateComponents& rhs) {
    return combine(lhs, rhs, saturatingAdd);
}

DateComponents operator-(const DateComponents& lhs, const DateComponents& rhs) {
    return combine(lhs, rhs, saturatingSub);
}

}  // namespace brindlecue::platform
