#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <variant>

#include "platform/Value.h"
#include "widgets/WidgetCoding.h"

namespace brindlecue::widgets {

// A value of a widget document that is either an integer or a text (a size such as 300 or
// "80%", a line height). Decoding tries an integer first, then a text: the JSON string "90"
// stays a text.
class MixedValue {
public:
    // The failure of a value that is neither: it fails the whole document, and the parser prints
    // nothing for it.
    struct QuantumError : std::exception {
        enum class Kind { missingValue };
        Kind kind = Kind::missingValue;
        const char* what() const noexcept override { return "QuantumError.missingValue"; }
        bool operator==(const QuantumError&) const { return true; }
    };

    explicit MixedValue(int64_t value) : value_(value) {}
    explicit MixedValue(std::string value) : value_(std::move(value)) {}

    bool isInt() const { return std::holds_alternative<int64_t>(value_); }
    std::optional<int64_t> intValue() const;
    std::optional<std::string> stringValue() const;
    // The text itself, or the integer's decimal digits ("-5").
    std::string textForm() const;

    static MixedValue decodeWidgetValue(const platform::Value& value, const CodingPath& path);
    // Writes no content at all: the field is left out of the written object.
    std::optional<platform::Value> encodeWidgetValue() const { return std::nullopt; }

    bool operator==(const MixedValue&) const = default;

private:
    std::variant<int64_t, std::string> value_;
};

// Compact JSON text of the dictionary with the keys of every object sorted; none when it cannot
// be written or holds characters outside ASCII.
std::optional<std::string> sortedJSONString(const platform::Value& dictionary);

// The UTF-8 bytes of the text, in order, no terminator.
platform::Data dataFromText(const std::string& text);

}  // namespace brindlecue::widgets
