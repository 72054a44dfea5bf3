#include "imaging/UIImageMultiFormat.h"

#include "feed/KJTipUtil.h"
#include "imaging/KJSDWebImageCodersManager.h"
#include "imaging/UIImageAnimatedGIF.h"

namespace brindlecue {
namespace {
constexpr const char* kLoopCountKey = "sd_imageLoopCount";
}

uint64_t UIImageMultiFormat::sd_imageLoopCount(const platform::UIImage& image) {
    platform::Value stored = image.associatedValue(kLoopCountKey);
    return stored.isNumber() ? uint64_t(stored.integerValue()) : 0;
}

void UIImageMultiFormat::setSd_imageLoopCount(platform::UIImage& image, uint64_t loopCount) {
    image.setAssociatedValue(kLoopCountKey, platform::Value(static_cast<unsigned long long>(loopCount)));
}

std::shared_ptr<platform::UIImage> UIImageMultiFormat::sd_imageWithData(const platform::Data& data) {
    return KJSDWebImageCodersManager::sharedInstance()->decodedImageWithData(&data);
}

std::optional<platform::Data> UIImageMultiFormat::sd_imageData(const std::shared_ptr<platform::UIImage>& image) {
    return sd_imageDataAsFormat(image, KJSDImageFormat::Undefined);
}

std::optional<platform::Data> UIImageMultiFormat::sd_imageDataAsFormat(const std::shared_ptr<platform::UIImage>& image,
                                                                       KJSDImageFormat format) {
    return KJSDWebImageCodersManager::sharedInstance()->encodedDataWithImage(image, format);
}

void UIImageMultiFormat::registerWithTipUtil() {
    KJTipUtil::setImageDecoding(
        {[](const platform::Data& bytes) -> std::shared_ptr<platform::UIImage> {
             auto coders = KJSDWebImageCodersManager::sharedInstance();
             auto image = coders->decodedImageWithData(&bytes);
             if (!image) return nullptr;
             platform::Data data = bytes;
             return coders->decompressedImageWithImage(
                 image, &data,
                 platform::Value::dictionary({{KJSDWebImageCoderScaleDownLargeImagesKey, platform::Value(false)}}));
         },
         [](const std::string& url) { return UIImageAnimatedGIF::animatedImageWithAnimatedGIFURL(url); }});
}

}  // namespace brindlecue
