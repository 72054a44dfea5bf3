#pragma once

#include <memory>

#include "imaging/KJSDWebImageCoder.h"

namespace brindlecue {

namespace platform {
class CGImageSource;
}

// Decodes GIF data into an animated image (frames with their delays and the loop count) and
// encodes animated images as GIF. Not in the coders list: only UIImageGIF uses it.
class KJSDWebImageGIFCoder final : public KJSDWebImageCoder {
public:
    static std::shared_ptr<KJSDWebImageGIFCoder> sharedCoder();

    bool canDecodeFromData(const platform::Data* data) override;
    // A still image for a GIF of at most one frame; else an animated image whose loop count
    // (UIImageMultiFormat) is the GIF's, 1 when the GIF does not say.
    std::shared_ptr<platform::UIImage> decodedImageWithData(const platform::Data* data) override;
    // The image unchanged.
    std::shared_ptr<platform::UIImage> decompressedImageWithImage(const std::shared_ptr<platform::UIImage>& image,
                                                                  platform::Data* data,
                                                                  const platform::Value& options) override;
    bool canEncodeToFormat(KJSDImageFormat format) override;
    std::optional<platform::Data> encodedDataWithImage(const std::shared_ptr<platform::UIImage>& image,
                                                       KJSDImageFormat format) override;

    // The frame's delay in seconds: as written, 0.1 s when there is none, and 0.1 s for anything
    // below 0.011 s.
    static double sd_frameDurationAtIndex(size_t index, const platform::CGImageSource& source);
};

}  // namespace brindlecue
