// Shared body of the decoder fuzz targets: decode the input whole and as a download cut at a
// few points, touching every pixel produced so that a bad bitmap shows up under the sanitisers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/graphics/CGImageSource.h"

namespace {

// A small cap keeps the fuzzer inside its memory limit; the cap logic is the same at any size.
constexpr uint64_t kFuzzMaxPixels = uint64_t(1) << 22;

unsigned touch(const std::shared_ptr<const brindlecue::platform::CGImage>& image) {
    if (!image) return 0;
    unsigned sum = 0;
    for (uint32_t p : image->premultipliedARGB()) sum += p;
    return sum + unsigned(image->width()) + unsigned(image->height());
}

void decodeOne(const uint8_t* data, size_t size) {
    using brindlecue::platform::CGImageSource;
    brindlecue::platform::Data bytes(data, data + size);
    volatile unsigned sink = 0;
    if (auto source = CGImageSource::createWithData(bytes, kFuzzMaxPixels)) {
        size_t count = source->count();
        for (size_t i = 0; i < count && i < 8; ++i) {
            sink = sink + touch(source->imageAtIndex(i));
            (void)source->delayAtIndex(i);
        }
        (void)source->loopCount();
        (void)source->exifOrientation();
    }
    auto partial = CGImageSource::createIncremental(kFuzzMaxPixels);
    for (size_t cut : {size / 3, size / 2, size - size / 8}) {
        partial->updateData(brindlecue::platform::Data(data, data + cut), false);
        if (partial->count() > 0) sink = sink + touch(partial->imageAtIndex(0));
    }
}

}  // namespace
