#include "imaging/KJSDWebImageGIFCoder.h"

#include <gtest/gtest.h>

#include "imaging/KJSDWebImageCoderHelper.h"
#include "imaging/UIImageGIF.h"
#include "imaging/UIImageMultiFormat.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CGImageSource.h"
#include "support/TestGif.h"

namespace brindlecue {
namespace {

using platform::CGImage;
using platform::Data;
using platform::UIImage;
using testsupport::makeTestGif;

std::shared_ptr<UIImage> solid(uint32_t argb) {
    return UIImage::imageWithCGImage(CGImage::fromPremultipliedARGB(2, 2, std::vector<uint32_t>(4, argb), false));
}

std::vector<std::shared_ptr<KJSDWebImageFrame>> frames(const std::vector<std::pair<std::shared_ptr<UIImage>, double>>& list) {
    std::vector<std::shared_ptr<KJSDWebImageFrame>> out;
    for (const auto& [image, duration] : list) out.push_back(KJSDWebImageFrame::frameWithImage(image, duration));
    return out;
}

TEST(CoderHelper, FramesBecomeOneAnimatedImageRepeatedByTheirShareOfTheDivisor) {
    auto a = solid(0xFFFF0000u), b = solid(0xFF00FF00u), c = solid(0xFF0000FFu);
    auto image = KJSDWebImageCoderHelper::animatedImageWithFrames(frames({{a, 0.1}, {b, 0.2}, {c, 0.3}}));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->images(), (std::vector<std::shared_ptr<UIImage>>{a, b, b, c, c, c}));
    EXPECT_NEAR(image->duration(), 0.6, 1e-6);

    // A frame of no duration is left out while others have one; all without one show once each.
    auto dropped = KJSDWebImageCoderHelper::animatedImageWithFrames(frames({{a, 0}, {b, 0.05}}));
    EXPECT_EQ(dropped->images(), (std::vector<std::shared_ptr<UIImage>>{b}));
    auto once = KJSDWebImageCoderHelper::animatedImageWithFrames(frames({{a, 0}, {b, 0}}));
    EXPECT_EQ(once->images(), (std::vector<std::shared_ptr<UIImage>>{a, b}));

    // Back to frames: runs of one image are merged, at the average duration per entry.
    auto back = KJSDWebImageCoderHelper::framesFromAnimatedImage(image);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 3u);
    EXPECT_EQ((*back)[2]->image(), c);
    EXPECT_NEAR((*back)[2]->duration(), 0.3, 1e-6);
    EXPECT_TRUE(KJSDWebImageCoderHelper::framesFromAnimatedImage(UIImage::animatedImageWithImages({a}, 1))->empty());
    EXPECT_FALSE(KJSDWebImageCoderHelper::framesFromAnimatedImage(a));
}

TEST(GIFCoder, DecodesFramesWithTheirDelaysAndTheLoopCount) {
    // 0.05 s, no delay (0.1 s), and 0.01 s, which is too short and shows at 0.1 s.
    Data gif = makeTestGif(3, 3, {{0, 0, 0, 0, 5, 0}, {0, 0, 0, 0, std::nullopt, 1}, {0, 0, 0, 0, 1, 2}}, 3);
    auto image = UIImageGIF::sd_animatedGIFWithData(gif);
    ASSERT_TRUE(image);
    EXPECT_TRUE(UIImageGIF::isGIF(*image));
    ASSERT_EQ(image->images().size(), 5u) << "1 + 2 + 2 entries of 0.05 s";
    EXPECT_EQ(image->images()[1]->cgImage()->pixelAt(0, 0), (platform::RGBA8{0, 0, 255, 255}));
    EXPECT_NEAR(image->duration(), 0.25, 1e-6);
    EXPECT_EQ(UIImageMultiFormat::sd_imageLoopCount(*image), 3u);

    auto noLoop = UIImageGIF::sd_animatedGIFWithData(makeTestGif(3, 3, {{0, 0, 0, 0, 5, 0}, {0, 0, 0, 0, 5, 1}}));
    EXPECT_EQ(UIImageMultiFormat::sd_imageLoopCount(*noLoop), 1u) << "a GIF that does not say plays once";

    auto still = UIImageGIF::sd_animatedGIFWithData(makeTestGif(3, 3, {{0, 0, 0, 0, 5, 2}}, 0));
    ASSERT_TRUE(still);
    EXPECT_FALSE(UIImageGIF::isGIF(*still));
    EXPECT_EQ(UIImageMultiFormat::sd_imageLoopCount(*still), 0u) << "never set";
    EXPECT_FALSE(UIImageGIF::sd_animatedGIFWithData({'G', 'I', 'F', '8', '9', 'a', 0}));
}

TEST(GIFCoder, EncodesAnimatedImagesWithTheirLoopCountAndStillImagesAsOneFrame) {
    auto a = solid(0xFFFF0000u), b = solid(0xFF0000FFu);
    auto animated = UIImage::animatedImageWithImages({a, b, b}, 0.6);
    UIImageMultiFormat::setSd_imageLoopCount(*animated, 5);
    auto coder = KJSDWebImageGIFCoder::sharedCoder();
    EXPECT_FALSE(coder->encodedDataWithImage(animated, KJSDImageFormat::PNG));
    auto data = coder->encodedDataWithImage(animated, KJSDImageFormat::GIF);
    ASSERT_TRUE(data);
    auto source = platform::CGImageSource::createWithData(*data);
    ASSERT_EQ(source->count(), 2u);
    EXPECT_EQ(source->loopCount(), 5u);
    EXPECT_NEAR(*source->delayAtIndex(1), 0.4, 1e-6);

    auto still = coder->encodedDataWithImage(a, KJSDImageFormat::GIF);
    ASSERT_TRUE(still);
    EXPECT_EQ(platform::CGImageSource::createWithData(*still)->count(), 1u);
}

}  // namespace
}  // namespace brindlecue
