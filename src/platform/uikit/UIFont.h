#pragma once

#include <string>

namespace brindlecue::platform {

// A font by name and size. Glyph metrics come with text measurement, which is not part of this
// record.
struct UIFont {
    std::string fontName = ".SFUI-Regular";
    double pointSize = 17;
    bool bold = false;

    static UIFont systemFontOfSize(double size) { return {".SFUI-Regular", size, false}; }
    static UIFont boldSystemFontOfSize(double size) { return {".SFUI-Semibold", size, true}; }
    static UIFont fontWithName(std::string name, double size) { return {std::move(name), size, false}; }
    // The platform's standard sizes.
    static double systemFontSize() { return 14; }
    static double labelFontSize() { return 17; }
    static double buttonFontSize() { return 18; }

    bool operator==(const UIFont&) const = default;
};

}  // namespace brindlecue::platform
