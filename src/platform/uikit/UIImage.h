#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Value.h"
#include "platform/uikit/Geometry.h"
#include "platform/uikit/NSObject.h"
#include "platform/uikit/UIColor.h"

namespace brindlecue::platform {

class CGContext;
class CGImage;
enum class CGBlendMode;

enum class UIImageRenderingMode { Automatic, AlwaysOriginal, AlwaysTemplate };

// How the bitmap is turned for display, with the platform's numbering.
enum class UIImageOrientation {
    Up = 0,
    Down = 1,
    Left = 2,
    Right = 3,
    UpMirrored = 4,
    DownMirrored = 5,
    LeftMirrored = 6,
    RightMirrored = 7
};

// The orientation of an EXIF orientation value (1 to 8; others are Up), and back.
UIImageOrientation UIImageOrientationFromEXIF(int exif);
int EXIFFromUIImageOrientation(UIImageOrientation orientation);

// An image as views hold it: size in points, scale, orientation, rendering mode, and for
// animated images the frames and total duration. An image made from a bitmap (cgImage) draws;
// a record made with a size only does not. The opaque payload is free for the imaging layer.
class UIImage : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIImage)

    UIImage() = default;
    explicit UIImage(CGSize size, double scale = 1, std::string name = {})
        : size_(size), scale_(scale), name_(std::move(name)) {}

    // A bitmap image: its size is the pixel size over the scale, turned by the orientation.
    static std::shared_ptr<UIImage> imageWithCGImage(std::shared_ptr<const CGImage> image, double scale = 1,
                                                     UIImageOrientation orientation = UIImageOrientation::Up);
    // The first image of PNG, JPEG or GIF data, turned as its EXIF orientation says; nothing
    // when the data cannot be decoded.
    static std::shared_ptr<UIImage> imageWithData(const Data& data, double scale = 1);
    static std::shared_ptr<UIImage> animatedImageWithImages(std::vector<std::shared_ptr<UIImage>> images,
                                                            double duration);

    CGSize size() const { return size_; }
    double scale() const { return scale_; }
    const std::string& name() const { return name_; }
    UIImageRenderingMode renderingMode() const { return renderingMode_; }
    UIImageOrientation imageOrientation() const { return orientation_; }
    // The bitmap; for an animated image, its first frame's.
    const std::shared_ptr<const CGImage>& cgImage() const { return cgImage_; }
    // A copy that shares the payload with another rendering mode.
    std::shared_ptr<UIImage> imageWithRenderingMode(UIImageRenderingMode mode) const;
    // The image's shape (its alpha) filled with the colour, at the same size and scale.
    std::shared_ptr<UIImage> imageWithTintColor(const UIColor& color) const;
    const std::vector<std::shared_ptr<UIImage>>& images() const { return images_; }
    double duration() const { return duration_; }

    // Draw into the current UIKit context, upright and turned by the orientation.
    void drawInRect(const CGRect& rect) const;
    void drawInRect(const CGRect& rect, CGBlendMode blendMode, double alpha) const;
    // The same into the given context (a UIKit context: y down).
    void drawInRect(CGContext& context, const CGRect& rect, CGBlendMode blendMode, double alpha) const;
    void drawAtPoint(CGPoint point) const;

    const std::shared_ptr<void>& payload() const { return payload_; }
    void setPayload(std::shared_ptr<void> payload) { payload_ = std::move(payload); }

private:
    CGSize size_;
    double scale_ = 1;
    std::string name_;
    UIImageRenderingMode renderingMode_ = UIImageRenderingMode::Automatic;
    UIImageOrientation orientation_ = UIImageOrientation::Up;
    std::shared_ptr<const CGImage> cgImage_;
    std::vector<std::shared_ptr<UIImage>> images_;
    double duration_ = 0;
    std::shared_ptr<void> payload_;
};

// PNG data of the bitmap (the orientation is not applied); JPEG data at a quality from 0 to 1
// that records the orientation. Nothing for an image without a bitmap.
std::optional<Data> UIImagePNGRepresentation(const std::shared_ptr<UIImage>& image);
std::optional<Data> UIImageJPEGRepresentation(const std::shared_ptr<UIImage>& image, double quality);

}  // namespace brindlecue::platform
