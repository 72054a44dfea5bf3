#include "imaging/KJSDWebImageCoderHelper.h"

#include "platform/graphics/CGImage.h"

namespace brindlecue {
namespace {

// Euclid; a zero on either side gives the other.
uint64_t gcd(uint64_t a, uint64_t b) {
    while (a != 0) {
        uint64_t c = a;
        a = b % a;
        b = c;
    }
    return b;
}

}  // namespace

std::shared_ptr<platform::UIImage> KJSDWebImageCoderHelper::animatedImageWithFrames(
    const std::vector<std::shared_ptr<KJSDWebImageFrame>>& frames) {
    if (frames.empty()) return nullptr;
    std::vector<uint64_t> durations;
    durations.reserve(frames.size());
    for (const auto& frame : frames) {
        double ms = frame ? frame->duration() * 1000 : 0;
        durations.push_back(ms > 0 ? uint64_t(ms) : 0);
    }
    uint64_t divisor = durations.front();
    for (size_t i = 1; i < durations.size(); ++i) divisor = gcd(durations[i], divisor);

    std::vector<std::shared_ptr<platform::UIImage>> images;
    uint64_t total = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        total += durations[i];
        if (!frames[i] || !frames[i]->image()) continue;
        uint64_t repeats = divisor == 0 ? 1 : durations[i] / divisor;
        for (uint64_t r = 0; r < repeats; ++r) images.push_back(frames[i]->image());
    }
    return platform::UIImage::animatedImageWithImages(std::move(images), double(float(total) / 1000.f));
}

std::optional<std::vector<std::shared_ptr<KJSDWebImageFrame>>> KJSDWebImageCoderHelper::framesFromAnimatedImage(
    const std::shared_ptr<platform::UIImage>& image) {
    if (!image || image->images().empty()) return std::nullopt;
    const auto& images = image->images();
    double average = image->duration() / double(images.size());
    if (average == 0) average = 0.1;
    std::vector<std::shared_ptr<KJSDWebImageFrame>> frames;
    uint64_t repeats = 1;
    auto previous = images.front();
    for (size_t i = 1; i < images.size(); ++i) {
        if (images[i] == previous) {
            ++repeats;
        } else {
            frames.push_back(KJSDWebImageFrame::frameWithImage(previous, average * double(repeats)));
            repeats = 1;
        }
        previous = images[i];
        if (i == images.size() - 1) frames.push_back(KJSDWebImageFrame::frameWithImage(previous, average * double(repeats)));
    }
    return frames;
}

platform::UIImageOrientation KJSDWebImageCoderHelper::imageOrientationFromEXIFOrientation(int64_t exif) {
    return exif >= 1 && exif <= 8 ? platform::UIImageOrientationFromEXIF(int(exif)) : platform::UIImageOrientation::Up;
}

int64_t KJSDWebImageCoderHelper::exifOrientationFromImageOrientation(platform::UIImageOrientation orientation) {
    return platform::EXIFFromUIImageOrientation(orientation);
}

bool SDCGImageRefContainsAlpha(const platform::CGImage* image) {
    return image && image->hasAlpha();
}

}  // namespace brindlecue
