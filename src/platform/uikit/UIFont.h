#pragma once

#include <string>
#include <vector>

namespace brindlecue::platform {

// The platform's text styles (dynamic type), by their platform names.
inline constexpr const char* UIFontTextStyleLargeTitle = "UICTFontTextStyleTitle0";
inline constexpr const char* UIFontTextStyleTitle1 = "UICTFontTextStyleTitle1";
inline constexpr const char* UIFontTextStyleTitle2 = "UICTFontTextStyleTitle2";
inline constexpr const char* UIFontTextStyleTitle3 = "UICTFontTextStyleTitle3";
inline constexpr const char* UIFontTextStyleHeadline = "UICTFontTextStyleHeadline";
inline constexpr const char* UIFontTextStyleBody = "UICTFontTextStyleBody";
inline constexpr const char* UIFontTextStyleCallout = "UICTFontTextStyleCallout";
inline constexpr const char* UIFontTextStyleSubheadline = "UICTFontTextStyleSubhead";
inline constexpr const char* UIFontTextStyleFootnote = "UICTFontTextStyleFootnote";
inline constexpr const char* UIFontTextStyleCaption1 = "UICTFontTextStyleCaption1";
inline constexpr const char* UIFontTextStyleCaption2 = "UICTFontTextStyleCaption2";

// A font by name and size. Names are the platform's font names; the font catalogue of the
// graphics stand-in says which are installed and draws them (an unknown name draws with the
// system font). Metrics come from the text layout.
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
    // The system font at the text style's default size (headline in the bold system font);
    // the body size for an unknown style.
    static UIFont preferredFontForTextStyle(const std::string& style);

    // Installed family names, sorted.
    static std::vector<std::string> familyNames();
    // The font names of an installed family, regular face first; empty for an unknown family.
    static std::vector<std::string> fontNamesForFamilyName(const std::string& family);

    // Whether the platform would make this font: the system font, or a name that names an
    // installed font or family (fontWithName:size: gives nil for any other).
    bool isAvailable() const;
    // The family the font belongs to (".AppleSystemUIFont" for the system font and for names
    // that fall back to it).
    std::string familyName() const;
    UIFont fontWithSize(double size) const { return {fontName, size, bold}; }
    double lineHeight() const;
    double ascender() const;
    double descender() const;

    bool operator==(const UIFont&) const = default;
};

}  // namespace brindlecue::platform
