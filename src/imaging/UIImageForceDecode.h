#pragma once

#include <memory>

#include "platform/uikit/UIImage.h"

namespace brindlecue {

// Decompression of an image through the shared coders manager, without data.
class UIImageForceDecode {
public:
    static std::shared_ptr<platform::UIImage> decodedImageWithImage(const std::shared_ptr<platform::UIImage>& image);
    // Also scales down an image above the pixel limit.
    static std::shared_ptr<platform::UIImage> decodedAndScaledDownImageWithImage(
        const std::shared_ptr<platform::UIImage>& image);
};

}  // namespace brindlecue
