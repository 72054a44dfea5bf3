#include "platform/graphics/CGImage.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/CGContext.h"

namespace brindlecue::platform {

uint32_t premultiply(RGBA8 p) {
    auto mul = [&](uint8_t c) { return uint32_t((c * p.a + 127) / 255); };
    return (uint32_t(p.a) << 24) | (mul(p.r) << 16) | (mul(p.g) << 8) | mul(p.b);
}

RGBA8 unpremultiply(uint32_t argb) {
    uint8_t a = argb >> 24;
    if (a == 0) return {0, 0, 0, 0};
    auto un = [&](uint32_t c) { return uint8_t(std::min<uint32_t>(255, (c * 255 + a / 2) / a)); };
    return {un((argb >> 16) & 0xFF), un((argb >> 8) & 0xFF), un(argb & 0xFF), a};
}

CGImage::CGImage(int width, int height, std::vector<uint32_t> pixels, bool hasAlpha)
    : width_(width), height_(height), hasAlpha_(hasAlpha), pixels_(std::move(pixels)) {}

std::shared_ptr<const CGImage> CGImage::fromPremultipliedARGB(int width, int height, std::vector<uint32_t> pixels,
                                                              bool hasAlpha) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return nullptr;
    if (pixels.size() != size_t(width) * size_t(height)) return nullptr;
    return std::make_shared<const CGImage>(width, height, std::move(pixels), hasAlpha);
}

std::shared_ptr<const CGImage> CGImage::fromRGBA(int width, int height, const std::vector<RGBA8>& pixels) {
    if (pixels.size() != size_t(std::max(width, 0)) * size_t(std::max(height, 0))) return nullptr;
    std::vector<uint32_t> words(pixels.size());
    bool alpha = false;
    for (size_t i = 0; i < pixels.size(); ++i) {
        words[i] = premultiply(pixels[i]);
        alpha = alpha || pixels[i].a != 255;
    }
    return fromPremultipliedARGB(width, height, std::move(words), alpha);
}

RGBA8 CGImage::pixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    return unpremultiply(pixels_[size_t(y) * width_ + x]);
}

std::vector<RGBA8> CGImage::rgbaPixels() const {
    std::vector<RGBA8> out(pixels_.size());
    std::transform(pixels_.begin(), pixels_.end(), out.begin(), unpremultiply);
    return out;
}

std::shared_ptr<const CGImage> CGImage::cropping(const CGRect& rect) const {
    CGRect r = rect.standardized().intersection(CGRect(0, 0, width_, height_));
    if (r.isNull() || r.isEmpty()) return nullptr;
    int x0 = int(std::floor(r.minX())), y0 = int(std::floor(r.minY()));
    int x1 = int(std::ceil(r.maxX())), y1 = int(std::ceil(r.maxY()));
    std::vector<uint32_t> out;
    out.reserve(size_t(x1 - x0) * size_t(y1 - y0));
    for (int y = y0; y < y1; ++y) {
        auto row = pixels_.begin() + ptrdiff_t(y) * width_;
        out.insert(out.end(), row + x0, row + x1);
    }
    return fromPremultipliedARGB(x1 - x0, y1 - y0, std::move(out), hasAlpha_);
}

std::shared_ptr<const CGImage> CGImage::scaled(int width, int height) const {
    auto ctx = CGContext::createBitmap(width, height, !hasAlpha_);
    if (!ctx) return nullptr;
    ctx->setInterpolationQuality(CGInterpolationQuality::High);
    ctx->drawImage(CGRect(0, 0, width, height), *this);
    return ctx->makeImage();
}

}  // namespace brindlecue::platform
