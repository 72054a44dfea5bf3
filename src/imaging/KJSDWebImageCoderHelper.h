#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "imaging/KJSDWebImageFrame.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {

namespace platform {
class CGImage;
}

// Conversions between frame lists and the platform's animated images, and the EXIF orientation
// mapping.
class KJSDWebImageCoderHelper {
public:
    // The frames as one animated image that shows each for its duration: every frame is repeated
    // (its milliseconds / the greatest common divisor of all) times. Nothing for no frames.
    static std::shared_ptr<platform::UIImage> animatedImageWithFrames(
        const std::vector<std::shared_ptr<KJSDWebImageFrame>>& frames);
    // The frames of an animated image, runs of the same image merged; nothing for an image
    // without frames. An image of a single frame gives an empty list.
    static std::optional<std::vector<std::shared_ptr<KJSDWebImageFrame>>> framesFromAnimatedImage(
        const std::shared_ptr<platform::UIImage>& image);

    // EXIF 1 to 8 to the image orientation; any other value is Up.
    static platform::UIImageOrientation imageOrientationFromEXIFOrientation(int64_t exif);
    // The image orientation to EXIF; a code outside the list is 1.
    static int64_t exifOrientationFromImageOrientation(platform::UIImageOrientation orientation);
};

// True when the bitmap has an alpha channel; false for no bitmap.
bool SDCGImageRefContainsAlpha(const platform::CGImage* image);

}  // namespace brindlecue
