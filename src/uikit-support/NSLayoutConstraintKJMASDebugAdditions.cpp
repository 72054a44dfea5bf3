#include "uikit-support/NSLayoutConstraintKJMASDebugAdditions.h"

#include <cmath>
#include <cstdio>

#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIView.h"
#include "uikit-support/KJMASLayoutConstraint.h"

namespace brindlecue {

namespace {

std::string formatG(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

// The debugging key of an object that has one: views and the language's constraints.
platform::Value debugKeyOf(const platform::NSObject& object) {
    if (const auto* constraint = dynamic_cast<const KJMASLayoutConstraint*>(&object))
        return constraint->mas_key;
    if (const auto* view = dynamic_cast<const platform::UIView*>(&object))
        return view->associatedValue("mas_key");
    return {};
}

template <class Map, class Key>
const std::string* lookup(const Map& map, Key key) {
    auto it = map.find(key);
    return it == map.end() ? nullptr : &it->second;
}

// "%@" of a missing text prints "(null)".
std::string textOr(const std::string* text) {
    return text ? *text : std::string("(null)");
}

// Installed as soon as this file is linked in, as a category would be when the library loads.
[[maybe_unused]] const bool kInstalledAtLoad = (NSLayoutConstraintKJMASDebugAdditions::install(), true);

}  // namespace

const std::map<int64_t, std::string>&
NSLayoutConstraintKJMASDebugAdditions::layoutRelationDescriptionsByValue() {
    static const auto* table = new std::map<int64_t, std::string>{{0, "=="}, {1, ">="}, {-1, "<="}};
    return *table;
}

const std::map<int64_t, std::string>&
NSLayoutConstraintKJMASDebugAdditions::layoutAttributeDescriptionsByValue() {
    static const auto* table = [] {
        const std::pair<int64_t, const char*> pairs[] = {
            {3, "top"},
            {1, "left"},
            {4, "bottom"},
            {2, "right"},
            {5, "leading"},
            {6, "trailing"},
            {7, "width"},
            {8, "height"},
            {9, "centerX"},
            {10, "centerY"},
            {11, "baseline"},
            {12, "firstBaseline"},
            {11, "lastBaseline"},
            {13, "leftMargin"},
            {14, "rightMargin"},
            {15, "topMargin"},
            {16, "bottomMargin"},
            {17, "leadingMargin"},
            {18, "trailingMargin"},
            {19, "centerXWithinMargins"},
            {20, "centerYWithinMargins"},
        };
        auto* map = new std::map<int64_t, std::string>;
        for (const auto& [value, text] : pairs) (*map)[value] = text;
        return map;
    }();
    return *table;
}

const std::map<float, std::string>&
NSLayoutConstraintKJMASDebugAdditions::layoutPriorityDescriptionsByValue() {
    static const auto* table = new std::map<float, std::string>{{750.0f, "high"},
                                                                {250.0f, "low"},
                                                                {500.0f, "medium"},
                                                                {1000.0f, "required"},
                                                                {50.0f, "fitting size"}};
    return *table;
}

std::string NSLayoutConstraintKJMASDebugAdditions::descriptionForObject(const platform::NSObject& object) {
    platform::Value key = debugKeyOf(object);
    if (!key.isNil()) return object.className() + ":" + key.stringValue();
    return object.className() + ":" + object.addressText();
}

std::string NSLayoutConstraintKJMASDebugAdditions::description(
    const platform::NSLayoutConstraint& constraint) {
    const auto& attributes = layoutAttributeDescriptionsByValue();
    std::string out = "<" + descriptionForObject(constraint);
    if (auto first = constraint.firstItem()) out += " " + descriptionForObject(*first);
    auto firstAttribute = static_cast<int64_t>(constraint.firstAttribute());
    if (firstAttribute != 0) out += "." + textOr(lookup(attributes, firstAttribute));
    out += " " +
           textOr(lookup(layoutRelationDescriptionsByValue(), static_cast<int64_t>(constraint.relation())));
    if (auto second = constraint.secondItem()) out += " " + descriptionForObject(*second);
    auto secondAttribute = static_cast<int64_t>(constraint.secondAttribute());
    if (secondAttribute != 0) out += "." + textOr(lookup(attributes, secondAttribute));
    if (constraint.multiplier() != 1.0) out += " * " + formatG(constraint.multiplier());
    double constant = constraint.constant();
    if (secondAttribute == 0) {
        out += " " + formatG(constant);
    } else if (constant != 0) {
        out += std::string(constant < 0 ? " - " : " + ") + formatG(std::fabs(constant));
    }
    float priority = constraint.priority();
    if (priority != platform::UILayoutPriorityRequired) {
        const std::string* text = lookup(layoutPriorityDescriptionsByValue(), priority);
        out += " ^" + (text ? *text : formatG(static_cast<double>(priority)));
    }
    return out + ">";
}

void NSLayoutConstraintKJMASDebugAdditions::install() {
    platform::NSLayoutConstraint::setDescriptionProvider(
        [](const platform::NSLayoutConstraint& constraint) { return description(constraint); });
}

}  // namespace brindlecue
