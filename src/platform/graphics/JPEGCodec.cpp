#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <csetjmp>
#include <vector>

#include "platform/graphics/ImageCodecs.h"

namespace brindlecue::platform::codec {
namespace {

constexpr int kMaxScans = 1000;  // progressive files with more scans are refused (decoding cost)

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    cinfo->err->format_message(cinfo, err->message);
    longjmp(err->jump, 1);
}

void onMessage(j_common_ptr, int) {}

// A source over bytes in memory that marks where they ran out and then ends the stream with an
// EOI marker, so libjpeg finishes what it has.
struct JpegSource {
    jpeg_source_mgr mgr;
    const uint8_t* data;
    size_t size;
    bool ranOut;
    JDIMENSION rowsAtRunOut;
    bool decompressing;
};

const JOCTET kEOI[2] = {0xFF, JPEG_EOI};

void initSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<JpegSource*>(cinfo->src);
    if (!src->ranOut) {
        src->ranOut = true;
        src->rowsAtRunOut = src->decompressing ? cinfo->output_scanline : 0;
    }
    src->mgr.next_input_byte = kEOI;
    src->mgr.bytes_in_buffer = 2;
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count) {
    auto* src = reinterpret_cast<JpegSource*>(cinfo->src);
    if (count <= 0) return;
    if (size_t(count) > src->mgr.bytes_in_buffer) {
        src->mgr.bytes_in_buffer = 0;
        fillInput(cinfo);
        return;
    }
    src->mgr.next_input_byte += count;
    src->mgr.bytes_in_buffer -= size_t(count);
}

void termSource(j_decompress_ptr) {}

struct JpegRead {
    jpeg_decompress_struct cinfo;
    JpegError err;
    JpegSource src;
    uint64_t maxPixels;
    bool headerOnly;
    int width, height, orientation;
    bool haveHeader;
    int rows;               // rows of real image data decoded
    std::vector<uint32_t>* out;  // width * height premultiplied ARGB words (opaque), owned by the caller
    uint32_t* pixels;       // out's words once allocated
    unsigned char* line;    // one CMYK row, converted into pixels
};

// The layout whose bytes in memory are the bitmap's ARGB words (B, G, R, A on a little-endian
// machine); libjpeg-turbo sets the alpha byte opaque.
static_assert(std::endian::native == std::endian::little, "pixel words are written as B, G, R, A bytes");
constexpr J_COLOR_SPACE kNativeARGB = JCS_EXT_BGRA;

// Sizes the caller's vector; false when memory runs out (no exception may cross libjpeg).
bool allocate(std::vector<uint32_t>* out, size_t count) {
    try {
        out->resize(count);
        return true;
    } catch (...) {
        return false;
    }
}

void setup(JpegRead& st, const uint8_t* data, size_t size, uint64_t maxPixels, bool headerOnly) {
    std::memset(&st, 0, sizeof st);
    st.maxPixels = maxPixels;
    st.headerOnly = headerOnly;
    st.orientation = 1;
    st.cinfo.err = jpeg_std_error(&st.err.mgr);
    st.err.mgr.error_exit = onError;
    st.err.mgr.emit_message = onMessage;
    st.src.mgr.init_source = initSource;
    st.src.mgr.fill_input_buffer = fillInput;
    st.src.mgr.skip_input_data = skipInput;
    st.src.mgr.resync_to_restart = jpeg_resync_to_restart;
    st.src.mgr.term_source = termSource;
    st.src.mgr.next_input_byte = data;
    st.src.mgr.bytes_in_buffer = size;
    st.src.data = data;
    st.src.size = size;
}

// Converts the CMYK row buffer into row y of the pixels.
void storeRow(JpegRead* st, JDIMENSION y, bool adobe) {
    if (y >= JDIMENSION(st->height)) return;
    uint32_t* out = st->pixels + size_t(y) * st->width;
    const unsigned char* in = st->line;
    for (int x = 0; x < st->width; ++x) {
        const unsigned char* p = in + size_t(x) * 4;
        // Adobe writes CMYK inverted; others store it plainly.
        unsigned c = adobe ? p[0] : 255 - p[0], m = adobe ? p[1] : 255 - p[1];
        unsigned yy = adobe ? p[2] : 255 - p[2], k = adobe ? p[3] : 255 - p[3];
        unsigned r = c * k / 255, g = m * k / 255, b = yy * k / 255;
        out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
}

// Runs libjpeg; false when it failed (st->err.message says why). Plain data only in this frame.
bool run(JpegRead* st) {
    j_decompress_ptr cinfo = &st->cinfo;
    if (setjmp(st->err.jump)) return false;
    jpeg_create_decompress(cinfo);
    cinfo->src = &st->src.mgr;
    jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) ERREXIT(cinfo, JERR_NO_IMAGE);
    if (cinfo->image_width == 0 || cinfo->image_height == 0 || cinfo->image_width > JDIMENSION(CGImage::kMaxSide) ||
        cinfo->image_height > JDIMENSION(CGImage::kMaxSide))
        ERREXIT(cinfo, JERR_IMAGE_TOO_BIG);
    if (uint64_t(cinfo->image_width) * cinfo->image_height > st->maxPixels) ERREXIT(cinfo, JERR_IMAGE_TOO_BIG);
    st->width = int(cinfo->image_width);
    st->height = int(cinfo->image_height);
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1) {
            int o = exifOrientation(m->data, m->data_length);
            if (o != 1) {
                st->orientation = o;
                break;
            }
        }
    }
    st->haveHeader = true;
    if (st->headerOnly) return true;

    bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    // Colour images come out of libjpeg-turbo directly as the bitmap's words; CMYK goes through
    // a row buffer to be converted.
    cinfo->out_color_space = cmyk ? JCS_CMYK : kNativeARGB;
    bool adobe = cinfo->saw_Adobe_marker;
    cinfo->mem->max_memory_to_use = long(st->maxPixels) * 8 + (64L << 20);
    bool progressive = cinfo->progressive_mode;
    cinfo->buffered_image = progressive ? TRUE : FALSE;
    st->src.decompressing = true;
    jpeg_start_decompress(cinfo);
    if (int(cinfo->output_width) != st->width || int(cinfo->output_height) != st->height) ERREXIT(cinfo, JERR_IMAGE_TOO_BIG);
    if (cinfo->output_components != 4) ERREXIT(cinfo, JERR_BAD_J_COLORSPACE);
    if (!allocate(st->out, size_t(st->width) * st->height)) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    st->pixels = st->out->data();
    if (cmyk) {
        st->line = static_cast<unsigned char*>(std::malloc(size_t(st->width) * 4));
        if (!st->line) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    }
    // Rows are read an iMCU row at a time, which is what libjpeg decodes in one go, so the rows
    // counted at a run-out of bytes are the same as when reading one row at a time.
    const int batch = cmyk ? 1 : std::clamp(cinfo->max_v_samp_factor * DCTSIZE, 1, 32);
    auto readRows = [&] {
        while (cinfo->output_scanline < cinfo->output_height) {
            JDIMENSION y = cinfo->output_scanline;
            JSAMPROW rows[32];
            if (cmyk) {
                rows[0] = st->line;
            } else {
                for (int i = 0; i < batch; ++i) {
                    JDIMENSION row = std::min<JDIMENSION>(y + JDIMENSION(i), cinfo->output_height - 1);
                    rows[i] = reinterpret_cast<JSAMPROW>(st->pixels + size_t(row) * st->width);
                }
            }
            JDIMENSION got = jpeg_read_scanlines(cinfo, rows, JDIMENSION(batch));
            if (got == 0) break;
            if (cmyk) storeRow(st, y, adobe);
        }
    };

    if (progressive) {
        // Take in every scan that arrived, then show the best picture they make.
        int scans = 0;
        for (;;) {
            int r = jpeg_consume_input(cinfo);
            if (r == JPEG_REACHED_EOI || r == JPEG_SUSPENDED) break;
            if (r == JPEG_REACHED_SOS && ++scans > kMaxScans) ERREXIT(cinfo, JERR_NOTIMPL);
        }
        jpeg_start_output(cinfo, cinfo->input_scan_number);
        readRows();
        jpeg_finish_output(cinfo);
        st->rows = st->height;
    } else {
        readRows();
        // Rows after the point where the bytes ran out are filler, not image.
        st->rows = st->src.ranOut ? int(st->src.rowsAtRunOut) : st->height;
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

bool isJpeg(const uint8_t* data, size_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

}  // namespace

int exifOrientation(const uint8_t* p, size_t n) {
    if (n < 14 || std::memcmp(p, "Exif\0\0", 6) != 0) return 1;
    const uint8_t* t = p + 6;
    size_t tn = n - 6;
    bool little;
    if (t[0] == 'I' && t[1] == 'I')
        little = true;
    else if (t[0] == 'M' && t[1] == 'M')
        little = false;
    else
        return 1;
    auto u16 = [&](size_t at) -> unsigned { return little ? t[at] | (t[at + 1] << 8) : (t[at] << 8) | t[at + 1]; };
    auto u32 = [&](size_t at) -> uint32_t {
        return little ? uint32_t(t[at]) | uint32_t(t[at + 1]) << 8 | uint32_t(t[at + 2]) << 16 | uint32_t(t[at + 3]) << 24
                      : uint32_t(t[at]) << 24 | uint32_t(t[at + 1]) << 16 | uint32_t(t[at + 2]) << 8 | uint32_t(t[at + 3]);
    };
    if (u16(2) != 42) return 1;
    uint32_t ifd = u32(4);
    if (ifd > tn || tn - ifd < 2) return 1;
    unsigned count = u16(ifd);
    for (unsigned i = 0; i < count; ++i) {
        size_t entry = size_t(ifd) + 2 + size_t(i) * 12;
        if (entry + 12 > tn) break;
        if (u16(entry) == 0x0112) {
            if (u16(entry + 2) != 3) return 1;  // SHORT
            unsigned v = u16(entry + 8);
            return v >= 1 && v <= 8 ? int(v) : 1;
        }
    }
    return 1;
}

Header jpegHeader(const uint8_t* data, size_t size, uint64_t maxPixels) {
    Header h;
    if (!isJpeg(data, size)) return h;
    auto* st = new JpegRead;
    setup(*st, data, size, maxPixels, true);
    bool ok = run(st);
    if (ok && st->haveHeader && !st->src.ranOut) h = {true, st->width, st->height, st->orientation};
    jpeg_destroy_decompress(&st->cinfo);
    delete st;
    return h;
}

Bitmap jpegDecode(const uint8_t* data, size_t size, uint64_t maxPixels) {
    Bitmap out;
    if (!isJpeg(data, size)) {
        out.error = "not JPEG data";
        return out;
    }
    std::vector<uint32_t> pixels;
    auto* st = new JpegRead;
    setup(*st, data, size, maxPixels, false);
    st->out = &pixels;
    bool ok = run(st);
    if (!ok) out.error = st->err.message[0] ? st->err.message : "JPEG error";
    // A failure after some rows still gives those rows.
    int rows = st->pixels ? std::min(ok ? st->rows : int(st->src.ranOut ? st->src.rowsAtRunOut : st->cinfo.output_scanline),
                                     st->height)
                          : 0;
    out.complete = ok && !st->src.ranOut;
    if (ok && st->src.ranOut) out.error = "JPEG data ends early";
    const int width = st->width;
    jpeg_destroy_decompress(&st->cinfo);
    std::free(st->line);
    delete st;
    if (rows > 0) {
        pixels.resize(size_t(width) * rows);
        out.image = CGImage::fromPremultipliedARGB(width, rows, std::move(pixels), false);
    }
    return out;
}

// ---- Encoding

namespace {

std::vector<uint8_t> exifSegment(int orientation) {
    // "Exif\0\0", a little-endian TIFF header and one IFD with the orientation entry.
    std::vector<uint8_t> e = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                              0x12, 0x01, 3, 0, 1, 0, 0, 0, uint8_t(orientation), 0, 0, 0, 0, 0, 0, 0};
    return e;
}

struct JpegWrite {
    jpeg_compress_struct cinfo;
    JpegError err;
    unsigned char* buffer;
    unsigned long size;
    unsigned char* line;
};

bool write(JpegWrite* st, const CGImage* image, int quality, const std::vector<uint8_t>* exif) {
    j_compress_ptr cinfo = &st->cinfo;
    if (setjmp(st->err.jump)) return false;
    jpeg_create_compress(cinfo);
    jpeg_mem_dest(cinfo, &st->buffer, &st->size);
    cinfo->image_width = JDIMENSION(image->width());
    cinfo->image_height = JDIMENSION(image->height());
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    if (exif) jpeg_write_marker(cinfo, JPEG_APP0 + 1, exif->data(), unsigned(exif->size()));
    const auto& px = image->premultipliedARGB();
    JSAMPROW rows[1] = {st->line};
    while (cinfo->next_scanline < cinfo->image_height) {
        // Premultiplied colour is the image over black, which is what a format without alpha keeps.
        const uint32_t* in = px.data() + size_t(cinfo->next_scanline) * image->width();
        for (int x = 0; x < image->width(); ++x) {
            st->line[x * 3] = (in[x] >> 16) & 0xFF;
            st->line[x * 3 + 1] = (in[x] >> 8) & 0xFF;
            st->line[x * 3 + 2] = in[x] & 0xFF;
        }
        jpeg_write_scanlines(cinfo, rows, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

}  // namespace

std::optional<std::vector<uint8_t>> jpegEncode(const CGImage& image, double quality, int orientation) {
    int q = int(std::lround(std::clamp(quality, 0.0, 1.0) * 100));
    q = std::clamp(q, 1, 100);
    auto* st = new JpegWrite;
    std::memset(st, 0, sizeof *st);
    st->cinfo.err = jpeg_std_error(&st->err.mgr);
    st->err.mgr.error_exit = onError;
    st->err.mgr.emit_message = onMessage;
    st->line = static_cast<unsigned char*>(std::malloc(size_t(image.width()) * 3));
    std::vector<uint8_t> exif;
    if (orientation >= 2 && orientation <= 8) exif = exifSegment(orientation);
    bool ok = st->line && write(st, &image, q, exif.empty() ? nullptr : &exif);
    std::optional<std::vector<uint8_t>> out;
    if (ok && st->buffer) out.emplace(st->buffer, st->buffer + st->size);
    jpeg_destroy_compress(&st->cinfo);
    std::free(st->buffer);
    std::free(st->line);
    delete st;
    return out;
}

}  // namespace brindlecue::platform::codec
