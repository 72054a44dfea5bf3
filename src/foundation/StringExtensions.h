#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/Date.h"

namespace brindlecue {

// Date readers for texts from server documents and stored values. Each gives none for a text it
// cannot read; none of them throws.

// The shared ISO-8601 formatter with fractional seconds, else the one without.
std::optional<platform::Date> toISO8601Date(std::string_view text);
// The text with "Z" appended, read as toISO8601Date.
std::optional<platform::Date> toISO8601DateWithNoTimeZone(std::string_view text);
// The whole text as a decimal number of seconds since 1970 (strtod's syntax, C locale); none for
// a number that is not finite.
std::optional<platform::Date> toUnixTimeStampDate(std::string_view text);
// "yyyy-MM-dd" at midnight UTC.
std::optional<platform::Date> toDateWithNoTime(std::string_view text);
// The US short form MM/dd/yyyy, in the device's time zone.
std::optional<platform::Date> toDateWithUSAFormat(std::string_view text);
// The first of the above that reads the text: Unix time stamp, ISO-8601, ISO-8601 without zone,
// date only, US form.
std::optional<platform::Date> toDate(std::string_view text);

// The edit distance of two UTF-8 texts in user-perceived characters.
int64_t levenshtein(std::string_view text, std::string_view other);
// 100 - distance * 100 / the larger character count, truncated; 100 for two empty texts.
int64_t computeSimilarityPercentage(std::string_view text, std::string_view other);

}  // namespace brindlecue
