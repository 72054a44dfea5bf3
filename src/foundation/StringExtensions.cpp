#include "foundation/StringExtensions.h"

#include <unicode/brkiter.h>
#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "foundation/ISO8601Formatter.h"
#include "foundation/NumberRule.h"

namespace brindlecue {

using platform::Date;

std::optional<Date> toISO8601Date(std::string_view text) {
    if (auto d = ISO8601Formatter::iso8601withFractionalSeconds().dateFromString(text)) return d;
    return ISO8601Formatter::iso8601withoutFractionalSeconds().dateFromString(text);
}

std::optional<Date> toISO8601DateWithNoTimeZone(std::string_view text) {
    return toISO8601Date(std::string(text) + "Z");
}

std::optional<Date> toUnixTimeStampDate(std::string_view text) {
    auto seconds = readNumber(text);
    if (!seconds || !std::isfinite(*seconds)) return std::nullopt;
    return Date::fromTimeIntervalSince1970(*seconds);
}

namespace {

// A non-lenient ICU parse that must consume the whole text.
std::optional<Date> parseWholeText(icu::SimpleDateFormat& format, std::string_view text) {
    if (text.empty()) return std::nullopt;
    format.setLenient(false);
    icu::UnicodeString input =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), (int32_t)text.size()));
    icu::ParsePosition position(0);
    UDate parsed = format.parse(input, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != input.length()) return std::nullopt;
    return Date::fromTimeIntervalSince1970(parsed / 1000.0);
}

}  // namespace

std::optional<Date> toDateWithNoTime(std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    icu::SimpleDateFormat format(icu::UnicodeString("yyyy-MM-dd"), icu::Locale::getDefault(), status);
    if (U_FAILURE(status)) return std::nullopt;
    format.adoptTimeZone(icu::TimeZone::createTimeZone("UTC"));
    return parseWholeText(format, text);
}

std::optional<Date> toDateWithUSAFormat(std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale locale("en_US");
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_FAILURE(status)) return std::nullopt;
    icu::UnicodeString pattern = generator->getBestPattern(icu::UnicodeString("ddMMyyyy"), status);
    if (U_FAILURE(status)) return std::nullopt;
    icu::SimpleDateFormat format(pattern, locale, status);
    if (U_FAILURE(status)) return std::nullopt;
    return parseWholeText(format, text);
}

std::optional<Date> toDate(std::string_view text) {
    if (auto d = toUnixTimeStampDate(text)) return d;
    if (auto d = toISO8601Date(text)) return d;
    if (auto d = toISO8601DateWithNoTimeZone(text)) return d;
    if (auto d = toDateWithNoTime(text)) return d;
    return toDateWithUSAFormat(text);
}

namespace {

std::vector<icu::UnicodeString> graphemes(std::string_view text) {
    icu::UnicodeString s = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), (int32_t)text.size()));
    std::vector<icu::UnicodeString> out;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) {
        // Without break rules, code points are the best approximation.
        for (int32_t i = 0; i < s.length(); i = s.moveIndex32(i, 1)) {
            out.emplace_back(s, i, s.moveIndex32(i, 1) - i);
        }
        return out;
    }
    it->setText(s);
    int32_t start = it->first();
    for (int32_t end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next()) {
        out.emplace_back(s, start, end - start);
    }
    return out;
}

int64_t distance(const std::vector<icu::UnicodeString>& a, const std::vector<icu::UnicodeString>& b) {
    if (a.empty()) return static_cast<int64_t>(b.size());
    if (b.empty()) return static_cast<int64_t>(a.size());
    std::vector<int64_t> previous(b.size() + 1), current(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) previous[j] = static_cast<int64_t>(j);
    for (size_t i = 1; i <= a.size(); ++i) {
        current[0] = static_cast<int64_t>(i);
        for (size_t j = 1; j <= b.size(); ++j) {
            int64_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
        }
        std::swap(previous, current);
    }
    return previous[b.size()];
}

}  // namespace

int64_t levenshtein(std::string_view text, std::string_view other) {
    return distance(graphemes(text), graphemes(other));
}

int64_t computeSimilarityPercentage(std::string_view text, std::string_view other) {
    auto a = graphemes(text);
    auto b = graphemes(other);
    int64_t longest = static_cast<int64_t>(std::max(a.size(), b.size()));
    if (longest == 0) return 100;
    return 100 - (distance(a, b) * 100) / longest;
}

}  // namespace brindlecue
