#pragma once

#include <string>

namespace brindlecue::platform {

// The platform's geometry records, in points. Small value types; the free functions keep the
// platform's names where callers compare behaviour with it (null and empty rectangles, the
// rectangle-to-text form).

struct CGPoint {
    double x = 0;
    double y = 0;
    bool operator==(const CGPoint&) const = default;
};

struct CGSize {
    double width = 0;
    double height = 0;
    bool operator==(const CGSize&) const = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;

    CGRect() = default;
    CGRect(CGPoint o, CGSize s) : origin(o), size(s) {}
    CGRect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}

    // The null rectangle (infinite origin), as the intersection of disjoint rectangles gives it.
    static CGRect null();
    static CGRect zero() { return {}; }

    // Edges of the standardised rectangle (negative sizes count from the other side).
    double minX() const;
    double maxX() const;
    double minY() const;
    double maxY() const;
    double midX() const { return (minX() + maxX()) / 2; }
    double midY() const { return (minY() + maxY()) / 2; }
    double width() const;
    double height() const;

    bool isNull() const;
    // Null, or zero width or height.
    bool isEmpty() const;
    CGRect standardized() const;
    bool contains(CGPoint p) const;
    bool contains(const CGRect& r) const;
    bool intersects(const CGRect& r) const;
    // The common part; the null rectangle when they do not meet.
    CGRect intersection(const CGRect& r) const;
    CGRect unionWith(const CGRect& r) const;
    // Grown (negative: shrunk) by dx on the left and right and dy on the top and bottom.
    CGRect insetBy(double dx, double dy) const;
    CGRect offsetBy(double dx, double dy) const;

    bool operator==(const CGRect&) const = default;
};

// An affine transform: x' = a x + c y + tx, y' = b x + d y + ty.
struct CGAffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static CGAffineTransform identity() { return {}; }
    static CGAffineTransform makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    static CGAffineTransform makeTranslation(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static CGAffineTransform makeRotation(double radians);

    bool isIdentity() const { return *this == CGAffineTransform{}; }
    // This transform followed by t.
    CGAffineTransform concat(const CGAffineTransform& t) const;
    CGAffineTransform scaled(double sx, double sy) const { return makeScale(sx, sy).concat(*this); }
    CGAffineTransform translated(double x, double y) const { return makeTranslation(x, y).concat(*this); }
    // The inverse; the transform itself when it cannot be inverted.
    CGAffineTransform inverted() const;
    CGPoint apply(CGPoint p) const;
    CGSize apply(CGSize s) const;
    // The bounding box of the transformed rectangle.
    CGRect apply(const CGRect& r) const;

    bool operator==(const CGAffineTransform&) const = default;
};

struct UIEdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;
    bool operator==(const UIEdgeInsets&) const = default;
};

// The rectangle inset by the edge insets.
CGRect UIEdgeInsetsInsetRect(const CGRect& rect, const UIEdgeInsets& insets);

// The platform's text forms: "{x, y}", "{w, h}", "{{x, y}, {w, h}}", "{top, left, bottom, right}".
std::string NSStringFromCGPoint(CGPoint p);
std::string NSStringFromCGSize(CGSize s);
std::string NSStringFromCGRect(const CGRect& r);
std::string NSStringFromUIEdgeInsets(const UIEdgeInsets& i);
// A number as the platform's descriptions print it ("%g": 0, 12.5, 0.333333).
std::string formatCGFloat(double v);

}  // namespace brindlecue::platform
