#include "widgets/WidgetCoding.h"

#include <cctype>
#include <limits>

namespace brindlecue::widgets {

using platform::Value;

AnyKey keyFromKebabCase(const CodingPath& codingPath) {
    if (codingPath.empty()) return AnyKey(std::string());
    const AnyKey& last = codingPath.back();
    if (last.intValue) return last;
    std::string joined;
    const std::string& text = last.stringValue;
    size_t start = 0;
    while (start <= text.size()) {
        size_t dash = text.find('-', start);
        if (dash == std::string::npos) dash = text.size();
        if (dash > start) {
            std::string piece = text.substr(start, dash - start);
            piece[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(piece[0])));
            joined += piece;
        }
        start = dash + 1;
    }
    if (!joined.empty()) joined[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(joined[0])));
    return AnyKey(std::move(joined));
}

std::string describeCodingPath(const CodingPath& path) {
    std::string out;
    for (const auto& key : path) {
        if (key.intValue) {
            out += "[" + key.stringValue + "]";
        } else {
            if (!out.empty()) out += '.';
            out += key.stringValue;
        }
    }
    return out;
}

DecodingError widgetDecodingError(DecodingError::Kind kind, const CodingPath& path, const std::string& what) {
    const char* name = "dataCorrupted";
    switch (kind) {
        case DecodingError::Kind::typeMismatch: name = "typeMismatch"; break;
        case DecodingError::Kind::valueNotFound: name = "valueNotFound"; break;
        case DecodingError::Kind::keyNotFound: name = "keyNotFound"; break;
        case DecodingError::Kind::dataCorrupted: break;
    }
    return DecodingError(kind, std::string(name) + "(codingPath: \"" + describeCodingPath(path) +
                                   "\", debugDescription: \"" + what + "\")");
}

ConvertedObject::ConvertedObject(const platform::Dictionary& object, const CodingPath& path) {
    entries_.reserve(object.size());
    CodingPath keyPath = path;
    keyPath.emplace_back(std::string());
    for (const auto& [key, value] : object) {
        keyPath.back() = AnyKey(key);
        std::string converted = keyFromKebabCase(keyPath).stringValue;
        if (!find(converted)) entries_.emplace_back(std::move(converted), &value);
    }
}

const Value* ConvertedObject::find(std::string_view key) const {
    for (const auto& [name, value] : entries_) {
        if (name == key) return value;
    }
    return nullptr;
}

std::string decodeText(const Value& value, const CodingPath& path) {
    if (const std::string* text = value.getString()) return *text;
    throw widgetDecodingError(DecodingError::Kind::typeMismatch, path,
                              "Expected to decode String but found " + value.description() + " instead.");
}

int64_t decodeInteger(const Value& value, const CodingPath& path) {
    if (auto integer = value.getInteger()) return *integer;
    if (value.isReal()) {
        double d = *value.getNumber();
        // Whole numbers within range only; 2^63 itself does not fit.
        if (std::isfinite(d) && d == std::trunc(d) && d >= -9223372036854775808.0 && d < 9223372036854775808.0) {
            return static_cast<int64_t>(d);
        }
        throw widgetDecodingError(DecodingError::Kind::dataCorrupted, path,
                                  "Parsed JSON number <" + value.description() + "> does not fit in Int64.");
    }
    throw widgetDecodingError(DecodingError::Kind::typeMismatch, path,
                              "Expected to decode Int64 but found " + value.description() + " instead.");
}

bool decodeFlag(const Value& value, const CodingPath& path) {
    if (auto flag = value.getBool()) return *flag;
    throw widgetDecodingError(DecodingError::Kind::typeMismatch, path,
                              "Expected to decode Bool but found " + value.description() + " instead.");
}

}  // namespace brindlecue::widgets
