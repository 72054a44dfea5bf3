#include "matching/BLQFilterMatcher.h"

#include <charconv>
#include <cmath>

#include "foundation/DateExtensions.h"

namespace brindlecue {

namespace {

std::optional<std::string> text(const platform::Value& value) {
    if (const std::string* s = value.getString()) return *s;
    return std::nullopt;
}

}  // namespace

std::string float32Text(float value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buffer[64];
    const float magnitude = std::fabs(value);
    const bool exponential = magnitude >= 16777216.0f || (magnitude != 0 && magnitude < 1e-4f);
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                exponential ? std::chars_format::scientific : std::chars_format::fixed);
    std::string out(buffer, result.ptr);
    if (!exponential && out.find('.') == std::string::npos) out += ".0";
    return out;
}

BLQConditionDocument conditionFromDictionary(const platform::Value& dictionary) {
    std::string type = text(dictionary["type"]).value_or("string");
    std::string op = text(dictionary["op"]).value_or("");
    if (op.empty()) op = text(dictionary["operator"]).value_or("");

    const platform::Value& raw = dictionary["value"];
    std::string value;
    if (const std::string* s = raw.getString())
        value = *s;
    else if (auto number = raw.getNumber())
        value = float32Text(static_cast<float>(*number));
    else if (auto date = raw.getDate())
        value = toISO8601String(*date);

    return BLQConditionDocument(std::move(type), std::move(op), std::move(value),
                                text(dictionary["tag"]).value_or(""), text(dictionary["units"]),
                                text(dictionary["timing"]));
}

std::optional<BLQConditionDocument> conditionFromDocument(const platform::Value& document) {
    if (!document.isDictionary()) return std::nullopt;
    auto type = text(document["type"]);
    auto op = text(document["op"]);
    auto value = text(document["value"]);
    auto tag = text(document["tag"]);
    if (!type || !op || !value || !tag) return std::nullopt;
    return BLQConditionDocument(std::move(*type), std::move(*op), std::move(*value), std::move(*tag),
                                text(document["units"]), text(document["timing"]));
}

std::optional<BLQConditionDocument> conditionFromJSON(std::string_view json) {
    auto document = platform::Value::fromJSON(json);
    if (!document) return std::nullopt;
    return conditionFromDocument(*document);
}

}  // namespace brindlecue
