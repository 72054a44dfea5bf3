#include "platform/graphics/CGImageSource.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

namespace brindlecue::platform {
namespace {

std::shared_ptr<const CGImage> noise(int w, int h, bool alpha) {
    std::vector<RGBA8> px(size_t(w) * h);
    uint32_t s = 12345;
    for (auto& p : px) {
        s = s * 1103515245 + 12345;
        p = {uint8_t(s >> 8), uint8_t(s >> 16), uint8_t(s >> 24), uint8_t(alpha ? (s >> 4) | 1 : 255)};
    }
    return CGImage::fromRGBA(w, h, px);
}

// A GIF written with giflib itself: a 4 x 4 canvas, palette 0 red, 1 blue, 2 green, 3 unused.
struct GifFrameSpec {
    int left, top, width, height;
    int delayCs;
    int disposal;
    int transparent;  // -1 for none
    uint8_t index;    // every pixel
};

Data writeGif(const std::vector<GifFrameSpec>& frames, std::optional<int> loop, int canvas = 4) {
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
    EGifPutScreenDesc(gif, canvas, canvas, 2, 0, map);
    if (loop) {
        GifByteType app[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        GifByteType block[] = {1, GifByteType(*loop & 0xFF), GifByteType(*loop >> 8)};
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif, 11, app);
        EGifPutExtensionBlock(gif, 3, block);
        EGifPutExtensionTrailer(gif);
    }
    for (const auto& f : frames) {
        GifByteType gce[4] = {GifByteType((f.disposal << 2) | (f.transparent >= 0 ? 1 : 0)),
                              GifByteType(f.delayCs & 0xFF), GifByteType(f.delayCs >> 8),
                              GifByteType(f.transparent >= 0 ? f.transparent : 0)};
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce);
        EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, false, nullptr);
        std::vector<GifByteType> line(size_t(f.width), f.index);
        for (int y = 0; y < f.height; ++y) EGifPutLine(gif, line.data(), f.width);
    }
    EGifCloseFile(gif, &err);
    GifFreeMapObject(map);
    return out;
}

const RGBA8 kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255}, kGreen{0, 255, 0, 255}, kClear{0, 0, 0, 0};

TEST(CGImageSourceGIF, FramesDelaysLoopCountAndDisposal) {
    // Frame 0 fills the canvas red; frame 1 puts a blue 2 x 2 square at (1, 1) and asks to be
    // restored to the background; frame 2 puts green at (2, 2), keeping what is under it.
    Data gif = writeGif({{0, 0, 4, 4, 10, 1, -1, 0}, {1, 1, 2, 2, 20, 2, -1, 1}, {2, 2, 2, 2, 30, 1, -1, 2}}, 3);
    auto source = CGImageSource::createWithData(gif);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->typeIdentifier(), "com.compuserve.gif");
    ASSERT_EQ(source->count(), 3u);
    EXPECT_EQ(source->loopCount(), 3u);
    EXPECT_DOUBLE_EQ(*source->delayAtIndex(0), 0.1);
    EXPECT_DOUBLE_EQ(*source->delayAtIndex(1), 0.2);
    EXPECT_DOUBLE_EQ(*source->delayAtIndex(2), 0.3);
    EXPECT_FALSE(source->delayAtIndex(3));
    EXPECT_TRUE(source->isComplete());

    auto f1 = source->imageAtIndex(1);
    EXPECT_EQ(f1->pixelAt(0, 0), kRed);  // from frame 0
    EXPECT_EQ(f1->pixelAt(1, 1), kBlue);
    auto f2 = source->imageAtIndex(2);
    EXPECT_EQ(f2->pixelAt(1, 1), kClear);  // frame 1's area went back to the background
    EXPECT_EQ(f2->pixelAt(3, 3), kGreen);
    EXPECT_EQ(f2->pixelAt(0, 3), kRed);
    // Asking again out of order composites the same.
    EXPECT_EQ(source->imageAtIndex(1)->pixelAt(1, 1), kBlue);
}

TEST(CGImageSourceGIF, RestoreToPreviousTransparencyAndFramesOutsideTheCanvas) {
    // Frame 1 (restore to previous) draws blue with a transparent index over red; frame 2 is
    // mostly outside the canvas.
    Data gif = writeGif({{0, 0, 4, 4, 5, 1, -1, 0}, {0, 0, 2, 2, 5, 3, -1, 1}, {3, 3, 5, 5, 5, 1, -1, 2},
                         {0, 0, 4, 4, 5, 1, 2, 2}},
                        std::nullopt);
    auto source = CGImageSource::createWithData(gif);
    ASSERT_TRUE(source);
    EXPECT_FALSE(source->loopCount());
    ASSERT_EQ(source->count(), 4u);
    auto f2 = source->imageAtIndex(2);
    EXPECT_EQ(f2->pixelAt(0, 0), kRed);  // frame 1 undone
    EXPECT_EQ(f2->pixelAt(3, 3), kGreen);
    EXPECT_EQ(f2->pixelAt(2, 3), kRed);
    auto f3 = source->imageAtIndex(3);  // entirely transparent pixels change nothing
    EXPECT_EQ(f3->pixelAt(0, 0), kRed);
    EXPECT_EQ(f3->pixelAt(3, 3), kGreen);
}

TEST(CGImageSourceGIF, TruncatedKeepsCompleteFramesAndHugeCanvasIsRefused) {
    Data gif = writeGif({{0, 0, 4, 4, 10, 1, -1, 0}, {0, 0, 4, 4, 10, 1, -1, 1}}, 0);
    Data cut(gif.begin(), gif.end() - 6);
    auto source = CGImageSource::createWithData(cut);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->count(), 1u);
    EXPECT_FALSE(source->isComplete());
    EXPECT_FALSE(source->error().empty());
    EXPECT_EQ(source->imageAtIndex(0)->pixelAt(2, 2), kRed);

    Data huge = writeGif({{0, 0, 1, 1, 10, 1, -1, 0}}, 0, 60000);
    auto big = CGImageSource::createWithData(huge);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->count(), 0u);
    EXPECT_EQ(big->error(), "decoded size exceeds the limit");
    EXPECT_FALSE(big->imageAtIndex(0));
}

TEST(CGImageSourceGIF, FramesKeptAltogetherStayUnderTheCap) {
    // Each 4 x 4 frame keeps 16 index bytes; a cap of 40 pixels holds two of them.
    Data gif = writeGif({{0, 0, 4, 4, 10, 1, -1, 0}, {0, 0, 4, 4, 10, 1, -1, 1}, {0, 0, 4, 4, 10, 1, -1, 2}}, 0);
    auto source = CGImageSource::createWithData(gif, 40);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->count(), 2u);
    EXPECT_EQ(source->error(), "decoded size exceeds the limit");
    EXPECT_EQ(source->imageAtIndex(1)->pixelAt(0, 0), kBlue);
    EXPECT_EQ(CGImageSource::createWithData(gif, 48)->count(), 3u);
}

TEST(CGImageSourcePNG, RoundTripAndTruncatedDataGivesItsDecodedRows) {
    auto image = noise(64, 64, true);
    auto png = CGImageEncodePNG(*image);
    ASSERT_TRUE(png);
    auto whole = CGImageSource::createWithData(*png);
    auto decoded = whole->imageAtIndex(0);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->premultipliedARGB(), image->premultipliedARGB());
    EXPECT_TRUE(whole->isComplete());

    auto partial = CGImageSource::createIncremental();
    partial->updateData(Data(png->begin(), png->begin() + png->size() / 2), false);
    EXPECT_EQ(partial->count(), 1u);
    EXPECT_EQ(partial->pixelWidth(), 64);
    auto rows = partial->imageAtIndex(0);
    ASSERT_TRUE(rows);
    EXPECT_GT(rows->height(), 10);
    EXPECT_LT(rows->height(), 64);
    EXPECT_FALSE(partial->isComplete());
    for (int y = 0; y < rows->height(); y += 7) EXPECT_EQ(rows->pixelAt(5, y), image->pixelAt(5, y)) << y;
    partial->updateData(*png, true);
    EXPECT_EQ(partial->imageAtIndex(0)->height(), 64);
}

TEST(CGImageSourcePNG, DeclaredSizesBeyondTheCapOrCorruptDataFailClearly) {
    auto png = CGImageEncodePNG(*noise(8, 8, false));
    auto capped = CGImageSource::createWithData(*png, 32);
    EXPECT_FALSE(capped->imageAtIndex(0));
    EXPECT_EQ(capped->count(), 0u);
    auto normal = CGImageSource::createWithData(*png, 64);
    EXPECT_TRUE(normal->imageAtIndex(0));

    Data corrupt = *png;
    for (size_t i = 40; i < corrupt.size(); i += 3) corrupt[i] ^= 0x5A;
    auto bad = CGImageSource::createWithData(corrupt);
    ASSERT_TRUE(bad);
    bad->imageAtIndex(0);
    EXPECT_FALSE(bad->error().empty());
    EXPECT_FALSE(CGImageSource::createWithData(Data{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_FALSE(CGImageSource::createWithData(Data{}));
}

// An APP1 segment in big-endian TIFF order holding only an orientation.
Data withExif(const Data& jpeg, int orientation) {
    Data app1 = {0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, uint8_t(orientation), 0, 0, 0, 0, 0, 0};
    Data out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), app1.begin(), app1.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

TEST(CGImageSourceJPEG, ExifOrientationQualityAndTruncation) {
    auto image = noise(48, 32, false);
    auto jpeg = CGImageEncodeJPEG(*image, 0.9);
    ASSERT_TRUE(jpeg);
    auto rotated = CGImageSource::createWithData(withExif(*jpeg, 6));
    ASSERT_TRUE(rotated);
    EXPECT_EQ(rotated->exifOrientation(), 6);
    EXPECT_EQ(rotated->pixelWidth(), 48);
    EXPECT_EQ(CGImageSource::createWithData(*jpeg)->exifOrientation(), 1);
    // The encoder records an orientation the same way.
    EXPECT_EQ(CGImageSource::createWithData(*CGImageEncodeJPEG(*image, 0.9, 8))->exifOrientation(), 8);

    auto small = CGImageEncodeJPEG(*image, 0.1);
    EXPECT_LT(small->size(), jpeg->size());

    auto tall = noise(16, 128, false);
    auto tallJpeg = CGImageEncodeJPEG(*tall, 1.0);
    auto whole = CGImageSource::createWithData(*tallJpeg)->imageAtIndex(0);
    auto cut = CGImageSource::createWithData(Data(tallJpeg->begin(), tallJpeg->begin() + tallJpeg->size() / 2));
    auto rows = cut->imageAtIndex(0);
    ASSERT_TRUE(rows);
    EXPECT_GT(rows->height(), 16);
    EXPECT_LT(rows->height(), 128);
    EXPECT_FALSE(cut->isComplete());
    EXPECT_EQ(rows->pixelAt(3, 8), whole->pixelAt(3, 8));
}

TEST(CGImageSourceEncoding, GifFramesRoundTrip) {
    std::vector<CGImageGIFFrame> frames = {{noise(8, 8, false), 0.1}, {noise(8, 8, true), 0.25}};
    auto gif = CGImageEncodeGIF(frames, 0);
    ASSERT_TRUE(gif);
    auto source = CGImageSource::createWithData(*gif);
    ASSERT_EQ(source->count(), 2u);
    EXPECT_EQ(source->loopCount(), 0u);
    EXPECT_DOUBLE_EQ(*source->delayAtIndex(1), 0.25);
    auto first = source->imageAtIndex(0);
    EXPECT_EQ(first->width(), 8);
    EXPECT_EQ(first->pixelAt(3, 3).a, 255);
    EXPECT_FALSE(CGImageEncodeGIF({}));
}

std::shared_ptr<const CGImage> decodedGIF(const std::shared_ptr<const CGImage>& image) {
    auto gif = CGImageEncodeGIF({{image, 0}});
    if (!gif) return nullptr;
    auto source = CGImageSource::createWithData(*gif);
    return source ? source->imageAtIndex(0) : nullptr;
}

TEST(CGImageSourceEncoding, GifFramesOfAtMost256ColoursKeepThemExactly) {
    // Pure colours and a transparent band.
    std::vector<RGBA8> px(16 * 16);
    const RGBA8 colours[] = {
        {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}, {7, 130, 251, 255}};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) px[size_t(y) * 16 + x] = y < 12 ? colours[x % 5] : RGBA8{0, 0, 0, 0};
    auto plain = decodedGIF(CGImage::fromRGBA(16, 16, px));
    ASSERT_TRUE(plain);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(plain->pixelAt(x, 3), colours[x]) << x;
    EXPECT_EQ(plain->pixelAt(4, 14).a, 0);

    // 256 colours and nothing transparent: every entry of the table is a colour.
    std::vector<RGBA8> full(16 * 16);
    for (int i = 0; i < 256; ++i) full[size_t(i)] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 255};
    auto all = decodedGIF(CGImage::fromRGBA(16, 16, full));
    ASSERT_TRUE(all);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(all->pixelAt(i % 16, i / 16), full[size_t(i)]) << i;

    // 255 colours and a transparent pixel fill the table's 256 entries: the transparency is kept
    // and the colours stay near their own (GifFramesOfOtherSizesManyColoursAndMissingImages needs
    // more entries than the table holds).
    full[0] = {0, 0, 0, 0};
    full[1] = {255, 0, 0, 255};
    auto many = decodedGIF(CGImage::fromRGBA(16, 16, full));
    ASSERT_TRUE(many);
    EXPECT_EQ(many->pixelAt(0, 0).a, 0);
    std::set<uint32_t> distinct;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            RGBA8 p = many->pixelAt(x, y);
            if (x + y > 0) {
                EXPECT_EQ(p.a, 255);
            }
            distinct.insert(uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b);
        }
    EXPECT_LE(distinct.size(), 256u);
    EXPECT_NEAR(many->pixelAt(1, 0).r, 255, 16);
}

Data readTestFile(const std::string& name) {
    std::ifstream in(std::filesystem::path(BRINDLECUE_SOURCE_DIR) / "src/platform/graphics/test-data" / name,
                     std::ios::binary);
    return Data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(CGImageSourceRegressions, HugeDeclaredSizesAndStrayFramesAreHandled) {
    for (const char* name : {"huge-declared-size.png", "huge-declared-size.jpg"}) {
        auto source = CGImageSource::createWithData(readTestFile(name));
        ASSERT_TRUE(source) << name;
        EXPECT_EQ(source->count(), 0u) << name;
        EXPECT_FALSE(source->imageAtIndex(0)) << name;
        EXPECT_FALSE(source->error().empty()) << name;
    }
    // The stray frame is kept (it has a delay) but draws nothing; the last one is clipped.
    auto gif = CGImageSource::createWithData(readTestFile("frame-outside-canvas.gif"));
    ASSERT_TRUE(gif);
    ASSERT_EQ(gif->count(), 3u);
    EXPECT_EQ(gif->imageAtIndex(1)->pixelAt(0, 0), (RGBA8{0, 0, 255, 255}));
    EXPECT_EQ(gif->imageAtIndex(2)->pixelAt(1, 1), (RGBA8{255, 0, 0, 255}));
    EXPECT_EQ(gif->imageAtIndex(2)->pixelAt(0, 0), (RGBA8{0, 0, 255, 255}));
    // Palette indices beyond the palette decode without reading outside it.
    auto png = CGImageSource::createWithData(readTestFile("palette-index-out-of-range.png"));
    auto image = png->imageAtIndex(0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelAt(0, 0), (RGBA8{255, 0, 0, 255}));
}

// Each test file shows four quadrants: red at the top left, green at the top right, blue at the
// bottom left, white at the bottom right.
bool near(RGBA8 got, RGBA8 want, int tolerance) {
    return std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
           std::abs(got.b - want.b) <= tolerance && std::abs(got.a - want.a) <= tolerance;
}

constexpr RGBA8 kQuadrants[] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};

void expectQuadrants(const CGImage& image, int tolerance) {
    const int w = image.width(), h = image.height();
    const std::pair<int, int> corners[] = {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}};
    const std::pair<int, int> middles[] = {{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}};
    for (int q = 0; q < 4; ++q) {
        for (auto [x, y] : {corners[q], middles[q]}) {
            RGBA8 p = image.pixelAt(x, y);
            EXPECT_TRUE(near(p, kQuadrants[q], tolerance))
                << "(" << x << ", " << y << "): " << int(p.r) << " " << int(p.g) << " " << int(p.b) << " " << int(p.a);
        }
    }
}

TEST(CGImageSourceTIFF, StripsTilesAlphaAndTheOrientationTag) {
    auto plain = CGImageSource::createWithData(readTestFile("quadrants.tif"));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->format(), ImageFormat::TIFF);
    EXPECT_EQ(plain->typeIdentifier(), "public.tiff");
    ASSERT_EQ(plain->count(), 1u);
    EXPECT_EQ(plain->pixelWidth(), 8);
    EXPECT_EQ(plain->pixelHeight(), 6);
    EXPECT_EQ(plain->exifOrientation(), 1);
    auto image = plain->imageAtIndex(0);
    ASSERT_TRUE(image) << plain->error();
    EXPECT_TRUE(plain->isComplete());
    EXPECT_FALSE(image->hasAlpha());
    expectQuadrants(*image, 0);

    // The orientation is reported beside the rows, which stay in the order the file keeps them
    // (as for a JPEG); LZW strips decode as the plain ones do.
    auto turned = CGImageSource::createWithData(readTestFile("quadrants-orientation-6.tif"));
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->exifOrientation(), 6);
    ASSERT_TRUE(turned->imageAtIndex(0));
    EXPECT_EQ(turned->imageAtIndex(0)->width(), 8);
    expectQuadrants(*turned->imageAtIndex(0), 0);

    // Deflated 16-pixel tiles over a 40 x 24 image, with straight alpha: the bottom left is clear,
    // the bottom right white at half opacity.
    auto tiled = CGImageSource::createWithData(readTestFile("quadrants-alpha-tiled.tif"));
    ASSERT_TRUE(tiled);
    auto clear = tiled->imageAtIndex(0);
    ASSERT_TRUE(clear) << tiled->error();
    ASSERT_EQ(clear->width(), 40);
    ASSERT_EQ(clear->height(), 24);
    EXPECT_TRUE(clear->hasAlpha());
    EXPECT_EQ(clear->pixelAt(0, 0), kQuadrants[0]);
    EXPECT_EQ(clear->pixelAt(39, 11), kQuadrants[1]);
    EXPECT_EQ(clear->pixelAt(0, 23).a, 0);
    EXPECT_TRUE(near(clear->pixelAt(39, 23), {255, 255, 255, 128}, 1));
    EXPECT_EQ(clear->premultipliedARGB()[size_t(23) * 40 + 39], 0x80808080u);
}

TEST(CGImageSourceTIFF, ADownloadDecodesOnlyOnceWholeAndHostileFilesFailClearly) {
    const Data bytes = readTestFile("quadrants-alpha-tiled.tif");
    auto partial = CGImageSource::createIncremental();
    partial->updateData(Data(bytes.begin(), bytes.begin() + bytes.size() / 2), false);
    EXPECT_FALSE(partial->imageAtIndex(0));
    partial->updateData(Data(bytes.begin(), bytes.end() - 1), false);
    EXPECT_FALSE(partial->imageAtIndex(0));
    partial->updateData(bytes, true);
    ASSERT_EQ(partial->count(), 1u);
    ASSERT_TRUE(partial->imageAtIndex(0));
    EXPECT_EQ(partial->imageAtIndex(0)->width(), 40);
    // Cut short for good: no image, and why.
    auto cut = CGImageSource::createWithData(Data(bytes.begin(), bytes.begin() + bytes.size() * 2 / 3));
    ASSERT_TRUE(cut);
    EXPECT_FALSE(cut->imageAtIndex(0));
    EXPECT_FALSE(cut->error().empty());

    // 30000 x 30000 declared, far above the cap: refused before anything is allocated.
    auto huge = CGImageSource::createWithData(readTestFile("huge-declared-size.tif"));
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->count(), 0u);
    EXPECT_FALSE(huge->imageAtIndex(0));
    EXPECT_EQ(huge->error(), "decoded size exceeds the limit");
    // Under a cap of 100 pixels the 40 x 24 image is refused too.
    auto capped = CGImageSource::createWithData(bytes, 100);
    EXPECT_EQ(capped->count(), 0u);
    EXPECT_EQ(capped->error(), "decoded size exceeds the limit");
    // Strips said to lie beyond the end of the file are not read.
    auto strays = CGImageSource::createWithData(readTestFile("strips-past-the-end.tif"));
    ASSERT_TRUE(strays);
    EXPECT_FALSE(strays->imageAtIndex(0));
    EXPECT_TRUE(strays->error().starts_with("TIFF")) << strays->error();
}

TEST(CGImageSourceEncoding, TiffGivesBackTheSameBitmapWithItsAlphaAndOrientation) {
    // Translucent noise over several strips, with a clear pixel, an opaque one and one barely
    // there: the premultiplied words come back unchanged, so the straight pixels do too.
    auto translucent = noise(301, 203, true);
    std::vector<uint32_t> words = translucent->premultipliedARGB();
    words[0] = 0;
    words[1] = 0xFF123456u;
    words[2] = 0x01010001u;
    words.back() = 0x80402000u;
    auto image = CGImage::fromPremultipliedARGB(301, 203, std::move(words), true);
    auto tiff = CGImageEncodeTIFF(*image);
    ASSERT_TRUE(tiff);
    auto source = CGImageSource::createWithData(*tiff);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->format(), ImageFormat::TIFF);
    EXPECT_EQ(source->exifOrientation(), 1);
    auto decoded = source->imageAtIndex(0);
    ASSERT_TRUE(decoded) << source->error();
    EXPECT_EQ(decoded->width(), 301);
    EXPECT_EQ(decoded->height(), 203);
    EXPECT_TRUE(decoded->hasAlpha());
    EXPECT_TRUE(decoded->premultipliedARGB() == image->premultipliedARGB());
    EXPECT_EQ(decoded->pixelAt(0, 0), (RGBA8{0, 0, 0, 0}));
    EXPECT_EQ(decoded->pixelAt(1, 0), (RGBA8{0x12, 0x34, 0x56, 255}));
    EXPECT_EQ(decoded->pixelAt(2, 0), (RGBA8{255, 0, 255, 1}));
    EXPECT_EQ(decoded->pixelAt(300, 202), (RGBA8{128, 64, 0, 128}));

    // An opaque image: no alpha comes back; the orientation is a tag beside rows kept as they are.
    auto opaque = noise(16, 41, false);
    auto turned = CGImageSource::createWithData(*CGImageEncodeTIFF(*opaque, 6));
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->exifOrientation(), 6);
    auto back = turned->imageAtIndex(0);
    ASSERT_TRUE(back) << turned->error();
    EXPECT_FALSE(back->hasAlpha());
    EXPECT_EQ(back->width(), 16);
    EXPECT_EQ(back->height(), 41);
    EXPECT_EQ(back->premultipliedARGB(), opaque->premultipliedARGB());
    // No orientation past 8 is written: the image reads as upright.
    EXPECT_EQ(CGImageSource::createWithData(*CGImageEncodeTIFF(*opaque, 9))->exifOrientation(), 1);

    // The strips are compressed: a plain image takes far less than its samples.
    auto plain =
        CGImage::fromPremultipliedARGB(200, 200, std::vector<uint32_t>(200 * 200, 0xFF336699u), false);
    auto small = CGImageEncodeTIFF(*plain);
    ASSERT_TRUE(small);
    EXPECT_LT(small->size(), size_t(200 * 200 * 3 / 10));
    EXPECT_EQ(CGImageSource::createWithData(*small)->imageAtIndex(0)->pixelAt(199, 199),
              (RGBA8{0x33, 0x66, 0x99, 255}));
}

bool readsHEIC() {
    const auto types = CGImageSource::readableTypeIdentifiers();
    return std::find(types.begin(), types.end(), "public.heic") != types.end();
}

TEST(CGImageSourceHEIC, ThePrimaryImageDecodesWhereAnHEVCDecoderIsThere) {
    const Data bytes = readTestFile("quadrants.heic");
    auto source = CGImageSource::createWithData(bytes);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->format(), ImageFormat::HEIC);
    EXPECT_EQ(source->typeIdentifier(), "public.heic");
    // The file codes 64 x 64 and shows 64 x 48 (a clean aperture).
    ASSERT_EQ(source->count(), 1u);
    EXPECT_EQ(source->pixelWidth(), 64);
    EXPECT_EQ(source->pixelHeight(), 48);
    EXPECT_EQ(source->exifOrientation(), 1);
    auto huge = CGImageSource::createWithData(readTestFile("huge-declared-size.heic"));
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->count(), 0u);
    EXPECT_FALSE(huge->imageAtIndex(0));
    EXPECT_FALSE(huge->error().empty());
    if (!readsHEIC()) {
        EXPECT_FALSE(source->imageAtIndex(0));
        EXPECT_EQ(source->error(), "no HEVC decoder");
        GTEST_SKIP() << "libheif has no HEVC decoder here";
    }

    auto image = source->imageAtIndex(0);
    ASSERT_TRUE(image) << source->error();
    EXPECT_TRUE(source->isComplete());
    ASSERT_EQ(image->width(), 64);
    ASSERT_EQ(image->height(), 48);
    EXPECT_FALSE(image->hasAlpha());
    // Colours pass through YCbCr: close, not exact.
    expectQuadrants(*image, 12);

    auto partial = CGImageSource::createIncremental();
    partial->updateData(Data(bytes.begin(), bytes.end() - 1), false);
    EXPECT_FALSE(partial->imageAtIndex(0));
    partial->updateData(bytes, true);
    ASSERT_TRUE(partial->imageAtIndex(0));
    auto cut = CGImageSource::createWithData(Data(bytes.begin(), bytes.begin() + bytes.size() * 2 / 3));
    ASSERT_TRUE(cut);
    EXPECT_FALSE(cut->imageAtIndex(0));
    EXPECT_FALSE(cut->error().empty());
}

// Hostile inputs kept as files: huge declared sizes, palette indices out of range, frames outside
// the canvas, and what fuzzing found.
TEST(CGImageSourceRegressions, HostileFilesDecodeOrFailCleanly) {
    std::filesystem::path dir = std::filesystem::path(BRINDLECUE_SOURCE_DIR) / "src/platform/graphics/test-data";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        Data bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ++files;
        auto source = CGImageSource::createWithData(bytes, uint64_t(1) << 22);
        if (!source) continue;
        for (size_t i = 0; i < source->count() && i < 8; ++i) source->imageAtIndex(i);
        auto partial = CGImageSource::createIncremental(uint64_t(1) << 22);
        partial->updateData(Data(bytes.begin(), bytes.begin() + bytes.size() / 2), false);
        partial->imageAtIndex(0);
    }
    EXPECT_GT(files, 0);
}

TEST(CGImageSourceFormats, TheFirstBytesNameTheFormatAndNothingElseIsTaken) {
    auto bytes = [](std::initializer_list<uint8_t> head) {
        Data d(head);
        d.resize(16, 0);
        return d;
    };
    const std::pair<Data, ImageFormat> cases[] = {
        {bytes({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}), ImageFormat::PNG},
        {bytes({0x89, 'P', 'N', 'X'}), ImageFormat::Unknown},
        {bytes({0x89, 'P', 'X', 'G'}), ImageFormat::Unknown},
        {bytes({0x89, 'X', 'N', 'G'}), ImageFormat::Unknown},
        {bytes({0xFF, 0xD8, 0xFF}), ImageFormat::JPEG},
        {bytes({0xFF, 0xD8, 0x00}), ImageFormat::Unknown},
        {bytes({0xFF, 0x00, 0xFF}), ImageFormat::Unknown},
        {bytes({'G', 'I', 'F', '8', '9', 'a'}), ImageFormat::GIF},
        {bytes({'G', 'I', 'X'}), ImageFormat::Unknown},
        {bytes({'G', 'X', 'F'}), ImageFormat::Unknown},
        {bytes({'I', 'I', 42, 0}), ImageFormat::TIFF},
        {bytes({'I', 'I', 43, 0}), ImageFormat::TIFF},
        {bytes({'I', 'I', 42, 1}), ImageFormat::Unknown},
        {bytes({'I', 'I', 44, 0}), ImageFormat::Unknown},
        {bytes({'I', 'X', 42, 0}), ImageFormat::Unknown},
        {bytes({'M', 'M', 0, 42}), ImageFormat::TIFF},
        {bytes({'M', 'M', 0, 43}), ImageFormat::TIFF},
        {bytes({'M', 'M', 0, 44}), ImageFormat::Unknown},
        {bytes({'M', 'M', 1, 42}), ImageFormat::Unknown},
        {bytes({'M', 'X', 0, 42}), ImageFormat::Unknown},
        {bytes({0, 0, 0, 24, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c'}), ImageFormat::HEIC},
        {bytes({0, 0, 0, 24, 'f', 't', 'y', 'p', 'm', 'i', 'f', '1'}), ImageFormat::HEIC},
        {bytes({0, 0, 0, 24, 'f', 't', 'y', 'p', 'a', 'v', 'i', 'f'}), ImageFormat::Unknown},
        {bytes({0, 0, 0, 24, 'f', 't', 'y', 'x', 'h', 'e', 'i', 'c'}), ImageFormat::Unknown},
    };
    for (const auto& [data, format] : cases) {
        auto source = CGImageSource::createIncremental();
        source->updateData(data, false);
        EXPECT_EQ(source->format(), format) << int(data[0]) << " " << int(data[1]) << " " << int(data[2]);
        EXPECT_EQ(source->count(), 0u);
        if (format == ImageFormat::Unknown) {
            EXPECT_FALSE(CGImageSource::createWithData(data));
            EXPECT_EQ(source->typeIdentifier(), "");
            EXPECT_TRUE(source->error().empty());  // more bytes may still come
            source->updateData(data, true);
            EXPECT_EQ(source->error(), "unknown image format");
            EXPECT_FALSE(source->imageAtIndex(0));
        }
    }
    // Signatures cut short are no format yet.
    auto shortPng = CGImageSource::createIncremental();
    shortPng->updateData(Data{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A}, false);
    EXPECT_EQ(shortPng->format(), ImageFormat::Unknown);
    auto shortGif = CGImageSource::createIncremental();
    shortGif->updateData(Data{'G', 'I', 'F', '8', '9'}, false);
    EXPECT_EQ(shortGif->format(), ImageFormat::Unknown);
    EXPECT_FALSE(shortGif->loopCount());
    EXPECT_FALSE(shortGif->delayAtIndex(0));
    auto jpeg = CGImageEncodeJPEG(*noise(4, 4, false), 0.8);
    EXPECT_EQ(CGImageSource::createWithData(*jpeg)->typeIdentifier(), "public.jpeg");
}

// A JPEG with one APP1 segment per payload, in order, after its start marker.
Data withApp1(const Data& jpeg, const std::vector<Data>& payloads) {
    Data out(jpeg.begin(), jpeg.begin() + 2);
    for (const auto& payload : payloads) {
        size_t length = payload.size() + 2;
        out.insert(out.end(), {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length & 0xFF)});
        out.insert(out.end(), payload.begin(), payload.end());
    }
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// "Exif\0\0" and a TIFF structure: byte order, magic, IFD offset, then the IFD's entries
// (tag, type, count, value), each in the byte order given.
Data exifPayload(bool little, uint16_t magic, uint32_t ifdOffset,
                 const std::vector<std::array<uint32_t, 4>>& entries, std::optional<uint16_t> count = {}) {
    Data d = {'E', 'x', 'i', 'f', 0, 0};
    auto u16 = [&](uint32_t v) {
        if (little)
            d.insert(d.end(), {uint8_t(v), uint8_t(v >> 8)});
        else
            d.insert(d.end(), {uint8_t(v >> 8), uint8_t(v)});
    };
    auto u32 = [&](uint32_t v) {
        if (little)
            d.insert(d.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
        else
            d.insert(d.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
    };
    d.insert(d.end(), little ? std::initializer_list<uint8_t>{'I', 'I'} : std::initializer_list<uint8_t>{'M', 'M'});
    u16(magic);
    u32(ifdOffset);
    u16(count.value_or(uint16_t(entries.size())));
    for (const auto& e : entries) {
        u16(e[0]);
        u16(e[1]);
        u32(e[2]);
        if (e[1] == 3) {
            u16(e[3]);
            u16(0);
        } else {
            u32(e[3]);
        }
    }
    u32(0);
    return d;
}

TEST(CGImageSourceJPEG, TheExifOrientationIsReadOnlyFromAWellFormedEntry) {
    const Data jpeg = *CGImageEncodeJPEG(*noise(8, 8, false), 0.8);
    auto orientation = [&](const std::vector<Data>& payloads) {
        return CGImageSource::createWithData(withApp1(jpeg, payloads))->exifOrientation();
    };
    const std::array<uint32_t, 4> width{0x0100, 3, 1, 8};
    EXPECT_EQ(orientation({exifPayload(true, 42, 8, {{0x0112, 3, 1, 3}})}), 3);
    EXPECT_EQ(orientation({exifPayload(false, 42, 8, {width, {0x0112, 3, 1, 5}})}), 5);
    // Another segment first (an XMP packet, an Exif block without orientation): the next one counts.
    Data xmp = {'h', 't', 't', 'p', ':', '/', '/', 'n', 's', '.', 'a', 'd', 'o', 'b', 'e', '.', 'c', 'o', 'm', 0};
    EXPECT_EQ(orientation({xmp, exifPayload(true, 42, 8, {width}), exifPayload(true, 42, 8, {{0x0112, 3, 1, 8}})}),
              8);
    // Unreadable or out of range: the image stands as it is.
    Data badOrder = exifPayload(true, 42, 8, {{0x0112, 3, 1, 6}});
    badOrder[6] = 'X';
    badOrder[7] = 'X';
    Data mixedOrder = badOrder;
    mixedOrder[6] = 'M';
    mixedOrder[7] = 'I';
    Data notExif = exifPayload(true, 42, 8, {{0x0112, 3, 1, 6}});
    notExif[1] = 'X';
    const std::vector<Data> unreadable = {
        badOrder,
        mixedOrder,
        notExif,
        Data{'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0},                  // too short
        exifPayload(true, 43, 8, {{0x0112, 3, 1, 6}}),                    // not the TIFF magic
        exifPayload(true, 42, 4000, {{0x0112, 3, 1, 6}}),                 // the directory beyond the end
        exifPayload(true, 42, 8, {{0x0112, 4, 1, 6}}),                    // a LONG, not a SHORT
        exifPayload(true, 42, 8, {{0x0112, 3, 1, 9}}),                    // no such orientation
        exifPayload(true, 42, 8, {{0x0112, 3, 1, 0}}),
        exifPayload(true, 42, 8, {width}, 40),                            // entries said beyond the end
    };
    for (size_t i = 0; i < unreadable.size(); ++i) EXPECT_EQ(orientation({unreadable[i]}), 1) << i;
}

const std::array<uint8_t, 2> kHuffmanTable = {0xFF, 0xC4};

TEST(CGImageSourceJPEG, CMYKYCCKAndProgressiveFilesDecodeInTheirColours) {
    for (const char* name : {"quadrants-cmyk-adobe.jpg", "quadrants-cmyk-plain.jpg", "quadrants-ycck.jpg",
                             "quadrants-progressive.jpg"}) {
        SCOPED_TRACE(name);
        auto source = CGImageSource::createWithData(readTestFile(name));
        ASSERT_TRUE(source);
        EXPECT_EQ(source->pixelWidth(), 16);
        auto image = source->imageAtIndex(0);
        ASSERT_TRUE(image) << source->error();
        EXPECT_TRUE(source->isComplete());
        EXPECT_FALSE(image->hasAlpha());
        expectQuadrants(*image, 12);
    }
    // A progressive file cut after a scan shows the whole picture at the detail that arrived.
    const Data progressive = readTestFile("quadrants-progressive.jpg");
    auto marker = std::search(progressive.begin() + 400, progressive.end(), kHuffmanTable.begin(), kHuffmanTable.end());
    ASSERT_NE(marker, progressive.end());
    auto cut = CGImageSource::createWithData(Data(progressive.begin(), marker));
    ASSERT_TRUE(cut);
    auto rough = cut->imageAtIndex(0);
    ASSERT_TRUE(rough);
    EXPECT_EQ(rough->height(), 16);
    EXPECT_FALSE(cut->isComplete());
    EXPECT_EQ(cut->error(), "JPEG data ends early");
    // A CMYK file cut short keeps the rows that arrived.
    const Data cmyk = readTestFile("quadrants-cmyk-adobe.jpg");
    auto cmykCut = CGImageSource::createWithData(Data(cmyk.begin(), cmyk.end() - 40));
    ASSERT_TRUE(cmykCut);
    EXPECT_FALSE(cmykCut->isComplete());
}

TEST(CGImageSourceJPEG, AHeaderNeedsAllItsBytesAndTheCapHolds) {
    const Data jpeg = *CGImageEncodeJPEG(*noise(32, 16, false), 0.8);
    auto partial = CGImageSource::createIncremental();
    partial->updateData(Data(jpeg.begin(), jpeg.begin() + 30), false);
    EXPECT_EQ(partial->format(), ImageFormat::JPEG);
    EXPECT_EQ(partial->count(), 0u);
    EXPECT_FALSE(partial->imageAtIndex(0));
    partial->updateData(jpeg, true);
    EXPECT_EQ(partial->count(), 1u);
    EXPECT_EQ(partial->pixelWidth(), 32);

    auto capped = CGImageSource::createWithData(jpeg, 32 * 16 - 1);
    EXPECT_EQ(capped->count(), 0u);
    EXPECT_FALSE(capped->imageAtIndex(0));
    EXPECT_FALSE(capped->error().empty());
    EXPECT_EQ(CGImageSource::createWithData(jpeg, 32 * 16)->count(), 1u);
    // Nothing but the start of a JPEG.
    auto stub = CGImageSource::createWithData(Data{0xFF, 0xD8, 0xFF});
    ASSERT_TRUE(stub);
    EXPECT_EQ(stub->count(), 0u);
    EXPECT_FALSE(stub->error().empty());
}

TEST(CGImageSourcePNG, InterlacedSixteenBitAndPaletteFilesDecode) {
    auto interlaced = CGImageSource::createWithData(readTestFile("quadrants-interlaced.png"));
    ASSERT_TRUE(interlaced);
    auto image = interlaced->imageAtIndex(0);
    ASSERT_TRUE(image) << interlaced->error();
    EXPECT_TRUE(image->hasAlpha());
    EXPECT_EQ(image->pixelAt(0, 0), kQuadrants[0]);
    EXPECT_EQ(image->pixelAt(15, 0), kQuadrants[1]);
    EXPECT_EQ(image->pixelAt(0, 15), kQuadrants[2]);
    EXPECT_TRUE(near(image->pixelAt(15, 15), {255, 255, 255, 128}, 1));
    // Cut short, an interlaced image still has every row (from the passes that arrived).
    const Data bytes = readTestFile("quadrants-interlaced.png");
    auto partial = CGImageSource::createIncremental();
    partial->updateData(Data(bytes.begin(), bytes.end() - 20), false);
    auto rows = partial->imageAtIndex(0);
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->height(), 16);
    EXPECT_FALSE(partial->isComplete());

    auto deep = CGImageSource::createWithData(readTestFile("quadrants-16-bit.png"))->imageAtIndex(0);
    ASSERT_TRUE(deep);
    EXPECT_FALSE(deep->hasAlpha());
    expectQuadrants(*deep, 0);

    auto palette = CGImageSource::createWithData(readTestFile("quadrants-palette-transparent.png"))->imageAtIndex(0);
    ASSERT_TRUE(palette);
    EXPECT_TRUE(palette->hasAlpha());
    EXPECT_EQ(palette->pixelAt(0, 0), kQuadrants[0]);
    EXPECT_EQ(palette->pixelAt(0, 15), kQuadrants[2]);
    EXPECT_EQ(palette->pixelAt(15, 15).a, 0);
}

TEST(CGImageSourceTIFF, BothByteOrdersBigTIFFAndWhatCannotBeShown) {
    for (const char* name : {"quadrants-big-endian.tif", "quadrants-bigtiff.tif", "quadrants-big-endian-bigtiff.tif"}) {
        SCOPED_TRACE(name);
        auto source = CGImageSource::createWithData(readTestFile(name));
        ASSERT_TRUE(source);
        EXPECT_EQ(source->format(), ImageFormat::TIFF);
        EXPECT_EQ(source->count(), 1u);
        auto image = source->imageAtIndex(0);
        ASSERT_TRUE(image) << source->error();
        EXPECT_EQ(image->width(), 8);
        expectQuadrants(*image, 0);
    }
    // An orientation tag out of range stands for the upright image.
    auto odd = CGImageSource::createWithData(readTestFile("orientation-out-of-range.tif"));
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->exifOrientation(), 1);
    // Samples libtiff cannot turn into colour: the header is known, the image fails with why.
    auto log = CGImageSource::createWithData(readTestFile("unsupported-photometric.tif"));
    ASSERT_TRUE(log);
    EXPECT_EQ(log->count(), 1u);
    EXPECT_FALSE(log->imageAtIndex(0));
    EXPECT_TRUE(log->error().starts_with("TIFF: ")) << log->error();
    // A TIFF whose directory cannot be read at all.
    Data broken = {'I', 'I', 42, 0, 0xFF, 0xFF, 0, 0};
    auto unreadable = CGImageSource::createWithData(broken);
    ASSERT_TRUE(unreadable);
    EXPECT_EQ(unreadable->count(), 0u);
    EXPECT_TRUE(unreadable->error().starts_with("TIFF")) << unreadable->error();
}

// Writes a GIF piece by piece with giflib, so that tests can put odd records between the pieces.
class GifBuilder {
public:
    explicit GifBuilder(int canvasWidth = 4, int canvasHeight = 4) {
        int err = 0;
        gif_ = EGifOpen(&out_, [](GifFileType* g, const GifByteType* d, int n) {
            auto* o = static_cast<Data*>(g->UserData);
            o->insert(o->end(), d, d + n);
            return n;
        }, &err);
        EGifSetGifVersion(gif_, true);
        GifColorType colors[4] = {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}, {0, 0, 0}};
        ColorMapObject* map = GifMakeMapObject(4, colors);
        EGifPutScreenDesc(gif_, canvasWidth, canvasHeight, 2, 0, map);
        GifFreeMapObject(map);
    }
    ~GifBuilder() {
        if (gif_) finish();
    }
    GifBuilder& loop(const char* app, int count) {
        GifByteType block[] = {1, GifByteType(count & 0xFF), GifByteType(count >> 8)};
        EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif_, 11, reinterpret_cast<const GifByteType*>(app));
        EGifPutExtensionBlock(gif_, 3, block);
        EGifPutExtensionTrailer(gif_);
        return *this;
    }
    GifBuilder& control(std::vector<GifByteType> block) {
        EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, int(block.size()), block.data());
        return *this;
    }
    // A frame whose row y is filled with rows[y]; interlaced frames are written in pass order.
    GifBuilder& frame(int left, int top, int width, const std::vector<uint8_t>& rows, bool interlace = false,
                      std::vector<GifColorType> table = {}) {
        ColorMapObject* map = table.empty() ? nullptr : GifMakeMapObject(int(table.size()), table.data());
        const int height = int(rows.size());
        EGifPutImageDesc(gif_, left, top, width, height, interlace, map);
        std::vector<int> order;
        if (interlace) {
            for (int start : {0, 4, 2, 1})
                for (int y = start; y < height; y += (start == 0 ? 8 : start == 4 ? 8 : start == 2 ? 4 : 2))
                    order.push_back(y);
        } else {
            for (int y = 0; y < height; ++y) order.push_back(y);
        }
        for (int y : order) {
            std::vector<GifByteType> line(size_t(width), rows[size_t(y)]);
            EGifPutLine(gif_, line.data(), width);
        }
        if (map) GifFreeMapObject(map);
        return *this;
    }
    GifBuilder& raw(std::initializer_list<uint8_t> bytes) {
        out_.insert(out_.end(), bytes);
        return *this;
    }
    Data finish() {
        int err = 0;
        EGifCloseFile(gif_, &err);
        gif_ = nullptr;
        return out_;
    }

private:
    GifFileType* gif_ = nullptr;
    Data out_;
};

TEST(CGImageSourceGIF, InterlacedFramesLocalTablesAndLoopBlocksOfEitherName) {
    GifBuilder b(4, 8);
    b.loop("ANIMEXTS1.0", 7);
    b.control({0, 5, 0, 0});
    b.frame(0, 0, 4, {0, 1, 2, 3, 0, 1, 2, 3}, true);
    b.control({0, 5});  // too short to count: the next frame has no delay
    b.frame(0, 0, 2, {0, 1}, false, {{9, 9, 9}, {200, 100, 50}});
    auto source = CGImageSource::createWithData(b.finish());
    ASSERT_TRUE(source);
    EXPECT_EQ(source->loopCount(), 7u);
    ASSERT_EQ(source->count(), 2u) << source->error();
    EXPECT_DOUBLE_EQ(*source->delayAtIndex(0), 0.05);
    EXPECT_FALSE(source->delayAtIndex(1));
    auto first = source->imageAtIndex(0);
    const RGBA8 rowColour[] = {kRed, kBlue, kGreen, {0, 0, 0, 255}};
    for (int y = 0; y < 8; ++y) EXPECT_EQ(first->pixelAt(2, y), rowColour[y % 4]) << y;
    auto second = source->imageAtIndex(1);
    EXPECT_EQ(second->pixelAt(0, 0), (RGBA8{9, 9, 9, 255}));
    EXPECT_EQ(second->pixelAt(1, 1), (RGBA8{200, 100, 50, 255}));
    EXPECT_EQ(second->pixelAt(3, 1), kBlue);  // frame 0 stays beside the small frame
}

TEST(CGImageSourceGIF, IndicesWithoutAColourDrawOpaqueBlackAndEmptyFramesDrawNothing) {
    GifBuilder b(4, 4);
    b.frame(0, 0, 4, {1, 1, 1, 1});
    // An empty frame (no width, no height, a code size and no data) between two frames.
    b.raw({',', 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0});
    b.frame(0, 0, 2, {3, 3}, false, {{255, 0, 0}, {0, 255, 0}});  // index 3 beyond its two colours
    // Without its global table (giflib writes none without a table): frame 0 has no colours.
    Data gif = b.finish();
    gif[10] &= 0x7F;
    gif.erase(gif.begin() + 13, gif.begin() + 13 + 12);
    auto source = CGImageSource::createWithData(gif);
    ASSERT_TRUE(source);
    ASSERT_EQ(source->count(), 3u) << source->error();
    EXPECT_EQ(source->imageAtIndex(0)->pixelAt(1, 1), (RGBA8{0, 0, 0, 255}));
    EXPECT_EQ(source->imageAtIndex(1)->pixelAt(1, 1), (RGBA8{0, 0, 0, 255}));
    EXPECT_EQ(source->imageAtIndex(2)->pixelAt(0, 0), (RGBA8{0, 0, 0, 255}));
    EXPECT_TRUE(source->isComplete());
}

TEST(CGImageSourceGIF, HostileStructuresEndTheFileWithAReason) {
    // A record of no known kind: the frames before it stay.
    auto stray = CGImageSource::createWithData(GifBuilder().frame(0, 0, 4, {0, 0, 0, 0}).raw({'X'}).finish());
    ASSERT_TRUE(stray);
    EXPECT_EQ(stray->count(), 1u);
    EXPECT_FALSE(stray->error().empty());
    EXPECT_FALSE(stray->isComplete());
    // No canvas.
    auto flat = CGImageSource::createWithData(GifBuilder(0, 0).frame(0, 0, 1, {0}).finish());
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->count(), 0u);
    EXPECT_EQ(flat->error(), "GIF canvas is empty");
    EXPECT_FALSE(flat->imageAtIndex(0));
    // The screen descriptor cut short.
    auto stub = CGImageSource::createWithData(Data{'G', 'I', 'F', '8', '9', 'a', 4, 0});
    ASSERT_TRUE(stub);
    EXPECT_EQ(stub->count(), 0u);
    EXPECT_FALSE(stub->error().empty());
    // No image at all.
    auto empty = CGImageSource::createWithData(GifBuilder().finish());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->error(), "GIF has no image");
    // Cut inside an image descriptor, inside an extension's first and later blocks.
    Data whole = GifBuilder().loop("NETSCAPE2.0", 2).frame(0, 0, 4, {0, 0, 0, 0}).finish();
    for (size_t cut : {size_t(13 + 3), size_t(13 + 8), size_t(13 + 16), whole.size() - 12}) {
        auto source = CGImageSource::createWithData(Data(whole.begin(), whole.begin() + ptrdiff_t(cut)));
        ASSERT_TRUE(source) << cut;
        EXPECT_EQ(source->count(), 0u) << cut;
        EXPECT_FALSE(source->error().empty()) << cut;
    }
    // A frame larger than the cap, and frames whose decompressed pixels together exceed four
    // times the cap even though what the canvas keeps of them stays under it.
    auto big = CGImageSource::createWithData(GifBuilder().frame(0, 0, 20, std::vector<uint8_t>(20, 0)).finish(), 100);
    EXPECT_EQ(big->count(), 0u);
    EXPECT_EQ(big->error(), "decoded size exceeds the limit");
    GifBuilder many;
    for (int i = 0; i < 6; ++i) many.frame(0, 0, 10, std::vector<uint8_t>(10, 1));
    auto spill = CGImageSource::createWithData(many.finish(), 100);
    EXPECT_EQ(spill->count(), 4u);
    EXPECT_EQ(spill->error(), "decoded size exceeds the limit");
}

TEST(CGImageSourceGIF, NoMoreFramesThanTheLimitAreKept) {
    GifBuilder b(1, 1);
    for (int i = 0; i < 10001; ++i) b.frame(0, 0, 1, {uint8_t(i % 3)});
    auto source = CGImageSource::createWithData(b.finish());
    ASSERT_TRUE(source);
    EXPECT_EQ(source->count(), 10000u);
    EXPECT_EQ(source->error(), "too many frames");
    EXPECT_EQ(source->imageAtIndex(9999)->pixelAt(0, 0), kRed);  // 9999 % 3 == 0
}

TEST(CGImageSourceEncoding, GifFramesOfOtherSizesManyColoursAndMissingImages) {
    // Frame 0 has 400 colours (more than a table holds), so it is quantised close to them.
    std::vector<RGBA8> many(20 * 20);
    for (int i = 0; i < 400; ++i) many[size_t(i)] = {uint8_t(i * 5), uint8_t(i * 3), uint8_t(i % 7 * 40), 255};
    auto first = CGImage::fromRGBA(20, 20, many);
    auto small = CGImage::fromRGBA(2, 2, {kRed, kRed, kRed, kRed});
    auto large = noise(30, 30, false);
    auto gif = CGImageEncodeGIF({{first, 0.1}, {small, 0.1}, {large, 0.1}}, 2);
    ASSERT_TRUE(gif);
    auto source = CGImageSource::createWithData(*gif);
    ASSERT_EQ(source->count(), 3u);
    EXPECT_EQ(source->pixelWidth(), 20);
    EXPECT_EQ(source->loopCount(), 2u);
    auto quantised = source->imageAtIndex(0);
    for (int i : {0, 57, 211, 399}) {
        RGBA8 got = quantised->pixelAt(i % 20, i / 20);
        EXPECT_TRUE(near(got, many[size_t(i)], 40))
            << i << ": " << int(got.r) << " " << int(got.g) << " " << int(got.b);
    }
    // The small frame sits at the top left; the rest of it is transparent over frame 0's area,
    // which frame 0 gave back to the background.
    auto second = source->imageAtIndex(1);
    EXPECT_EQ(second->pixelAt(1, 1), kRed);
    EXPECT_EQ(second->pixelAt(5, 5).a, 0);
    // The large frame is cut to the canvas.
    auto third = source->imageAtIndex(2);
    EXPECT_EQ(third->width(), 20);
    EXPECT_EQ(third->pixelAt(19, 19).a, 255);

    // One frame has nothing to loop; a missing image writes nothing.
    auto still = CGImageSource::createWithData(*CGImageEncodeGIF({{small, 0}}, 3));
    EXPECT_FALSE(still->loopCount());
    EXPECT_FALSE(CGImageEncodeGIF({{small, 0}, {nullptr, 0}}));
    EXPECT_FALSE(CGImageEncodeGIF({{nullptr, 0}}));
}

}  // namespace
}  // namespace brindlecue::platform
