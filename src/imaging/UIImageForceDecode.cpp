#include "imaging/UIImageForceDecode.h"

#include "imaging/KJSDWebImageCodersManager.h"

namespace brindlecue {
namespace {

std::shared_ptr<platform::UIImage> decompress(const std::shared_ptr<platform::UIImage>& image, bool scaleDown) {
    if (!image) return nullptr;
    platform::Value options = platform::Value::dictionary({{KJSDWebImageCoderScaleDownLargeImagesKey, scaleDown}});
    return KJSDWebImageCodersManager::sharedInstance()->decompressedImageWithImage(image, nullptr, options);
}

}  // namespace

std::shared_ptr<platform::UIImage> UIImageForceDecode::decodedImageWithImage(
    const std::shared_ptr<platform::UIImage>& image) {
    return decompress(image, false);
}

std::shared_ptr<platform::UIImage> UIImageForceDecode::decodedAndScaledDownImageWithImage(
    const std::shared_ptr<platform::UIImage>& image) {
    return decompress(image, true);
}

}  // namespace brindlecue
