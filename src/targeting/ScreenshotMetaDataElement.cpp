#include "targeting/ScreenshotMetaDataElement.h"

#include <bit>
#include <cstdint>
#include <functional>

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

namespace brindlecue {

using platform::Value;

namespace {

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

const Value& present(const Value& document, const char* key) {
    const Value& value = document[key];
    if (value.isAbsent()) {
        throw DecodingError(DecodingError::Kind::keyNotFound,
                            std::string("keyNotFound(\"") + key + "\"): No value associated with key \"" + key + "\".");
    }
    if (value.isNull()) {
        throw DecodingError(DecodingError::Kind::valueNotFound,
                            std::string("valueNotFound(\"") + key + "\"): Found a null value for key \"" + key + "\".");
    }
    return value;
}

[[noreturn]] void mismatch(const char* key, const char* expected) {
    throw DecodingError(DecodingError::Kind::typeMismatch, std::string("typeMismatch(\"") + key + "\"): Expected to decode " +
                                                               expected + " but found another kind of value.");
}

std::string text(const Value& value, const char* key) {
    const std::string* s = value.getString();
    if (s == nullptr) mismatch(key, "String");
    return *s;
}

double number(const Value& value, const char* key) {
    if (!value.isInteger() && !value.isReal()) mismatch(key, "Double");
    return value.doubleValue();
}

std::string requiredText(const Value& document, const char* key) {
    return text(present(document, key), key);
}

double requiredNumber(const Value& document, const char* key) {
    return number(present(document, key), key);
}

std::optional<std::string> optionalText(const Value& document, const char* key) {
    const Value& value = document[key];
    if (value.isNil()) return std::nullopt;
    return text(value, key);
}

std::optional<double> optionalNumber(const Value& document, const char* key) {
    const Value& value = document[key];
    if (value.isNil()) return std::nullopt;
    return number(value, key);
}

template <class T>
Value optionalValue(const std::optional<T>& value) {
    return value ? Value(*value) : Value();
}

platform::Dictionary write(const ScreenshotMetaDataElement& e, bool withNulls) {
    platform::Dictionary out;
    auto optional = [&](const char* key, Value value) {
        if (!value.isAbsent()) {
            out.set(key, std::move(value));
        } else if (withNulls) {
            out.set(key, Value::null());
        }
    };
    optional("accessibility_identifier", optionalValue(e.accessibilityIdentifier));
    out.set("ancestor", e.ancestor);
    out.set("height", e.height);
    out.set("id", e.id);
    out.set("index", e.index);
    out.set("ios_version", e.iosVersion);
    optional("supertag", optionalValue(e.superTag));
    optional("tag", optionalValue(e.tag));
    out.set("type", e.type);
    out.set("version", e.version);
    out.set("width", e.width);
    out.set("x", e.x);
    out.set("y", e.y);
    return out;
}

// The bits of a number, -0 as 0.
uint64_t bitsOf(double value) {
    return std::bit_cast<uint64_t>(value == 0.0 ? 0.0 : value);
}

}  // namespace

ScreenshotMetaDataElement ScreenshotMetaDataElement::decode(const Value& document) {
    if (!document.isDictionary()) {
        throw DecodingError(DecodingError::Kind::typeMismatch,
                            "typeMismatch: Expected to decode a dictionary but found another kind of value.");
    }
    ScreenshotMetaDataElement e;
    e.accessibilityIdentifier = optionalText(document, "accessibility_identifier");
    e.ancestor = requiredText(document, "ancestor");
    e.height = requiredNumber(document, "height");
    e.id = requiredText(document, "id");
    e.index = requiredNumber(document, "index");
    e.iosVersion = requiredText(document, "ios_version");
    e.superTag = optionalText(document, "supertag");
    e.tag = optionalNumber(document, "tag");
    e.type = requiredText(document, "type");
    e.version = requiredText(document, "version");
    e.width = requiredNumber(document, "width");
    e.x = requiredNumber(document, "x");
    e.y = requiredNumber(document, "y");
    return e;
}

platform::Dictionary ScreenshotMetaDataElement::encode() const {
    return write(*this, false);
}

platform::Dictionary ScreenshotMetaDataElement::dictionaryWithNulls() const {
    return write(*this, true);
}

MetaDataCoordinate::MetaDataCoordinate(const ScreenshotMetaDataElement& element)
    : height(element.height),
      width(element.width),
      x(element.x),
      y(element.y),
      type(element.type),
      canonicalType_(canonical(element.type)) {}

bool MetaDataCoordinate::operator==(const MetaDataCoordinate& other) const {
    return height == other.height && width == other.width && x == other.x && y == other.y &&
           canonicalType_ == other.canonicalType_;
}

size_t MetaDataCoordinate::hash() const {
    size_t seed = 0;
    auto combine = [&seed](size_t h) { seed ^= h + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    for (double value : {height, width, x, y}) combine(std::hash<uint64_t>()(bitsOf(value)));
    combine(std::hash<std::string>()(canonicalType_));
    return seed;
}

}  // namespace brindlecue
