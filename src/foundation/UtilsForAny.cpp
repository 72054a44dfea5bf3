#include "foundation/UtilsForAny.h"

#include <charconv>
#include <cmath>

#include "foundation/DateExtensions.h"
#include "platform/Value.h"

namespace brindlecue {

using platform::Value;

namespace {

template <class F>
std::string shortestText(F value) {
    if (std::isfinite(value) && std::trunc(value) == value &&
        std::fabs(static_cast<double>(value)) < 9.2e18) {
        return std::to_string(static_cast<long long>(value));
    }
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::optional<std::string> convertValue(const Value& value) {
    switch (value.type()) {
        case Value::Type::String:
            return *value.getString();
        case Value::Type::Integer:
            return std::to_string(*value.getInteger());
        case Value::Type::Real:
            return UtilsForAny::numberText(*value.getNumber());
        case Value::Type::Date:
            return toISO8601String(*value.getDate());
        case Value::Type::Array: {
            std::vector<int64_t> numbers;
            for (const Value& element : *value.getArray()) {
                auto n = element.getInteger();
                if (!n) return std::nullopt;
                numbers.push_back(*n);
            }
            return UtilsForAny::convertArrayOfIntegersToString(numbers);
        }
        default:
            return std::nullopt;
    }
}

}  // namespace

std::string UtilsForAny::numberText(double value) {
    return shortestText(value);
}

std::string UtilsForAny::numberText(float value) {
    return shortestText(value);
}

std::optional<std::string> UtilsForAny::convertToString(const std::any& value) {
    if (auto* s = std::any_cast<std::string>(&value)) return *s;
    if (auto* s = std::any_cast<std::string_view>(&value)) return std::string(*s);
    if (auto* s = std::any_cast<const char*>(&value)) {
        if (*s == nullptr) return std::nullopt;
        return std::string(*s);
    }
    if (auto* i = std::any_cast<int64_t>(&value)) return std::to_string(*i);
    if (auto* i = std::any_cast<long long>(&value)) return std::to_string(*i);
    if (auto* i = std::any_cast<int>(&value)) return std::to_string(*i);
    if (auto* f = std::any_cast<float>(&value)) return numberText(*f);
    if (auto* d = std::any_cast<double>(&value)) return numberText(*d);
    if (auto* date = std::any_cast<platform::Date>(&value)) return toISO8601String(*date);
    if (auto* list = std::any_cast<std::vector<int64_t>>(&value))
        return convertArrayOfIntegersToString(*list);
    if (auto* list = std::any_cast<std::vector<BLQLogHandlerModel>>(&value)) {
        return convertArrayOfLogHandlersToString(*list);
    }
    if (auto* v = std::any_cast<Value>(&value)) return convertValue(*v);
    return std::nullopt;
}

std::string UtilsForAny::convertArrayOfIntegersToString(const std::vector<int64_t>& values) {
    std::string out;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out += ", ";
        out += std::to_string(values[i]);
    }
    return out;
}

std::string UtilsForAny::convertArrayOfLogHandlersToString(const std::vector<BLQLogHandlerModel>& handlers) {
    Value list = Value::array();
    for (const auto& handler : handlers) {
        auto dictionary = handler.dictionary();
        list.append(dictionary ? *dictionary : Value::null());
    }
    return list.toJSON().value_or("");
}

std::vector<int64_t> UtilsForAny::convertCSVStringToArrayOfIntegers(std::string_view text) {
    std::vector<int64_t> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string_view part =
            text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        auto blank = [](char c) {
            return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
        };
        while (!part.empty() && blank(part.front())) part.remove_prefix(1);
        while (!part.empty() && blank(part.back())) part.remove_suffix(1);
        // from_chars takes "-" but not "+".
        if (!part.empty() && part.front() == '+' && part.size() > 1 && part[1] != '-') part.remove_prefix(1);
        int64_t value = 0;
        auto result = std::from_chars(part.data(), part.data() + part.size(), value);
        if (!part.empty() && result.ec == std::errc() && result.ptr == part.data() + part.size())
            out.push_back(value);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return out;
}

std::vector<BLQLogHandlerModel> UtilsForAny::convertStringToArrayOfLogHandlers(std::string_view text) {
    auto document = Value::fromJSON(text);
    if (!document || !document->isArray()) return {};
    std::vector<BLQLogHandlerModel> out;
    for (const Value& element : *document->getArray()) {
        auto handler = BLQLogHandlerModel::decode(element);
        if (!handler) return {};
        out.push_back(*handler);
    }
    return out;
}

}  // namespace brindlecue
