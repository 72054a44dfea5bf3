#include "foundation/ISO8601Formatter.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace brindlecue {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int64_t& y, int64_t& m, int64_t& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp + (mp < 10 ? 3 : -9);
    y = yoe + era * 400 + (m <= 2);
}

bool isLeap(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int64_t daysInMonth(int64_t y, int64_t m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool digits(size_t count, int64_t& value) {
        if (pos_ + count > text_.size()) return false;
        value = 0;
        for (size_t i = 0; i < count; ++i) {
            char c = text_[pos_ + i];
            if (c < '0' || c > '9') return false;
            value = value * 10 + (c - '0');
        }
        pos_ += count;
        return true;
    }
    bool literal(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    bool atEnd() const { return pos_ == text_.size(); }
    // One or more digits as a fraction of one.
    bool fraction(double& value) {
        size_t start = pos_;
        double scale = 0.1;
        value = 0;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            value += (text_[pos_] - '0') * scale;
            scale /= 10;
            ++pos_;
        }
        return pos_ > start;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

}  // namespace

const ISO8601Formatter& ISO8601Formatter::iso8601withFractionalSeconds() {
    static const ISO8601Formatter* formatter = new ISO8601Formatter(true);
    return *formatter;
}

const ISO8601Formatter& ISO8601Formatter::iso8601withoutFractionalSeconds() {
    static const ISO8601Formatter* formatter = new ISO8601Formatter(false);
    return *formatter;
}

std::string ISO8601Formatter::stringFromDate(platform::Date date) const {
    double seconds = date.timeIntervalSince1970();
    // Years beyond four digits cannot be written in this form.
    if (!std::isfinite(seconds) || std::fabs(seconds) > 2.5e11) return "";
    // Through whole microseconds first, so that 0.123 is not written as .122.
    int64_t micros = std::llround(seconds * 1e6);
    int64_t millis = micros >= 0 ? micros / 1000 : -((-micros + 999) / 1000);
    int64_t secs = millis >= 0 ? millis / 1000 : -((-millis + 999) / 1000);
    int64_t ms = millis - secs * 1000;
    int64_t days = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
    int64_t inDay = secs - days * 86400;
    int64_t y = 0, m = 0, d = 0;
    civilFromDays(days, y, m, d);
    // Room for the widest numbers the types allow, not only for the years the library meets.
    char buffer[96];
    if (withFractionalSeconds_) {
        std::snprintf(buffer, sizeof buffer, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%03lldZ",
                      (long long)y, (long long)m, (long long)d, (long long)(inDay / 3600),
                      (long long)(inDay / 60 % 60), (long long)(inDay % 60), (long long)ms);
    } else {
        std::snprintf(buffer, sizeof buffer, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", (long long)y,
                      (long long)m, (long long)d, (long long)(inDay / 3600), (long long)(inDay / 60 % 60),
                      (long long)(inDay % 60));
    }
    return buffer;
}

std::optional<platform::Date> ISO8601Formatter::dateFromString(std::string_view text) const {
    Reader r(text);
    int64_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!r.digits(4, y) || !r.literal('-') || !r.digits(2, mo) || !r.literal('-') || !r.digits(2, d))
        return std::nullopt;
    if (!r.literal('T') || !r.digits(2, h) || !r.literal(':') || !r.digits(2, mi) || !r.literal(':') ||
        !r.digits(2, s))
        return std::nullopt;
    double fraction = 0;
    if (withFractionalSeconds_) {
        if (!r.literal('.') || !r.fraction(fraction)) return std::nullopt;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h > 23 || mi > 59 || s > 59)
        return std::nullopt;

    int64_t offset = 0;
    if (r.literal('Z')) {
        offset = 0;
    } else {
        char sign = r.peek();
        if (sign != '+' && sign != '-') return std::nullopt;
        r.literal(sign);
        int64_t oh = 0, om = 0;
        if (!r.digits(2, oh) || !r.literal(':') || !r.digits(2, om) || oh > 23 || om > 59)
            return std::nullopt;
        offset = (oh * 3600 + om * 60) * (sign == '-' ? -1 : 1);
    }
    if (!r.atEnd()) return std::nullopt;

    int64_t seconds = daysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s - offset;
    // The platform keeps milliseconds.
    double millis = std::floor(fraction * 1000 + 1e-9) / 1000;
    return platform::Date::fromTimeIntervalSince1970(static_cast<double>(seconds) + millis);
}

}  // namespace brindlecue
