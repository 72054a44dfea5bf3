#include "platform/graphics/CGPath.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brindlecue::platform {
namespace {

constexpr double kTwoPi = 2 * M_PI;

CGPoint map(CGPoint p, const CGAffineTransform* t) {
    return t ? t->apply(p) : p;
}

double length(CGPoint v) {
    return std::hypot(v.x, v.y);
}

}  // namespace

CGPath CGPath::withRect(const CGRect& rect) {
    CGPath p;
    p.addRect(rect);
    return p;
}

CGPath CGPath::withEllipseInRect(const CGRect& rect) {
    CGPath p;
    p.addEllipseInRect(rect);
    return p;
}

CGPath CGPath::withRoundedRect(const CGRect& rect, double cornerWidth, double cornerHeight) {
    CGPath p;
    p.addRoundedRect(rect, cornerWidth, cornerHeight);
    return p;
}

CGRect CGPath::boundingBox() const {
    if (elements_.empty()) return CGRect::null();
    double minX = std::numeric_limits<double>::infinity(), minY = minX;
    double maxX = -minX, maxY = -minX;
    for (const auto& e : elements_) {
        for (const auto& p : e.points) {
            minX = std::min(minX, p.x);
            minY = std::min(minY, p.y);
            maxX = std::max(maxX, p.x);
            maxY = std::max(maxY, p.y);
        }
    }
    if (minX > maxX) return CGRect::null();
    return CGRect(minX, minY, maxX - minX, maxY - minY);
}

void CGPath::moveToPoint(CGPoint p, const CGAffineTransform* t) {
    p = map(p, t);
    elements_.push_back({CGPathElementType::MoveToPoint, {p}});
    current_ = subpathStart_ = p;
}

void CGPath::addLineToPoint(CGPoint p, const CGAffineTransform* t) {
    if (elements_.empty()) return moveToPoint(p, t);
    p = map(p, t);
    elements_.push_back({CGPathElementType::AddLineToPoint, {p}});
    current_ = p;
}

void CGPath::addQuadCurveToPoint(CGPoint control, CGPoint end, const CGAffineTransform* t) {
    if (elements_.empty()) moveToPoint(control, t);
    end = map(end, t);
    elements_.push_back({CGPathElementType::AddQuadCurveToPoint, {map(control, t), end}});
    current_ = end;
}

void CGPath::addCurveToPoint(CGPoint c1, CGPoint c2, CGPoint end, const CGAffineTransform* t) {
    if (elements_.empty()) moveToPoint(c1, t);
    end = map(end, t);
    elements_.push_back({CGPathElementType::AddCurveToPoint, {map(c1, t), map(c2, t), end}});
    current_ = end;
}

void CGPath::closeSubpath() {
    if (elements_.empty() || elements_.back().type == CGPathElementType::CloseSubpath) return;
    elements_.push_back({CGPathElementType::CloseSubpath, {}});
    current_ = subpathStart_;
}

void CGPath::addRect(const CGRect& r0, const CGAffineTransform* t) {
    CGRect r = r0.standardized();
    moveToPoint({r.minX(), r.minY()}, t);
    addLineToPoint({r.maxX(), r.minY()}, t);
    addLineToPoint({r.maxX(), r.maxY()}, t);
    addLineToPoint({r.minX(), r.maxY()}, t);
    closeSubpath();
}

void CGPath::addEllipseInRect(const CGRect& r0, const CGAffineTransform* t) {
    CGRect r = r0.standardized();
    double rx = r.width() / 2, ry = r.height() / 2;
    CGAffineTransform unit = CGAffineTransform::makeScale(rx, ry).concat(
        CGAffineTransform::makeTranslation(r.midX(), r.midY()));
    if (t) unit = unit.concat(*t);
    moveToPoint({1, 0}, &unit);
    addArcSegments({0, 0}, 1, 0, kTwoPi, &unit);
    closeSubpath();
}

void CGPath::addRoundedRect(const CGRect& r0, double cw, double ch, const CGAffineTransform* t) {
    CGRect r = r0.standardized();
    cw = std::clamp(cw, 0.0, r.width() / 2);
    ch = std::clamp(ch, 0.0, r.height() / 2);
    if (cw <= 0 || ch <= 0) return addRect(r, t);
    // Each corner is a quarter of an ellipse: a unit quarter circle scaled to the corner size.
    auto corner = [&](double cx, double cy, double start) {
        CGAffineTransform m = CGAffineTransform::makeScale(cw, ch).concat(
            CGAffineTransform::makeTranslation(cx, cy));
        if (t) m = m.concat(*t);
        addArcSegments({0, 0}, 1, start, M_PI / 2, &m);
    };
    moveToPoint({r.minX() + cw, r.minY()}, t);
    addLineToPoint({r.maxX() - cw, r.minY()}, t);
    corner(r.maxX() - cw, r.minY() + ch, -M_PI / 2);
    addLineToPoint({r.maxX(), r.maxY() - ch}, t);
    corner(r.maxX() - cw, r.maxY() - ch, 0);
    addLineToPoint({r.minX() + cw, r.maxY()}, t);
    corner(r.minX() + cw, r.maxY() - ch, M_PI / 2);
    addLineToPoint({r.minX(), r.minY() + ch}, t);
    corner(r.minX() + cw, r.minY() + ch, M_PI);
    closeSubpath();
}

void CGPath::addArc(CGPoint center, double radius, double start, double end, bool clockwise,
                    const CGAffineTransform* t) {
    double sweep = end - start;
    if (!clockwise) {
        if (sweep < 0) sweep = std::fmod(sweep, kTwoPi) + kTwoPi;
        sweep = std::min(sweep, kTwoPi);
    } else {
        if (sweep > 0) sweep = std::fmod(sweep, kTwoPi) - kTwoPi;
        sweep = std::max(sweep, -kTwoPi);
    }
    CGPoint first{center.x + radius * std::cos(start), center.y + radius * std::sin(start)};
    addLineToPoint(first, t);
    if (sweep != 0 && radius > 0) addArcSegments(center, radius, start, sweep, t);
}

void CGPath::addArcSegments(CGPoint c, double r, double start, double sweep, const CGAffineTransform* t) {
    int segments = std::max(1, int(std::ceil(std::abs(sweep) / (M_PI / 2) - 1e-9)));
    double step = sweep / segments;
    double k = 4.0 / 3.0 * std::tan(step / 4);
    double a = start;
    for (int i = 0; i < segments; ++i) {
        double b = a + step;
        CGPoint p0{c.x + r * std::cos(a), c.y + r * std::sin(a)};
        CGPoint p3{c.x + r * std::cos(b), c.y + r * std::sin(b)};
        CGPoint c1{p0.x - k * r * std::sin(a), p0.y + k * r * std::cos(a)};
        CGPoint c2{p3.x + k * r * std::sin(b), p3.y - k * r * std::cos(b)};
        addCurveToPoint(c1, c2, p3, t);
        a = b;
    }
}

void CGPath::addArcToPoint(CGPoint p1u, CGPoint p2u, double radius, const CGAffineTransform* t) {
    if (elements_.empty()) return moveToPoint(p1u, t);
    // Worked in path space: the transform maps the two points and scales the radius.
    CGPoint p0 = current_, p1 = map(p1u, t), p2 = map(p2u, t);
    if (t) radius *= std::sqrt(std::abs(t->a * t->d - t->b * t->c));
    CGPoint v1{p0.x - p1.x, p0.y - p1.y}, v2{p2.x - p1.x, p2.y - p1.y};
    double l1 = length(v1), l2 = length(v2);
    double cross = v1.x * v2.y - v1.y * v2.x;
    if (radius <= 0 || l1 == 0 || l2 == 0 || std::abs(cross) <= 1e-12 * l1 * l2) {
        return addLineToPoint(p1);
    }
    v1 = {v1.x / l1, v1.y / l1};
    v2 = {v2.x / l2, v2.y / l2};
    double half = std::acos(std::clamp(v1.x * v2.x + v1.y * v2.y, -1.0, 1.0)) / 2;
    double d = radius / std::tan(half);
    CGPoint t1{p1.x + v1.x * d, p1.y + v1.y * d};
    CGPoint t2{p1.x + v2.x * d, p1.y + v2.y * d};
    CGPoint bis{v1.x + v2.x, v1.y + v2.y};
    double bl = length(bis);
    double cd = radius / std::sin(half);
    CGPoint center{p1.x + bis.x / bl * cd, p1.y + bis.y / bl * cd};
    double a1 = std::atan2(t1.y - center.y, t1.x - center.x);
    double a2 = std::atan2(t2.y - center.y, t2.x - center.x);
    double sweep = std::remainder(a2 - a1, kTwoPi);
    addLineToPoint(t1);
    addArcSegments(center, radius, a1, sweep, nullptr);
    // The last curve ends on the exact tangent point, not on its trigonometric neighbour.
    elements_.back().points.back() = t2;
    current_ = t2;
}

void CGPath::addPath(const CGPath& path, const CGAffineTransform* t) {
    for (const auto& e : path.elements_) {
        switch (e.type) {
            case CGPathElementType::MoveToPoint: moveToPoint(e.points[0], t); break;
            case CGPathElementType::AddLineToPoint: addLineToPoint(e.points[0], t); break;
            case CGPathElementType::AddQuadCurveToPoint: addQuadCurveToPoint(e.points[0], e.points[1], t); break;
            case CGPathElementType::AddCurveToPoint:
                addCurveToPoint(e.points[0], e.points[1], e.points[2], t);
                break;
            case CGPathElementType::CloseSubpath: closeSubpath(); break;
        }
    }
}

CGPath CGPath::transformed(const CGAffineTransform& t) const {
    CGPath p;
    p.addPath(*this, &t);
    return p;
}

}  // namespace brindlecue::platform
