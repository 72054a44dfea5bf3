#pragma once

#include <memory>

#include "imaging/KJSDWebImageCoder.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

namespace platform {
class CGImageSource;
}

// The coder on the platform's image I/O: decodes PNG, JPEG, GIF (the first frame), TIFF and, where
// the platform reads it, HEIC with their orientation, shows downloads in progress, decompresses
// into a bitmap (optionally scaling down images above kDestinationTotalPixels) and encodes (PNG,
// JPEG, GIF, TIFF).
//
// The shared instance keeps no state for whole decoding, decompressing and encoding and may be
// used from any thread; the state of incremental decoding belongs to one instance and one
// download at a time.
class KJSDWebImageImageIOCoder final : public KJSDWebImageProgressiveCoder {
public:
    // Images with more pixels are scaled down (60 MB at 4 bytes per pixel).
    static constexpr double kDestinationTotalPixels = 15728640;
    // Source pixels read per step of the scale-down (20 MB).
    static constexpr double kTileTotalPixels = 5242880;
    // Overlap of neighbouring tiles, in destination pixels.
    static constexpr double kDestinationSeamOverlap = 2.0;
    // JPEG quality where the caller sets none.
    static constexpr double kDefaultJPEGQuality = 0.75;

    static std::shared_ptr<KJSDWebImageImageIOCoder> sharedCoder();

    // Every format but WebP (and HEIC where the platform cannot read it), undefined included.
    bool canDecodeFromData(const platform::Data* data) override;
    bool canIncrementallyDecodeFromData(const platform::Data* data) override;
    // The image with the orientation its data records; nothing when the data cannot be read or
    // ends before the image does.
    std::shared_ptr<platform::UIImage> decodedImageWithData(const platform::Data* data) override;
    // The rows decoded so far drawn at the top of a bitmap of the full size, with scale 1 and the
    // orientation of the data; nothing until the size is known or a row is decoded.
    std::shared_ptr<platform::UIImage> incrementallyDecodedImageWithData(const platform::Data& data,
                                                                         bool finished) override;
    std::shared_ptr<KJSDWebImageProgressiveCoder> freshCoder() const override {
        return std::make_shared<KJSDWebImageImageIOCoder>();
    }
    std::shared_ptr<platform::UIImage> decompressedImageWithImage(const std::shared_ptr<platform::UIImage>& image,
                                                                  platform::Data* data,
                                                                  const platform::Value& options) override;
    bool canEncodeToFormat(KJSDImageFormat format) override;
    // Undefined becomes PNG for an image with alpha and JPEG otherwise; the orientation goes
    // into the data where the format keeps one.
    std::optional<platform::Data> encodedDataWithImage(const std::shared_ptr<platform::UIImage>& image,
                                                       KJSDImageFormat format) override;

    // False for no image, an animated image and an image with alpha.
    static bool shouldDecodeImage(const std::shared_ptr<platform::UIImage>& image);
    // True above kDestinationTotalPixels.
    static bool shouldScaleDownImage(const std::shared_ptr<platform::UIImage>& image);
    // Whether the platform's image source reads HEIC (an HEVC decoder is there); asked once.
    static bool canDecodeFromHEICFormat();
    // There is no HEIC encoder: false.
    static bool canEncodeToHEICFormat();
    // The orientation of the data's first image; Up when it records none or cannot be read.
    static platform::UIImageOrientation sd_imageOrientationFromImageData(const platform::Data& data);

    static std::shared_ptr<platform::UIImage> sd_decompressedImageWithImage(
        const std::shared_ptr<platform::UIImage>& image);
    static std::shared_ptr<platform::UIImage> sd_decompressedAndScaledDownImageWithImage(
        const std::shared_ptr<platform::UIImage>& image);

private:
    // Incremental decoding of one download.
    size_t width_ = 0;
    size_t height_ = 0;
    platform::UIImageOrientation orientation_ = platform::UIImageOrientation::Up;
    std::shared_ptr<platform::CGImageSource> imageSource_;
};

}  // namespace brindlecue
