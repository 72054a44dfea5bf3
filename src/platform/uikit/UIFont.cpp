#include "platform/uikit/UIFont.h"

#include <map>

#include "platform/graphics/TextLayout.h"

namespace brindlecue::platform {

UIFont UIFont::preferredFontForTextStyle(const std::string& style) {
    static const std::map<std::string, double> sizes = {
        {UIFontTextStyleLargeTitle, 34}, {UIFontTextStyleTitle1, 28},   {UIFontTextStyleTitle2, 22},
        {UIFontTextStyleTitle3, 20},     {UIFontTextStyleHeadline, 17}, {UIFontTextStyleBody, 17},
        {UIFontTextStyleCallout, 16},    {UIFontTextStyleSubheadline, 15}, {UIFontTextStyleFootnote, 13},
        {UIFontTextStyleCaption1, 12},   {UIFontTextStyleCaption2, 11},
    };
    auto it = sizes.find(style);
    double size = it == sizes.end() ? 17 : it->second;
    return style == UIFontTextStyleHeadline ? boldSystemFontOfSize(size) : systemFontOfSize(size);
}

std::vector<std::string> UIFont::familyNames() {
    return FontCatalog::shared().familyNames();
}

std::vector<std::string> UIFont::fontNamesForFamilyName(const std::string& family) {
    return FontCatalog::shared().fontNamesForFamilyName(family);
}

bool UIFont::isAvailable() const {
    if (!fontName.empty() && fontName[0] == '.') return true;
    return FontCatalog::shared().faceNamed(fontName).has_value();
}

std::string UIFont::familyName() const {
    return FontCatalog::shared().resolve(*this).family;
}

double UIFont::lineHeight() const {
    return TextLayout::metrics(*this).lineHeight;
}

double UIFont::ascender() const {
    return TextLayout::metrics(*this).ascender;
}

double UIFont::descender() const {
    return TextLayout::metrics(*this).descender;
}

}  // namespace brindlecue::platform
