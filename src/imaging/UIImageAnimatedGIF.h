#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/UIImage.h"

namespace brindlecue {

namespace platform {
class CGImage;
class CGImageSource;
}  // namespace platform

// GIF data, or the GIF at an address, as one platform animated image: a list of frames shown at
// a uniform rate, each repeated as often as its delay asks, with the total duration. Delays are
// whole hundredths of a second; a frame without a usable delay counts as one hundredth.
class UIImageAnimatedGIF {
public:
    // Nothing when the data cannot be read.
    static std::shared_ptr<platform::UIImage> animatedImageWithAnimatedGIFData(const platform::Data& data);
    // Reads the address (a file, or http and https) before it returns: call it off the main thread.
    // Nothing when it cannot be read.
    static std::shared_ptr<platform::UIImage> animatedImageWithAnimatedGIFURL(const std::string& url);
};

// Nothing for no source.
std::shared_ptr<platform::UIImage> animatedImageWithAnimatedGIFReleasingImageSource(
    std::shared_ptr<platform::CGImageSource> source);
// A frame whose bitmap cannot be made is left out, with its delay.
std::shared_ptr<platform::UIImage> animatedImageWithAnimatedGIFImageSource(const platform::CGImageSource& source);
// Each bitmap repeated delay / (greatest common divisor of the delays) times; empty when there
// are no frames or every delay is 0.
std::vector<std::shared_ptr<platform::UIImage>> frameArray(
    size_t count, const std::vector<std::shared_ptr<const platform::CGImage>>& images,
    const std::vector<int32_t>& delayCentiseconds, int64_t totalCentiseconds);

}  // namespace brindlecue
