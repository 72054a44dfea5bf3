// Writes small PNG, JPEG and GIF seed files for the fuzz targets into the given directory.
#include <fstream>
#include <string>

#include "platform/graphics/CGImageSource.h"

using namespace brindlecue::platform;

namespace {

std::shared_ptr<const CGImage> pattern(int w, int h, bool alpha) {
    std::vector<RGBA8> px(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[size_t(y) * w + x] = {uint8_t(x * 37), uint8_t(y * 53), uint8_t((x ^ y) * 11), uint8_t(alpha ? (x * 29) : 255)};
    return CGImage::fromRGBA(w, h, px);
}

void write(const std::string& path, const std::optional<Data>& data) {
    if (!data) return;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data->data()), std::streamsize(data->size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::string dir = argv[1];
    write(dir + "/alpha.png", CGImageEncodePNG(*pattern(13, 9, true)));
    write(dir + "/opaque.png", CGImageEncodePNG(*pattern(16, 16, false)));
    write(dir + "/plain.jpg", CGImageEncodeJPEG(*pattern(17, 11, false), 0.8));
    write(dir + "/rotated.jpg", CGImageEncodeJPEG(*pattern(8, 24, false), 0.5, 6));
    write(dir + "/still.gif", CGImageEncodeGIF({{pattern(10, 10, true), 0.1}}));
    write(dir + "/animated.gif", CGImageEncodeGIF({{pattern(12, 7, true), 0.1}, {pattern(12, 7, false), 0.2}, {pattern(12, 7, true), 0.3}}, 0));
    return 0;
}
