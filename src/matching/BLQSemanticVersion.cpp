#include "matching/BLQSemanticVersion.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <charconv>

namespace brindlecue {

namespace {

std::optional<int64_t> readInteger(const std::string& text) {
    if (text.empty()) return std::nullopt;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    // from_chars takes a "-" but not a "+".
    if (*first == '+') {
        ++first;
        if (first == last || *first == '-') return std::nullopt;
    }
    int64_t value = 0;
    auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) return std::nullopt;
    return value;
}

icu::UnicodeString canonical(const std::string& text) {
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return unicode;
    icu::UnicodeString normalized = nfc->normalize(unicode, status);
    return U_SUCCESS(status) ? normalized : unicode;
}

int compareText(const std::string& a, const std::string& b) {
    return canonical(a).compareCodePointOrder(canonical(b));
}

}  // namespace

BLQSemanticVersionPart::BLQSemanticVersionPart(const std::string& text)
    : value(readInteger(text).value_or(0)) {}

BLQSemanticVersionBuildMetadata::BLQSemanticVersionBuildMetadata(const std::string& text)
    : value(text), intValue(readInteger(text)) {}

bool BLQSemanticVersionBuildMetadata::operator==(const BLQSemanticVersionBuildMetadata& o) const {
    if (value.empty() && o.value.empty()) return true;
    if (intValue && o.intValue) return *intValue == *o.intValue;
    return compareText(value, o.value) == 0;
}

bool BLQSemanticVersionBuildMetadata::operator<(const BLQSemanticVersionBuildMetadata& o) const {
    if (value.empty() && o.value.empty()) return false;
    if (intValue && o.intValue) return *intValue < *o.intValue;
    return compareText(value, o.value) < 0;
}

bool BLQSemanticVersion::operator==(const BLQSemanticVersion& o) const {
    return major == o.major && minor == o.minor && patch == o.patch && buildMetadata == o.buildMetadata;
}

bool BLQSemanticVersion::operator<(const BLQSemanticVersion& o) const {
    if (!(major == o.major)) return major < o.major;
    if (!(minor == o.minor)) return minor < o.minor;
    if (!(patch == o.patch)) return patch < o.patch;
    return buildMetadata < o.buildMetadata;
}

}  // namespace brindlecue
