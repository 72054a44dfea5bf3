#pragma once

// The older layer's small exported helpers: text, data and collection conversions, JSON in and
// out, the questions put to the configuration manager, and the screen name of a view controller.
// Dates and switches are in BLQDateUtils.h, resources and device facts in BLQDeviceUtils.h.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Value.h"

namespace brindlecue {

class BLQIConfigManager;

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

// ---- Questions put to the configuration manager ------------------------------------------------

// How these helpers reach the facade: its configuration manager and its development platform.
// The facade publishes both when it starts; until then every question answers no.
struct BLQUtilsFacade {
    std::weak_ptr<BLQIConfigManager> configManager;
    // The facade's development platform is React Native.
    std::function<bool()> isReactNative;
};
void blqSetFacade(BLQUtilsFacade facade);

// Logs "This App is disabled, please contact Administrator to enable it." when it answers no.
bool brindlecueIsEnabled();
// Tag type 1 asks about click super tags, any other value about view super tags.
bool isSuperTagEnabled(int32_t tagType);
bool isSuperTagFilterPassed(const std::string& text);

// ---- Screen names ----------------------------------------------------------------------------

// The screen name of a view controller: its full runtime class name, or, in a React Native host,
// the author-given native id found under its view's content view when there is one. The lookup
// runs on the main queue (the caller waits for it when called from another thread).
std::string blqAppendUniqueSuffix(const std::string& runtimeClassName,
                                  const std::function<std::optional<std::string>()>& contentViewNativeID);

}  // namespace brindlecue
