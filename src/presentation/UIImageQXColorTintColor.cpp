#include "presentation/UIImageQXColorTintColor.h"

#include "platform/graphics/CGContext.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

using platform::CGRect;

std::shared_ptr<platform::UIImage> UIImageQXColorTintColor::imageWithTint(
    const std::shared_ptr<platform::UIImage>& image, const platform::UIColor& color) {
    if (!image || !image->cgImage()) return nullptr;
    const CGRect rect({0, 0}, image->size());
    if (rect.isEmpty()) return nullptr;
    platform::UIGraphicsBeginImageContextWithOptions(rect.size, false, 1);
    auto context = platform::UIGraphicsGetCurrentContext();
    image->drawInRect(rect);
    // Painting only where the image is: its alpha is the mask.
    context->setBlendMode(platform::CGBlendMode::SourceIn);
    context->setFillColor(color);
    context->fillRect(rect);
    auto tinted = platform::UIGraphicsGetImageFromCurrentImageContext();
    platform::UIGraphicsEndImageContext();
    return tinted;
}

std::shared_ptr<platform::UIImage> UIImageQXColorTintColor::scaleToSize(
    const std::shared_ptr<platform::UIImage>& image, platform::CGSize size) {
    if (!image || size.width <= 0 || size.height <= 0) return nullptr;
    platform::UIGraphicsBeginImageContextWithOptions(size, false, 1);
    image->drawInRect(CGRect({0, 0}, size));
    auto scaled = platform::UIGraphicsGetImageFromCurrentImageContext();
    platform::UIGraphicsEndImageContext();
    return scaled;
}

}  // namespace brindlecue
