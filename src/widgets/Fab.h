#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/swiftui/ViewTypes.h"
#include "platform/uikit/UIColor.h"
#include "widgets/MixedValue.h"
#include "widgets/WidgetCoding.h"
#include "widgets/WidgetConstants.h"

// The element records of a widget screen: the floating-button style carried in the screen's
// meta, the dismiss label, the heading and text, the list entries and their actions, and the
// button block. Every field is optional unless said; the derived values give the defaults the
// views draw with.
namespace brindlecue::widgets {

using platform::swiftui::EdgeInsets;
using platform::swiftui::FontWeight;

// An identifier read from its standard text form (8-4-4-4-12 hexadecimal digits, any case);
// written back in upper case.
struct WidgetUUID {
    std::array<uint8_t, 16> bytes{};

    static std::optional<WidgetUUID> fromString(std::string_view text);
    std::string uuidString() const;
    static WidgetUUID decodeWidgetValue(const platform::Value& value, const CodingPath& path);
    std::optional<platform::Value> encodeWidgetValue() const { return platform::Value(uuidString()); }
    bool operator==(const WidgetUUID&) const = default;
};

// Edge insets of four optional integer sides (absent sides 0).
EdgeInsets widgetInsets(const std::optional<int64_t>& top, const std::optional<int64_t>& left,
                        const std::optional<int64_t>& bottom, const std::optional<int64_t>& right);
// A hexadecimal colour text as the widgets read it (six digits RRGGBB or eight AARRGGBB, "#"
// optional; unreadable text is opaque black).
platform::UIColor widgetColor(std::string_view hex);

// Floating-button style carried with a screen.
struct Fab {
    std::optional<std::string> placement, iconColor, iconPlacement, color, fileName, text, backgroundColor,
        list_type, fontFamily;
    std::optional<int64_t> iconHeight;
    std::optional<std::string> textAlign;
    std::optional<int64_t> fontSize;
    std::optional<std::string> fontWeight, _width_unit;
    std::optional<int64_t> width;
    std::optional<std::string> _height_unit;
    std::optional<int64_t> height, borderWidth;
    std::optional<std::string> borderColor;
    std::optional<int64_t> cornerRadius, paddingTop, paddingRight, paddingBottom, paddingLeft, marginTop,
        marginRight, marginBottom, marginLeft;

    static auto fields() {
        return std::tuple{
            field("placement", &Fab::placement), field("iconColor", &Fab::iconColor),
            field("iconPlacement", &Fab::iconPlacement), field("color", &Fab::color),
            field("fileName", &Fab::fileName), field("text", &Fab::text),
            field("backgroundColor", &Fab::backgroundColor), field("list_type", &Fab::list_type),
            field("fontFamily", &Fab::fontFamily), field("iconHeight", &Fab::iconHeight),
            field("textAlign", &Fab::textAlign), field("fontSize", &Fab::fontSize),
            field("fontWeight", &Fab::fontWeight), field("_width_unit", &Fab::_width_unit),
            field("width", &Fab::width), field("_height_unit", &Fab::_height_unit), field("height", &Fab::height),
            field("borderWidth", &Fab::borderWidth), field("borderColor", &Fab::borderColor),
            field("cornerRadius", &Fab::cornerRadius), field("paddingTop", &Fab::paddingTop),
            field("paddingRight", &Fab::paddingRight), field("paddingBottom", &Fab::paddingBottom),
            field("paddingLeft", &Fab::paddingLeft), field("marginTop", &Fab::marginTop),
            field("marginRight", &Fab::marginRight), field("marginBottom", &Fab::marginBottom),
            field("marginLeft", &Fab::marginLeft)};
    }

    std::string placementOrDefault() const { return placement.value_or("bottom-right"); }
    std::string iconColorOrDefault() const { return iconColor.value_or("#ffffff"); }
    std::string colorOrDefault() const { return color.value_or("#ffffff"); }
    // "none" without a file name, "expandmore" for "expand_more", else the file name.
    std::string iconName() const;
    std::string textOrEmpty() const { return text.value_or(""); }
    std::string listTypeOrDefault() const { return list_type.value_or("faqList"); }
    // (width, or 100) plus the horizontal paddings; (height, or 50) plus the vertical ones.
    double totalWidth() const;
    double totalHeight() const;
    double borderWidthOrZero() const { return double(borderWidth.value_or(0)); }
    double cornerRadiusOrZero() const { return double(cornerRadius.value_or(0)); }
    FontWeight fontWeightValue() const;
    double fontSizeOrDefault() const;
    std::string resolvedFontFamily() const;
    // False only for the file name "none".
    bool showsIcon() const { return fileName != "none"; }
    std::string iconSymbolName() const;
    platform::UIColor foregroundColor() const { return widgetColor(colorOrDefault()); }
    platform::UIColor backgroundColorValue() const { return widgetColor(backgroundColor.value_or("#2c88da")); }
    platform::UIColor fillColor() const { return backgroundColorValue(); }
    EdgeInsets paddingInsets() const { return widgetInsets(paddingTop, paddingLeft, paddingBottom, paddingRight); }
    EdgeInsets marginInsets() const { return widgetInsets(marginTop, marginLeft, marginBottom, marginRight); }
};

// A dismiss label of the meta record.
struct Dismiss {
    std::optional<std::string> text, placement;
    static auto fields() { return std::tuple{field("text", &Dismiss::text), field("placement", &Dismiss::placement)}; }
};

// What the heading and the text block share.
template <class R>
struct TextBlockStyle {
    std::string colorOrDefault() const { return self().color.value_or("#555454"); }
    std::string backgroundColorOrDefault() const { return self().backgroundColor.value_or("#00ffffff"); }
    std::string textAlignOrDefault() const { return self().textAlign.value_or("center"); }
    std::string textOrEmpty() const { return self().text.value_or(""); }
    // "Bold" for exactly "bold", else "normal".
    std::string resolvedFontWeight() const { return self().fontWeight == "bold" ? "Bold" : "normal"; }
    std::string resolvedFontFamily() const;
    double fontSizeOrDefault() const { return double(self().fontSize.value_or(16)); }
    double boxShadowOrZero() const { return double(self().boxShadow.value_or(0)); }
    // The line height (a number, or the number before a "%") times 0.125; 0 when absent or
    // unreadable.
    double lineSpacing() const;
    EdgeInsets paddingInsets() const {
        const R& r = self();
        return widgetInsets(r.paddingTop, r.paddingLeft, r.paddingBottom, r.paddingRight);
    }
    EdgeInsets marginInsets() const {
        const R& r = self();
        return widgetInsets(r.marginTop, r.marginLeft, r.marginBottom, r.marginRight);
    }

private:
    const R& self() const { return static_cast<const R&>(*this); }
};

// The line-height rule of headings and text blocks, on the mixed value.
double textBlockLineSpacing(const std::optional<MixedValue>& lineHeight);

struct FAQTitle : TextBlockStyle<FAQTitle> {
    std::optional<WidgetUUID> id;
    std::optional<std::string> color, backgroundColor, textAlign;
    std::optional<int64_t> fontSize;
    std::optional<std::string> fontWeight, fontFamily;
    std::optional<MixedValue> lineHeight;
    std::optional<std::string> text;
    std::optional<int64_t> paddingTop, paddingRight, paddingBottom, paddingLeft, marginTop, marginRight, marginBottom,
        marginLeft, boxShadow;

    static auto fields() {
        return std::tuple{field("id", &FAQTitle::id), field("color", &FAQTitle::color),
                          field("backgroundColor", &FAQTitle::backgroundColor),
                          field("textAlign", &FAQTitle::textAlign), field("fontSize", &FAQTitle::fontSize),
                          field("fontWeight", &FAQTitle::fontWeight), field("fontFamily", &FAQTitle::fontFamily),
                          field("lineHeight", &FAQTitle::lineHeight), field("text", &FAQTitle::text),
                          field("paddingTop", &FAQTitle::paddingTop), field("paddingRight", &FAQTitle::paddingRight),
                          field("paddingBottom", &FAQTitle::paddingBottom),
                          field("paddingLeft", &FAQTitle::paddingLeft), field("marginTop", &FAQTitle::marginTop),
                          field("marginRight", &FAQTitle::marginRight),
                          field("marginBottom", &FAQTitle::marginBottom), field("marginLeft", &FAQTitle::marginLeft),
                          field("boxShadow", &FAQTitle::boxShadow)};
    }
};

struct FAQContent : TextBlockStyle<FAQContent> {
    std::optional<std::string> color, backgroundColor, textAlign, text;
    std::optional<int64_t> fontSize;
    std::optional<std::string> fontWeight, fontFamily;
    std::optional<MixedValue> lineHeight;
    std::optional<int64_t> paddingTop, paddingRight, paddingBottom, paddingLeft, marginTop, marginRight, marginBottom,
        marginLeft, boxShadow;

    static auto fields() {
        return std::tuple{
            field("color", &FAQContent::color), field("backgroundColor", &FAQContent::backgroundColor),
            field("textAlign", &FAQContent::textAlign), field("text", &FAQContent::text),
            field("fontSize", &FAQContent::fontSize), field("fontWeight", &FAQContent::fontWeight),
            field("fontFamily", &FAQContent::fontFamily), field("lineHeight", &FAQContent::lineHeight),
            field("paddingTop", &FAQContent::paddingTop), field("paddingRight", &FAQContent::paddingRight),
            field("paddingBottom", &FAQContent::paddingBottom), field("paddingLeft", &FAQContent::paddingLeft),
            field("marginTop", &FAQContent::marginTop), field("marginRight", &FAQContent::marginRight),
            field("marginBottom", &FAQContent::marginBottom), field("marginLeft", &FAQContent::marginLeft),
            field("boxShadow", &FAQContent::boxShadow)};
    }
};

// One action of a list button: the host looks for "cta" and "on-demand" in its type.
struct Actions {
    std::string type;
    std::optional<std::string> value;
    static auto fields() { return std::tuple{field("type", &Actions::type), field("value", &Actions::value)}; }
    std::string valueOrEmpty() const { return value.value_or(""); }
};

// One entry of the list.
struct ButtonList {
    int64_t id = 0;
    std::optional<std::string> type, color, backgroundColor, text;
    std::optional<int64_t> fontSize;
    std::optional<std::string> fontWeight, align, textAlign, contentFontName, fontFamily;
    std::optional<int64_t> lineHeight;
    std::optional<std::string> action_type;
    std::optional<std::vector<Actions>> actions;
    std::optional<int64_t> height, width;
    std::optional<std::string> onDemand, cta;
    std::optional<int64_t> boxShadow, paddingTop, paddingRight, paddingBottom, paddingLeft, marginTop, marginRight,
        marginBottom, marginLeft;

    static auto fields() {
        return std::tuple{
            field("id", &ButtonList::id), field("type", &ButtonList::type), field("color", &ButtonList::color),
            field("backgroundColor", &ButtonList::backgroundColor), field("text", &ButtonList::text),
            field("fontSize", &ButtonList::fontSize), field("fontWeight", &ButtonList::fontWeight),
            field("align", &ButtonList::align), field("textAlign", &ButtonList::textAlign),
            field("contentFontName", &ButtonList::contentFontName), field("fontFamily", &ButtonList::fontFamily),
            field("lineHeight", &ButtonList::lineHeight), field("action_type", &ButtonList::action_type),
            field("actions", &ButtonList::actions), field("height", &ButtonList::height),
            field("width", &ButtonList::width), field("onDemand", &ButtonList::onDemand),
            field("cta", &ButtonList::cta), field("boxShadow", &ButtonList::boxShadow),
            field("paddingTop", &ButtonList::paddingTop), field("paddingRight", &ButtonList::paddingRight),
            field("paddingBottom", &ButtonList::paddingBottom), field("paddingLeft", &ButtonList::paddingLeft),
            field("marginTop", &ButtonList::marginTop), field("marginRight", &ButtonList::marginRight),
            field("marginBottom", &ButtonList::marginBottom), field("marginLeft", &ButtonList::marginLeft)};
    }

    std::string textOrEmpty() const { return text.value_or(""); }
    std::string textAlignOrDefault() const { return textAlign.value_or("left"); }
    std::string colorOrDefault() const { return color.value_or("#555454"); }
    std::string backgroundColorOrDefault() const { return backgroundColor.value_or("#ffffff"); }
    double heightOrDefault() const { return double(height.value_or(5)); }
    std::string resolvedFontWeight() const { return fontWeight == "bold" ? "Bold" : "normal"; }
    std::string resolvedFontFamily() const;
    double fontSizeOrDefault() const { return double(fontSize.value_or(18)); }
    double boxShadowOrZero() const { return double(boxShadow.value_or(0)); }
    // 0 below a line height of 150 (or without one); otherwise the line height / 8, whole.
    double lineSpacing() const;
    EdgeInsets paddingInsets() const { return widgetInsets(paddingTop, paddingLeft, paddingBottom, paddingRight); }
    EdgeInsets marginInsets() const { return widgetInsets(marginTop, marginLeft, marginBottom, marginRight); }
};

// Next and previous buttons share one shape.
struct Next {
    std::optional<std::string> textAlign, color, backgroundColor, text;
    static auto fields() {
        return std::tuple{field("textAlign", &Next::textAlign), field("color", &Next::color),
                          field("backgroundColor", &Next::backgroundColor), field("text", &Next::text)};
    }
};
struct Prev : Next {
    static auto fields() {
        return std::tuple{field("textAlign", &Prev::textAlign), field("color", &Prev::color),
                          field("backgroundColor", &Prev::backgroundColor), field("text", &Prev::text)};
    }
};

// The icon button that collapses the list.
struct DismissButton {
    std::optional<std::string> b1, b2;
    std::optional<int64_t> width, height;
    std::optional<std::string> color, fileName, backgroundColor;
    std::optional<int64_t> marginTop, marginBottom, marginRight, marginLeft;

    static auto fields() {
        return std::tuple{field("b1", &DismissButton::b1), field("b2", &DismissButton::b2),
                          field("width", &DismissButton::width), field("height", &DismissButton::height),
                          field("color", &DismissButton::color), field("fileName", &DismissButton::fileName),
                          field("backgroundColor", &DismissButton::backgroundColor),
                          field("marginTop", &DismissButton::marginTop),
                          field("marginBottom", &DismissButton::marginBottom),
                          field("marginRight", &DismissButton::marginRight),
                          field("marginLeft", &DismissButton::marginLeft)};
    }

    // Opaque black when the record names no colour.
    std::string colorOrDefault() const { return color.value_or("FF000000"); }
    std::string backgroundColorOrDefault() const { return backgroundColor.value_or("#FFFFFF"); }
    double widthOrDefault() const { return double(width.value_or(24)); }
    double heightOrDefault() const { return double(height.value_or(24)); }
    EdgeInsets marginInsets() const { return widgetInsets(marginTop, marginLeft, marginBottom, marginRight); }
};

struct Buttons {
    std::optional<std::string> layout;
    std::optional<Next> next;
    std::optional<Prev> prev;
    std::optional<DismissButton> dismiss;

    static auto fields() {
        return std::tuple{field("layout", &Buttons::layout), field("next", &Buttons::next),
                          field("prev", &Buttons::prev), field("dismiss", &Buttons::dismiss)};
    }
    DismissButton dismissOrEmpty() const { return dismiss.value_or(DismissButton{}); }
};

template <class R>
std::string TextBlockStyle<R>::resolvedFontFamily() const {
    return resolvedWidgetFontFamily(self().fontFamily);
}

template <class R>
double TextBlockStyle<R>::lineSpacing() const {
    return textBlockLineSpacing(self().lineHeight);
}

}  // namespace brindlecue::widgets
