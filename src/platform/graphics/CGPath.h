#pragma once

#include <vector>

#include "platform/uikit/Geometry.h"

namespace brindlecue::platform {

enum class CGPathElementType { MoveToPoint, AddLineToPoint, AddQuadCurveToPoint, AddCurveToPoint, CloseSubpath };

// One element of a path: its type and the points it takes (one for a move or a line, two for a
// quadratic curve, three for a cubic curve: the control points, then the end point; none for a
// close).
struct CGPathElement {
    CGPathElementType type = CGPathElementType::MoveToPoint;
    std::vector<CGPoint> points;
    bool operator==(const CGPathElement&) const = default;
};

// A path as the platform builds it: moves, lines, curves and closes, whose elements can be read
// back. Arcs become cubic curves (one per quarter turn at most), the way the platform stores
// them, so the elements of a path are always of the five kinds above. An optional transform
// applies to the points each building call adds.
class CGPath {
public:
    CGPath() = default;

    static CGPath withRect(const CGRect& rect);
    static CGPath withEllipseInRect(const CGRect& rect);
    static CGPath withRoundedRect(const CGRect& rect, double cornerWidth, double cornerHeight);

    const std::vector<CGPathElement>& elements() const { return elements_; }
    bool isEmpty() const { return elements_.empty(); }
    // The point the next element starts from; the zero point for an empty path.
    CGPoint currentPoint() const { return current_; }
    // The smallest rectangle holding every point, control points included; null when empty.
    CGRect boundingBox() const;

    void moveToPoint(CGPoint p, const CGAffineTransform* t = nullptr);
    // A line from the current point; a path without a current point starts at p instead.
    void addLineToPoint(CGPoint p, const CGAffineTransform* t = nullptr);
    void addQuadCurveToPoint(CGPoint control, CGPoint end, const CGAffineTransform* t = nullptr);
    void addCurveToPoint(CGPoint control1, CGPoint control2, CGPoint end, const CGAffineTransform* t = nullptr);
    void closeSubpath();
    void addRect(const CGRect& rect, const CGAffineTransform* t = nullptr);
    void addEllipseInRect(const CGRect& rect, const CGAffineTransform* t = nullptr);
    // A rectangle with quarter-ellipse corners; the corner sizes are cut to half the sides.
    void addRoundedRect(const CGRect& rect, double cornerWidth, double cornerHeight,
                        const CGAffineTransform* t = nullptr);
    // An arc of the circle around the centre from one angle to another (radians, measured from
    // the x axis towards the y axis). As on the platform, clockwise false sweeps towards
    // increasing angles and true towards decreasing ones, at most one full turn. A line joins the
    // current point to the arc's start.
    void addArc(CGPoint center, double radius, double startAngle, double endAngle, bool clockwise,
                const CGAffineTransform* t = nullptr);
    // The tangent arc: the arc of the given radius that touches the line from the current point
    // to p1 and the line from p1 to p2. A line runs from the current point to the first tangent
    // point, then the arc runs to the second. Collinear points or a zero radius add a line to
    // p1; without a current point the call only moves to p1.
    void addArcToPoint(CGPoint p1, CGPoint p2, double radius, const CGAffineTransform* t = nullptr);
    void addPath(const CGPath& path, const CGAffineTransform* t = nullptr);

    // The path with every point transformed.
    CGPath transformed(const CGAffineTransform& t) const;

    bool operator==(const CGPath& o) const { return elements_ == o.elements_; }

private:
    void addArcSegments(CGPoint center, double radius, double start, double sweep, const CGAffineTransform* t);

    std::vector<CGPathElement> elements_;
    CGPoint current_;
    CGPoint subpathStart_;
};

}  // namespace brindlecue::platform
