#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/CGImage.h"

namespace brindlecue::platform {

// Bytes, as platform/Value.h names them (kept out of this header to keep it light).
using Data = std::vector<uint8_t>;

namespace codec {
struct Bitmap;
struct GifFile;
class GifCompositor;
}  // namespace codec

enum class ImageFormat { Unknown, PNG, JPEG, GIF, TIFF, HEIC };

// A source of images made from encoded bytes, as the platform's image I/O offers it: the
// format, the number of images, the pixel size, the EXIF orientation, per-frame GIF delays and
// the loop count, and each image decoded on request. PNG, JPEG, GIF, TIFF (its first image) and
// HEIC (its primary image, where libheif has an HEVC decoder: readableTypeIdentifiers) are read.
//
// An incremental source is fed all the bytes received so far; until the final update it
// decodes what has arrived (the first rows of a PNG or JPEG, the complete frames of a GIF; a
// TIFF or HEIC file only once all of it is there, though its size is known as soon as its
// header can be read).
//
// Hostile data is expected: sizes are checked against a pixel cap before anything is
// allocated (for a GIF the cap also bounds the frames kept altogether), and a file that cannot
// be read gives no image and an error text, never a crash. Safe to use from several threads.
class CGImageSource {
public:
    // 64 M pixels: a 256 MB bitmap.
    static constexpr uint64_t kDefaultMaxPixels = uint64_t(1) << 26;

    // Nothing for empty data or data of a format the source does not read.
    static std::shared_ptr<CGImageSource> createWithData(Data data, uint64_t maxPixels = kDefaultMaxPixels);
    static std::shared_ptr<CGImageSource> createIncremental(uint64_t maxPixels = kDefaultMaxPixels);
    // The types whose images a source decodes: "public.png", "public.jpeg", "com.compuserve.gif",
    // "public.tiff", and "public.heic" where an HEVC decoder is there.
    static std::vector<std::string> readableTypeIdentifiers();

    ~CGImageSource();

    // All the bytes received so far, and whether they are all there will be.
    void updateData(Data data, bool final);

    ImageFormat format() const;
    // "public.png", "public.jpeg", "com.compuserve.gif", "public.tiff", "public.heic"; empty
    // while unknown.
    std::string typeIdentifier() const;
    // Images in the source (frames of a GIF; 1 for another image whose header has arrived).
    size_t count() const;
    // The pixel size of the image (the canvas of a GIF); zero while unknown.
    int pixelWidth() const;
    int pixelHeight() const;
    // The EXIF orientation, 1 to 8 (1 when the data has none); a TIFF's orientation tag. A HEIC
    // image is decoded upright: 1.
    int exifOrientation() const;
    // The GIF's loop count (0 loops for ever); none when the GIF does not say.
    std::optional<unsigned> loopCount() const;
    // The delay of a GIF frame in seconds as written (not clamped); none when the frame has no
    // graphic control block or the index is out of range.
    std::optional<double> delayAtIndex(size_t index) const;
    // True once every byte was read without error.
    bool isComplete() const;
    // Why the last decoding stopped short or failed; empty when it did not.
    std::string error() const;

    // The image at the index; a GIF frame is composited over the frames before it as their
    // disposal says. A PNG or JPEG cut short gives the rows that arrived; a TIFF or HEIC file
    // nothing until its last bytes. Nothing when there is nothing to show yet or the data is
    // unreadable (error() says why).
    std::shared_ptr<const CGImage> imageAtIndex(size_t index) const;

private:
    explicit CGImageSource(uint64_t maxPixels);
    void parseLocked();
    // Decodes the one image of a source that is not a GIF.
    codec::Bitmap decodeLocked() const;

    mutable std::mutex mutex_;
    uint64_t maxPixels_;
    Data data_;
    bool final_ = true;
    ImageFormat format_ = ImageFormat::Unknown;
    int width_ = 0, height_ = 0, orientation_ = 1;
    bool headerKnown_ = false;
    std::unique_ptr<codec::GifFile> gif_;
    std::unique_ptr<codec::GifCompositor> compositor_;
    mutable std::string error_;
    mutable bool complete_ = false;
};

// Encoders: PNG keeps alpha; JPEG drops it (the image over black) and may record an EXIF
// orientation; TIFF is lossless, keeps alpha (premultiplied, so the source gives back the very
// bitmap) and may record an orientation tag; GIF quantises each frame to 255 colours plus
// transparency and may record a loop count (0 for ever). Nothing when the image is missing or
// encoding fails.
std::optional<Data> CGImageEncodePNG(const CGImage& image);
std::optional<Data> CGImageEncodeJPEG(const CGImage& image, double quality, int exifOrientation = 1);
std::optional<Data> CGImageEncodeTIFF(const CGImage& image, int exifOrientation = 1);
struct CGImageGIFFrame {
    std::shared_ptr<const CGImage> image;
    double delay = 0;  // seconds
};
std::optional<Data> CGImageEncodeGIF(const std::vector<CGImageGIFFrame>& frames,
                                     std::optional<unsigned> loopCount = std::nullopt);

}  // namespace brindlecue::platform
