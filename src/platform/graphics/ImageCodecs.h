#pragma once

// The codecs behind CGImageSource and the encoders, for the graphics stand-in's own sources.
// Every decoder takes untrusted bytes: it checks sizes against a pixel cap before allocating,
// never reads outside the bytes it was given and reports failure as text.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/CGImage.h"

namespace brindlecue::platform::codec {

struct Header {
    bool known = false;
    int width = 0;
    int height = 0;
    int exifOrientation = 1;
};

struct Bitmap {
    std::shared_ptr<const CGImage> image;  // the rows decoded so far; null when there are none
    bool complete = false;
    std::string error;
};

Header pngHeader(const uint8_t* data, size_t size, uint64_t maxPixels);
Bitmap pngDecode(const uint8_t* data, size_t size, uint64_t maxPixels);
Header jpegHeader(const uint8_t* data, size_t size, uint64_t maxPixels);
Bitmap jpegDecode(const uint8_t* data, size_t size, uint64_t maxPixels);

// The orientation (1 to 8) in an APP1 "Exif" payload; 1 when there is none or it is unreadable.
int exifOrientation(const uint8_t* data, size_t size);

// The first image of a TIFF (libtiff), with its orientation tag; rows in the order the file keeps
// them. A TIFF is decoded whole or not at all.
Header tiffHeader(const uint8_t* data, size_t size, uint64_t maxPixels);
Bitmap tiffDecode(const uint8_t* data, size_t size, uint64_t maxPixels);

// The primary image of a HEIF file (libheif), upright (its rotation and mirroring applied).
// Decoding needs an HEVC decoder of libheif's (heifCanDecode); a HEIF file is decoded whole or
// not at all.
bool heifCanDecode();
Header heifHeader(const uint8_t* data, size_t size, uint64_t maxPixels);
Bitmap heifDecode(const uint8_t* data, size_t size, uint64_t maxPixels);

struct GifFrame {
    // The part of the frame inside the canvas, one palette index per pixel.
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> indices;
    size_t palette = 0;  // into GifFile::palettes
    int transparentIndex = -1;
    int disposal = 0;
    std::optional<double> delay;  // seconds, when the frame has a graphic control block
};

struct GifFile {
    // Most frames a file may have; the rest are left out with an error.
    static constexpr size_t kMaxFrames = 10000;

    int width = 0, height = 0;
    std::vector<GifFrame> frames;  // complete frames only
    // Opaque ARGB words of each colour table as written (so memory follows the file's size);
    // an index past a table's end draws opaque black.
    std::vector<std::vector<uint32_t>> palettes;
    std::optional<unsigned> loopCount;
    bool complete = false;
    std::string error;
};

GifFile gifParse(const uint8_t* data, size_t size, uint64_t maxPixels);

// Composites frames over a canvas, remembering where it stopped so that frames asked for in
// order cost one frame each.
class GifCompositor {
public:
    std::shared_ptr<const CGImage> frame(const GifFile& gif, size_t index);

private:
    void reset(const GifFile& gif);
    size_t next_ = 0;  // frames drawn so far
    std::vector<uint32_t> canvas_;
    std::vector<uint32_t> saved_;  // the canvas before the last frame, when it restores to previous
};

std::optional<std::vector<uint8_t>> pngEncode(const CGImage& image);
std::optional<std::vector<uint8_t>> jpegEncode(const CGImage& image, double quality, int exifOrientation);
// LZW strips of 8-bit RGB, with the premultiplied alpha of an image that has one as an associated
// sample, and the orientation tag for an orientation of 2 to 8.
std::optional<std::vector<uint8_t>> tiffEncode(const CGImage& image, int exifOrientation);
struct GifEncodeFrame {
    std::shared_ptr<const CGImage> image;
    double delay = 0;
};
std::optional<std::vector<uint8_t>> gifEncode(const std::vector<GifEncodeFrame>& frames,
                                              std::optional<unsigned> loopCount);

}  // namespace brindlecue::platform::codec
