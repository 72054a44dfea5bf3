#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/uikit/Geometry.h"

namespace brindlecue::platform {

// One pixel as callers read and write it: 8-bit red, green, blue and alpha, not premultiplied.
struct RGBA8 {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    bool operator==(const RGBA8&) const = default;
};

// An immutable bitmap: width by height pixels, row 0 at the top. Pixels are kept premultiplied
// in 32-bit native-endian ARGB words (the drawing layer's own format), so drawing an image copies
// nothing. Images are shared (std::shared_ptr<const CGImage>).
class CGImage {
public:
    // Largest side accepted, in pixels (the drawing layer's limit).
    static constexpr int kMaxSide = 32767;

    // An image from premultiplied ARGB words, width * height of them; nothing when the sizes are
    // not positive, above kMaxSide or do not match the words.
    static std::shared_ptr<const CGImage> fromPremultipliedARGB(int width, int height,
                                                                 std::vector<uint32_t> pixels,
                                                                 bool hasAlpha = true);
    // An image from straight (not premultiplied) RGBA pixels, row by row.
    static std::shared_ptr<const CGImage> fromRGBA(int width, int height, const std::vector<RGBA8>& pixels);

    int width() const { return width_; }
    int height() const { return height_; }
    // False for an image known to be opaque (a JPEG, a PNG without alpha, an opaque context).
    bool hasAlpha() const { return hasAlpha_; }
    const std::vector<uint32_t>& premultipliedARGB() const { return pixels_; }
    // The pixel at (x, y), un-premultiplied; transparent black outside the image.
    RGBA8 pixelAt(int x, int y) const;
    std::vector<RGBA8> rgbaPixels() const;

    // The part of the image inside the rectangle (pixels; cut to the image, edges rounded out);
    // nothing when they do not meet.
    std::shared_ptr<const CGImage> cropping(const CGRect& rect) const;
    // The image drawn at another pixel size with smooth interpolation.
    std::shared_ptr<const CGImage> scaled(int width, int height) const;

    // Use fromPremultipliedARGB or fromRGBA.
    CGImage(int width, int height, std::vector<uint32_t> pixels, bool hasAlpha);

private:
    int width_;
    int height_;
    bool hasAlpha_;
    std::vector<uint32_t> pixels_;
};

using CGImagePtr = std::shared_ptr<const CGImage>;

// The premultiplied ARGB word of a straight pixel, and back.
uint32_t premultiply(RGBA8 p);
RGBA8 unpremultiply(uint32_t argb);

}  // namespace brindlecue::platform
