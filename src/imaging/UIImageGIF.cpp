#include "imaging/UIImageGIF.h"

#include "imaging/KJSDWebImageGIFCoder.h"

namespace brindlecue {

std::shared_ptr<platform::UIImage> UIImageGIF::sd_animatedGIFWithData(const platform::Data& data) {
    if (data.empty()) return nullptr;
    return KJSDWebImageGIFCoder::sharedCoder()->decodedImageWithData(&data);
}

bool UIImageGIF::isGIF(const platform::UIImage& image) {
    return !image.images().empty();
}

}  // namespace brindlecue
