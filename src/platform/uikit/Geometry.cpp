#include "platform/uikit/Geometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <limits>

namespace brindlecue::platform {

CGRect CGRect::null() {
    double inf = std::numeric_limits<double>::infinity();
    return CGRect(inf, inf, 0, 0);
}

bool CGRect::isNull() const {
    return std::isinf(origin.x) || std::isinf(origin.y);
}

CGRect CGRect::standardized() const {
    CGRect r = *this;
    if (r.size.width < 0) {
        r.origin.x += r.size.width;
        r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
        r.origin.y += r.size.height;
        r.size.height = -r.size.height;
    }
    return r;
}

double CGRect::minX() const {
    return standardized().origin.x;
}
double CGRect::minY() const {
    return standardized().origin.y;
}
double CGRect::maxX() const {
    CGRect s = standardized();
    return s.origin.x + s.size.width;
}
double CGRect::maxY() const {
    CGRect s = standardized();
    return s.origin.y + s.size.height;
}
double CGRect::width() const {
    return std::fabs(size.width);
}
double CGRect::height() const {
    return std::fabs(size.height);
}

bool CGRect::isEmpty() const {
    return isNull() || size.width == 0 || size.height == 0;
}

bool CGRect::contains(CGPoint p) const {
    if (isNull()) return false;
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool CGRect::contains(const CGRect& r) const {
    if (isNull() || r.isNull()) return false;
    return r.minX() >= minX() && r.maxX() <= maxX() && r.minY() >= minY() && r.maxY() <= maxY();
}

bool CGRect::intersects(const CGRect& r) const {
    return !intersection(r).isNull();
}

CGRect CGRect::intersection(const CGRect& r) const {
    if (isNull() || r.isNull()) return null();
    double x0 = std::max(minX(), r.minX());
    double y0 = std::max(minY(), r.minY());
    double x1 = std::min(maxX(), r.maxX());
    double y1 = std::min(maxY(), r.maxY());
    // Rectangles that only touch have an empty, not a null, intersection (as on the platform),
    // but an empty one does not "intersect".
    if (x1 <= x0 || y1 <= y0) return null();
    return CGRect(x0, y0, x1 - x0, y1 - y0);
}

CGRect CGRect::unionWith(const CGRect& r) const {
    if (isNull()) return r;
    if (r.isNull()) return *this;
    double x0 = std::min(minX(), r.minX());
    double y0 = std::min(minY(), r.minY());
    double x1 = std::max(maxX(), r.maxX());
    double y1 = std::max(maxY(), r.maxY());
    return CGRect(x0, y0, x1 - x0, y1 - y0);
}

CGRect CGRect::insetBy(double dx, double dy) const {
    if (isNull()) return *this;
    CGRect s = standardized();
    s.origin.x += dx;
    s.origin.y += dy;
    s.size.width -= 2 * dx;
    s.size.height -= 2 * dy;
    if (s.size.width < 0 || s.size.height < 0) return null();
    return s;
}

CGRect CGRect::offsetBy(double dx, double dy) const {
    if (isNull()) return *this;
    CGRect s = standardized();
    s.origin.x += dx;
    s.origin.y += dy;
    return s;
}

CGAffineTransform CGAffineTransform::makeRotation(double radians) {
    double c = std::cos(radians), s = std::sin(radians);
    return {c, s, -s, c, 0, 0};
}

CGAffineTransform CGAffineTransform::concat(const CGAffineTransform& t) const {
    return {a * t.a + b * t.c, a * t.b + b * t.d,          c * t.a + d * t.c,
            c * t.b + d * t.d, tx * t.a + ty * t.c + t.tx, tx * t.b + ty * t.d + t.ty};
}

CGAffineTransform CGAffineTransform::inverted() const {
    double det = a * d - b * c;
    if (det == 0) return *this;
    CGAffineTransform r;
    r.a = d / det;
    r.b = -b / det;
    r.c = -c / det;
    r.d = a / det;
    r.tx = (c * ty - d * tx) / det;
    r.ty = (b * tx - a * ty) / det;
    return r;
}

CGPoint CGAffineTransform::apply(CGPoint p) const {
    return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty};
}

CGSize CGAffineTransform::apply(CGSize s) const {
    return {a * s.width + c * s.height, b * s.width + d * s.height};
}

CGRect CGAffineTransform::apply(const CGRect& r) const {
    if (r.isNull()) return r;
    CGPoint p[4] = {apply(CGPoint{r.minX(), r.minY()}), apply(CGPoint{r.maxX(), r.minY()}),
                    apply(CGPoint{r.minX(), r.maxY()}), apply(CGPoint{r.maxX(), r.maxY()})};
    double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
    for (const auto& q : p) {
        x0 = std::min(x0, q.x);
        x1 = std::max(x1, q.x);
        y0 = std::min(y0, q.y);
        y1 = std::max(y1, q.y);
    }
    return CGRect(x0, y0, x1 - x0, y1 - y0);
}

CGRect UIEdgeInsetsInsetRect(const CGRect& rect, const UIEdgeInsets& i) {
    return CGRect(rect.origin.x + i.left, rect.origin.y + i.top, rect.size.width - i.left - i.right,
                  rect.size.height - i.top - i.bottom);
}

std::string formatCGFloat(double v) {
    if (v == 0) v = 0;  // no "-0"
    // Whole numbers of up to six digits print as "%g" prints them: the integer alone.
    if (v > -1e6 && v < 1e6 && v == static_cast<double>(static_cast<int64_t>(v))) {
        char digits[24];
        auto end = std::to_chars(digits, digits + sizeof digits, static_cast<int64_t>(v)).ptr;
        return std::string(digits, end);
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

namespace {

// "{a, b, ...}"
std::string braced(std::initializer_list<std::string> parts) {
    std::string text = "{";
    bool first = true;
    for (const auto& part : parts) {
        if (!first) text += ", ";
        text += part;
        first = false;
    }
    text += '}';
    return text;
}

}  // namespace

std::string NSStringFromCGPoint(CGPoint p) {
    return braced({formatCGFloat(p.x), formatCGFloat(p.y)});
}

std::string NSStringFromCGSize(CGSize s) {
    return braced({formatCGFloat(s.width), formatCGFloat(s.height)});
}

std::string NSStringFromCGRect(const CGRect& r) {
    return braced({NSStringFromCGPoint(r.origin), NSStringFromCGSize(r.size)});
}

std::string NSStringFromUIEdgeInsets(const UIEdgeInsets& i) {
    return braced({formatCGFloat(i.top), formatCGFloat(i.left), formatCGFloat(i.bottom), formatCGFloat(i.right)});
}

}  // namespace brindlecue::platform
