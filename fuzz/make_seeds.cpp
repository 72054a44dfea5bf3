// Writes small PNG, JPEG and GIF seed files for the fuzz targets into the given directory.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

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

// A progressive JPEG, which the encoder of the stand-in does not write.
std::optional<Data> progressiveJpeg(int w, int h) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buf, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(size_t(w) * 3);
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < w; ++x) row[x * 3] = row[x * 3 + 1] = row[x * 3 + 2] = uint8_t(x * 13 + c.next_scanline * 7);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Data out(buf, buf + size);
    std::free(buf);
    return out;
}

// An interlaced palette PNG with transparency.
std::optional<Data> interlacedPng(int w, int h) {
    Data out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, [](png_structp p, png_bytep d, size_t n) {
        auto* o = static_cast<Data*>(png_get_io_ptr(p));
        o->insert(o->end(), d, d + n);
    }, nullptr);
    png_set_IHDR(png, info, w, h, 4, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color palette[3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    png_set_PLTE(png, info, palette, 3);
    png_byte alpha[1] = {0};
    png_set_tRNS(png, info, alpha, 1, nullptr);
    png_write_info(png, info);
    std::vector<png_byte> rows(size_t(h) * ((w + 1) / 2));
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = png_byte((i % 3) << 4 | ((i + 1) % 3));
    std::vector<png_bytep> ptrs(h);
    for (int y = 0; y < h; ++y) ptrs[y] = rows.data() + size_t(y) * ((w + 1) / 2);
    png_write_image(png, ptrs.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A GIF with partial, transparent, interlaced frames and every disposal.
std::optional<Data> framesGif() {
    Data out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, [](GifFileType* g, const GifByteType* d, int n) {
        auto* o = static_cast<Data*>(g->UserData);
        o->insert(o->end(), d, d + n);
        return n;
    }, &err);
    GifColorType colors[4] = {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}, {0, 0, 0}};
    ColorMapObject* map = GifMakeMapObject(4, colors);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, 8, 8, 2, 0, map);
    for (int f = 0; f < 4; ++f) {
        GifByteType gce[4] = {GifByteType((f << 2) | (f & 1)), GifByteType(5 + f), 0, 2};
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce);
        EGifPutImageDesc(gif, f, f, 8 - f, 8 - f, f == 2, f == 3 ? map : nullptr);
        std::vector<GifByteType> line(size_t(8 - f));
        for (int y = 0; y < 8 - f; ++y) {
            for (int x = 0; x < 8 - f; ++x) line[x] = GifByteType((x + y + f) % 4);
            EGifPutLine(gif, line.data(), 8 - f);
        }
    }
    EGifCloseFile(gif, &err);
    GifFreeMapObject(map);
    return out;
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
    write(dir + "/progressive.jpg", progressiveJpeg(40, 24));
    write(dir + "/interlaced.png", interlacedPng(13, 11));
    write(dir + "/frames.gif", framesGif());
    return 0;
}
