#include "imaging/UIImageKJFLAnimatedImage.h"

#include "imaging/KJFLAnimatedImage.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

namespace {
constexpr const char* kAnimatedImageKey = "sd_KJFLAnimatedImage";
}

std::shared_ptr<KJFLAnimatedImage> UIImageKJFLAnimatedImage::sd_KJFLAnimatedImage(const platform::UIImage& image) {
    return image.associatedObject<KJFLAnimatedImage>(kAnimatedImageKey);
}

void UIImageKJFLAnimatedImage::setSd_KJFLAnimatedImage(platform::UIImage& image,
                                                       std::shared_ptr<KJFLAnimatedImage> animatedImage) {
    image.setAssociatedObject(kAnimatedImageKey, std::move(animatedImage));
}

}  // namespace brindlecue
