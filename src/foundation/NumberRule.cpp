#include "foundation/NumberRule.h"

#include <locale.h>
#include <stdlib.h>

#include <string>

namespace brindlecue {

std::optional<double> readNumber(std::string_view text) {
    if (text.empty()) return std::nullopt;
    char first = text.front();
    if (first == ' ' || first == '\t' || first == '\n' || first == '\r' || first == '\v' || first == '\f') {
        return std::nullopt;
    }
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    std::string copy(text);
    char* end = nullptr;
    double value = strtod_l(copy.c_str(), &end, cLocale);
    if (end != copy.c_str() + copy.size()) return std::nullopt;
    return value;
}

}  // namespace brindlecue

namespace brindlecue {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<uint64_t> scanHexInteger(std::string_view text, unsigned bits) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r' ||
                               text[i] == '\v' || text[i] == '\f')) {
        ++i;
    }
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        hexDigit(text[i + 2]) >= 0) {
        i += 2;
    }
    const uint64_t max = bits >= 64 ? UINT64_MAX : ((uint64_t{1} << bits) - 1);
    uint64_t value = 0;
    bool any = false;
    bool saturated = false;
    for (; i < text.size(); ++i) {
        int digit = hexDigit(text[i]);
        if (digit < 0) break;
        any = true;
        if (!saturated && value > (max >> 4)) saturated = true;
        if (!saturated) value = (value << 4) | static_cast<uint64_t>(digit);
    }
    if (!any) return std::nullopt;
    return saturated ? max : value;
}

}  // namespace brindlecue
