#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "imaging/NSDataImageContentType.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

// An image's loop count, and decoding and encoding through the shared coders manager.
class UIImageMultiFormat {
public:
    // Kept on the image itself; 0 when never set.
    static uint64_t sd_imageLoopCount(const platform::UIImage& image);
    static void setSd_imageLoopCount(platform::UIImage& image, uint64_t loopCount);

    static std::shared_ptr<platform::UIImage> sd_imageWithData(const platform::Data& data);
    // Encoded as Undefined: PNG with alpha, JPEG without.
    static std::optional<platform::Data> sd_imageData(const std::shared_ptr<platform::UIImage>& image);
    static std::optional<platform::Data> sd_imageDataAsFormat(const std::shared_ptr<platform::UIImage>& image,
                                                              KJSDImageFormat format);

    // Gives the tip layer's utility its image making: bytes through the coders (decompressed, so
    // that showing them decodes nothing) and GIF addresses as animated images.
    static void registerWithTipUtil();
};

}  // namespace brindlecue
