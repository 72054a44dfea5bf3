#pragma once

#include <memory>

namespace brindlecue {

namespace platform {
class UIImage;
}
class KJFLAnimatedImage;

// The animated image built from the data a still image was decoded from, kept on that image so
// that an image served again from the memory cache plays at once.
class UIImageKJFLAnimatedImage {
public:
    static std::shared_ptr<KJFLAnimatedImage> sd_KJFLAnimatedImage(const platform::UIImage& image);
    static void setSd_KJFLAnimatedImage(platform::UIImage& image, std::shared_ptr<KJFLAnimatedImage> animatedImage);
};

}  // namespace brindlecue
