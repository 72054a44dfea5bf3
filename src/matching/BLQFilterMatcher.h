#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Value.h"

namespace brindlecue {

// The six fields of a tag condition with a value of type V. Every matcher derives from it.
//
// A condition document is a JSON object (or a dictionary) with "type", "op", "value", "tag",
// "units" and "timing"; its two readings always give a text value:
// - the dictionary form is lenient: "type" defaults to "string", "op" to "operator" (and then to
//   ""), a number value becomes its shortest text as a 32-bit float with ".0" on whole numbers,
//   a date its ISO-8601 text with milliseconds, anything else "";
// - the decoding form is strict: "type", "op", "value" and "tag" must be texts.
// "units" and "timing" are carried when they are texts; no matcher reads them.
template <class V>
class BLQFilterMatcher {
public:
    BLQFilterMatcher(std::string type, std::string op, V value, std::string tag,
                     std::optional<std::string> units = std::nullopt,
                     std::optional<std::string> timing = std::nullopt)
        : type(std::move(type)),
          op(std::move(op)),
          value(std::move(value)),
          tag(std::move(tag)),
          units(std::move(units)),
          timing(std::move(timing)) {}
    virtual ~BLQFilterMatcher() = default;

    std::string type;
    std::string op;
    V value;
    std::string tag;
    std::optional<std::string> units;
    std::optional<std::string> timing;
};

// The text-valued condition of the two document readings.
using BLQConditionDocument = BLQFilterMatcher<std::string>;

// The dictionary form of a condition; anything that is not a dictionary reads as an empty one.
BLQConditionDocument conditionFromDictionary(const platform::Value& dictionary);
// The decoding form; none when a required key is missing or not a text.
std::optional<BLQConditionDocument> conditionFromDocument(const platform::Value& document);
// The decoding form of JSON text; none when the text is not a JSON object of that form.
std::optional<BLQConditionDocument> conditionFromJSON(std::string_view json);

// The six comparisons "eq", "neq", "lt", "lte", "gt" and "gte" of a against b; none for any other
// op word.
template <class T>
std::optional<bool> compareByOp(const std::string& op, const T& a, const T& b) {
    if (op == "eq") return a == b;
    if (op == "neq") return !(a == b);
    if (op == "lt") return a < b;
    if (op == "lte") return !(b < a);
    if (op == "gt") return b < a;
    if (op == "gte") return !(a < b);
    return std::nullopt;
}

// The shortest decimal text of the number as a 32-bit float, as the platform prints one: whole
// numbers end in ".0" ("5.0"), and an exponent is used from 2^24 up and below 0.0001 ("1e+08").
std::string float32Text(float value);

}  // namespace brindlecue
