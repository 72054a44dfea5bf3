#pragma once

#include <memory>

#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGPath.h"
#include "platform/uikit/NSObject.h"
#include "platform/uikit/UIColor.h"

namespace brindlecue::platform {

// A path with its drawing attributes, drawn into the current UIKit context. Note the platform's
// clockwise flag here: true sweeps towards increasing angles (clockwise on a y-down screen), the
// opposite of CGPath::addArc's flag.
class UIBezierPath : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIBezierPath)

    UIBezierPath() = default;
    static std::shared_ptr<UIBezierPath> bezierPath();
    static std::shared_ptr<UIBezierPath> bezierPathWithRect(const CGRect& rect);
    static std::shared_ptr<UIBezierPath> bezierPathWithOvalInRect(const CGRect& rect);
    static std::shared_ptr<UIBezierPath> bezierPathWithRoundedRect(const CGRect& rect, double cornerRadius);
    static std::shared_ptr<UIBezierPath> bezierPathWithArcCenter(CGPoint center, double radius, double startAngle,
                                                                double endAngle, bool clockwise);
    static std::shared_ptr<UIBezierPath> bezierPathWithCGPath(const CGPath& path);

    const CGPath& cgPath() const { return path_; }
    void setCGPath(const CGPath& path) { path_ = path; }

    void moveToPoint(CGPoint p) { path_.moveToPoint(p); }
    void addLineToPoint(CGPoint p) { path_.addLineToPoint(p); }
    void addCurveToPoint(CGPoint end, CGPoint control1, CGPoint control2) {
        path_.addCurveToPoint(control1, control2, end);
    }
    void addQuadCurveToPoint(CGPoint end, CGPoint control) { path_.addQuadCurveToPoint(control, end); }
    void addArcWithCenter(CGPoint center, double radius, double startAngle, double endAngle, bool clockwise) {
        path_.addArc(center, radius, startAngle, endAngle, !clockwise);
    }
    void closePath() { path_.closeSubpath(); }
    void removeAllPoints() { path_ = {}; }
    void appendPath(const UIBezierPath& other) { path_.addPath(other.path_); }
    void applyTransform(const CGAffineTransform& t) { path_ = path_.transformed(t); }
    bool isEmpty() const { return path_.isEmpty(); }
    CGRect bounds() const { return path_.boundingBox(); }
    CGPoint currentPoint() const { return path_.currentPoint(); }

    double lineWidth = 1;
    CGLineCap lineCapStyle = CGLineCap::Butt;
    CGLineJoin lineJoinStyle = CGLineJoin::Miter;
    double miterLimit = 10;
    bool usesEvenOddFillRule = false;

    // Fill and stroke with the current context's fill and stroke colours.
    void fill() const;
    void stroke() const;
    // Intersects the current context's clip with the path.
    void addClip() const;

private:
    CGPath path_;
};

// Sets the current context's fill or stroke colour (UIColor's set, setFill, setStroke).
void UIColorSetFill(const UIColor& color);
void UIColorSetStroke(const UIColor& color);
void UIColorSet(const UIColor& color);

}  // namespace brindlecue::platform
