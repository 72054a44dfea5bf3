#include "matching/BLQStringFilterMatcher.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

namespace brindlecue {

namespace {

// Canonically equivalent texts compare equal, as the platform's text comparison has it.
std::string canonical(const std::string& text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return text;
    icu::UnicodeString normalized = nfc->normalize(icu::UnicodeString::fromUTF8(text), status);
    if (U_FAILURE(status)) return text;
    std::string out;
    normalized.toUTF8String(out);
    return out;
}

}  // namespace

std::shared_ptr<BLQStringFilterMatcher> BLQStringFilterMatcher::fromDocument(const BLQConditionDocument& d) {
    return std::make_shared<BLQStringFilterMatcher>(d.type, d.op, d.value, d.tag, d.units, d.timing);
}

bool BLQStringFilterMatcher::performMatch(const BLQTagDTO& tagRecord) {
    const std::string t = canonical(tagRecord.value);
    const std::string v = canonical(value);
    if (op == "eq") return t == v;
    if (op == "neq") return t != v;
    if (op == "starts_with" || op == "startswith") return t.starts_with(v);
    if (op == "ends_with" || op == "endswith") return t.ends_with(v);
    if (op == "not_starts_with" || op == "not_startswith") return !t.starts_with(v);
    if (op == "not_ends_with" || op == "not_endswith") return !t.ends_with(v);
    if (op == "contains") return t.find(v) != std::string::npos;
    if (op == "not_contains") return t.find(v) == std::string::npos;
    return false;
}

}  // namespace brindlecue
