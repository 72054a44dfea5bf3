#pragma once

#include <string>

#include "platform/Color.h"

namespace brindlecue::platform {

// A colour as UIKit hands it around: RGBA components from 0 to 1. A value type; properties that
// may hold no colour use std::optional<UIColor>.
struct UIColor : Color {
    UIColor() = default;
    UIColor(const Color& c) : Color(c) {}
    UIColor(double r, double g, double b, double a = 1) : Color{r, g, b, a} {}

    static UIColor colorWithRed(double r, double g, double b, double a) { return {r, g, b, a}; }
    static UIColor colorWithWhite(double white, double alpha) { return {white, white, white, alpha}; }
    static UIColor clearColor() { return {0, 0, 0, 0}; }
    static UIColor blackColor() { return {0, 0, 0, 1}; }
    static UIColor whiteColor() { return {1, 1, 1, 1}; }
    static UIColor darkTextColor() { return {0, 0, 0, 1}; }
    static UIColor lightGrayColor() { return colorWithWhite(2.0 / 3.0, 1); }
    static UIColor grayColor() { return colorWithWhite(0.5, 1); }
    static UIColor redColor() { return {1, 0, 0, 1}; }
    static UIColor greenColor() { return {0, 1, 0, 1}; }
    static UIColor blueColor() { return {0, 0, 1, 1}; }
    // The tint of controls that were given none.
    static UIColor systemBlueColor() { return {0, 122.0 / 255, 1, 1}; }

    UIColor colorWithAlphaComponent(double a) const { return {red, green, blue, a}; }
    // The platform's description: "UIExtendedSRGBColorSpace 1 0 0 1".
    std::string description() const;

    bool operator==(const UIColor& o) const { return Color::operator==(o); }
};

}  // namespace brindlecue::platform
