#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/Geometry.h"
#include "platform/uikit/NSObject.h"

namespace brindlecue::platform {

enum class UIImageRenderingMode { Automatic, AlwaysOriginal, AlwaysTemplate };

// An image as views hold it: size in points, scale, rendering mode, and for animated images the
// frames and total duration. The pixels are an opaque payload that the imaging layer fills and
// reads; views never look inside it.
class UIImage : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UIImage)

    UIImage() = default;
    explicit UIImage(CGSize size, double scale = 1, std::string name = {})
        : size_(size), scale_(scale), name_(std::move(name)) {}

    static std::shared_ptr<UIImage> animatedImageWithImages(std::vector<std::shared_ptr<UIImage>> images,
                                                            double duration);

    CGSize size() const { return size_; }
    double scale() const { return scale_; }
    const std::string& name() const { return name_; }
    UIImageRenderingMode renderingMode() const { return renderingMode_; }
    // A copy that shares the payload with another rendering mode.
    std::shared_ptr<UIImage> imageWithRenderingMode(UIImageRenderingMode mode) const;
    const std::vector<std::shared_ptr<UIImage>>& images() const { return images_; }
    double duration() const { return duration_; }

    const std::shared_ptr<void>& payload() const { return payload_; }
    void setPayload(std::shared_ptr<void> payload) { payload_ = std::move(payload); }

private:
    CGSize size_;
    double scale_ = 1;
    std::string name_;
    UIImageRenderingMode renderingMode_ = UIImageRenderingMode::Automatic;
    std::vector<std::shared_ptr<UIImage>> images_;
    double duration_ = 0;
    std::shared_ptr<void> payload_;
};

}  // namespace brindlecue::platform
