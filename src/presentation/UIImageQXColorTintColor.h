#pragma once

#include <memory>

#include "platform/uikit/Geometry.h"

namespace brindlecue {

namespace platform {
struct UIColor;
class UIImage;
}  // namespace platform

// Tinting and scaling of images for the launcher's icon, drawn one pixel per point whatever the
// screen. Main thread.
struct UIImageQXColorTintColor {
    // A new image of the receiver's size at scale 1: its shape (its alpha) filled with the colour.
    // None for an image without a bitmap.
    static std::shared_ptr<platform::UIImage> imageWithTint(const std::shared_ptr<platform::UIImage>& image,
                                                            const platform::UIColor& color);
    // The receiver drawn into a new image of the size, at scale 1.
    static std::shared_ptr<platform::UIImage> scaleToSize(const std::shared_ptr<platform::UIImage>& image,
                                                          platform::CGSize size);

    UIImageQXColorTintColor() = delete;
};

}  // namespace brindlecue
