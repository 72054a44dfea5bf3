#pragma once

#include <string_view>

#include "platform/Color.h"

namespace brindlecue {

// Which part of a view a colour is meant for, so that an unreadable colour falls back to the
// right default.
enum class ColoringArea { background, foreground, textcolor };

// A colour from "#RRGGBB" or "#AARRGGBB" (the "#" optional, blanks around ignored). Nothing
// readable gives opaque black; a text of another length gives opaque black for text and clear
// for backgrounds and foregrounds.
platform::Color colorWithHex(std::string_view hex, ColoringArea area = ColoringArea::textcolor);

}  // namespace brindlecue
