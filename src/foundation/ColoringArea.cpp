#include "foundation/ColoringArea.h"

#include <string>

#include "foundation/NumberRule.h"

namespace brindlecue {

using platform::Color;

Color colorWithHex(std::string_view hex, ColoringArea area) {
    auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    };
    while (!hex.empty() && blank(hex.front())) hex.remove_prefix(1);
    while (!hex.empty() && blank(hex.back())) hex.remove_suffix(1);
    std::string rest;
    for (char c : hex) {
        if (c != '#') rest += c;
    }

    const Color black{0, 0, 0, 1};
    auto number = scanHexInteger(rest, 64);
    if (!number) return black;

    Color color;
    color.red = ((*number >> 16) & 0xFF) / 255.0;
    color.green = ((*number >> 8) & 0xFF) / 255.0;
    color.blue = (*number & 0xFF) / 255.0;
    if (rest.size() == 8) {
        color.alpha = ((*number >> 24) & 0xFF) / 255.0;
    } else if (rest.size() == 6) {
        color.alpha = 1;
    } else {
        return area == ColoringArea::textcolor ? black : Color{0, 0, 0, 0};
    }
    return color;
}

}  // namespace brindlecue
