#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>

#include "platform/Value.h"

namespace brindlecue {

// A JSON scalar read as a float, an integer, a Boolean or a text, in that order. Every number
// within the float range therefore becomes a float, whole numbers included.
class DecodableTypeStringOrFloatOrBool {
public:
    enum class Case { stringValue, intValue, floatValue, boolValue };

    static DecodableTypeStringOrFloatOrBool stringValue(std::string value) {
        return {Storage(std::move(value))};
    }
    static DecodableTypeStringOrFloatOrBool intValue(int64_t value) { return {Storage(value)}; }
    static DecodableTypeStringOrFloatOrBool floatValue(float value) { return {Storage(value)}; }
    static DecodableTypeStringOrFloatOrBool boolValue(bool value) { return {Storage(value)}; }

    Case kind() const { return static_cast<Case>(value_.index()); }
    const std::string* getString() const { return std::get_if<std::string>(&value_); }
    const int64_t* getInt() const { return std::get_if<int64_t>(&value_); }
    const float* getFloat() const { return std::get_if<float>(&value_); }
    const bool* getBool() const { return std::get_if<bool>(&value_); }

    // Throws DecodingError (dataCorrupted, "Invalid value type") for anything but a string, a
    // number or a Boolean.
    static DecodableTypeStringOrFloatOrBool decode(const platform::Value& value);
    // The carried value as its own kind.
    platform::Value encode() const;

    bool operator==(const DecodableTypeStringOrFloatOrBool&) const = default;

private:
    using Storage = std::variant<std::string, int64_t, float, bool>;
    DecodableTypeStringOrFloatOrBool(Storage value) : value_(std::move(value)) {}
    Storage value_;
};

// A JSON object of such scalars, found under the key "dictionary".
struct DecodableDictionary {
    std::map<std::string, DecodableTypeStringOrFloatOrBool> dictionary;

    // Throws DecodingError when "dictionary" is missing, is not an object, or holds a member that
    // is not a string, number or Boolean.
    static DecodableDictionary decode(const platform::Value& value);
};

}  // namespace brindlecue
