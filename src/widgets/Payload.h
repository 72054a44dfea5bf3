#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/UIColor.h"
#include "widgets/DismissForver.h"
#include "widgets/Fab.h"
#include "widgets/MixedValue.h"

// One FAQ screen of a widget document: its layout (meta), frame and dimming, closing flags and
// animations, with the element records it holds.
namespace brindlecue::widgets {

struct DisplayParams {
    std::optional<int64_t> borderWidth;
    std::optional<std::string> borderStyle, borderColor;
    std::optional<int64_t> cornerRadius;
    std::optional<MixedValue> width;
    std::optional<int64_t> dim;
    std::optional<std::string> color;
    std::optional<MixedValue> height;

    static auto fields() {
        using D = DisplayParams;
        return std::tuple{field("borderWidth", &D::borderWidth), field("borderStyle", &D::borderStyle),
                          field("borderColor", &D::borderColor), field("cornerRadius", &D::cornerRadius),
                          field("width", &D::width), field("dim", &D::dim), field("color", &D::color),
                          field("height", &D::height)};
    }

    double borderWidthOrZero() const { return double(borderWidth.value_or(0)); }
    std::string borderColorOrDefault() const { return borderColor.value_or("#000000"); }
    int64_t cornerRadiusOrDefault() const { return cornerRadius.value_or(5); }
    // "PERCENTAGE" when the text form holds "%" anywhere, else (and without a value) "DP".
    std::string widthUnit() const;
    std::string heightUnit() const;
    // The height in points: a percentage of the main screen's height, or the number itself.
    double heightInPoints() const;
    // Clear without a colour; otherwise the hex colour (opaque black when unreadable).
    platform::UIColor dimColor() const;
};

struct DismissParams {
    std::optional<bool> touchOut, touchIn;
    static auto fields() {
        return std::tuple{field("touchOut", &DismissParams::touchOut), field("touchIn", &DismissParams::touchIn)};
    }
};

struct TransitionIn {
    std::optional<std::string> type;
    static auto fields() { return std::tuple{field("type", &TransitionIn::type)}; }
};
struct TransitionOut {
    std::optional<std::string> type;
    static auto fields() { return std::tuple{field("type", &TransitionOut::type)}; }
};

struct FABAnimation {
    std::optional<TransitionIn> transitionIn;
    std::optional<TransitionOut> transitionOut;
    static auto fields() {
        return std::tuple{field("transitionIn", &FABAnimation::transitionIn),
                          field("transitionOut", &FABAnimation::transitionOut)};
    }
};

struct Meta {
    std::optional<std::string> view, placement;
    DisplayParams displayParams;
    std::optional<DismissParams> dismissParams;
    std::optional<FABAnimation> animation;
    std::optional<std::string> tool, backgroundColor;
    Fab fab;
    std::optional<int64_t> paddingTop, paddingRight, paddingBottom, paddingLeft, marginTop, marginRight, marginBottom,
        marginLeft, boxShadow;
    std::optional<Dismiss> dismiss;
    std::optional<std::string> id;

    static auto fields() {
        return std::tuple{
            field("view", &Meta::view), field("placement", &Meta::placement),
            field("displayParams", &Meta::displayParams), field("dismissParams", &Meta::dismissParams),
            field("animation", &Meta::animation), field("tool", &Meta::tool),
            field("backgroundColor", &Meta::backgroundColor), field("fab", &Meta::fab),
            field("paddingTop", &Meta::paddingTop), field("paddingRight", &Meta::paddingRight),
            field("paddingBottom", &Meta::paddingBottom), field("paddingLeft", &Meta::paddingLeft),
            field("marginTop", &Meta::marginTop), field("marginRight", &Meta::marginRight),
            field("marginBottom", &Meta::marginBottom), field("marginLeft", &Meta::marginLeft),
            field("boxShadow", &Meta::boxShadow), field("dismiss", &Meta::dismiss), field("id", &Meta::id)};
    }

    std::string placementOrDefault() const { return placement.value_or("right"); }
    std::string backgroundColorOrDefault() const { return backgroundColor.value_or("#ffffff"); }
    EdgeInsets paddingInsets() const { return widgetInsets(paddingTop, paddingLeft, paddingBottom, paddingRight); }
    EdgeInsets marginInsets() const { return widgetInsets(marginTop, marginLeft, marginBottom, marginRight); }
    double boxShadowOrZero() const { return double(boxShadow.value_or(0)); }
};

// One FAQ screen.
struct Payload {
    Meta meta;
    FAQTitle title;
    FAQContent content;
    std::vector<ButtonList> buttonList;
    Buttons buttons;
    DismissForver dismissForever;
    std::optional<Carousel> carousel;
    std::optional<Feedback> feedback;
    std::optional<int64_t> templateId;
    std::optional<std::string> theme;
    std::optional<Screenshot> screenshot;

    static auto fields() {
        return std::tuple{field("meta", &Payload::meta), field("title", &Payload::title),
                          field("content", &Payload::content), field("buttonList", &Payload::buttonList),
                          field("buttons", &Payload::buttons), field("dismissForever", &Payload::dismissForever),
                          field("carousel", &Payload::carousel), field("feedback", &Payload::feedback),
                          field("templateId", &Payload::templateId), field("theme", &Payload::theme),
                          field("screenshot", &Payload::screenshot)};
    }

    // The first entry's background colour, else "#ffffff".
    std::string listBackgroundColor() const;
};

}  // namespace brindlecue::widgets
