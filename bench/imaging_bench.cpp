// Image decoding speed: a 1,000 x 1,000 photo-like image as JPEG and as PNG, decoded through the
// library's coder (the coders manager, as image loading uses it: bytes in, an image with its
// bitmap out) beside libjpeg-turbo's and libpng's own decoding of the same bytes into a bitmap
// of their native layout, measured in one run. After the runs the program prints each pair with
// its ratio.
//
//   JPEG      quality 90, 4:2:0; floor: libjpeg-turbo into an RGB buffer, the whole image.
//   PNG       8-bit RGB; floor: libpng into an RGB buffer, the whole image.
//   PNGAlpha  8-bit RGBA with varying alpha (not a target: premultiplying is extra work that
//             libpng does not do); floor: libpng into an RGBA buffer.
#include <benchmark/benchmark.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "imaging/KJSDWebImageCodersManager.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/uikit/UIImage.h"

using namespace brindlecue;
using namespace brindlecue::platform;

namespace {

constexpr int kSide = 1000;

// Gradients, rings and a little noise: compresses like a photograph rather than a flat drawing.
std::shared_ptr<const CGImage> photoLike(bool alpha) {
    std::vector<RGBA8> px(size_t(kSide) * kSide);
    uint32_t seed = 2463534242u;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            int noise = int(seed % 17) - 8;
            double ring = std::sin(std::hypot(x - 420.0, y - 560.0) / 23.0);
            auto clamp = [](double v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
            px[size_t(y) * kSide + x] = {clamp(x * 0.2 + 90 * ring + 80 + noise),
                                         clamp(y * 0.22 + 40 + noise),
                                         clamp(150 + 70 * std::cos(x / 61.0) * std::sin(y / 47.0) + noise),
                                         alpha ? clamp(128 + 127 * std::sin((x + y) / 90.0)) : uint8_t(255)};
        }
    }
    return CGImage::fromRGBA(kSide, kSide, px);
}

const Data& jpegBytes() {
    static const Data bytes = *CGImageEncodeJPEG(*photoLike(false), 0.9);
    return bytes;
}
const Data& pngBytes() {
    static const Data bytes = *CGImageEncodePNG(*photoLike(false));
    return bytes;
}
const Data& pngAlphaBytes() {
    static const Data bytes = *CGImageEncodePNG(*photoLike(true));
    return bytes;
}

void decodeThroughCoder(benchmark::State& state, const Data& bytes) {
    auto coder = KJSDWebImageCodersManager::sharedInstance();
    for (auto _ : state) {
        auto image = coder->decodedImageWithData(&bytes);
        if (!image || !image->cgImage() || image->cgImage()->width() != kSide)
            state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(image);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void BM_CoderJPEG(benchmark::State& state) {
    decodeThroughCoder(state, jpegBytes());
}
void BM_CoderPNG(benchmark::State& state) {
    decodeThroughCoder(state, pngBytes());
}
void BM_CoderPNGAlpha(benchmark::State& state) {
    decodeThroughCoder(state, pngAlphaBytes());
}

// ---- Floors

struct JpegFail {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void BM_LibjpegTurbo(benchmark::State& state) {
    const Data& bytes = jpegBytes();
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        JpegFail err;
        cinfo.err = jpeg_std_error(&err.mgr);
        err.mgr.error_exit = [](j_common_ptr c) { longjmp(reinterpret_cast<JpegFail*>(c->err)->jump, 1); };
        if (setjmp(err.jump)) {
            jpeg_destroy_decompress(&cinfo);
            state.SkipWithError("libjpeg failed");
            break;
        }
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_RGB;
        jpeg_start_decompress(&cinfo);
        std::vector<uint8_t> pixels(size_t(cinfo.output_width) * cinfo.output_height * 3);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW rows[16];
            for (int i = 0; i < 16; ++i)
                rows[i] =
                    pixels.data() + size_t(std::min(cinfo.output_scanline + i, cinfo.output_height - 1)) *
                                        cinfo.output_width * 3;
            jpeg_read_scanlines(&cinfo, rows, 16);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

struct PngReader {
    const Data* bytes;
    size_t at;
};

void libpngDecode(benchmark::State& state, const Data& bytes) {
    for (auto _ : state) {
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        std::vector<uint8_t> pixels;
        std::vector<png_bytep> rows;
        PngReader reader{&bytes, 0};
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_read_struct(&png, &info, nullptr);
            state.SkipWithError("libpng failed");
            break;
        }
        png_set_read_fn(png, &reader, [](png_structp p, png_bytep out, size_t n) {
            auto* r = static_cast<PngReader*>(png_get_io_ptr(p));
            if (n > r->bytes->size() - r->at) png_error(p, "short");
            std::memcpy(out, r->bytes->data() + r->at, n);
            r->at += n;
        });
        png_read_info(png, info);
        png_set_expand(png);
        png_set_strip_16(png);
        png_read_update_info(png, info);
        size_t rowBytes = png_get_rowbytes(png, info);
        png_uint_32 height = png_get_image_height(png, info);
        pixels.resize(rowBytes * height);
        rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels.data() + rowBytes * y;
        png_read_image(png, rows.data());
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void BM_Libpng(benchmark::State& state) {
    libpngDecode(state, pngBytes());
}
void BM_LibpngAlpha(benchmark::State& state) {
    libpngDecode(state, pngAlphaBytes());
}

BENCHMARK(BM_CoderJPEG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibjpegTurbo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CoderPNG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libpng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CoderPNGAlpha)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibpngAlpha)->Unit(benchmark::kMillisecond);

// Keeps the CPU time per decode of each benchmark for the closing ratios: the median of the
// repetitions when there are several (--benchmark_repetitions), else the one run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                seconds[name] = run.cpu_accumulated_time / static_cast<double>(run.iterations);
                fromMedian[name] = true;
            } else if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !fromMedian[name]) {
                seconds[name] = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            }
        }
    }
    std::map<std::string, double> seconds;
    std::map<std::string, bool> fromMedian;
};

}  // namespace

int main(int argc, char** argv) {
    std::printf("JPEG %zu bytes, PNG %zu bytes, PNG with alpha %zu bytes\n", jpegBytes().size(),
                pngBytes().size(), pngAlphaBytes().size());
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    struct Pair {
        const char* name;
        const char* library;
        const char* floor;
        double target;
    };
    const Pair pairs[] = {
        {"JPEG", "BM_CoderJPEG", "BM_LibjpegTurbo", 1.3},
        {"PNG", "BM_CoderPNG", "BM_Libpng", 1.3},
        {"PNGAlpha", "BM_CoderPNGAlpha", "BM_LibpngAlpha", 0},
    };
    std::printf("\n%-10s %14s %14s %7s %8s\n", "pair", "library ns", "floor ns", "ratio", "target");
    for (const Pair& p : pairs) {
        double library = reporter.seconds[p.library];
        double floor = reporter.seconds[p.floor];
        if (library <= 0 || floor <= 0) continue;
        char target[16] = "-";
        if (p.target > 0) std::snprintf(target, sizeof target, "<= %.1f", p.target);
        std::printf("%-10s %14.0f %14.0f %7.2f %8s\n", p.name, library * 1e9, floor * 1e9, library / floor,
                    target);
    }
    return 0;
}
