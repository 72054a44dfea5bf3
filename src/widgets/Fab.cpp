#include "widgets/Fab.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "foundation/ColoringArea.h"

namespace brindlecue::widgets {

std::optional<WidgetUUID> WidgetUUID::fromString(std::string_view text) {
    static constexpr size_t kDashes[] = {8, 13, 18, 23};
    if (text.size() != 36) return std::nullopt;
    WidgetUUID uuid;
    size_t byte = 0;
    for (size_t i = 0; i < text.size();) {
        if (i == kDashes[0] || i == kDashes[1] || i == kDashes[2] || i == kDashes[3]) {
            if (text[i] != '-') return std::nullopt;
            ++i;
            continue;
        }
        auto hex = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            return -1;
        };
        int hi = hex(text[i]), lo = hex(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        uuid.bytes[byte++] = static_cast<uint8_t>(hi * 16 + lo);
        i += 2;
    }
    return uuid;
}

std::string WidgetUUID::uuidString() const {
    char out[37];
    const auto& b = bytes;
    std::snprintf(out, sizeof out, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                  b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return out;
}

WidgetUUID WidgetUUID::decodeWidgetValue(const platform::Value& value, const CodingPath& path) {
    std::string text = decodeText(value, path);
    if (auto uuid = fromString(text)) return *uuid;
    throw widgetDecodingError(DecodingError::Kind::dataCorrupted, path,
                              "Attempted to decode UUID from invalid UUID string.");
}

EdgeInsets widgetInsets(const std::optional<int64_t>& top, const std::optional<int64_t>& left,
                        const std::optional<int64_t>& bottom, const std::optional<int64_t>& right) {
    return {double(top.value_or(0)), double(left.value_or(0)), double(bottom.value_or(0)), double(right.value_or(0))};
}

platform::UIColor widgetColor(std::string_view hex) {
    return colorWithHex(hex, ColoringArea::textcolor);
}

std::string Fab::iconName() const {
    if (!fileName) return "none";
    if (*fileName == "expand_more") return "expandmore";
    return *fileName;
}

double Fab::totalWidth() const {
    return double(width.value_or(int64_t(FABConstant::defaultWidth)) + paddingLeft.value_or(0) +
                  paddingRight.value_or(0));
}

double Fab::totalHeight() const {
    return double(height.value_or(int64_t(FABConstant::defaultHeight)) + paddingTop.value_or(0) +
                  paddingBottom.value_or(0));
}

FontWeight Fab::fontWeightValue() const {
    return fontWeight == FontConstant::defaultWeight ? FontWeight::bold : FontWeight::regular;
}

double Fab::fontSizeOrDefault() const {
    return fontSize ? double(*fontSize) : FontConstant::defaultSize;
}

std::string Fab::resolvedFontFamily() const {
    return resolvedWidgetFontFamily(fontFamily);
}

std::string Fab::iconSymbolName() const {
    if (auto image = FABImagesFromRawValue(iconName())) return systemImageName(*image);
    return "none";
}

double textBlockLineSpacing(const std::optional<MixedValue>& lineHeight) {
    if (!lineHeight) return 0;
    std::string text = lineHeight->textForm();
    if (auto percent = text.find('%'); percent != std::string::npos) text.resize(percent);
    // A plain decimal number: optional sign, digits, optional fraction.
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    }
    if (digits == 0 || i != text.size()) return 0;
    return std::strtod(text.c_str(), nullptr) * 0.125;
}

std::string ButtonList::resolvedFontFamily() const {
    return resolvedWidgetFontFamily(fontFamily);
}

double ButtonList::lineSpacing() const {
    if (!lineHeight || *lineHeight < 150) return 0;
    return double(*lineHeight / 8);
}

}  // namespace brindlecue::widgets
