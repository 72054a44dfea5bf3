// libFuzzer target for the property-list reader of Value (see fuzz/README.md): XML and binary
// property lists come from the server's plist answers and from files on disk.
//
// Whatever reads must write again in both formats (unless it holds what a format cannot: a date
// beyond 32-bit seconds, a text with U+0000 in XML, a key with U+0000) and read back the same.
#include <unicode/ustring.h>

#include <cmath>

#include "fuzz_support.h"

using brindlecue::platform::PropertyListFormat;
using brindlecue::platform::Value;

namespace {

// Well-formed UTF-8 (the binary writer writes U+FFFD for bytes that are not).
bool isUTF8(const std::string& s) {
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(nullptr, 0, nullptr, s.data(), int32_t(s.size()), &status);
    return status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status);
}

// Equality, but for NaN, which XML writes without its sign; for dates: the reader hands dates
// back to the microsecond, and within the second before the reference date without their sign;
// and for texts that were no UTF-8 (an ASCII text of a binary list with bytes beyond ASCII).
bool same(const Value& a, const Value& b) {
    if (a.isReal() && b.isReal() && std::isnan(a.doubleValue())) return std::isnan(b.doubleValue());
    if (a.isString() && b.isString() && !isUTF8(*a.getString())) return true;
    if (a.isDate() && b.isDate()) {
        return std::fabs(a.getDate()->timeIntervalSinceReferenceDate() -
                         b.getDate()->timeIntervalSinceReferenceDate()) <= 1.0;
    }
    if (a.isArray() && b.isArray()) {
        if (a.count() != b.count()) return false;
        for (size_t i = 0; i < a.count(); ++i)
            if (!same(a[i], b[i])) return false;
        return true;
    }
    if (a.isDictionary() && b.isDictionary()) {
        // A key that was no UTF-8 comes back with U+FFFD and may then meet a key that had it, so
        // only dictionaries with well-formed keys are compared.
        for (const auto& [key, item] : *a.getDictionary())
            if (!isUTF8(key)) return true;
        for (const auto& [key, item] : *a.getDictionary()) {
            const Value* other = b.getDictionary()->find(key);
            if (other == nullptr || !same(item, *other)) return false;
        }
        return a.count() == b.count();
    }
    return a == b;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::setUpProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto value = Value::fromPropertyList(brindlecue::platform::Data(data, data + size));
    if (!value) return 0;
    fuzzsupport::touch(*value);
    for (auto format : {PropertyListFormat::XML, PropertyListFormat::Binary}) {
        auto written = value->toPropertyList(format);
        if (!written) continue;
        auto back = Value::fromPropertyList(*written);
        fuzzsupport::check(back.has_value(), "a written property list does not read back");
        fuzzsupport::check(same(*value, *back), "property list read back differs");
    }
    return 0;
}
