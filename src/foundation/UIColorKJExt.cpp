#include "foundation/UIColorKJExt.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

#include "foundation/NumberRule.h"

namespace brindlecue {

using platform::Color;
using platform::Value;

bool UIColorKJExt::blqIsRGB(const platform::Array& components) {
    return components.size() > 2;
}

bool UIColorKJExt::blqIsRGBA(const platform::Array& components) {
    return components.size() == 4;
}

std::optional<Color> UIColorKJExt::colorFromHexString(std::string_view text) {
    if (text.empty() || text.front() != '#') return std::nullopt;
    std::string hex(text);
    if (hex.size() == 4) hex = {'#', hex[1], hex[1], hex[2], hex[2], hex[3], hex[3]};
    // Nothing readable leaves the value at 0.
    uint32_t rgb = static_cast<uint32_t>(scanHexInteger(std::string_view(hex).substr(1), 32).value_or(0));
    Color color;
    color.red = ((rgb >> 16) & 0xFF) / 255.0;
    color.green = ((rgb >> 8) & 0xFF) / 255.0;
    color.blue = (rgb & 0xFF) / 255.0;
    color.alpha = hex.size() == 7 ? 1.0 : ((rgb >> 24) & 0xFF) / 255.0;
    return color;
}

std::optional<Color> UIColorKJExt::colorFromRGBString(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (lower.rfind("rgb(", 0) != 0 || lower.empty() || lower.back() != ')') return std::nullopt;

    std::string stripped;
    for (size_t i = 0; i < lower.size();) {
        if (lower.compare(i, 4, "rgb(") == 0) {
            i += 4;
        } else if (lower[i] == ')') {
            ++i;
        } else {
            stripped += lower[i++];
        }
    }
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t comma; (comma = stripped.find(',', start)) != std::string::npos; start = comma + 1) {
        parts.push_back(stripped.substr(start, comma - start));
    }
    parts.push_back(stripped.substr(start));
    if (parts.size() <= 2) return std::nullopt;

    // Each part is read leniently, as the platform reads a number from text.
    auto number = [](const std::string& part) { return Value(part).doubleValue(); };
    Color color;
    color.red = number(parts[0]) / 255.0;
    color.green = number(parts[1]) / 255.0;
    color.blue = number(parts[2]) / 255.0;
    color.alpha = 1.0;
    if (parts.size() == 4) {
        double alpha = number(parts[3]);
        color.alpha = alpha > 1 ? alpha / 255.0 : alpha;
    }
    auto inRange = [](double v) { return v >= 0 && v <= 1; };
    if (!inRange(color.red) || !inRange(color.green) || !inRange(color.blue) || !inRange(color.alpha)) {
        return std::nullopt;
    }
    return color;
}

std::optional<Color> UIColorKJExt::blqColorFromString(const Value& value) {
    const std::string* text = value.getString();
    if (text == nullptr) return std::nullopt;
    if (text->size() == 4 || text->size() == 7 || text->size() == 9) return colorFromHexString(*text);
    return colorFromRGBString(*text);
}

std::optional<std::string> UIColorKJExt::blqHexStringFromColor(const std::optional<Color>& color) {
    if (!color) return std::nullopt;
    auto byte = [](double component) -> unsigned {
        double v = validateColorRange(component);
        // A component that is not a number writes as 00.
        if (std::isnan(v)) return 0;
        return static_cast<unsigned>(v * 255);
    };
    // Written digit by digit: a campaign's serialisation writes a few hundred colours, and a
    // formatted print of each cost more than the rest of its element.
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out(9, '#');
    const unsigned components[4] = {byte(color->alpha), byte(color->red), byte(color->green),
                                    byte(color->blue)};
    for (int i = 0; i < 4; ++i) {
        out[1 + 2 * i] = kDigits[components[i] >> 4 & 0xF];
        out[2 + 2 * i] = kDigits[components[i] & 0xF];
    }
    return out;
}

double UIColorKJExt::validateColorRange(double value) {
    if (value < 0) return 0;
    if (value > 1) return 1;
    return value;
}

}  // namespace brindlecue
