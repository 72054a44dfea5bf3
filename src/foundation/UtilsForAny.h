#pragma once

#include <any>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/BLQLogHandlerModel.h"

namespace brindlecue {

// Conversions between stored setting and tag texts and their values.
class UtilsForAny {
public:
    // The stored text of a value: text unchanged; a 64-bit (or narrower) integer in decimal; a
    // float or double as integer text when integral, else the shortest text that reads back to
    // the same number; a date as ISO-8601 with fractional seconds; a list of 64-bit integers as
    // convertArrayOfIntegersToString; a list of log handlers as
    // convertArrayOfLogHandlersToString; a platform::Value by the same rules for its kind. None
    // for anything else (Booleans, dictionaries, other lists).
    static std::optional<std::string> convertToString(const std::any& value);
    // "8201, 8108"; the empty text for the empty list.
    static std::string convertArrayOfIntegersToString(const std::vector<int64_t>& values);
    // A compact JSON array of {"name", "log_level"} objects; the empty text when it cannot be
    // written.
    static std::string convertArrayOfLogHandlersToString(const std::vector<BLQLogHandlerModel>& handlers);
    // Split at ","; each part, blanks around it ignored, read as a decimal 64-bit integer with an
    // optional sign; parts that are empty, not such a number or out of range are skipped.
    static std::vector<int64_t> convertCSVStringToArrayOfIntegers(std::string_view text);
    // A JSON array of log-handler settings; the empty list when the text or any element is
    // invalid.
    static std::vector<BLQLogHandlerModel> convertStringToArrayOfLogHandlers(std::string_view text);

    // The text of a double: integer text when integral, else the shortest round-trip text.
    static std::string numberText(double value);
    static std::string numberText(float value);
};

}  // namespace brindlecue
