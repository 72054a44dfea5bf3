#include "imaging/KJSDScaledImageForKey.h"

#include <map>

#include "imaging/UIImageMultiFormat.h"

namespace brindlecue {

std::shared_ptr<platform::UIImage> KJSDScaledImageForKey(const std::string& key,
                                                         const std::shared_ptr<platform::UIImage>& image) {
    if (!image) return nullptr;
    if (!image->images().empty()) {
        std::vector<std::shared_ptr<platform::UIImage>> frames;
        frames.reserve(image->images().size());
        // A frame repeated in the list stays one image, so that the repeats can still be told apart.
        std::map<const platform::UIImage*, std::shared_ptr<platform::UIImage>> done;
        for (const auto& frame : image->images()) {
            auto& scaled = done[frame.get()];
            if (!scaled) scaled = KJSDScaledImageForKey(key, frame);
            if (scaled) frames.push_back(scaled);
        }
        auto animated = platform::UIImage::animatedImageWithImages(std::move(frames), image->duration());
        if (animated) UIImageMultiFormat::setSd_imageLoopCount(*animated, UIImageMultiFormat::sd_imageLoopCount(*image));
        return animated;
    }
    double scale = 1;
    if (key.size() >= 8) {
        if (key.find("@3x.") != std::string::npos)
            scale = 3;
        else if (key.find("@2x.") != std::string::npos)
            scale = 2;
    }
    return platform::UIImage::imageWithCGImage(image->cgImage(), scale, image->imageOrientation());
}

}  // namespace brindlecue
