#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "platform/graphics/ImageCodecs.h"

namespace brindlecue::platform::codec {
namespace {

// The bytes libtiff reads, as a file of its own, and the first error it reported. libtiff's
// handlers of this handle write here instead of the process's standard error.
struct MemoryFile {
    const uint8_t* data = nullptr;
    uint64_t size = 0;
    uint64_t position = 0;
    char error[160] = {0};
};

tmsize_t readBytes(thandle_t handle, void* buffer, tmsize_t count) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (count <= 0 || file->position >= file->size) return 0;
    const uint64_t take = std::min<uint64_t>(uint64_t(count), file->size - file->position);
    std::memcpy(buffer, file->data + file->position, size_t(take));
    file->position += take;
    return tmsize_t(take);
}

tmsize_t writeNothing(thandle_t, void*, tmsize_t) {
    return 0;
}

// Moves the position of a file of the size as libtiff asks; -1, and the position unchanged, for
// a move before the start or past what an offset holds.
toff_t moveTo(uint64_t& position, uint64_t size, toff_t offset, int whence) {
    uint64_t base = 0;
    switch (whence) {
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = position; break;
        case SEEK_END: base = size; break;
        default: return toff_t(-1);
    }
    // A backward move comes as the two's complement of its distance.
    const auto distance = static_cast<int64_t>(offset);
    if (distance < 0 && uint64_t(-(distance + 1)) + 1 > base) return toff_t(-1);
    if (distance > 0 && uint64_t(distance) > std::numeric_limits<uint64_t>::max() - base) return toff_t(-1);
    position = base + uint64_t(distance);
    return position;
}

toff_t seek(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    return moveTo(file->position, file->size, offset, whence);
}

int closeNothing(thandle_t) {
    return 0;
}

toff_t fileSize(thandle_t handle) {
    return static_cast<MemoryFile*>(handle)->size;
}

// Reads go straight to the bytes; libtiff checks every strip and tile against the mapped size.
int mapBytes(thandle_t handle, void** base, toff_t* size) {
    auto* file = static_cast<MemoryFile*>(handle);
    *base = const_cast<uint8_t*>(file->data);
    *size = file->size;
    return 1;
}

void unmapNothing(thandle_t, void*, toff_t) {}

int onError(TIFF*, void* user, const char* module, const char* format, va_list args) {
    auto* file = static_cast<MemoryFile*>(user);
    if (file->error[0] == 0) {
        char message[128];
        std::vsnprintf(message, sizeof message, format, args);
        std::snprintf(file->error, sizeof file->error, "%s%s%s", module ? module : "", module ? ": " : "",
                      message);
    }
    return 1;  // handled: nothing reaches libtiff's process-wide handler
}

// Warnings, and the encoder's errors (it reports a failure as no data), go nowhere.
int ignoreMessage(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct CloseTIFF {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TIFFHandle = std::unique_ptr<TIFF, CloseTIFF>;

// Nothing when the bytes are not a TIFF libtiff can open (file.error says why).
TIFFHandle open(MemoryFile& file, uint64_t maxPixels) {
    std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)> options(TIFFOpenOptionsAlloc(),
                                                                             TIFFOpenOptionsFree);
    if (!options) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onError, &file);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), ignoreMessage, &file);
    // No single buffer of libtiff's (a strip or tile of the largest samples, a directory's
    // arrays) may outgrow what the image the cap allows could need.
    const uint64_t most = std::min<uint64_t>(maxPixels * 8 + (uint64_t(1) << 20),
                                             uint64_t(std::numeric_limits<tmsize_t>::max()));
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(most));
    return TIFFHandle(TIFFClientOpenExt("memory", "r", &file, readBytes, writeNothing, seek, closeNothing, fileSize,
                                        mapBytes, unmapNothing, options.get()));
}

bool isTiff(const uint8_t* data, size_t size) {
    if (size < 8) return false;
    const bool little = data[0] == 'I' && data[1] == 'I' && (data[2] == 42 || data[2] == 43) && data[3] == 0;
    const bool big = data[0] == 'M' && data[1] == 'M' && data[2] == 0 && (data[3] == 42 || data[3] == 43);
    return little || big;
}

// The first image's size, checked against the drawing layer's sides and the pixel cap.
bool readSize(TIFF* tif, uint64_t maxPixels, int& width, int& height, std::string& error) {
    uint32_t w = 0, h = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h)) {
        error = "image size missing";
        return false;
    }
    if (w == 0 || h == 0 || w > uint32_t(CGImage::kMaxSide) || h > uint32_t(CGImage::kMaxSide)) {
        error = "image size out of range";
        return false;
    }
    if (uint64_t(w) * h > maxPixels) {
        error = "decoded size exceeds the limit";
        return false;
    }
    width = int(w);
    height = int(h);
    return true;
}

int orientationOf(TIFF* tif) {
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    return orientation >= 1 && orientation <= 8 ? int(orientation) : 1;
}

std::string failure(const MemoryFile& file, const char* fallback) {
    return file.error[0] ? std::string("TIFF: ") + file.error : std::string(fallback);
}

// The bytes the encoder's libtiff writes, growing as it writes past their end. libtiff seeks back
// to patch offsets and may read what it wrote.
struct GrowingFile {
    std::vector<uint8_t> bytes;
    uint64_t position = 0;
};

tmsize_t readWritten(thandle_t handle, void* buffer, tmsize_t count) {
    auto* file = static_cast<GrowingFile*>(handle);
    if (count <= 0 || file->position >= file->bytes.size()) return 0;
    const uint64_t take = std::min<uint64_t>(uint64_t(count), file->bytes.size() - file->position);
    std::memcpy(buffer, file->bytes.data() + file->position, size_t(take));
    file->position += take;
    return tmsize_t(take);
}

// A write past the end fills the gap with zeros; 0 (libtiff's failure) when memory runs out.
tmsize_t writeBytes(thandle_t handle, void* buffer, tmsize_t count) {
    auto* file = static_cast<GrowingFile*>(handle);
    if (count <= 0) return 0;
    if (file->position > uint64_t(std::numeric_limits<tmsize_t>::max()) - uint64_t(count)) return 0;
    const uint64_t end = file->position + uint64_t(count);
    try {
        if (end > file->bytes.size()) file->bytes.resize(size_t(end));
    } catch (...) {
        return 0;
    }
    std::memcpy(file->bytes.data() + file->position, buffer, size_t(count));
    file->position = end;
    return count;
}

toff_t seekWritten(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<GrowingFile*>(handle);
    return moveTo(file->position, file->bytes.size(), offset, whence);
}

toff_t writtenSize(thandle_t handle) {
    return static_cast<GrowingFile*>(handle)->bytes.size();
}

int mapNothing(thandle_t, void**, toff_t*) {
    return 0;
}

// One RGB image of 8-bit samples in LZW strips with the horizontal predictor, and its directory.
// An image with alpha keeps it as a fourth, associated sample: the bitmap's premultiplied words
// go out as they are, so tiffDecode gives them back unchanged; an opaque image is its colour
// over black, as for a JPEG.
bool writeImage(TIFF* tif, const CGImage& image, int orientation) {
    const bool alpha = image.hasAlpha();
    const int samples = alpha ? 4 : 3;
    const uint32_t width = uint32_t(image.width()), height = uint32_t(image.height());
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width) &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height) && TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW) &&
              TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (ok && alpha) {
        const uint16_t extra[] = {EXTRASAMPLE_ASSOCALPHA};
        ok = TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    if (ok && orientation >= 2 && orientation <= 8) ok = TIFFSetField(tif, TIFFTAG_ORIENTATION, orientation);
    if (ok) ok = TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    if (!ok) return false;

    std::vector<uint8_t> row(size_t(width) * size_t(samples));
    const uint32_t* words = image.premultipliedARGB().data();
    for (uint32_t y = 0; y < height; ++y, words += width) {
        uint8_t* out = row.data();
        for (uint32_t x = 0; x < width; ++x, out += samples) {
            out[0] = uint8_t(words[x] >> 16);
            out[1] = uint8_t(words[x] >> 8);
            out[2] = uint8_t(words[x]);
            if (alpha) out[3] = uint8_t(words[x] >> 24);
        }
        if (TIFFWriteScanline(tif, row.data(), y, 0) != 1) return false;
    }
    return TIFFWriteDirectory(tif) == 1;
}

}  // namespace

Header tiffHeader(const uint8_t* data, size_t size, uint64_t maxPixels) {
    Header h;
    if (!isTiff(data, size)) return h;
    MemoryFile file{data, size};
    TIFFHandle tif = open(file, maxPixels);
    if (!tif) return h;
    std::string error;
    if (!readSize(tif.get(), maxPixels, h.width, h.height, error)) return Header{};
    h.exifOrientation = orientationOf(tif.get());
    h.known = true;
    return h;
}

Bitmap tiffDecode(const uint8_t* data, size_t size, uint64_t maxPixels) {
    Bitmap out;
    if (!isTiff(data, size)) {
        out.error = "not TIFF data";
        return out;
    }
    MemoryFile file{data, size};
    TIFFHandle tif = open(file, maxPixels);
    if (!tif) {
        out.error = failure(file, "TIFF unreadable");
        return out;
    }
    int width = 0, height = 0;
    if (!readSize(tif.get(), maxPixels, width, height, out.error)) return out;

    char message[1024] = {0};
    if (!TIFFRGBAImageOK(tif.get(), message)) {
        out.error = std::string("TIFF: ") + message;
        return out;
    }
    TIFFRGBAImage reader;
    if (!TIFFRGBAImageBegin(&reader, tif.get(), 0, message)) {
        out.error = std::string("TIFF: ") + message;
        return out;
    }
    // Rows in the order the file stores them (row 0 first, no flips): the orientation is reported
    // beside the image, as for a JPEG, and applied by whoever shows it.
    reader.req_orientation = reader.orientation;
    const bool alpha = reader.alpha != 0;
    std::vector<uint32_t> raster;
    try {
        raster.resize(size_t(width) * size_t(height));
    } catch (...) {
        TIFFRGBAImageEnd(&reader);
        out.error = "out of memory";
        return out;
    }
    const int read = TIFFRGBAImageGet(&reader, raster.data(), uint32_t(width), uint32_t(height));
    TIFFRGBAImageEnd(&reader);
    if (!read) {
        out.error = failure(file, "TIFF image data unreadable");
        return out;
    }
    // libtiff gives premultiplied A, B, G, R bytes from the high end of each word; the bitmap
    // keeps premultiplied A, R, G, B. A file's own premultiplied samples may exceed their alpha:
    // they are held to it.
    for (uint32_t& word : raster) {
        const uint32_t a = alpha ? uint32_t(TIFFGetA(word)) : 0xFFu;
        const uint32_t r = std::min(uint32_t(TIFFGetR(word)), a), g = std::min(uint32_t(TIFFGetG(word)), a),
                       b = std::min(uint32_t(TIFFGetB(word)), a);
        word = (a << 24) | (r << 16) | (g << 8) | b;
    }
    out.image = CGImage::fromPremultipliedARGB(width, height, std::move(raster), alpha);
    if (!out.image) {
        out.error = "image size out of range";
        return out;
    }
    out.complete = true;
    return out;
}

std::optional<std::vector<uint8_t>> tiffEncode(const CGImage& image, int exifOrientation) {
    std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)> options(TIFFOpenOptionsAlloc(),
                                                                             TIFFOpenOptionsFree);
    if (!options) return std::nullopt;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), ignoreMessage, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), ignoreMessage, nullptr);
    GrowingFile file;
    TIFFHandle tif(TIFFClientOpenExt("memory", "w", &file, readWritten, writeBytes, seekWritten, closeNothing,
                                     writtenSize, mapNothing, unmapNothing, options.get()));
    if (!tif || !writeImage(tif.get(), image, exifOrientation)) return std::nullopt;
    tif.reset();  // the bytes are whole once libtiff has let go of them
    return std::move(file.bytes);
}

}  // namespace brindlecue::platform::codec
