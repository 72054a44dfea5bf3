#include "platform/uikit/UIImage.h"

#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/uikit/UIGraphics.h"

namespace brindlecue::platform {
namespace {

// Maps the bitmap's unit square (y down) onto the displayed unit square.
CGAffineTransform orientationTransform(UIImageOrientation o) {
    switch (o) {
        case UIImageOrientation::Up: return {1, 0, 0, 1, 0, 0};
        case UIImageOrientation::Down: return {-1, 0, 0, -1, 1, 1};
        case UIImageOrientation::Left: return {0, -1, 1, 0, 0, 1};
        case UIImageOrientation::Right: return {0, 1, -1, 0, 1, 0};
        case UIImageOrientation::UpMirrored: return {-1, 0, 0, 1, 1, 0};
        case UIImageOrientation::DownMirrored: return {1, 0, 0, -1, 0, 1};
        // Exif 5: the bitmap transposed (its first row becomes the left column, top down).
        case UIImageOrientation::LeftMirrored: return {0, 1, 1, 0, 0, 0};
        // Exif 7: transposed the other way (its first row becomes the right column, bottom up).
        case UIImageOrientation::RightMirrored: return {0, -1, -1, 0, 1, 1};
    }
    return {};
}

bool turnsSideways(UIImageOrientation o) {
    return o == UIImageOrientation::Left || o == UIImageOrientation::Right || o == UIImageOrientation::LeftMirrored ||
           o == UIImageOrientation::RightMirrored;
}

}  // namespace

UIImageOrientation UIImageOrientationFromEXIF(int exif) {
    switch (exif) {
        case 2: return UIImageOrientation::UpMirrored;
        case 3: return UIImageOrientation::Down;
        case 4: return UIImageOrientation::DownMirrored;
        case 5: return UIImageOrientation::LeftMirrored;
        case 6: return UIImageOrientation::Right;
        case 7: return UIImageOrientation::RightMirrored;
        case 8: return UIImageOrientation::Left;
        default: return UIImageOrientation::Up;
    }
}

int EXIFFromUIImageOrientation(UIImageOrientation o) {
    switch (o) {
        case UIImageOrientation::Up: return 1;
        case UIImageOrientation::UpMirrored: return 2;
        case UIImageOrientation::Down: return 3;
        case UIImageOrientation::DownMirrored: return 4;
        case UIImageOrientation::LeftMirrored: return 5;
        case UIImageOrientation::Right: return 6;
        case UIImageOrientation::RightMirrored: return 7;
        case UIImageOrientation::Left: return 8;
    }
    return 1;
}

std::shared_ptr<UIImage> UIImage::imageWithCGImage(std::shared_ptr<const CGImage> cg, double scale,
                                                   UIImageOrientation orientation) {
    if (!cg) return nullptr;
    if (!(scale > 0)) scale = 1;
    CGSize size{cg->width() / scale, cg->height() / scale};
    if (turnsSideways(orientation)) std::swap(size.width, size.height);
    auto image = make<UIImage>(size, scale);
    image->cgImage_ = std::move(cg);
    image->orientation_ = orientation;
    return image;
}

std::shared_ptr<UIImage> UIImage::imageWithData(const Data& data, double scale) {
    auto source = CGImageSource::createWithData(data);
    if (!source) return nullptr;
    auto cg = source->imageAtIndex(0);
    if (!cg) return nullptr;
    return imageWithCGImage(std::move(cg), scale, UIImageOrientationFromEXIF(source->exifOrientation()));
}

std::shared_ptr<UIImage> UIImage::animatedImageWithImages(std::vector<std::shared_ptr<UIImage>> images,
                                                          double duration) {
    if (images.empty() || !images.front()) return nullptr;
    auto image = make<UIImage>(images.front()->size(), images.front()->scale());
    image->cgImage_ = images.front()->cgImage_;
    image->orientation_ = images.front()->orientation_;
    image->images_ = std::move(images);
    image->duration_ = duration;
    return image;
}

std::shared_ptr<UIImage> UIImage::imageWithRenderingMode(UIImageRenderingMode mode) const {
    auto copy = make<UIImage>(size_, scale_, name_);
    copy->renderingMode_ = mode;
    copy->orientation_ = orientation_;
    copy->cgImage_ = cgImage_;
    copy->images_ = images_;
    copy->duration_ = duration_;
    copy->payload_ = payload_;
    return copy;
}

std::shared_ptr<UIImage> UIImage::imageWithTintColor(const UIColor& color) const {
    if (!cgImage_) return nullptr;
    auto ctx = CGContext::createImageContext(size_, false, scale_);
    if (!ctx) return nullptr;
    UIGraphicsPushContext(ctx);
    CGRect rect(CGPoint{}, size_);
    drawInRect(rect);
    ctx->setBlendMode(CGBlendMode::SourceIn);
    ctx->setFillColor(color);
    ctx->fillRect(rect);
    UIGraphicsPopContext();
    auto tinted = imageWithCGImage(ctx->makeImage(), scale_);
    tinted->name_ = name_;
    tinted->renderingMode_ = UIImageRenderingMode::AlwaysOriginal;
    return tinted;
}

void UIImage::drawInRect(const CGRect& rect) const {
    drawInRect(rect, CGBlendMode::Normal, 1);
}

void UIImage::drawInRect(const CGRect& rect, CGBlendMode blendMode, double alpha) const {
    if (auto ctx = UIGraphicsGetCurrentContext()) drawInRect(*ctx, rect, blendMode, alpha);
}

void UIImage::drawInRect(CGContext& ctx, const CGRect& rect0, CGBlendMode blendMode, double alpha) const {
    if (!cgImage_) return;
    CGRect rect = rect0.standardized();
    if (rect.isEmpty()) return;
    ctx.saveGState();
    ctx.setBlendMode(blendMode);
    ctx.setAlpha(alpha);
    ctx.translateCTM(rect.minX(), rect.minY());
    ctx.scaleCTM(rect.width(), rect.height());
    ctx.concatCTM(orientationTransform(orientation_));
    // The bitmap space puts the top row at the top of a y-up rectangle: flip it upright.
    ctx.translateCTM(0, 1);
    ctx.scaleCTM(1, -1);
    ctx.drawImage(CGRect(0, 0, 1, 1), *cgImage_);
    ctx.restoreGState();
}

void UIImage::drawAtPoint(CGPoint point) const {
    drawInRect(CGRect(point, size_));
}

std::optional<Data> UIImagePNGRepresentation(const std::shared_ptr<UIImage>& image) {
    if (!image || !image->cgImage()) return std::nullopt;
    return CGImageEncodePNG(*image->cgImage());
}

std::optional<Data> UIImageJPEGRepresentation(const std::shared_ptr<UIImage>& image, double quality) {
    if (!image || !image->cgImage()) return std::nullopt;
    return CGImageEncodeJPEG(*image->cgImage(), quality, EXIFFromUIImageOrientation(image->imageOrientation()));
}

}  // namespace brindlecue::platform
