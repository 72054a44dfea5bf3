#pragma once

// The inside of CGContext, for the graphics stand-in's own sources only (it brings in Cairo).

#include <cairo.h>

#include <functional>
#include <vector>

#include "platform/graphics/CGContext.h"

namespace brindlecue::platform {

struct CGContext::Impl {
    struct State {
        UIColor fill{0, 0, 0, 1};
        UIColor stroke{0, 0, 0, 1};
        double alpha = 1;
        CGBlendMode blend = CGBlendMode::Normal;
        CGSize shadowOffset;
        double shadowBlur = 0;
        std::optional<UIColor> shadowColor;
        CGInterpolationQuality interpolation = CGInterpolationQuality::Default;
        bool shadowOn() const { return shadowColor && shadowColor->alpha > 0; }
    };

    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    int width = 0;
    int height = 0;
    double scale = 1;
    bool opaque = false;
    // Base space to pixels.
    CGAffineTransform base;
    State state;
    std::vector<State> saved;
    std::vector<State> layers;

    ~Impl();

    // Runs a painting operation under the state's alpha, blend mode and shadow. The operation
    // sets its own source and paints with the current path (which it finds in place).
    void draw(const std::function<void()>& op);
    void composite(cairo_pattern_t* group, const State& s);
    void paintShadow(cairo_pattern_t* group, const State& s);
    void appendPath(const CGPath& path, size_t from = 0);
    void setSource(const UIColor& c);
    cairo_filter_t filter() const;
};

cairo_operator_t cairoOperator(CGBlendMode mode);

// A Cairo surface over an image's pixels (no copy); the image must outlive the surface.
cairo_surface_t* cairoSurfaceForImage(const CGImage& image);

}  // namespace brindlecue::platform
