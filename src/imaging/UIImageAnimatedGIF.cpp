#include "imaging/UIImageAnimatedGIF.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/dispatch/DispatchSemaphore.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLSession.h"
#include "platform/graphics/CGImageSource.h"

namespace brindlecue {
namespace {

// Euclid; a zero on either side gives the other.
int64_t gcd(int64_t a, int64_t b) {
    while (b != 0) {
        int64_t r = a % b;
        a = b;
        b = r;
    }
    return a;
}

// The bytes at the address, read before returning; nothing when they cannot be had.
std::optional<platform::Data> contentsOfURL(const std::string& text) {
    auto url = platform::URL::fromString(text);
    if (!url) return std::nullopt;
    if (url->isFileURL()) {
        std::ifstream in(url->path(), std::ios::binary);
        if (!in) return std::nullopt;
        return platform::Data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    auto done = std::make_shared<platform::DispatchSemaphore>(0);
    auto bytes = std::make_shared<std::optional<platform::Data>>();
    auto task = platform::URLSession::shared()->dataTaskWithURL(
        *url, [done, bytes](std::optional<platform::Data> data, std::shared_ptr<platform::URLResponse> response,
                            std::optional<platform::Error> error) {
            // An error page is no image.
            auto http = std::dynamic_pointer_cast<platform::HTTPURLResponse>(response);
            bool ok = !http || (http->statusCode() >= 200 && http->statusCode() < 300);
            if (!error && ok) *bytes = std::move(data);
            done->signal();
        });
    task->resume();
    done->wait();
    return std::move(*bytes);
}

// The frame's delay in hundredths of a second: the unclamped delay (the delay as written), 1 for
// none or a delay of 0 or less.
int32_t delayCentisecondsAtIndex(const platform::CGImageSource& source, size_t index) {
    std::optional<double> delay = source.delayAtIndex(index);
    if (!delay || !(*delay > 0)) return 1;
    return int32_t(std::lround(*delay * 100));
}

}  // namespace

std::shared_ptr<platform::UIImage> UIImageAnimatedGIF::animatedImageWithAnimatedGIFData(const platform::Data& data) {
    return animatedImageWithAnimatedGIFReleasingImageSource(platform::CGImageSource::createWithData(data));
}

std::shared_ptr<platform::UIImage> UIImageAnimatedGIF::animatedImageWithAnimatedGIFURL(const std::string& url) {
    auto bytes = contentsOfURL(url);
    if (!bytes) return nullptr;
    return animatedImageWithAnimatedGIFReleasingImageSource(platform::CGImageSource::createWithData(std::move(*bytes)));
}

std::shared_ptr<platform::UIImage> animatedImageWithAnimatedGIFReleasingImageSource(
    std::shared_ptr<platform::CGImageSource> source) {
    if (!source) return nullptr;
    return animatedImageWithAnimatedGIFImageSource(*source);
}

std::shared_ptr<platform::UIImage> animatedImageWithAnimatedGIFImageSource(const platform::CGImageSource& source) {
    const size_t count = source.count();
    std::vector<std::shared_ptr<const platform::CGImage>> images;
    std::vector<int32_t> delays;
    int64_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        auto bitmap = source.imageAtIndex(i);
        if (!bitmap) continue;
        images.push_back(std::move(bitmap));
        delays.push_back(delayCentisecondsAtIndex(source, i));
        total += delays.back();
    }
    auto frames = frameArray(images.size(), images, delays, total);
    return platform::UIImage::animatedImageWithImages(std::move(frames), double(total) / 100.0);
}

std::vector<std::shared_ptr<platform::UIImage>> frameArray(
    size_t count, const std::vector<std::shared_ptr<const platform::CGImage>>& images,
    const std::vector<int32_t>& delayCentiseconds, int64_t totalCentiseconds) {
    count = std::min({count, images.size(), delayCentiseconds.size()});
    if (count == 0) return {};
    int64_t divisor = delayCentiseconds[0];
    for (size_t i = 1; i < count; ++i) divisor = gcd(delayCentiseconds[i], divisor);
    if (divisor <= 0) return {};
    std::vector<std::shared_ptr<platform::UIImage>> frames;
    frames.reserve(size_t(std::max<int64_t>(0, totalCentiseconds / divisor)));
    for (size_t i = 0; i < count; ++i) {
        auto frame = platform::UIImage::imageWithCGImage(images[i]);
        for (int64_t r = delayCentiseconds[i] / divisor; r > 0; --r) frames.push_back(frame);
    }
    return frames;
}

}  // namespace brindlecue
