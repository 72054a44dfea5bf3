#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/graphics/ImageCodecs.h"

namespace brindlecue::platform::codec {
namespace {

// libheif is set up once for the process and never taken down: decoding may run on any thread
// until the process ends.
void initialise() {
    static std::once_flag once;
    std::call_once(once, [] { heif_init(nullptr); });
}

struct FreeContext {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct ReleaseHandle {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ReleaseImage {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct FreeOptions {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};

// The file and its primary image, read without copying the bytes (which outlive both).
struct File {
    std::unique_ptr<heif_context, FreeContext> context;
    std::unique_ptr<heif_image_handle, ReleaseHandle> primary;
};

bool fail(std::string& error, const heif_error& result) {
    if (result.code == heif_error_Ok) return false;
    error = std::string("HEIF: ") + (result.message ? result.message : "unreadable");
    return true;
}

bool open(const uint8_t* data, size_t size, File& file, std::string& error) {
    initialise();
    file.context.reset(heif_context_alloc());
    if (!file.context) {
        error = "out of memory";
        return false;
    }
    // No side beyond the drawing layer's, whatever the file declares (also for the tiles of a grid).
    heif_context_set_maximum_image_size_limit(file.context.get(), CGImage::kMaxSide);
    if (fail(error, heif_context_read_from_memory_without_copy(file.context.get(), data, size, nullptr)))
        return false;
    heif_image_handle* primary = nullptr;
    if (fail(error, heif_context_get_primary_image_handle(file.context.get(), &primary))) return false;
    file.primary.reset(primary);
    return true;
}

bool withinLimits(int width, int height, uint64_t maxPixels, std::string& error) {
    if (width <= 0 || height <= 0 || width > CGImage::kMaxSide || height > CGImage::kMaxSide) {
        error = "image size out of range";
        return false;
    }
    if (uint64_t(width) * uint64_t(height) > maxPixels) {
        error = "decoded size exceeds the limit";
        return false;
    }
    return true;
}

// The size shown (after rotation and cropping), and the coded size it is made from: both are
// allocated while decoding, so both stay under the limits.
bool checkSizes(heif_image_handle* primary, uint64_t maxPixels, int& width, int& height, std::string& error) {
    width = heif_image_handle_get_width(primary);
    height = heif_image_handle_get_height(primary);
    if (!withinLimits(width, height, maxPixels, error)) return false;
    const int codedWidth = heif_image_handle_get_ispe_width(primary);
    const int codedHeight = heif_image_handle_get_ispe_height(primary);
    return withinLimits(codedWidth, codedHeight, maxPixels, error);
}

bool isHeif(const uint8_t* data, size_t size) {
    if (size < 12 || std::memcmp(data + 4, "ftyp", 4) != 0) return false;
    static constexpr const char* kBrands[] = {"heic", "heix", "hevc", "hevx", "heim",
                                              "heis", "hevm", "hevs", "mif1", "msf1"};
    for (const char* brand : kBrands)
        if (std::memcmp(data + 8, brand, 4) == 0) return true;
    return false;
}

}  // namespace

bool heifCanDecode() {
    initialise();
    static const bool decodes = heif_have_decoder_for_format(heif_compression_HEVC) != 0;
    return decodes;
}

Header heifHeader(const uint8_t* data, size_t size, uint64_t maxPixels) {
    Header h;
    if (!isHeif(data, size)) return h;
    File file;
    std::string error;
    if (!open(data, size, file, error)) return h;
    if (!checkSizes(file.primary.get(), maxPixels, h.width, h.height, error)) return Header{};
    // Rotation and mirroring are applied while decoding: the image comes out upright.
    h.known = true;
    return h;
}

Bitmap heifDecode(const uint8_t* data, size_t size, uint64_t maxPixels) {
    Bitmap out;
    if (!isHeif(data, size)) {
        out.error = "not HEIF data";
        return out;
    }
    File file;
    if (!open(data, size, file, out.error)) return out;
    int width = 0, height = 0;
    if (!checkSizes(file.primary.get(), maxPixels, width, height, out.error)) return out;
    if (!heifCanDecode()) {
        out.error = "no HEVC decoder";
        return out;
    }

    std::unique_ptr<heif_decoding_options, FreeOptions> options(heif_decoding_options_alloc());
    if (!options) {
        out.error = "out of memory";
        return out;
    }
    options->convert_hdr_to_8bit = 1;
    const bool alpha = heif_image_handle_has_alpha_channel(file.primary.get()) != 0;
    heif_image* decoded = nullptr;
    if (fail(out.error, heif_decode_image(file.primary.get(), &decoded, heif_colorspace_RGB,
                                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                                          options.get())))
        return out;
    std::unique_ptr<heif_image, ReleaseImage> image(decoded);

    // The decoded image is checked as it is, not as the file described it.
    const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!withinLimits(w, h, maxPixels, out.error)) return out;
    const int channels = alpha ? 4 : 3;
    if (heif_image_get_bits_per_pixel(image.get(), heif_channel_interleaved) != channels * 8) {
        out.error = "unexpected pixel layout";
        return out;
    }
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || stride < w * channels) {
        out.error = "unexpected pixel layout";
        return out;
    }
    const bool premultiplied = alpha && heif_image_is_premultiplied_alpha(image.get()) != 0;

    std::vector<uint32_t> pixels;
    try {
        pixels.resize(size_t(w) * size_t(h));
    } catch (...) {
        out.error = "out of memory";
        return out;
    }
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = plane + size_t(y) * size_t(stride);
        uint32_t* dst = pixels.data() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x, row += channels) {
            const RGBA8 p{row[0], row[1], row[2], alpha ? row[3] : uint8_t(255)};
            if (!alpha || !premultiplied) {
                dst[x] = premultiply(p);
            } else {
                // Premultiplied samples are held to their alpha.
                auto held = [&](uint8_t c) { return uint32_t(std::min(c, p.a)); };
                dst[x] = (uint32_t(p.a) << 24) | (held(p.r) << 16) | (held(p.g) << 8) | held(p.b);
            }
        }
    }
    out.image = CGImage::fromPremultipliedARGB(w, h, std::move(pixels), alpha);
    if (!out.image) {
        out.error = "image size out of range";
        return out;
    }
    out.complete = true;
    return out;
}

}  // namespace brindlecue::platform::codec
