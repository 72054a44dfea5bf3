#pragma once

#include <memory>

#include "platform/uikit/UIImage.h"

namespace brindlecue {

// GIF decoding through the GIF coder.
class UIImageGIF {
public:
    // An animated image (a still one for a single frame); nothing for empty or unreadable data.
    static std::shared_ptr<platform::UIImage> sd_animatedGIFWithData(const platform::Data& data);
    // True for an image with a frame list.
    static bool isGIF(const platform::UIImage& image);
};

}  // namespace brindlecue
