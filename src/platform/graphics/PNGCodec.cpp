#include <png.h>

#include <bit>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "platform/graphics/ImageCodecs.h"

namespace brindlecue::platform::codec {
namespace {

// Decoding state shared with libpng's progressive callbacks. Plain data only: libpng leaves
// through longjmp, which must not skip destructors.
struct PngRead {
    png_structp png = nullptr;
    png_infop info = nullptr;
    uint64_t maxPixels = 0;
    bool headerOnly = false;
    bool haveHeader = false;
    bool done = false;
    bool interlaced = false;
    int width = 0, height = 0;
    bool alpha = false;            // the file has an alpha channel or a transparent colour
    int rows = 0;                  // rows completed (non-interlaced)
    std::vector<uint32_t>* out = nullptr;  // width * height ARGB words, owned by the caller
    uint32_t* pixels = nullptr;            // out's words, once allocated in the info callback
    char error[128] = {0};
};

// Sizes the caller's vector; false when memory runs out (no exception may cross libpng).
bool allocate(std::vector<uint32_t>* out, size_t count) {
    try {
        out->resize(count);
        return true;
    } catch (...) {
        return false;
    }
}

void onError(png_structp png, png_const_charp message) {
    auto* st = static_cast<PngRead*>(png_get_progressive_ptr(png));
    if (st && !st->error[0]) std::snprintf(st->error, sizeof st->error, "%s", message ? message : "PNG error");
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void onInfo(png_structp png, png_infop info) {
    auto* st = static_cast<PngRead*>(png_get_progressive_ptr(png));
    png_uint_32 w = 0, h = 0;
    int depth = 0, color = 0, interlace = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &color, &interlace, nullptr, nullptr);
    if (w == 0 || h == 0 || w > png_uint_32(CGImage::kMaxSide) || h > png_uint_32(CGImage::kMaxSide))
        png_error(png, "image size out of range");
    if (uint64_t(w) * h > st->maxPixels) png_error(png, "decoded size exceeds the limit");
    st->width = int(w);
    st->height = int(h);
    st->haveHeader = true;
    if (st->headerOnly) png_error(png, "");  // stop: the caller only wanted the header
    st->alpha = (color & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    // Rows come out as the bitmap's ARGB words (B, G, R, A in memory on a little-endian machine),
    // straight alpha that is premultiplied afterwards.
    static_assert(std::endian::native == std::endian::little, "pixel words are read as B, G, R, A bytes");
    png_set_bgr(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    st->interlaced = png_set_interlace_handling(png) > 1;
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(w) * 4) png_error(png, "unexpected row layout");
    if (!allocate(st->out, size_t(w) * h)) png_error(png, "out of memory");
    st->pixels = st->out->data();
}

void onRow(png_structp png, png_bytep row, png_uint_32 rowNumber, int) {
    auto* st = static_cast<PngRead*>(png_get_progressive_ptr(png));
    if (!row || !st->pixels || rowNumber >= png_uint_32(st->height)) return;
    auto* dst = reinterpret_cast<unsigned char*>(st->pixels + size_t(rowNumber) * st->width);
    if (st->interlaced)
        png_progressive_combine_row(png, dst, row);
    else
        std::memcpy(dst, row, size_t(st->width) * 4);
    if (!st->interlaced && int(rowNumber) + 1 > st->rows) st->rows = int(rowNumber) + 1;
}

void onEnd(png_structp png, png_infop) {
    static_cast<PngRead*>(png_get_progressive_ptr(png))->done = true;
}

// Feeds the bytes to libpng; false when libpng gave up (st->error says why, empty for the
// deliberate stop after the header).
bool feed(PngRead* st, const uint8_t* data, size_t size) {
    if (setjmp(png_jmpbuf(st->png))) return false;
    png_process_data(st->png, st->info, const_cast<png_bytep>(data), size);
    return true;
}

bool begin(PngRead& st, uint64_t maxPixels, bool headerOnly) {
    st.maxPixels = maxPixels;
    st.headerOnly = headerOnly;
    st.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &st, onError, onWarning);
    if (!st.png) return false;
    st.info = png_create_info_struct(st.png);
    if (!st.info) return false;
    png_set_user_limits(st.png, CGImage::kMaxSide, CGImage::kMaxSide);
    png_set_chunk_malloc_max(st.png, 8u << 20);
    png_set_progressive_read_fn(st.png, &st, onInfo, onRow, onEnd);
    return true;
}

void end(PngRead& st) {
    if (st.png) png_destroy_read_struct(&st.png, st.info ? &st.info : nullptr, nullptr);
}

// Premultiplies straight ARGB words in place; true when any pixel is not opaque.
bool premultiplyInPlace(uint32_t* words, size_t count) {
    bool alpha = false;
    for (size_t i = 0; i < count; ++i) {
        uint32_t w = words[i];
        uint32_t a = w >> 24;
        if (a == 255) continue;
        alpha = true;
        auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
        words[i] = (a << 24) | (mul((w >> 16) & 0xFF) << 16) | (mul((w >> 8) & 0xFF) << 8) | mul(w & 0xFF);
    }
    return alpha;
}

bool isPng(const uint8_t* data, size_t size) {
    return size >= 8 && png_sig_cmp(const_cast<png_bytep>(data), 0, 8) == 0;
}

}  // namespace

Header pngHeader(const uint8_t* data, size_t size, uint64_t maxPixels) {
    Header h;
    if (!isPng(data, size)) return h;
    PngRead st;
    if (begin(st, maxPixels, true)) {
        feed(&st, data, size);
        if (st.haveHeader) h = {true, st.width, st.height, 1};
    }
    end(st);
    return h;
}

Bitmap pngDecode(const uint8_t* data, size_t size, uint64_t maxPixels) {
    Bitmap out;
    if (!isPng(data, size)) {
        out.error = "not PNG data";
        return out;
    }
    std::vector<uint32_t> pixels;
    PngRead st;
    st.out = &pixels;
    if (!begin(st, maxPixels, false)) {
        out.error = "out of memory";
        end(st);
        return out;
    }
    bool ok = feed(&st, data, size);
    if (!ok) out.error = st.error[0] ? st.error : "PNG error";
    out.complete = ok && st.done;
    if (!ok && !st.done && out.error.empty()) out.error = "PNG error";
    if (ok && !st.done) out.error = "PNG data ends early";
    // Interlaced images fill every row pass by pass; sequential ones have their first rows.
    int rows = st.pixels ? (st.done || st.interlaced ? st.height : st.rows) : 0;
    const int width = st.width;
    const bool mayHaveAlpha = st.alpha;
    end(st);
    if (rows > 0) {
        pixels.resize(size_t(width) * rows);
        bool alpha = mayHaveAlpha && premultiplyInPlace(pixels.data(), pixels.size());
        out.image = CGImage::fromPremultipliedARGB(width, rows, std::move(pixels), alpha);
    }
    return out;
}

namespace {
void writeData(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void flushData(png_structp) {}
void onWriteError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

bool writePng(png_structp png, png_infop info, const CGImage* image, std::vector<uint8_t>* out,
              unsigned char* row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, writeData, flushData);
    bool alpha = image->hasAlpha();
    png_set_IHDR(png, info, image->width(), image->height(), 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    int channels = alpha ? 4 : 3;
    for (int y = 0; y < image->height(); ++y) {
        for (int x = 0; x < image->width(); ++x) {
            RGBA8 p = image->pixelAt(x, y);
            unsigned char* d = row + size_t(x) * channels;
            d[0] = p.r;
            d[1] = p.g;
            d[2] = p.b;
            if (alpha) d[3] = p.a;
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    return true;
}
}  // namespace

std::optional<std::vector<uint8_t>> pngEncode(const CGImage& image) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onWriteError, onWarning);
    if (!png) return std::nullopt;
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> out;
    std::vector<unsigned char> row(size_t(image.width()) * 4);
    bool ok = info && writePng(png, info, &image, &out, row.data());
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!ok) return std::nullopt;
    return out;
}

}  // namespace brindlecue::platform::codec
