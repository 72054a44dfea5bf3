#include "widgets/MixedValue.h"

#include <algorithm>

namespace brindlecue::widgets {

using platform::Value;

std::optional<int64_t> MixedValue::intValue() const {
    if (auto* i = std::get_if<int64_t>(&value_)) return *i;
    return std::nullopt;
}

std::optional<std::string> MixedValue::stringValue() const {
    if (auto* s = std::get_if<std::string>(&value_)) return *s;
    return std::nullopt;
}

std::string MixedValue::textForm() const {
    if (auto* i = std::get_if<int64_t>(&value_)) return std::to_string(*i);
    return std::get<std::string>(value_);
}

MixedValue MixedValue::decodeWidgetValue(const Value& value, const CodingPath& path) {
    try {
        return MixedValue(decodeInteger(value, path));
    } catch (const DecodingError&) {
    }
    try {
        return MixedValue(decodeText(value, path));
    } catch (const DecodingError&) {
    }
    throw QuantumError{};
}

namespace {

// A copy with the keys of every dictionary in sorted order.
Value sortedCopy(const Value& value) {
    if (const auto* dict = value.getDictionary()) {
        std::vector<std::string> keys = dict->keys();
        std::sort(keys.begin(), keys.end());
        platform::Dictionary out;
        for (const auto& key : keys) out.set(key, sortedCopy(*dict->find(key)));
        return Value(std::move(out));
    }
    if (const auto* items = value.getArray()) {
        platform::Array out;
        for (const auto& item : *items) out.push_back(sortedCopy(item));
        return Value(std::move(out));
    }
    return value;
}

}  // namespace

std::optional<std::string> sortedJSONString(const Value& dictionary) {
    if (!dictionary.isDictionary()) return std::nullopt;
    auto text = sortedCopy(dictionary).toJSON(false);
    if (!text) return std::nullopt;
    // The text must read as ASCII.
    for (unsigned char c : *text) {
        if (c > 0x7F) return std::nullopt;
    }
    return text;
}

platform::Data dataFromText(const std::string& text) {
    return platform::Data(text.begin(), text.end());
}

}  // namespace brindlecue::widgets
