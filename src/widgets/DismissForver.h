#pragma once

#include <optional>
#include <string>
#include <vector>

#include "widgets/Fab.h"

// The tail of a widget screen: the don't-show-again button and the carousel, feedback and
// screenshot sections, plus the dynamic-URL record that no screen holds.
namespace brindlecue::widgets {

// The don't-show-again button of the list.
struct DismissForver {
    std::optional<std::string> placement, backgroundColor, color, text, textAlign;
    std::optional<int64_t> fontSize;
    std::optional<std::string> fontWeight, fontFamily;
    std::optional<std::vector<Actions>> actions;
    std::optional<int64_t> borderWidth;
    std::optional<std::string> borderColor;
    std::optional<int64_t> cornerRadius, width, height;
    std::optional<std::string> _width_unit, _height_unit;
    std::optional<int64_t> boxShadow, paddingTop, paddingRight, paddingBottom, paddingLeft, marginTop, marginRight,
        marginBottom, marginLeft;

    static auto fields() {
        using D = DismissForver;
        return std::tuple{
            field("placement", &D::placement), field("backgroundColor", &D::backgroundColor),
            field("color", &D::color), field("text", &D::text), field("textAlign", &D::textAlign),
            field("fontSize", &D::fontSize), field("fontWeight", &D::fontWeight), field("fontFamily", &D::fontFamily),
            field("actions", &D::actions), field("borderWidth", &D::borderWidth),
            field("borderColor", &D::borderColor), field("cornerRadius", &D::cornerRadius), field("width", &D::width),
            field("height", &D::height), field("_width_unit", &D::_width_unit),
            field("_height_unit", &D::_height_unit), field("boxShadow", &D::boxShadow),
            field("paddingTop", &D::paddingTop), field("paddingRight", &D::paddingRight),
            field("paddingBottom", &D::paddingBottom), field("paddingLeft", &D::paddingLeft),
            field("marginTop", &D::marginTop), field("marginRight", &D::marginRight),
            field("marginBottom", &D::marginBottom), field("marginLeft", &D::marginLeft)};
    }

    std::string placementOrDefault() const { return placement.value_or("right"); }
    std::string backgroundColorOrDefault() const { return backgroundColor.value_or("#00ffffff"); }
    std::string colorOrDefault() const { return color.value_or("#ad555454"); }
    std::string textAlignOrDefault() const { return textAlign.value_or("right"); }
    std::string textOrEmpty() const { return text.value_or(""); }
    FontWeight fontWeightValue() const { return fontWeight == "bold" ? FontWeight::bold : FontWeight::regular; }
    double fontSizeOrDefault() const { return double(fontSize.value_or(16)); }
    std::string resolvedFontFamily() const { return resolvedWidgetFontFamily(fontFamily); }
    double cornerRadiusOrZero() const { return double(cornerRadius.value_or(0)); }
    double borderWidthOrZero() const { return double(borderWidth.value_or(0)); }
    double boxShadowOrZero() const { return double(boxShadow.value_or(0)); }
    platform::UIColor borderColorValue() const {
        return borderColor ? widgetColor(*borderColor) : platform::UIColor::clearColor();
    }
    std::optional<double> widthValue() const { return width ? std::optional<double>(double(*width)) : std::nullopt; }
    std::optional<double> heightValue() const {
        return height ? std::optional<double>(double(*height)) : std::nullopt;
    }
    EdgeInsets paddingInsets() const { return widgetInsets(paddingTop, paddingLeft, paddingBottom, paddingRight); }
    EdgeInsets marginInsets() const { return widgetInsets(marginTop, marginLeft, marginBottom, marginRight); }
};

struct Carousel {
    std::optional<int64_t> borderWidth;
    static auto fields() { return std::tuple{field("borderWidth", &Carousel::borderWidth)}; }
};

struct Feedback {
    std::optional<std::string> title, message;
    std::optional<std::vector<std::string>> c;
    std::optional<std::string> text;
    std::vector<std::string> custom_tags_list;

    static auto fields() {
        return std::tuple{field("title", &Feedback::title), field("message", &Feedback::message),
                          field("c", &Feedback::c), field("text", &Feedback::text),
                          field("custom_tags_list", &Feedback::custom_tags_list)};
    }
};

struct DynamicURL {
    std::optional<std::string> displayCondition;
    static auto fields() { return std::tuple{field("displayCondition", &DynamicURL::displayCondition)}; }
};

struct Img {
    std::optional<std::string> url;
    static auto fields() { return std::tuple{field("url", &Img::url)}; }
};

struct Screenshot {
    std::optional<std::string> view;
    std::optional<int64_t> width, height;
    std::optional<std::string> operating_system, id;
    std::optional<Img> img;

    static auto fields() {
        return std::tuple{field("view", &Screenshot::view), field("width", &Screenshot::width),
                          field("height", &Screenshot::height),
                          field("operating_system", &Screenshot::operating_system), field("id", &Screenshot::id),
                          field("img", &Screenshot::img)};
    }
};

}  // namespace brindlecue::widgets
