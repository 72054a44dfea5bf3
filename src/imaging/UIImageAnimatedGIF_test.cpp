#include "imaging/UIImageAnimatedGIF.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/AppContainer.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CGImageSource.h"
#include "support/TestGif.h"

namespace brindlecue {
namespace {

using platform::UIImage;
using testsupport::makeTestGif;

// The bitmap each entry shows, as the palette index of its top-left pixel.
std::vector<int> colors(const UIImage& image) {
    std::vector<int> out;
    for (const auto& frame : image.images()) {
        uint32_t p = frame->cgImage()->premultipliedARGB()[0];
        int index = -1;
        for (int i = 0; i < 4; ++i)
            if (testsupport::kTestGifPalette[i] == p) index = i;
        out.push_back(index);
    }
    return out;
}

TEST(AnimatedGIFImage, FramesRepeatedByTheirDelayInHundredths) {
    auto image = UIImageAnimatedGIF::animatedImageWithAnimatedGIFData(
        makeTestGif(2, 2, {{0, 0, 0, 0, 10, 0}, {0, 0, 0, 0, 10, 1}, {0, 0, 0, 0, 20, 2}}));
    ASSERT_TRUE(image);
    EXPECT_EQ(colors(*image), (std::vector<int>{0, 1, 2, 2}));
    EXPECT_DOUBLE_EQ(image->duration(), 0.4);

    auto fine = UIImageAnimatedGIF::animatedImageWithAnimatedGIFData(
        makeTestGif(2, 2, {{0, 0, 0, 0, 3, 0}, {0, 0, 0, 0, 5, 1}}));
    EXPECT_EQ(colors(*fine), (std::vector<int>{0, 0, 0, 1, 1, 1, 1, 1}));

    // No graphic control block, or a delay of 0: one hundredth each.
    auto none = UIImageAnimatedGIF::animatedImageWithAnimatedGIFData(
        makeTestGif(2, 2, {{0, 0, 0, 0, std::nullopt, 0}, {0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 2, 2}}));
    EXPECT_EQ(colors(*none), (std::vector<int>{0, 1, 2, 2}));
    EXPECT_DOUBLE_EQ(none->duration(), 0.04);

    EXPECT_FALSE(UIImageAnimatedGIF::animatedImageWithAnimatedGIFData({1, 2, 3}));
    EXPECT_FALSE(animatedImageWithAnimatedGIFReleasingImageSource(nullptr));
}

TEST(AnimatedGIFImage, FrameListEdgeCases) {
    auto bitmap = platform::CGImage::fromPremultipliedARGB(1, 1, {0xFF000000u}, false);
    EXPECT_TRUE(frameArray(0, {}, {}, 0).empty());
    EXPECT_TRUE(frameArray(2, {bitmap, bitmap}, {0, 0}, 0).empty()) << "every delay rounded to 0";
    auto list = frameArray(2, {bitmap, bitmap}, {0, 4}, 4);
    EXPECT_EQ(list.size(), 1u) << "a delay of 0 puts its frame in the list 0 times";
}

TEST(AnimatedGIFImage, ReadsAFileAddress) {
    std::filesystem::create_directories(platform::AppContainer::root());
    auto path = platform::AppContainer::root() / "spin.gif";
    platform::Data gif = makeTestGif(2, 2, {{0, 0, 0, 0, 5, 0}, {0, 0, 0, 0, 5, 1}});
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(gif.data()), std::streamsize(gif.size()));
    auto image = UIImageAnimatedGIF::animatedImageWithAnimatedGIFURL("file://" + path.string());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->images().size(), 2u);
    EXPECT_FALSE(UIImageAnimatedGIF::animatedImageWithAnimatedGIFURL("file://" + path.string() + ".missing"));
}

}  // namespace
}  // namespace brindlecue
