#include "imaging/KJSDWebImageImageIOCoder.h"

#include <algorithm>

#include "imaging/KJSDWebImageCoderHelper.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImageSource.h"

namespace brindlecue {

using platform::CGContext;
using platform::CGImage;
using platform::CGImageSource;
using platform::CGRect;
using platform::UIImage;

std::shared_ptr<KJSDWebImageImageIOCoder> KJSDWebImageImageIOCoder::sharedCoder() {
    static const auto coder = std::make_shared<KJSDWebImageImageIOCoder>();
    return coder;
}

bool KJSDWebImageImageIOCoder::canDecodeFromData(const platform::Data* data) {
    switch (NSDataImageContentType::sd_imageFormatForImageData(data ? *data : platform::Data())) {
        case KJSDImageFormat::WebP: return false;
        case KJSDImageFormat::HEIC: return canDecodeFromHEICFormat();
        default: return true;
    }
}

bool KJSDWebImageImageIOCoder::canIncrementallyDecodeFromData(const platform::Data* data) {
    return canDecodeFromData(data);
}

std::shared_ptr<UIImage> KJSDWebImageImageIOCoder::decodedImageWithData(const platform::Data* data) {
    if (!data || data->empty()) return nullptr;
    auto source = CGImageSource::createWithData(*data);
    if (!source) return nullptr;
    auto bitmap = source->imageAtIndex(0);
    // Data cut short (the source shows the rows that arrived) is no image: a partial picture
    // would pass for the whole one and be kept as such.
    if (!bitmap || !source->isComplete()) return nullptr;
    // The orientation comes from the same source that gave the bitmap.
    auto orientation = KJSDWebImageCoderHelper::imageOrientationFromEXIFOrientation(source->exifOrientation());
    return UIImage::imageWithCGImage(std::move(bitmap), 1, orientation);
}

std::shared_ptr<UIImage> KJSDWebImageImageIOCoder::incrementallyDecodedImageWithData(const platform::Data& data,
                                                                                     bool finished) {
    if (!imageSource_) imageSource_ = CGImageSource::createIncremental();
    imageSource_->updateData(data, finished);

    if (width_ + height_ == 0 && imageSource_->count() > 0) {
        height_ = size_t(std::max(0, imageSource_->pixelHeight()));
        width_ = size_t(std::max(0, imageSource_->pixelWidth()));
        orientation_ = KJSDWebImageCoderHelper::imageOrientationFromEXIFOrientation(imageSource_->exifOrientation());
    }

    std::shared_ptr<UIImage> image;
    if (width_ + height_ > 0) {
        auto partial = imageSource_->imageAtIndex(0);
        if (partial) {
            auto context = CGContext::createBitmap(int(width_), int(height_));
            if (context) {
                // The bitmap space has y up: the rows that arrived (the top of the image) go to
                // the top of the bitmap, and the rows still to come stay clear below them.
                double rows = partial->height();
                context->drawImage(CGRect(0, double(height_) - rows, double(width_), rows), *partial);
                partial = context->makeImage();
            } else {
                partial = nullptr;
            }
        }
        if (partial) image = UIImage::imageWithCGImage(std::move(partial), 1, orientation_);
    }
    if (finished) imageSource_.reset();
    return image;
}

std::shared_ptr<UIImage> KJSDWebImageImageIOCoder::decompressedImageWithImage(const std::shared_ptr<UIImage>& image,
                                                                              platform::Data* data,
                                                                              const platform::Value& options) {
    const platform::Value& scaleDown = options[KJSDWebImageCoderScaleDownLargeImagesKey];
    if (!(scaleDown.isNumber() && scaleDown.boolValue())) return sd_decompressedImageWithImage(image);
    auto scaled = sd_decompressedAndScaledDownImageWithImage(image);
    if (scaled && image && data && scaled->size() != image->size()) {
        // The kept bytes follow the image they stand for.
        auto format = NSDataImageContentType::sd_imageFormatForImageData(*data);
        if (auto bytes = encodedDataWithImage(scaled, format)) *data = std::move(*bytes);
    }
    return scaled;
}

bool KJSDWebImageImageIOCoder::canEncodeToFormat(KJSDImageFormat format) {
    switch (format) {
        case KJSDImageFormat::WebP: return false;
        case KJSDImageFormat::HEIC: return canEncodeToHEICFormat();
        default: return true;
    }
}

std::optional<platform::Data> KJSDWebImageImageIOCoder::encodedDataWithImage(const std::shared_ptr<UIImage>& image,
                                                                             KJSDImageFormat format) {
    if (!image || !image->cgImage()) return std::nullopt;
    const auto& bitmap = image->cgImage();
    if (format == KJSDImageFormat::Undefined)
        format = SDCGImageRefContainsAlpha(bitmap.get()) ? KJSDImageFormat::PNG : KJSDImageFormat::JPEG;
    int exif = int(KJSDWebImageCoderHelper::exifOrientationFromImageOrientation(image->imageOrientation()));
    switch (format) {
        case KJSDImageFormat::JPEG: return platform::CGImageEncodeJPEG(*bitmap, kDefaultJPEGQuality, exif);
        case KJSDImageFormat::PNG: return platform::CGImageEncodePNG(*bitmap);
        case KJSDImageFormat::GIF: return platform::CGImageEncodeGIF({{bitmap, 0}});
        case KJSDImageFormat::TIFF: return platform::CGImageEncodeTIFF(*bitmap, exif);
        default:
            // The platform has no image destination for the other types.
            return std::nullopt;
    }
}

bool KJSDWebImageImageIOCoder::shouldDecodeImage(const std::shared_ptr<UIImage>& image) {
    if (!image || !image->images().empty()) return false;
    return !SDCGImageRefContainsAlpha(image->cgImage().get());
}

bool KJSDWebImageImageIOCoder::shouldScaleDownImage(const std::shared_ptr<UIImage>& image) {
    if (!image || !image->cgImage()) return false;
    float pixels = float(image->cgImage()->width()) * float(image->cgImage()->height());
    return float(kDestinationTotalPixels) / pixels < 1;
}

bool KJSDWebImageImageIOCoder::canDecodeFromHEICFormat() {
    // Whether the platform's image source reads HEIC here is a fact of the process.
    static const bool canDecode = [] {
        const auto types = CGImageSource::readableTypeIdentifiers();
        return std::find(types.begin(), types.end(), "public.heic") != types.end();
    }();
    return canDecode;
}

bool KJSDWebImageImageIOCoder::canEncodeToHEICFormat() {
    // There is no HEIC image destination on the platform.
    return false;
}

platform::UIImageOrientation KJSDWebImageImageIOCoder::sd_imageOrientationFromImageData(const platform::Data& data) {
    auto source = CGImageSource::createWithData(data);
    if (!source || source->count() == 0) return platform::UIImageOrientation::Up;
    return KJSDWebImageCoderHelper::imageOrientationFromEXIFOrientation(source->exifOrientation());
}

std::shared_ptr<UIImage> KJSDWebImageImageIOCoder::sd_decompressedImageWithImage(const std::shared_ptr<UIImage>& image) {
    if (!shouldDecodeImage(image) || !image->cgImage()) return image;
    const CGImage& bitmap = *image->cgImage();
    // An opaque bitmap: the image has no alpha.
    auto context = CGContext::createBitmap(bitmap.width(), bitmap.height(), true);
    if (!context) return image;
    context->drawImage(CGRect(0, 0, bitmap.width(), bitmap.height()), bitmap);
    auto drawn = context->makeImage();
    if (!drawn) return image;
    return UIImage::imageWithCGImage(std::move(drawn), image->scale(), image->imageOrientation());
}

std::shared_ptr<UIImage> KJSDWebImageImageIOCoder::sd_decompressedAndScaledDownImageWithImage(
    const std::shared_ptr<UIImage>& image) {
    if (!shouldDecodeImage(image) || !image->cgImage()) return image;
    if (!shouldScaleDownImage(image)) return sd_decompressedImageWithImage(image);

    const CGImage& source = *image->cgImage();
    const float width = float(source.width()), height = float(source.height());
    // The factor applies to each side.
    const float scale = float(kDestinationTotalPixels) / (width * height);
    const int destinationWidth = int(width * scale), destinationHeight = int(height * scale);
    auto context = CGContext::createBitmap(destinationWidth, destinationHeight, true);
    if (!context) return image;
    context->setInterpolationQuality(platform::CGInterpolationQuality::High);

    // Full-width bands of tileRows rows, each reaching overlapRows into the next so that no seam
    // shows between them.
    const int tileRows = std::max(1, int(float(kTileTotalPixels) / width));
    const int overlapRows = int((float(kDestinationSeamOverlap) / float(destinationHeight)) * height);
    const int rows = source.height();
    const int steps = rows / tileRows + (rows % tileRows != 0 ? 1 : 0);
    for (int y = 0; y < steps; ++y) {
        // Each band starts at its own first row; its destination is its rows times the scale,
        // counted from the top (the bitmap space has y up).
        auto band = source.cropping(CGRect(0, double(y) * tileRows, width, double(tileRows + overlapRows)));
        if (!band) return image;
        const double top = double(float(y * tileRows) * scale);
        const double bandHeight = double(float(band->height()) * scale);
        context->drawImage(CGRect(0, destinationHeight - top - bandHeight, destinationWidth, bandHeight), *band);
    }
    auto drawn = context->makeImage();
    if (!drawn) return image;
    return UIImage::imageWithCGImage(std::move(drawn), image->scale(), image->imageOrientation());
}

}  // namespace brindlecue
