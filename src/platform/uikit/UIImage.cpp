#include "platform/uikit/UIImage.h"

namespace brindlecue::platform {

std::shared_ptr<UIImage> UIImage::animatedImageWithImages(std::vector<std::shared_ptr<UIImage>> images,
                                                          double duration) {
    if (images.empty() || !images.front()) return nullptr;
    auto image = make<UIImage>(images.front()->size(), images.front()->scale());
    image->images_ = std::move(images);
    image->duration_ = duration;
    return image;
}

std::shared_ptr<UIImage> UIImage::imageWithRenderingMode(UIImageRenderingMode mode) const {
    auto copy = make<UIImage>(size_, scale_, name_);
    copy->renderingMode_ = mode;
    copy->images_ = images_;
    copy->duration_ = duration_;
    copy->payload_ = payload_;
    return copy;
}

}  // namespace brindlecue::platform
