#include "imaging/KJSDWebImageGIFCoder.h"

#include "imaging/KJSDWebImageCoderHelper.h"
#include "imaging/UIImageMultiFormat.h"
#include "platform/graphics/CGImageSource.h"

namespace brindlecue {

using platform::UIImage;

std::shared_ptr<KJSDWebImageGIFCoder> KJSDWebImageGIFCoder::sharedCoder() {
    static const auto coder = std::make_shared<KJSDWebImageGIFCoder>();
    return coder;
}

bool KJSDWebImageGIFCoder::canDecodeFromData(const platform::Data* data) {
    return data && NSDataImageContentType::sd_imageFormatForImageData(*data) == KJSDImageFormat::GIF;
}

std::shared_ptr<UIImage> KJSDWebImageGIFCoder::decodedImageWithData(const platform::Data* data) {
    if (!data || data->empty()) return nullptr;
    auto source = platform::CGImageSource::createWithData(*data);
    if (!source) return nullptr;
    size_t count = source->count();
    if (count <= 1) return UIImage::imageWithData(*data);

    std::vector<std::shared_ptr<KJSDWebImageFrame>> frames;
    for (size_t i = 0; i < count; ++i) {
        auto bitmap = source->imageAtIndex(i);
        if (!bitmap) continue;
        frames.push_back(KJSDWebImageFrame::frameWithImage(UIImage::imageWithCGImage(std::move(bitmap)),
                                                           sd_frameDurationAtIndex(i, *source)));
    }
    auto animated = KJSDWebImageCoderHelper::animatedImageWithFrames(frames);
    if (animated) UIImageMultiFormat::setSd_imageLoopCount(*animated, source->loopCount().value_or(1));
    return animated;
}

double KJSDWebImageGIFCoder::sd_frameDurationAtIndex(size_t index, const platform::CGImageSource& source) {
    double duration = source.delayAtIndex(index).value_or(0.1);
    // Browsers and the platform show very short delays at 0.1 s.
    return duration < 0.011 ? 0.1 : duration;
}

std::shared_ptr<UIImage> KJSDWebImageGIFCoder::decompressedImageWithImage(const std::shared_ptr<UIImage>& image,
                                                                          platform::Data*, const platform::Value&) {
    return image;
}

bool KJSDWebImageGIFCoder::canEncodeToFormat(KJSDImageFormat format) {
    return format == KJSDImageFormat::GIF;
}

std::optional<platform::Data> KJSDWebImageGIFCoder::encodedDataWithImage(const std::shared_ptr<UIImage>& image,
                                                                         KJSDImageFormat format) {
    if (!image || format != KJSDImageFormat::GIF) return std::nullopt;
    auto frames = KJSDWebImageCoderHelper::framesFromAnimatedImage(image);
    if (!frames || frames->empty()) {
        if (!image->cgImage()) return std::nullopt;
        return platform::CGImageEncodeGIF({{image->cgImage(), 0}});
    }
    std::vector<platform::CGImageGIFFrame> out;
    for (const auto& frame : *frames) {
        if (!frame->image() || !frame->image()->cgImage()) return std::nullopt;
        out.push_back({frame->image()->cgImage(), frame->duration()});
    }
    return platform::CGImageEncodeGIF(out, unsigned(UIImageMultiFormat::sd_imageLoopCount(*image)));
}

}  // namespace brindlecue
