#include "support/TestImages.h"

#include <vector>

#include "platform/graphics/CGImage.h"
#include "platform/graphics/CGImageSource.h"

namespace brindlecue::testsupport {

namespace {
std::shared_ptr<const platform::CGImage> solid(int width, int height, bool alpha) {
    std::vector<platform::RGBA8> pixels(size_t(width) * size_t(height), {200, 40, 40, uint8_t(alpha ? 128 : 255)});
    auto image = platform::CGImage::fromRGBA(width, height, pixels);
    if (!alpha) image = platform::CGImage::fromPremultipliedARGB(width, height, image->premultipliedARGB(), false);
    return image;
}
}  // namespace

platform::Data makeTestPNG(int width, int height, bool alpha) {
    return *platform::CGImageEncodePNG(*solid(width, height, alpha));
}

platform::Data makeTestJPEG(int width, int height) {
    return *platform::CGImageEncodeJPEG(*solid(width, height, false), 0.8);
}

sampleserver::Route imageRoute(std::string path, const platform::Data& bytes, std::string contentType) {
    sampleserver::Route route;
    route.method = "GET";
    route.pathPattern = std::move(path);
    route.status = 200;
    route.body = bodyText(bytes);
    route.headers = {{"Content-Type", std::move(contentType)}};
    return route;
}

}  // namespace brindlecue::testsupport
