#include "imaging/KJSDWebImageImageIOCoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "imaging/KJSDScaledImageForKey.h"
#include "imaging/KJSDWebImageCodersManager.h"
#include "imaging/UIImageMultiFormat.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CGImageSource.h"

namespace brindlecue {
namespace {

using platform::CGImage;
using platform::CGSize;
using platform::Data;
using platform::RGBA8;
using platform::UIImage;
using platform::UIImageOrientation;

constexpr RGBA8 kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255}, kClear{0, 0, 0, 0};

std::shared_ptr<const CGImage> filled(int w, int h, uint32_t argb, bool alpha = false) {
    return CGImage::fromPremultipliedARGB(w, h, std::vector<uint32_t>(size_t(w) * h, argb), alpha);
}

// Opaque noise: compresses badly, so its bytes arrive row by row.
std::shared_ptr<const CGImage> noise(int w, int h) {
    std::vector<uint32_t> px(size_t(w) * h);
    uint32_t s = 99;
    for (auto& p : px) p = 0xFF000000u | ((s = s * 1664525u + 1013904223u) >> 8);
    return CGImage::fromPremultipliedARGB(w, h, std::move(px), false);
}

const std::shared_ptr<KJSDWebImageImageIOCoder>& coder() {
    static const auto shared = KJSDWebImageImageIOCoder::sharedCoder();
    return shared;
}

TEST(ImageIOCoder, DecodesWithOrientationAndEncodesPNGWithAlphaAndJPEGWithout) {
    Data jpeg = *platform::CGImageEncodeJPEG(*filled(40, 20, 0xFF20C040u), 0.9, 6);
    auto image = UIImageMultiFormat::sd_imageWithData(jpeg);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->imageOrientation(), UIImageOrientation::Right);
    EXPECT_EQ(image->size(), (CGSize{20, 40}));
    Data garbage = {0x89, 1, 2, 3};
    EXPECT_FALSE(UIImageMultiFormat::sd_imageWithData(garbage));
    // WebP is beyond the platform's image source: no coder of the list takes it.
    std::string riff = "RIFF\x10\x20\x30\x40WEBPVP8 ";
    Data webp(riff.begin(), riff.end());
    EXPECT_FALSE(KJSDWebImageCodersManager::sharedInstance()->canDecodeFromData(&webp));

    auto translucent = UIImage::imageWithCGImage(filled(8, 4, 0x80402010u, true));
    EXPECT_EQ(UIImageMultiFormat::sd_imageData(translucent)->front(), 0x89);
    auto encoded = UIImageMultiFormat::sd_imageData(image);
    EXPECT_EQ(encoded->front(), 0xFF);
    EXPECT_EQ(KJSDWebImageImageIOCoder::sd_imageOrientationFromImageData(*encoded), UIImageOrientation::Right);
    EXPECT_EQ(coder()->encodedDataWithImage(image, KJSDImageFormat::GIF)->front(), 'G');
    auto tiff = coder()->encodedDataWithImage(image, KJSDImageFormat::TIFF);
    ASSERT_TRUE(tiff);
    EXPECT_EQ(NSDataImageContentType::sd_imageFormatForImageData(*tiff), KJSDImageFormat::TIFF);
}

Data testFile(const std::string& name) {
    std::ifstream in(std::filesystem::path(BRINDLECUE_SOURCE_DIR) / "src/platform/graphics/test-data" / name,
                     std::ios::binary);
    return Data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The test files show red at the top left and white at the bottom right.
TEST(ImageIOCoder, DecodesTIFFWithItsOrientationAndHEICWhereThePlatformReadsIt) {
    Data tiff = testFile("quadrants-orientation-6.tif");
    auto& coders = *KJSDWebImageCodersManager::sharedInstance();
    ASSERT_TRUE(coders.canDecodeFromData(&tiff));
    auto turned = coders.decodedImageWithData(&tiff);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->imageOrientation(), UIImageOrientation::Right);
    EXPECT_EQ(turned->size(), (CGSize{6, 8}));
    EXPECT_EQ(turned->cgImage()->pixelAt(0, 0), kRed);
    EXPECT_EQ(KJSDWebImageImageIOCoder::sd_imageOrientationFromImageData(tiff), UIImageOrientation::Right);
    // A download shows nothing of a TIFF until its last bytes, then the whole image.
    Data tiled = testFile("quadrants-alpha-tiled.tif");
    KJSDWebImageImageIOCoder download;
    ASSERT_TRUE(download.canIncrementallyDecodeFromData(&tiled));
    EXPECT_FALSE(download.incrementallyDecodedImageWithData(Data(tiled.begin(), tiled.end() - 1), false));
    auto whole = download.incrementallyDecodedImageWithData(tiled, true);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->cgImage()->pixelAt(0, 0), kRed);
    EXPECT_EQ(whole->cgImage()->pixelAt(0, 23), kClear);

    const auto types = platform::CGImageSource::readableTypeIdentifiers();
    const bool platformReadsHEIC = std::find(types.begin(), types.end(), "public.heic") != types.end();
    EXPECT_EQ(KJSDWebImageImageIOCoder::canDecodeFromHEICFormat(), platformReadsHEIC);
    EXPECT_FALSE(coder()->canEncodeToFormat(KJSDImageFormat::HEIC));
    Data heic = testFile("quadrants.heic");
    ASSERT_EQ(NSDataImageContentType::sd_imageFormatForImageData(heic), KJSDImageFormat::HEIC);
    EXPECT_EQ(coders.canDecodeFromData(&heic), platformReadsHEIC);
    if (!platformReadsHEIC) GTEST_SKIP() << "libheif has no HEVC decoder here";
    auto image = coders.decodedImageWithData(&heic);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (CGSize{64, 48}));
    EXPECT_EQ(image->imageOrientation(), UIImageOrientation::Up);
    EXPECT_GT(image->cgImage()->pixelAt(2, 2).r, 240);
    EXPECT_LT(image->cgImage()->pixelAt(2, 2).g, 16);
    const auto white = image->cgImage()->pixelAt(60, 45);
    EXPECT_GT(std::min({white.r, white.g, white.b}), 240);
}

TEST(ImageIOCoder, DecompressionRedrawsOpaqueImagesAndLeavesAlphaAndAnimationAlone) {
    auto opaque = UIImage::imageWithCGImage(filled(6, 3, 0xFF336699u), 2, UIImageOrientation::Down);
    auto plain = platform::Value::dictionary();
    auto scaleDown = platform::Value::dictionary({{KJSDWebImageCoderScaleDownLargeImagesKey, true}});
    Data data = {1, 2, 3};
    auto drawn = coder()->decompressedImageWithImage(opaque, &data, scaleDown);
    EXPECT_NE(drawn->cgImage(), opaque->cgImage());
    EXPECT_EQ(drawn->cgImage()->pixelAt(5, 2), opaque->cgImage()->pixelAt(5, 2));
    EXPECT_EQ(drawn->scale(), 2);
    EXPECT_EQ(drawn->imageOrientation(), UIImageOrientation::Down);
    EXPECT_EQ(data, (Data{1, 2, 3})) << "not scaled down: the data stays";

    auto translucent = UIImage::imageWithCGImage(filled(6, 3, 0x80402010u, true));
    EXPECT_EQ(coder()->decompressedImageWithImage(translucent, nullptr, scaleDown), translucent);
    auto animated = UIImage::animatedImageWithImages({opaque, opaque}, 0.2);
    EXPECT_EQ(coder()->decompressedImageWithImage(animated, nullptr, plain), animated);
}

TEST(ImageIOCoder, ScaleDownAppliesAbovePixelLimitAndFillsTheWholeImage) {
    // 8000 x 6000: red above the middle, blue below.
    std::vector<uint32_t> px(size_t(8000) * 6000, 0xFF0000FFu);
    std::fill(px.begin(), px.begin() + ptrdiff_t(8000) * 3000, 0xFFFF0000u);
    auto big = UIImage::imageWithCGImage(CGImage::fromPremultipliedARGB(8000, 6000, std::move(px), false));
    Data data = *platform::CGImageEncodeJPEG(*filled(2, 2, 0xFF000000u), 0.5);
    auto options = platform::Value::dictionary({{KJSDWebImageCoderScaleDownLargeImagesKey, true}});
    auto small = coder()->decompressedImageWithImage(big, &data, options);
    big.reset();
    // The factor applies to each side.
    ASSERT_EQ(small->cgImage()->width(), 2621);
    ASSERT_EQ(small->cgImage()->height(), 1966);
    // The top and bottom rows hold the image's own top and bottom, with no band left unfilled.
    for (int x : {0, 2620}) {
        EXPECT_EQ(small->cgImage()->pixelAt(x, 0), kRed) << x;
        EXPECT_EQ(small->cgImage()->pixelAt(x, 970), kRed) << x;
        EXPECT_EQ(small->cgImage()->pixelAt(x, 996), kBlue) << x;
        EXPECT_EQ(small->cgImage()->pixelAt(x, 1965), kBlue) << x;
    }
    // The kept bytes now stand for the scaled image, in the format they were in.
    auto source = platform::CGImageSource::createWithData(data);
    EXPECT_EQ(source->format(), platform::ImageFormat::JPEG);
    EXPECT_EQ(source->pixelWidth(), 2621);

    auto atLimit = UIImage::imageWithCGImage(filled(4096, 3840, 0xFF102030u));
    EXPECT_EQ(KJSDWebImageImageIOCoder::sd_decompressedAndScaledDownImageWithImage(atLimit)->cgImage()->width(), 4096);
}

TEST(ImageIOCoder, TIFFDataDecodesToTheSameSizePixelsAndOrientation) {
    // 7 x 5 with a clear pixel and translucent ones, shown turned left.
    std::vector<RGBA8> px(35);
    for (int i = 0; i < 35; ++i)
        px[size_t(i)] = {uint8_t(i * 7), uint8_t(255 - i * 3), uint8_t(i * 11), uint8_t(i * 7 + 17)};
    px[0] = kClear;
    px[34] = kBlue;
    auto image = UIImage::imageWithCGImage(CGImage::fromRGBA(7, 5, px), 1, UIImageOrientation::Left);
    auto tiff = coder()->encodedDataWithImage(image, KJSDImageFormat::TIFF);
    ASSERT_TRUE(tiff);
    auto back = coder()->decodedImageWithData(&*tiff);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->imageOrientation(), UIImageOrientation::Left);
    ASSERT_EQ(back->cgImage()->width(), 7);
    ASSERT_EQ(back->cgImage()->height(), 5);
    EXPECT_EQ(back->cgImage()->rgbaPixels(), image->cgImage()->rgbaPixels());
}

TEST(ImageIOCoder, ScaleDownWritesTheKeptTIFFBytesAnewForTheScaledImage) {
    // 4200 x 4000, above the pixel limit: red above the middle, blue below, from a TIFF.
    std::vector<uint32_t> words(size_t(4200) * 4000, 0xFF0000FFu);
    std::fill(words.begin(), words.begin() + ptrdiff_t(4200) * 2000, 0xFFFF0000u);
    auto big = UIImage::imageWithCGImage(CGImage::fromPremultipliedARGB(4200, 4000, std::move(words), false));
    const Data original = *platform::CGImageEncodeTIFF(*big->cgImage());
    Data data = original;
    auto options = platform::Value::dictionary({{KJSDWebImageCoderScaleDownLargeImagesKey, true}});
    auto small = coder()->decompressedImageWithImage(big, &data, options);
    big.reset();
    ASSERT_EQ(small->cgImage()->width(), 3932);
    ASSERT_EQ(small->cgImage()->height(), 3744);
    // The kept bytes are a TIFF of the scaled image, not the large one's.
    EXPECT_LT(data.size(), original.size());
    EXPECT_EQ(NSDataImageContentType::sd_imageFormatForImageData(data), KJSDImageFormat::TIFF);
    auto scaled = coder()->decodedImageWithData(&data);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->size(), small->size());
    EXPECT_TRUE(scaled->cgImage()->premultipliedARGB() == small->cgImage()->premultipliedARGB());
}

TEST(ImageIOCoder, IncrementalDecodingShowsTheArrivedRowsAtTheTop) {
    Data png = *platform::CGImageEncodePNG(*noise(64, 64));
    KJSDWebImageImageIOCoder download;
    EXPECT_FALSE(download.incrementallyDecodedImageWithData(Data(png.begin(), png.begin() + 20), false));
    auto partial = download.incrementallyDecodedImageWithData(Data(png.begin(), png.begin() + png.size() / 2), false);
    ASSERT_TRUE(partial);
    ASSERT_EQ(partial->cgImage()->height(), 64);
    EXPECT_EQ(partial->cgImage()->pixelAt(10, 0), noise(64, 64)->pixelAt(10, 0)) << "the first rows are at the top";
    EXPECT_EQ(partial->cgImage()->pixelAt(10, 63), kClear) << "rows still to come are clear";
    auto whole = download.incrementallyDecodedImageWithData(png, true);
    EXPECT_EQ(whole->cgImage()->pixelAt(10, 63), noise(64, 64)->pixelAt(10, 63));

    Data jpeg = *platform::CGImageEncodeJPEG(*noise(64, 32), 0.9, 8);
    KJSDWebImageImageIOCoder another;
    auto turned = another.incrementallyDecodedImageWithData(Data(jpeg.begin(), jpeg.begin() + jpeg.size() * 3 / 4), false);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->imageOrientation(), UIImageOrientation::Left);
}

TEST(ScaledImageForKey, ScaleFromTheMarkerInTheKey) {
    auto image = UIImage::imageWithCGImage(filled(12, 6, 0xFF000000u), 2, UIImageOrientation::Right);
    EXPECT_EQ(KJSDScaledImageForKey("icon@3x.png", image)->scale(), 3);
    EXPECT_EQ(KJSDScaledImageForKey("http://h/icon@2x.png", image)->scale(), 2);
    EXPECT_EQ(KJSDScaledImageForKey("a@2x.@3x.png", image)->scale(), 3);
    EXPECT_EQ(KJSDScaledImageForKey("@2x.png", image)->scale(), 1) << "7 characters";
    auto plain = KJSDScaledImageForKey("http://h/icon.png", image);
    EXPECT_EQ(plain->scale(), 1) << "no marker gives 1 whatever the image had";
    EXPECT_EQ(plain->size(), (CGSize{6, 12})) << "the orientation stays";

    auto frame = UIImage::imageWithCGImage(filled(4, 4, 0xFF000000u));
    auto animated = UIImage::animatedImageWithImages({frame, frame}, 0.5);
    UIImageMultiFormat::setSd_imageLoopCount(*animated, 4);
    auto scaled = KJSDScaledImageForKey("spin@2x.gif", animated);
    ASSERT_EQ(scaled->images().size(), 2u);
    EXPECT_EQ(scaled->images()[1]->scale(), 2);
    EXPECT_EQ(scaled->duration(), 0.5);
    EXPECT_EQ(UIImageMultiFormat::sd_imageLoopCount(*scaled), 4u);
}

// Takes data that begins with 'X'.
class XCoder final : public KJSDWebImageCoder {
public:
    bool canDecodeFromData(const Data* d) override { return d && !d->empty() && d->front() == 'X'; }
    std::shared_ptr<UIImage> decodedImageWithData(const Data*) override { return image; }
    std::shared_ptr<UIImage> decompressedImageWithImage(const std::shared_ptr<UIImage>& i, Data*,
                                                        const platform::Value&) override {
        return i;
    }
    bool canEncodeToFormat(KJSDImageFormat) override { return false; }
    std::optional<Data> encodedDataWithImage(const std::shared_ptr<UIImage>&, KJSDImageFormat) override { return {}; }
    std::shared_ptr<UIImage> image = std::make_shared<UIImage>(CGSize{1, 1});
};

TEST(CodersManager, AsksTheCoderAddedLastFirst) {
    KJSDWebImageCodersManager manager;
    auto x = std::make_shared<XCoder>();
    const std::shared_ptr<KJSDWebImageCoder> io = coder();
    manager.addCoder(x);
    EXPECT_EQ(manager.coders(), (std::vector<std::shared_ptr<KJSDWebImageCoder>>{x, io}));
    Data xData = {'X', 1}, png = *platform::CGImageEncodePNG(*filled(2, 2, 0xFF000000u));
    EXPECT_EQ(manager.decodedImageWithData(&xData), x->image);
    EXPECT_NE(manager.decodedImageWithData(&png), x->image);
    manager.removeCoder(x);
    EXPECT_FALSE(manager.decodedImageWithData(&xData));
    manager.setCoders({io, x});
    EXPECT_EQ(manager.coders(), (std::vector<std::shared_ptr<KJSDWebImageCoder>>{x, io}));
}

TEST(CodersManager, WithoutAnInputOrACoderThatCanNothingIsMade) {
    KJSDWebImageCodersManager manager;
    manager.addCoder(nullptr);
    EXPECT_EQ(manager.coders().size(), 1u);
    auto image = UIImage::imageWithCGImage(filled(2, 2, 0xFF00FF00u));
    EXPECT_FALSE(manager.decodedImageWithData(nullptr));
    Data none;
    EXPECT_FALSE(manager.decompressedImageWithImage(nullptr, &none, platform::Value()));
    EXPECT_FALSE(manager.encodedDataWithImage(nullptr, KJSDImageFormat::PNG));
    EXPECT_TRUE(manager.canEncodeToFormat(KJSDImageFormat::PNG));
    ASSERT_TRUE(manager.encodedDataWithImage(image, KJSDImageFormat::PNG));

    // Only coders that can neither read nor write this: nothing comes out, and nulls are dropped.
    manager.setCoders({std::make_shared<XCoder>(), nullptr});
    EXPECT_EQ(manager.coders().size(), 1u);
    Data png = *platform::CGImageEncodePNG(*filled(2, 2, 0xFF000000u));
    EXPECT_FALSE(manager.canDecodeFromData(&png));
    EXPECT_FALSE(manager.decodedImageWithData(&png));
    EXPECT_FALSE(manager.decompressedImageWithImage(image, &png, platform::Value()));
    EXPECT_FALSE(manager.canEncodeToFormat(KJSDImageFormat::PNG));
    EXPECT_FALSE(manager.encodedDataWithImage(image, KJSDImageFormat::PNG));
}

}  // namespace
}  // namespace brindlecue
