#include "imaging/KJSDWebImageImageIOCoder.h"

#include <gtest/gtest.h>

#include "imaging/KJSDScaledImageForKey.h"
#include "imaging/KJSDWebImageCodersManager.h"
#include "imaging/UIImageMultiFormat.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CGImageSource.h"
#include "support/TestGif.h"

namespace brindlecue {
namespace {

using platform::CGImage;
using platform::CGImageSource;
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
    for (auto& p : px) {
        s = s * 1664525u + 1013904223u;
        p = 0xFF000000u | (s >> 8);
    }
    return CGImage::fromPremultipliedARGB(w, h, std::move(px), false);
}

std::shared_ptr<KJSDWebImageImageIOCoder> coder() {
    return KJSDWebImageImageIOCoder::sharedCoder();
}

TEST(ImageIOCoder, DecodesWithTheOrientationOfTheData) {
    Data jpeg = *platform::CGImageEncodeJPEG(*filled(40, 20, 0xFF20C040u), 0.9, 6);
    auto image = coder()->decodedImageWithData(&jpeg);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->imageOrientation(), UIImageOrientation::Right);
    EXPECT_EQ(image->size(), (CGSize{20, 40}));
    EXPECT_EQ(KJSDWebImageImageIOCoder::sd_imageOrientationFromImageData(jpeg), UIImageOrientation::Right);

    Data gif = testsupport::makeTestGif(3, 2, {{0, 0, 0, 0, 10, 1}, {0, 0, 0, 0, 10, 2}});
    auto first = coder()->decodedImageWithData(&gif);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->images().empty()) << "a GIF decodes to its first frame here";
    EXPECT_EQ(first->cgImage()->pixelAt(2, 1), kBlue);

    Data garbage = {0x89, 1, 2, 3};
    EXPECT_FALSE(coder()->decodedImageWithData(&garbage));
    EXPECT_FALSE(coder()->decodedImageWithData(nullptr));
    EXPECT_EQ(KJSDWebImageImageIOCoder::sd_imageOrientationFromImageData(garbage), UIImageOrientation::Up);

    // WebP and HEIC are beyond the platform's image source: no coder of the list takes them.
    auto manager = KJSDWebImageCodersManager::sharedInstance();
    std::string riff = "RIFF\x10\x20\x30\x40WEBPVP8 ";
    Data webp(riff.begin(), riff.end());
    EXPECT_FALSE(manager->canDecodeFromData(&webp));
    EXPECT_FALSE(manager->decodedImageWithData(&webp));
    Data heic = {0, 0, 0, 0x18, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c'};
    EXPECT_FALSE(manager->canDecodeFromData(&heic));
    EXPECT_TRUE(manager->canDecodeFromData(&garbage)) << "undefined data is handed to the image I/O coder";
}

TEST(ImageIOCoder, EncodesPNGWithAlphaAndJPEGWithout) {
    auto opaque = UIImage::imageWithCGImage(filled(8, 4, 0xFF336699u), 1, UIImageOrientation::Left);
    auto translucent = UIImage::imageWithCGImage(filled(8, 4, 0x80402010u, true));

    auto png = UIImageMultiFormat::sd_imageData(translucent);
    ASSERT_TRUE(png);
    EXPECT_EQ(png->front(), 0x89);
    auto jpeg = UIImageMultiFormat::sd_imageData(opaque);
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->front(), 0xFF);
    EXPECT_EQ(KJSDWebImageImageIOCoder::sd_imageOrientationFromImageData(*jpeg), UIImageOrientation::Left);

    auto gif = coder()->encodedDataWithImage(opaque, KJSDImageFormat::GIF);
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->front(), 'G');
    // No image destination for these on the platform.
    EXPECT_FALSE(coder()->encodedDataWithImage(opaque, KJSDImageFormat::TIFF));
    EXPECT_FALSE(coder()->canEncodeToFormat(KJSDImageFormat::WebP));
    EXPECT_FALSE(UIImageMultiFormat::sd_imageDataAsFormat(opaque, KJSDImageFormat::WebP));
    EXPECT_FALSE(coder()->encodedDataWithImage(nullptr, KJSDImageFormat::PNG));
    EXPECT_FALSE(coder()->encodedDataWithImage(std::make_shared<UIImage>(CGSize{4, 4}), KJSDImageFormat::PNG));
}

TEST(ImageIOCoder, DecompressionRedrawsOpaqueImagesAndLeavesAlphaAndAnimationAlone) {
    auto opaque = UIImage::imageWithCGImage(filled(6, 3, 0xFF336699u), 2, UIImageOrientation::Down);
    auto plain = platform::Value::dictionary();
    auto scaleDown = platform::Value::dictionary({{KJSDWebImageCoderScaleDownLargeImagesKey, true}});
    Data data = {1, 2, 3};
    auto drawn = coder()->decompressedImageWithImage(opaque, &data, plain);
    ASSERT_TRUE(drawn);
    EXPECT_NE(drawn, opaque);
    EXPECT_NE(drawn->cgImage(), opaque->cgImage());
    EXPECT_EQ(drawn->scale(), 2);
    EXPECT_EQ(drawn->imageOrientation(), UIImageOrientation::Down);
    EXPECT_EQ(drawn->cgImage()->pixelAt(5, 2), opaque->cgImage()->pixelAt(5, 2));
    EXPECT_FALSE(drawn->cgImage()->hasAlpha());
    // Small enough: the scale-down option only decompresses, and the data stays.
    EXPECT_EQ(coder()->decompressedImageWithImage(opaque, &data, scaleDown)->size(), opaque->size());
    EXPECT_EQ(data, (Data{1, 2, 3}));

    auto translucent = UIImage::imageWithCGImage(filled(6, 3, 0x80402010u, true));
    EXPECT_EQ(coder()->decompressedImageWithImage(translucent, nullptr, plain), translucent);
    EXPECT_EQ(coder()->decompressedImageWithImage(translucent, nullptr, scaleDown), translucent);
    auto animated = UIImage::animatedImageWithImages({opaque, opaque}, 0.2);
    EXPECT_EQ(coder()->decompressedImageWithImage(animated, nullptr, plain), animated);
    EXPECT_FALSE(KJSDWebImageImageIOCoder::shouldDecodeImage(nullptr));
}

TEST(ImageIOCoder, ScaleDownAppliesAbovePixelLimitAndFillsTheWholeImage) {
    // 8000 x 6000: red above the middle, blue below.
    std::vector<uint32_t> px(size_t(8000) * 6000, 0xFF0000FFu);
    std::fill(px.begin(), px.begin() + ptrdiff_t(8000) * 3000, 0xFFFF0000u);
    auto big = UIImage::imageWithCGImage(CGImage::fromPremultipliedARGB(8000, 6000, std::move(px), false));
    px = {};
    ASSERT_TRUE(KJSDWebImageImageIOCoder::shouldScaleDownImage(big));
    Data data = *platform::CGImageEncodeJPEG(*filled(2, 2, 0xFF000000u), 0.5);
    auto options = platform::Value::dictionary({{KJSDWebImageCoderScaleDownLargeImagesKey, true}});
    auto small = coder()->decompressedImageWithImage(big, &data, options);
    big.reset();
    ASSERT_TRUE(small);
    // The factor applies to each side.
    ASSERT_EQ(small->cgImage()->width(), 2621);
    ASSERT_EQ(small->cgImage()->height(), 1966);
    const auto& out = *small->cgImage();
    // The top and bottom rows hold the image's own top and bottom, with no band left unfilled.
    for (int x : {0, 1310, 2620}) {
        EXPECT_EQ(out.pixelAt(x, 0), kRed) << x;
        EXPECT_EQ(out.pixelAt(x, 1965), kBlue) << x;
        EXPECT_EQ(out.pixelAt(x, 970), kRed) << x;
        EXPECT_EQ(out.pixelAt(x, 996), kBlue) << x;
    }
    // The kept bytes now stand for the scaled image, in the format they were in.
    auto source = CGImageSource::createWithData(data);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->format(), platform::ImageFormat::JPEG);
    EXPECT_EQ(source->pixelWidth(), 2621);

    // Exactly at the limit: left at its size.
    auto atLimit = UIImage::imageWithCGImage(filled(4096, 3840, 0xFF102030u));
    EXPECT_FALSE(KJSDWebImageImageIOCoder::shouldScaleDownImage(atLimit));
    EXPECT_EQ(KJSDWebImageImageIOCoder::sd_decompressedAndScaledDownImageWithImage(atLimit)->cgImage()->width(), 4096);
}

TEST(ImageIOCoder, IncrementalDecodingShowsTheArrivedRowsAtTheTop) {
    Data png = *platform::CGImageEncodePNG(*noise(64, 64));
    KJSDWebImageImageIOCoder download;
    EXPECT_FALSE(download.incrementallyDecodedImageWithData(Data(png.begin(), png.begin() + 20), false))
        << "no size known yet";
    auto partial = download.incrementallyDecodedImageWithData(Data(png.begin(), png.begin() + png.size() / 2), false);
    ASSERT_TRUE(partial);
    ASSERT_EQ(partial->cgImage()->width(), 64);
    ASSERT_EQ(partial->cgImage()->height(), 64);
    EXPECT_EQ(partial->cgImage()->pixelAt(10, 0).a, 255) << "the first rows are at the top";
    EXPECT_EQ(partial->cgImage()->pixelAt(10, 0), noise(64, 64)->pixelAt(10, 0));
    EXPECT_EQ(partial->cgImage()->pixelAt(10, 63), kClear) << "rows still to come are clear";
    auto whole = download.incrementallyDecodedImageWithData(png, true);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->cgImage()->pixelAt(10, 63), noise(64, 64)->pixelAt(10, 63));

    // The orientation of the data is kept for every partial image.
    Data jpeg = *platform::CGImageEncodeJPEG(*noise(64, 32), 0.9, 8);
    KJSDWebImageImageIOCoder another;
    auto turned =
        another.incrementallyDecodedImageWithData(Data(jpeg.begin(), jpeg.begin() + jpeg.size() * 3 / 4), false);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->imageOrientation(), UIImageOrientation::Left);
    EXPECT_EQ(turned->scale(), 1);
}

TEST(ScaledImageForKey, ScaleFromTheMarkerInTheKey) {
    auto image = UIImage::imageWithCGImage(filled(12, 6, 0xFF000000u), 2, UIImageOrientation::Right);
    EXPECT_EQ(KJSDScaledImageForKey("icon@3x.png", image)->scale(), 3);
    EXPECT_EQ(KJSDScaledImageForKey("http://h/icon@2x.png", image)->scale(), 2);
    EXPECT_EQ(KJSDScaledImageForKey("a@2x.@3x.png", image)->scale(), 3);
    EXPECT_EQ(KJSDScaledImageForKey("@2x.png", image)->scale(), 1) << "7 characters";
    auto plain = KJSDScaledImageForKey("http://h/icon.png", image);
    EXPECT_EQ(plain->scale(), 1) << "no marker gives 1 whatever the image had";
    EXPECT_EQ(plain->imageOrientation(), UIImageOrientation::Right);
    EXPECT_EQ(plain->size(), (CGSize{6, 12}));
    EXPECT_FALSE(KJSDScaledImageForKey("icon@2x.png", nullptr));

    auto frame = UIImage::imageWithCGImage(filled(4, 4, 0xFF000000u));
    auto animated = UIImage::animatedImageWithImages({frame, frame}, 0.5);
    UIImageMultiFormat::setSd_imageLoopCount(*animated, 4);
    auto scaled = KJSDScaledImageForKey("spin@2x.gif", animated);
    ASSERT_TRUE(scaled);
    ASSERT_EQ(scaled->images().size(), 2u);
    EXPECT_EQ(scaled->images()[1]->scale(), 2);
    EXPECT_EQ(scaled->size(), (CGSize{2, 2}));
    EXPECT_EQ(scaled->duration(), 0.5);
    EXPECT_EQ(UIImageMultiFormat::sd_imageLoopCount(*scaled), 4u);
}

// Takes only data that begins with 'X'.
class XCoder final : public KJSDWebImageCoder {
public:
    bool canDecodeFromData(const Data* d) override { return d && !d->empty() && d->front() == 'X'; }
    std::shared_ptr<UIImage> decodedImageWithData(const Data*) override { return image; }
    std::shared_ptr<UIImage> decompressedImageWithImage(const std::shared_ptr<UIImage>& i, Data*,
                                                        const platform::Value&) override {
        return i;
    }
    bool canEncodeToFormat(KJSDImageFormat f) override { return f == KJSDImageFormat::TIFF; }
    std::optional<Data> encodedDataWithImage(const std::shared_ptr<UIImage>&, KJSDImageFormat) override {
        return Data{'X'};
    }
    std::shared_ptr<UIImage> image = std::make_shared<UIImage>(CGSize{1, 1});
};

TEST(CodersManager, AsksTheCoderAddedLastFirst) {
    KJSDWebImageCodersManager manager;
    auto x = std::make_shared<XCoder>();
    manager.addCoder(x);
    ASSERT_EQ(manager.coders().size(), 2u);
    EXPECT_EQ(manager.coders().front(), x);
    Data xData = {'X', 1}, png = *platform::CGImageEncodePNG(*filled(2, 2, 0xFF000000u));
    EXPECT_EQ(manager.decodedImageWithData(&xData), x->image);
    auto decoded = manager.decodedImageWithData(&png);
    ASSERT_TRUE(decoded);
    EXPECT_NE(decoded, x->image);
    auto still = UIImage::imageWithCGImage(filled(2, 2, 0xFF000000u));
    EXPECT_EQ(manager.encodedDataWithImage(still, KJSDImageFormat::TIFF), (Data{'X'}));
    EXPECT_FALSE(manager.encodedDataWithImage(nullptr, KJSDImageFormat::PNG));
    EXPECT_FALSE(manager.decompressedImageWithImage(nullptr, &png, platform::Value()));

    manager.removeCoder(x);
    EXPECT_FALSE(manager.canDecodeFromData(&xData) && manager.decodedImageWithData(&xData));
    auto io = KJSDWebImageImageIOCoder::sharedCoder();
    manager.setCoders({io, x});
    EXPECT_EQ(manager.coders(), (std::vector<std::shared_ptr<KJSDWebImageCoder>>{x, io}));
}

}  // namespace
}  // namespace brindlecue
