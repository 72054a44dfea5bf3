#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Color.h"
#include "platform/Value.h"

namespace brindlecue {

// Colours from and to the texts of campaign documents: "#RGB", "#RRGGBB", "#AARRGGBB" (alpha
// first), "rgb(r,g,b)" and "rgb(r,g,b,a)". Colours are written as "#AARRGGBB" in upper case.
struct UIColorKJExt {
    // More than two entries.
    static bool blqIsRGB(const platform::Array& components);
    // Exactly four entries.
    static bool blqIsRGBA(const platform::Array& components);

    // A colour for every text that begins with "#"; none otherwise. Texts of a length other than
    // 7 (after "#RGB" is expanded) take their alpha from the top byte of what was read.
    static std::optional<platform::Color> colorFromHexString(std::string_view text);
    // "rgb(" r "," g "," b ["," a] ")" in any letter case, components 0 to 255 (alpha 0 to 1, or
    // 0 to 255 when above 1); none for any other text or a component out of range.
    static std::optional<platform::Color> colorFromRGBString(std::string_view text);
    // None for a value that is not text; a text of length 4, 7 or 9 is read as hexadecimal,
    // any other as the functional form.
    static std::optional<platform::Color> blqColorFromString(const platform::Value& value);
    // "#AARRGGBB", each component clamped to 0..1, times 255, truncated; none for none.
    static std::optional<std::string> blqHexStringFromColor(const std::optional<platform::Color>& color);
    // Clamps to 0..1; a value that is not a number is returned unchanged.
    static double validateColorRange(double value);
};

}  // namespace brindlecue
