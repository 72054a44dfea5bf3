#include "imaging/KJFLAnimatedImage.h"

#include <gtest/gtest.h>

#include "platform/NotificationCenter.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/uikit/UIApplication.h"
#include "support/FakeFrameSource.h"
#include "support/TestGif.h"

namespace brindlecue {
namespace {

using platform::CGImage;
using platform::Data;
using platform::RunLoop;
using testsupport::FakeFrameSource;
using testsupport::makeTestGif;
using testsupport::TestGifFrame;

// Frames that fill the whole canvas first and then a single pixel each, so that a large canvas
// costs little to write and to read.
Data gifOf(int width, int height, int frames, std::optional<int> delay = 10) {
    std::vector<TestGifFrame> list{{0, 0, 0, 0, delay, 0}};
    for (int i = 1; i < frames; ++i) list.push_back({0, 0, 1, 1, delay, uint8_t(i % 4)});
    return makeTestGif(width, height, list, 0);
}

class AnimatedImage : public ::testing::Test {
protected:
    void SetUp() override {
        KJFLAnimatedImage::setLogBlock([this](const std::string& text, uint64_t level) { logs.emplace_back(level, text); },
                                       5);
    }
    void TearDown() override { KJFLAnimatedImage::setLogBlock(nullptr, 0); }

    bool logged(uint64_t level, const std::string& part) const {
        for (const auto& [l, text] : logs)
            if (l == level && text.find(part) != std::string::npos) return true;
        return false;
    }
    static void waitForCached(const KJFLAnimatedImage& image, const std::set<uint64_t>& indexes) {
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return image.cachedFrameIndexes() == indexes; }))
            << "cached: " << image.cachedFrameIndexes().size();
    }

    std::vector<std::pair<uint64_t, std::string>> logs;
};

TEST_F(AnimatedImage, DataThatGivesNoPlayableFramesGivesNoImage) {
    EXPECT_FALSE(KJFLAnimatedImage::animatedImageWithGIFData({}));
    EXPECT_TRUE(logged(1, "No animated GIF data supplied."));

    Data png = *platform::CGImageEncodePNG(*CGImage::fromPremultipliedARGB(1, 1, {0xFF000000u}, false));
    EXPECT_FALSE(KJFLAnimatedImage::animatedImageWithGIFData(png));
    EXPECT_TRUE(logged(1, "Supplied data is of type public.png and doesn't seem to be GIF data"));

    // A canvas wider than any bitmap: the source lists two frames and neither can be made.
    EXPECT_FALSE(KJFLAnimatedImage::animatedImageWithGIFData(gifOf(40000, 1, 2)));
    EXPECT_TRUE(logged(3, "Dropping frame 1 because failed to `CGImageSourceCreateImageAtIndex`"));
    EXPECT_TRUE(logged(3, "Failed to create any valid frames for GIF with properties"));

    auto single = KJFLAnimatedImage::animatedImageWithGIFData(gifOf(4, 4, 1));
    ASSERT_TRUE(single);
    EXPECT_TRUE(logged(3, "Created valid GIF but with only a single frame."));
    EXPECT_EQ(single->frameCacheSizeOptimal(), 1u);
    EXPECT_NE(single->description().find("size={4, 4} frameCount=1"), std::string::npos);
}

TEST_F(AnimatedImage, DelaysLoopCountAndThePoster) {
    auto image = KJFLAnimatedImage::animatedImageWithGIFData(makeTestGif(
        2, 2, {{0, 0, 0, 0, 1, 0}, {0, 0, 0, 0, 2, 1}, {0, 0, 0, 0, std::nullopt, 2}, {0, 0, 0, 0, 7, 3}}, 4));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->loopCount(), 4u);
    // 0.01 s is too short; 0.02 s is kept; no delay copies the previous frame's.
    EXPECT_EQ(image->delayTimesForIndexes(), (std::map<uint64_t, double>{{0, 0.1}, {1, 0.02}, {2, 0.02}, {3, 0.07}}));
    EXPECT_TRUE(logged(3, "Rounding frame 0's `delayTime` from 0.010000 up to default 0.100000"));

    auto first = KJFLAnimatedImage::animatedImageWithGIFData(
        makeTestGif(2, 2, {{0, 0, 0, 0, std::nullopt, 0}, {0, 0, 0, 0, 5, 1}}));
    EXPECT_EQ(first->delayTimesForIndexes(), (std::map<uint64_t, double>{{0, 0.1}, {1, 0.05}}));
    EXPECT_EQ(first->loopCount(), 0u);
    EXPECT_TRUE(logged(3, "Falling back to default delay time for first frame"));

    // Frame 0 does not decode: frame 1 is the poster; frame 2 has no delay and no predecessor's.
    auto frames = std::make_shared<FakeFrameSource>(3, 2, 2);
    frames->failing = {0};
    frames->noDelay = {1, 2};
    auto dropped = KJFLAnimatedImage::initWithFrameSource(frames, {}, 0, false);
    ASSERT_TRUE(dropped);
    EXPECT_EQ(dropped->posterImageFrameIndex(), 1u);
    EXPECT_EQ(dropped->delayTimesForIndexes(), (std::map<uint64_t, double>{{1, 0.1}, {2, 0.1}}));
    EXPECT_EQ(dropped->cachedFrameIndexes(), (std::set<uint64_t>{1}));
}

TEST_F(AnimatedImage, CacheSizeFollowsTheDecodedSizeAndTheCaps) {
    auto all = KJFLAnimatedImage::animatedImageWithGIFData(gifOf(1024, 256, 10));  // 10 MB
    EXPECT_EQ(all->frameCacheSizeOptimal(), 10u);
    auto five = KJFLAnimatedImage::animatedImageWithGIFData(gifOf(1024, 128, 21));  // 10.5 MB
    EXPECT_EQ(five->frameCacheSizeOptimal(), 5u);
    auto one = KJFLAnimatedImage::animatedImageWithGIFData(gifOf(1024, 1024, 20));  // 80 MB
    EXPECT_EQ(one->frameCacheSizeOptimal(), 1u);
    auto given = KJFLAnimatedImage::initWithAnimatedGIFData(gifOf(4, 4, 3), 50, false);
    EXPECT_EQ(given->frameCacheSizeOptimal(), 3u) << "never more than the frames";
    EXPECT_FALSE(given->isPredrawingEnabled());

    five->setFrameCacheSizeMax(3);
    EXPECT_EQ(five->frameCacheSizeCurrent(), 3u);
    five->setFrameCacheSizeMax(0);
    EXPECT_EQ(five->frameCacheSizeCurrent(), 5u);
}

TEST_F(AnimatedImage, FramesAreDecodedFromThePlayheadForwardAndPurgedOutsideTheWindow) {
    // 10 frames of 2 MB: 5 are cached.
    auto frames = std::make_shared<FakeFrameSource>(10, 1024, 512);
    auto image = KJFLAnimatedImage::initWithFrameSource(frames, {}, 0, true);
    ASSERT_EQ(image->frameCacheSizeCurrent(), 5u);
    frames->takeCalls();

    EXPECT_FALSE(image->imageLazilyCachedAtIndex(2)) << "not decoded yet";
    waitForCached(*image, {0, 2, 3, 4, 5, 6});
    EXPECT_EQ(frames->takeCalls(), (std::vector<size_t>{2, 3, 4, 5, 6}));
    auto frame = image->imageLazilyCachedAtIndex(2);
    ASSERT_TRUE(frame);
    EXPECT_NE(frame->cgImage(), image->posterImage()->cgImage()) << "predrawn into a bitmap of its own";

    // Moving to 8 keeps the poster and what lies in 8, 9, 0, 1, 2.
    image->imageLazilyCachedAtIndex(8);
    EXPECT_EQ(image->cachedFrameIndexes(), (std::set<uint64_t>{0, 2}));
    waitForCached(*image, {0, 1, 2, 8, 9});
    EXPECT_EQ(frames->takeCalls(), (std::vector<size_t>{8, 9, 1}));

    EXPECT_FALSE(image->imageLazilyCachedAtIndex(10));
    EXPECT_TRUE(logged(2, "Skipping requested frame 10 beyond bounds (total frame count: 10)"));
}

TEST_F(AnimatedImage, MemoryWarningsCutTheCacheToOneFrameThatGrowsBack) {
    platform::Clock::useVirtual();
    auto image = KJFLAnimatedImage::animatedImageWithGIFData(gifOf(4, 4, 6));
    image->imageLazilyCachedAtIndex(0);
    waitForCached(*image, {0, 1, 2, 3, 4, 5});
    image->imageLazilyCachedAtIndex(3);
    auto warn = [] {
        platform::NotificationCenter::defaultCenter().post(
            platform::UIApplication::UIApplicationDidReceiveMemoryWarningNotification);
    };

    warn();
    EXPECT_TRUE(logged(4, "Attempt setting frame cache size max to 1 (previous was 0) after memory warning #1"));
    EXPECT_EQ(image->cachedFrameIndexes(), (std::set<uint64_t>{0, 3})) << "the requested frame and the poster";
    platform::Clock::advance(2.0);
    EXPECT_EQ(image->frameCacheSizeMaxInternal(), 2u);
    platform::Clock::advance(3.0);
    EXPECT_EQ(image->frameCacheSizeMaxInternal(), 0u);
    EXPECT_EQ(image->frameCacheSizeCurrent(), 6u);

    // A warning before the cache has grown back cancels the pending growth; from the fourth on
    // the cap stays.
    warn();
    platform::Clock::advance(1.0);
    warn();
    platform::Clock::advance(1.0);
    warn();
    platform::Clock::advance(10.0);
    EXPECT_EQ(image->frameCacheSizeMaxInternal(), 1u);
    EXPECT_TRUE(logged(4, "after memory warning #4"));
}

TEST_F(AnimatedImage, AnImageReleasedWhileDecodingDecodesAndStoresNothingMore) {
    auto frames = std::make_shared<FakeFrameSource>(6, 2, 2);
    auto image = KJFLAnimatedImage::initWithFrameSource(frames, {}, 0, false);
    frames->takeCalls();
    frames->setOpen(false);
    image->imageLazilyCachedAtIndex(1);
    frames->waitForCall();
    std::weak_ptr<KJFLAnimatedImage> weak = image;
    image.reset();
    EXPECT_FALSE(weak.expired()) << "held while its frame decodes";
    frames->setOpen(true);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return weak.expired(); }));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(frames->takeCalls(), (std::vector<size_t>{1}));
}

}  // namespace
}  // namespace brindlecue
