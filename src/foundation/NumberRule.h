#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace brindlecue {

// A decimal floating-point number read as strtod reads it in the C locale, only when the whole
// text is consumed. The empty text, or one that begins with a blank, tab or line end, is not a
// number.
std::optional<double> readNumber(std::string_view text);

}  // namespace brindlecue

namespace brindlecue {

// An unsigned hexadecimal number as the platform's scanner reads it: leading blanks and line
// ends skipped, an optional "0x" or "0X", then hexadecimal digits up to the first other
// character. A value wider than `bits` saturates to all ones. None when no digit is read.
std::optional<uint64_t> scanHexInteger(std::string_view text, unsigned bits);

}  // namespace brindlecue
