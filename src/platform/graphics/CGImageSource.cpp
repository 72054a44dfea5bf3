#include "platform/graphics/CGImageSource.h"

#include <cstring>

#include "platform/graphics/ImageCodecs.h"

namespace brindlecue::platform {
namespace {

ImageFormat sniff(const Data& d) {
    if (d.size() >= 8 && d[0] == 0x89 && d[1] == 'P' && d[2] == 'N' && d[3] == 'G') return ImageFormat::PNG;
    if (d.size() >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return ImageFormat::JPEG;
    if (d.size() >= 6 && d[0] == 'G' && d[1] == 'I' && d[2] == 'F') return ImageFormat::GIF;
    // Classic and big TIFF, in either byte order.
    if (d.size() >= 8 && ((d[0] == 'I' && d[1] == 'I' && (d[2] == 42 || d[2] == 43) && d[3] == 0) ||
                          (d[0] == 'M' && d[1] == 'M' && d[2] == 0 && (d[3] == 42 || d[3] == 43))))
        return ImageFormat::TIFF;
    // A HEIF file's type box names an HEVC or image-collection brand first.
    if (d.size() >= 12 && std::memcmp(d.data() + 4, "ftyp", 4) == 0) {
        for (const char* brand : {"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm", "hevs", "mif1", "msf1"})
            if (std::memcmp(d.data() + 8, brand, 4) == 0) return ImageFormat::HEIC;
    }
    return ImageFormat::Unknown;
}

}  // namespace

CGImageSource::CGImageSource(uint64_t maxPixels) : maxPixels_(maxPixels) {}
CGImageSource::~CGImageSource() = default;

std::shared_ptr<CGImageSource> CGImageSource::createWithData(Data data, uint64_t maxPixels) {
    if (sniff(data) == ImageFormat::Unknown) return nullptr;
    std::shared_ptr<CGImageSource> source(new CGImageSource(maxPixels));
    source->updateData(std::move(data), true);
    return source;
}

std::shared_ptr<CGImageSource> CGImageSource::createIncremental(uint64_t maxPixels) {
    std::shared_ptr<CGImageSource> source(new CGImageSource(maxPixels));
    source->final_ = false;
    return source;
}

std::vector<std::string> CGImageSource::readableTypeIdentifiers() {
    std::vector<std::string> types{"public.png", "public.jpeg", "com.compuserve.gif", "public.tiff"};
    if (codec::heifCanDecode()) types.emplace_back("public.heic");
    return types;
}

void CGImageSource::updateData(Data data, bool final) {
    std::lock_guard lock(mutex_);
    data_ = std::move(data);
    final_ = final;
    parseLocked();
}

void CGImageSource::parseLocked() {
    format_ = sniff(data_);
    headerKnown_ = false;
    width_ = height_ = 0;
    orientation_ = 1;
    gif_.reset();
    compositor_.reset();
    error_.clear();
    complete_ = false;
    codec::Header h;
    switch (format_) {
        case ImageFormat::PNG: h = codec::pngHeader(data_.data(), data_.size(), maxPixels_); break;
        case ImageFormat::JPEG: h = codec::jpegHeader(data_.data(), data_.size(), maxPixels_); break;
        case ImageFormat::TIFF: h = codec::tiffHeader(data_.data(), data_.size(), maxPixels_); break;
        case ImageFormat::HEIC: h = codec::heifHeader(data_.data(), data_.size(), maxPixels_); break;
        case ImageFormat::GIF: {
            // A GIF is read through once: the frames stay as palette indices until asked for.
            gif_ = std::make_unique<codec::GifFile>(codec::gifParse(data_.data(), data_.size(), maxPixels_));
            compositor_ = std::make_unique<codec::GifCompositor>();
            h = {gif_->width > 0, gif_->width, gif_->height, 1};
            error_ = gif_->error;
            complete_ = gif_->complete && gif_->error.empty();
            break;
        }
        case ImageFormat::Unknown:
            if (final_) error_ = "unknown image format";
            break;
    }
    if (!h.known && final_ && format_ != ImageFormat::GIF && format_ != ImageFormat::Unknown) {
        // All the bytes are there and still no header: decoding says why.
        codec::Bitmap b = decodeLocked();
        error_ = b.error.empty() ? "image header unreadable" : b.error;
    }
    headerKnown_ = h.known;
    width_ = h.width;
    height_ = h.height;
    orientation_ = h.exifOrientation;
}

ImageFormat CGImageSource::format() const {
    std::lock_guard lock(mutex_);
    return format_;
}

std::string CGImageSource::typeIdentifier() const {
    switch (format()) {
        case ImageFormat::PNG: return "public.png";
        case ImageFormat::JPEG: return "public.jpeg";
        case ImageFormat::GIF: return "com.compuserve.gif";
        case ImageFormat::TIFF: return "public.tiff";
        case ImageFormat::HEIC: return "public.heic";
        case ImageFormat::Unknown: break;
    }
    return {};
}

size_t CGImageSource::count() const {
    std::lock_guard lock(mutex_);
    if (gif_) return gif_->frames.size();
    return headerKnown_ ? 1 : 0;
}

int CGImageSource::pixelWidth() const {
    std::lock_guard lock(mutex_);
    return width_;
}

int CGImageSource::pixelHeight() const {
    std::lock_guard lock(mutex_);
    return height_;
}

int CGImageSource::exifOrientation() const {
    std::lock_guard lock(mutex_);
    return orientation_;
}

std::optional<unsigned> CGImageSource::loopCount() const {
    std::lock_guard lock(mutex_);
    return gif_ ? gif_->loopCount : std::nullopt;
}

std::optional<double> CGImageSource::delayAtIndex(size_t index) const {
    std::lock_guard lock(mutex_);
    if (!gif_ || index >= gif_->frames.size()) return std::nullopt;
    return gif_->frames[index].delay;
}

bool CGImageSource::isComplete() const {
    std::lock_guard lock(mutex_);
    return complete_;
}

std::string CGImageSource::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

std::shared_ptr<const CGImage> CGImageSource::imageAtIndex(size_t index) const {
    std::lock_guard lock(mutex_);
    if (gif_) return compositor_->frame(*gif_, index);
    if (index != 0 || !headerKnown_) return nullptr;
    // A TIFF or HEIC file is read whole: its parts may lie anywhere in it.
    if (!final_ && (format_ == ImageFormat::TIFF || format_ == ImageFormat::HEIC)) return nullptr;
    codec::Bitmap b = decodeLocked();
    error_ = b.error;
    complete_ = b.complete;
    return b.image;
}

codec::Bitmap CGImageSource::decodeLocked() const {
    switch (format_) {
        case ImageFormat::PNG: return codec::pngDecode(data_.data(), data_.size(), maxPixels_);
        case ImageFormat::JPEG: return codec::jpegDecode(data_.data(), data_.size(), maxPixels_);
        case ImageFormat::TIFF: return codec::tiffDecode(data_.data(), data_.size(), maxPixels_);
        case ImageFormat::HEIC: return codec::heifDecode(data_.data(), data_.size(), maxPixels_);
        case ImageFormat::GIF:
        case ImageFormat::Unknown: break;
    }
    codec::Bitmap none;
    none.error = "unknown image format";
    return none;
}

std::optional<Data> CGImageEncodePNG(const CGImage& image) {
    return codec::pngEncode(image);
}

std::optional<Data> CGImageEncodeJPEG(const CGImage& image, double quality, int exifOrientation) {
    return codec::jpegEncode(image, quality, exifOrientation);
}

std::optional<Data> CGImageEncodeTIFF(const CGImage& image, int exifOrientation) {
    return codec::tiffEncode(image, exifOrientation);
}

std::optional<Data> CGImageEncodeGIF(const std::vector<CGImageGIFFrame>& frames, std::optional<unsigned> loopCount) {
    std::vector<codec::GifEncodeFrame> in;
    for (const auto& f : frames) in.push_back({f.image, f.delay});
    return codec::gifEncode(in, loopCount);
}

}  // namespace brindlecue::platform
