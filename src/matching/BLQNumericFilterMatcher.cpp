#include "matching/BLQNumericFilterMatcher.h"

#include <locale.h>
#include <cctype>
#include <clocale>
#include <cstdlib>

namespace brindlecue {

namespace {

locale_t cLocale() {
    // Made once and kept for the process.
    static locale_t locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

}  // namespace

std::optional<float> BLQNumericFilterMatcher::readNumber(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
    char* end = nullptr;
    float value = ::strtof_l(text.c_str(), &end, cLocale());
    if (end != text.c_str() + text.size()) return std::nullopt;
    return value;
}

std::shared_ptr<BLQNumericFilterMatcher> BLQNumericFilterMatcher::fromDocument(
    const BLQConditionDocument& d) {
    auto number = readNumber(d.value);
    if (!number) return nullptr;
    return std::make_shared<BLQNumericFilterMatcher>(d.type, d.op, *number, d.tag, d.units, d.timing);
}

bool BLQNumericFilterMatcher::performMatch(const BLQTagDTO& tagRecord) {
    auto number = readNumber(tagRecord.value);
    if (!number) return false;
    return compareByOp(op, *number, value).value_or(false);
}

}  // namespace brindlecue
