#pragma once

// The older layer's small exported helpers: text, data and collection conversions, JSON in and
// out. Dates and switches are in BLQDateUtils.h, resources and device facts in BLQDeviceUtils.h,
// the questions put to the configuration manager and the screen name of a view controller in
// config/BLQUtilsFacade.h.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Value.h"

namespace brindlecue {

// ---- Text, data and collections ----------------------------------------------------------------

// "Unknown", "tour", "tip", "modal", "coachmark", "feedback", "carousel", "fab" for 0..7;
// anything else is "Unknown".
std::string blqConvertKJTipTypeString(int32_t tipType);
// A null pointer gives the empty string.
std::string blqCstringToNSString(const char* text);
// Upper-case hexadecimal, two digits a byte, no separators.
std::string blqDataToHexString(const platform::Data& data);
std::string blqBoolToString(bool value);
// True for nil and for the empty string; false for a non-empty string and any other object.
bool blqStrIsEmpty(const platform::Value& object);
// Both non-empty: joined by one blank; one non-empty: that one; neither: nil.
std::optional<std::string> blqAppendString(const std::optional<std::string>& first,
                                           const std::optional<std::string>& second);
// Nil arrays are the same only as each other. Otherwise the counts must agree and every element of
// the first must have an element of the second with the same text form (one direction only).
bool blqArrayIsSame(const platform::Value& first, const platform::Value& second);
// Percent-escapes every byte except letters, digits, "-", "." and "~".
std::string blqUrlEncodeFull(const std::string& text);
// "a=1&b=2" into {a: "1", b: "2"}: keys and values percent-unescaped and trimmed; pairs with an
// empty key or value are dropped; a later key wins.
platform::Value blqParseGetParamStringToDict(const std::string& query);

// ---- JSON ----------------------------------------------------------------------------------

// A dictionary is returned as it is; a JSON text whose top level is an object is parsed (after
// ": null," and ": null}" have become empty strings); anything else gives nil (absent).
platform::Value blqParseObjectToDict(const platform::Value& object);
// Compact JSON text; nil, or a value JSON cannot hold, gives the empty string.
std::string blqSerializeObjToJson(const platform::Value& object);
// The parsed array or dictionary of a JSON text; nil for nil, a parse error or a bare fragment.
platform::Value blqDeSerializeJsonStringToDict(const platform::Value& text);
// As above, but only an array is returned.
platform::Value blqDeSerializeJsonStringToArray(const platform::Value& text);
// Pretty-printed JSON text; nil for nil and on failure (logged).
std::optional<std::string> blqSerializeDicToJsonString(const platform::Value& dictionary);

}  // namespace brindlecue
