#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/graphics/CGImage.h"
#include "platform/graphics/CGPath.h"
#include "platform/uikit/Geometry.h"
#include "platform/uikit/UIColor.h"

namespace brindlecue::platform {

enum class CGLineCap { Butt, Round, Square };
enum class CGLineJoin { Miter, Round, Bevel };
enum class CGPathDrawingMode { Fill, EOFill, Stroke, FillStroke, EOFillStroke };
enum class CGInterpolationQuality { Default, None, Low, Medium, High };
// The blend modes the stand-in draws with; the numbers are the platform's.
enum class CGBlendMode {
    Normal = 0,
    Multiply = 1,
    Clear = 16,
    Copy = 17,
    SourceIn = 18,
    SourceOut = 19,
    SourceAtop = 20,
    DestinationOver = 21,
    DestinationIn = 22,
    DestinationOut = 23,
};

// Colours at locations from 0 to 1, in order.
struct CGGradient {
    std::vector<UIColor> colors;
    std::vector<double> locations;
    // Evenly spread locations when none are given; nothing when the lists differ in length or
    // there is no colour.
    static std::optional<CGGradient> create(std::vector<UIColor> colors, std::vector<double> locations = {});
};

enum CGGradientDrawingOptions : uint32_t {
    kCGGradientDrawsBeforeStartLocation = 1 << 0,
    kCGGradientDrawsAfterEndLocation = 1 << 1,
};

// A drawing context over a bitmap, as the platform's Core Graphics offers it: a graphics state
// (transform, colours, line settings, alpha, blend mode, shadow, clip) saved and restored as a
// stack, a current path built in user space, and painting operations.
//
// Two kinds of context exist. A bitmap context (createBitmap) has the platform's bitmap space:
// one unit per pixel with y pointing up from the bottom row. An image context (createImageContext)
// has UIKit's space: points with y pointing down, scaled to pixels by the context's scale.
// drawImage follows the platform: the image's top row goes to the rectangle's maximum y, so in
// an image context it appears upside down unless the caller flips (UIImage::drawInRect does).
//
// Shadows and alpha apply to each painting operation, or to a transparency layer as a whole.
// Shadow offsets and blur are in the context's base space (not affected by the transform).
class CGContext {
public:
    // Largest number of pixels a context may have.
    static constexpr int64_t kMaxPixels = int64_t(1) << 26;

    // Nothing when a side is not positive or the size is above the limits.
    static std::shared_ptr<CGContext> createBitmap(int width, int height, bool opaque = false);
    // A context of size * scale pixels (rounded up); nothing for an empty size or a non-positive scale.
    static std::shared_ptr<CGContext> createImageContext(CGSize size, bool opaque, double scale);

    ~CGContext();
    CGContext(const CGContext&) = delete;
    CGContext& operator=(const CGContext&) = delete;

    int pixelWidth() const;
    int pixelHeight() const;
    // Pixels per unit of the base space (1 for bitmap contexts).
    double scale() const;
    // The size of the base space (points for an image context).
    CGSize size() const;

    // ---- Graphics state
    void saveGState();
    void restoreGState();
    void translateCTM(double tx, double ty);
    void scaleCTM(double sx, double sy);
    void rotateCTM(double radians);
    void concatCTM(const CGAffineTransform& t);
    // User space to pixels.
    CGAffineTransform getCTM() const;
    void setFillColor(const UIColor& color);
    void setStrokeColor(const UIColor& color);
    UIColor fillColor() const;
    void setLineWidth(double width);
    void setLineCap(CGLineCap cap);
    void setLineJoin(CGLineJoin join);
    void setMiterLimit(double limit);
    void setAlpha(double alpha);
    void setBlendMode(CGBlendMode mode);
    void setInterpolationQuality(CGInterpolationQuality quality);
    void setShouldAntialias(bool antialias);
    // Offset and blur in base-space units; no colour (or a clear one) turns the shadow off.
    void setShadow(CGSize offset, double blur, std::optional<UIColor> color = UIColor(0, 0, 0, 1.0 / 3.0));

    // ---- Current path (user space at the time each element is added)
    void beginPath();
    void moveToPoint(CGPoint p);
    void addLineToPoint(CGPoint p);
    void addCurveToPoint(CGPoint c1, CGPoint c2, CGPoint end);
    void addQuadCurveToPoint(CGPoint control, CGPoint end);
    void addArc(CGPoint center, double radius, double startAngle, double endAngle, bool clockwise);
    void addArcToPoint(CGPoint p1, CGPoint p2, double radius);
    void addRect(const CGRect& rect);
    void addEllipseInRect(const CGRect& rect);
    void addPath(const CGPath& path);
    void closePath();
    bool isPathEmpty() const;
    CGPoint currentPoint() const;
    // The current path in today's user space.
    CGPath copyPath() const;

    // ---- Painting (each consumes the current path)
    void drawPath(CGPathDrawingMode mode);
    void fillPath() { drawPath(CGPathDrawingMode::Fill); }
    void eoFillPath() { drawPath(CGPathDrawingMode::EOFill); }
    void strokePath() { drawPath(CGPathDrawingMode::Stroke); }
    void fillRect(const CGRect& rect);
    void strokeRect(const CGRect& rect);
    // Makes the rectangle fully transparent, whatever the blend mode.
    void clearRect(const CGRect& rect);
    void fillEllipseInRect(const CGRect& rect);
    void strokeEllipseInRect(const CGRect& rect);
    // Intersects the clip with the current path (winding or even-odd rule).
    void clip();
    void eoClip();
    void clipToRect(const CGRect& rect);
    // The clip's bounding box in user space.
    CGRect clipBoundingBox() const;
    void drawImage(const CGRect& rect, const CGImage& image);
    void drawLinearGradient(const CGGradient& gradient, CGPoint start, CGPoint end, uint32_t options);
    void drawRadialGradient(const CGGradient& gradient, CGPoint startCenter, double startRadius,
                            CGPoint endCenter, double endRadius, uint32_t options);
    // Blurs what has been drawn under the rectangle (a Gaussian of the given deviation, in user
    // units), inside the clip: the backdrop of a visual effect. Of layers begun and not ended, only
    // the innermost one's drawing is taken in besides the context's own.
    void blurBackdrop(const CGRect& rect, double deviation);
    // Drawing until the matching end goes to a separate layer, which is then composited with
    // the alpha, blend mode and shadow in force at the begin.
    void beginTransparencyLayer();
    void endTransparencyLayer();

    // The pixels drawn so far.
    std::shared_ptr<const CGImage> makeImage() const;

    struct Impl;
    Impl& impl() { return *impl_; }

private:
    explicit CGContext(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

using CGContextPtr = std::shared_ptr<CGContext>;

}  // namespace brindlecue::platform
