#pragma once

#include <memory>
#include <optional>

#include "imaging/NSDataImageContentType.h"
#include "platform/Value.h"

namespace brindlecue {

namespace platform {
class UIImage;
}

// Key of the decompression options: a true Boolean asks for images above the pixel limit to be
// scaled down while they are decompressed.
inline constexpr const char* KJSDWebImageCoderScaleDownLargeImagesKey = "scaleDownLargeImages";

// Turns bytes into images and images into bytes. A null data pointer stands for no data.
class KJSDWebImageCoder {
public:
    virtual ~KJSDWebImageCoder() = default;

    virtual bool canDecodeFromData(const platform::Data* data) = 0;
    virtual std::shared_ptr<platform::UIImage> decodedImageWithData(const platform::Data* data) = 0;
    // Draws the image into a bitmap so that it is not decoded again when shown. The coder may
    // replace the referenced data (with the bytes of a scaled-down image). Options: a dictionary,
    // see KJSDWebImageCoderScaleDownLargeImagesKey.
    virtual std::shared_ptr<platform::UIImage> decompressedImageWithImage(const std::shared_ptr<platform::UIImage>& image,
                                                                          platform::Data* data,
                                                                          const platform::Value& options) = 0;
    virtual bool canEncodeToFormat(KJSDImageFormat format) = 0;
    virtual std::optional<platform::Data> encodedDataWithImage(const std::shared_ptr<platform::UIImage>& image,
                                                               KJSDImageFormat format) = 0;
};

// A coder that also shows an image while its bytes arrive. It keeps state between calls, so each
// download uses an instance of its own.
class KJSDWebImageProgressiveCoder : public KJSDWebImageCoder {
public:
    virtual bool canIncrementallyDecodeFromData(const platform::Data* data) = 0;
    // All the bytes received so far and whether they are all; the image as far as it is decoded.
    virtual std::shared_ptr<platform::UIImage> incrementallyDecodedImageWithData(const platform::Data& data,
                                                                                 bool finished) = 0;
    // A new instance of the same coder, without state, for another download.
    virtual std::shared_ptr<KJSDWebImageProgressiveCoder> freshCoder() const = 0;
};

}  // namespace brindlecue
