#include "foundation/DecodableTypeStringOrFloatOrBool.h"

#include <cfloat>
#include <cmath>

#include "foundation/DecodingError.h"

namespace brindlecue {

using platform::Value;

DecodableTypeStringOrFloatOrBool DecodableTypeStringOrFloatOrBool::decode(const Value& value) {
    if (value.isInteger() || value.isReal()) {
        double number = *value.getNumber();
        if (std::fabs(number) <= FLT_MAX) return floatValue(static_cast<float>(number));
        if (auto integer = value.getInteger()) return intValue(*integer);
    }
    if (auto b = value.getBool()) return boolValue(*b);
    if (auto* s = value.getString()) return stringValue(*s);
    throw DecodingError(DecodingError::Kind::dataCorrupted, "Invalid value type");
}

Value DecodableTypeStringOrFloatOrBool::encode() const {
    return std::visit([](const auto& v) { return Value(v); }, value_);
}

DecodableDictionary DecodableDictionary::decode(const Value& value) {
    if (!value.isDictionary()) {
        throw DecodingError(DecodingError::Kind::typeMismatch,
                            "Expected to decode a dictionary but found another kind.");
    }
    const Value& member = value["dictionary"];
    if (member.isAbsent()) {
        throw DecodingError(DecodingError::Kind::keyNotFound, "No value associated with key \"dictionary\".");
    }
    if (member.isNull()) {
        throw DecodingError(DecodingError::Kind::valueNotFound,
                            "Expected a dictionary under \"dictionary\" but found null.");
    }
    const platform::Dictionary* entries = member.getDictionary();
    if (entries == nullptr) {
        throw DecodingError(DecodingError::Kind::typeMismatch, "Expected a dictionary under \"dictionary\".");
    }
    DecodableDictionary out;
    for (const auto& [key, element] : *entries) {
        out.dictionary.insert_or_assign(key, DecodableTypeStringOrFloatOrBool::decode(element));
    }
    return out;
}

}  // namespace brindlecue
