#pragma once

#include <memory>

#include "platform/uikit/UIImage.h"

namespace brindlecue {

// One frame of an animated image and how long it shows, in seconds.
class KJSDWebImageFrame {
public:
    static std::shared_ptr<KJSDWebImageFrame> frameWithImage(std::shared_ptr<platform::UIImage> image, double duration) {
        return std::make_shared<KJSDWebImageFrame>(std::move(image), duration);
    }
    KJSDWebImageFrame(std::shared_ptr<platform::UIImage> image, double duration)
        : image_(std::move(image)), duration_(duration) {}

    const std::shared_ptr<platform::UIImage>& image() const { return image_; }
    double duration() const { return duration_; }

private:
    std::shared_ptr<platform::UIImage> image_;
    double duration_;
};

}  // namespace brindlecue
