#include "imaging/KJFLAnimatedImageView.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/CADisplayLink.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIWindow.h"
#include "support/FakeFrameSource.h"
#include "support/TestGif.h"

namespace brindlecue {
namespace {

using platform::CGRect;
using platform::Clock;
using platform::make;
using platform::RunLoop;
using testsupport::makeTestGif;

constexpr uint64_t kForever = std::numeric_limits<uint64_t>::max();

// Three frames of the given delays (hundredths), red, blue, green.
std::shared_ptr<KJFLAnimatedImage> gif(std::vector<int> delays, int loops) {
    std::vector<testsupport::TestGifFrame> frames;
    for (size_t i = 0; i < delays.size(); ++i) frames.push_back({0, 0, 0, 0, delays[i], uint8_t(i % 3)});
    auto image = KJFLAnimatedImage::animatedImageWithGIFData(makeTestGif(4, 4, frames, loops));
    // Every frame decoded before playing, so that no tick has to wait for the decoding queue.
    image->imageLazilyCachedAtIndex(0);
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return image->cachedFrameIndexes().size() == image->frameCount(); }));
    return image;
}

class AnimatedImageView : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        window = make<platform::UIWindow>(CGRect(0, 0, 100, 100));
        container = make<platform::UIView>(CGRect(0, 0, 100, 100));
        window->addSubview(container);
        view = make<KJFLAnimatedImageView>(CGRect(0, 0, 4, 4));
        container->addSubview(view);
        view->setLoopCompletionBlock([this](uint64_t remaining) { loops.push_back(remaining); });
    }
    void TearDown() override { KJFLAnimatedImage::setLogBlock(nullptr, 0); }

    static void run(double seconds) { Clock::advance(seconds + 1e-6); }
    // The colour the view draws at its centre.
    platform::RGBA8 shown() const {
        platform::UIGraphicsBeginImageContextWithOptions(view->bounds().size, false, 1);
        view->drawViewHierarchyInRect(view->bounds(), false);
        auto image = platform::UIGraphicsGetImageFromCurrentImageContext();
        platform::UIGraphicsEndImageContext();
        return image->cgImage()->pixelAt(2, 2);
    }

    std::shared_ptr<platform::UIWindow> window;
    std::shared_ptr<platform::UIView> container;
    std::shared_ptr<KJFLAnimatedImageView> view;
    std::vector<uint64_t> loops;
};

constexpr platform::RGBA8 kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255}, kGreen{0, 255, 0, 255};

TEST_F(AnimatedImageView, PlaysItsLoopsAndStopsOnTheLastFrame) {
    view->setAnimatedImage(gif({10, 10, 10}, 2));
    EXPECT_TRUE(view->isAnimating());
    EXPECT_EQ(view->displayLink()->frameInterval(), 6);
    EXPECT_EQ(shown(), kRed) << "the poster until the first tick";
    run(0.2);
    EXPECT_EQ(view->currentFrameIndex(), 2u);
    EXPECT_EQ(shown(), kBlue);
    run(0.1);
    EXPECT_EQ(loops, (std::vector<uint64_t>{1}));
    EXPECT_EQ(view->currentFrameIndex(), 0u);
    run(0.3);
    EXPECT_EQ(loops, (std::vector<uint64_t>{1, 0}));
    EXPECT_FALSE(view->isAnimating());
    EXPECT_EQ(shown(), kGreen);
    // A later start shows nothing new.
    view->setHidden(true);
    view->setHidden(false);
    run(1);
    EXPECT_EQ(loops.size(), 2u);
    EXPECT_EQ(shown(), kGreen);
}

TEST_F(AnimatedImageView, TicksComeEveryDivisorOfTheDelaysAndLoopCountZeroPlaysForEver) {
    view->setRunLoopMode("UITrackingRunLoopMode");
    EXPECT_EQ(view->runLoopMode(), KJFLAnimatedImageView::defaultRunLoopMode()) << "not a mode the view takes";
    view->setAnimatedImage(gif({10, 5}, 0));
    EXPECT_EQ(view->displayLink()->frameInterval(), 3);
    EXPECT_EQ(view->displayLink()->runLoopMode(), view->runLoopMode());
    run(0.05);
    EXPECT_EQ(view->currentFrameIndex(), 0u);
    run(0.05);
    EXPECT_EQ(view->currentFrameIndex(), 1u);
    run(0.05);
    EXPECT_EQ(view->currentFrameIndex(), 0u);
    run(0.15);
    EXPECT_EQ(loops, (std::vector<uint64_t>{kForever - 1, kForever - 2}));

    view->setAnimatedImage(gif({2, 3}, 0));
    EXPECT_EQ(view->displayLink()->frameInterval(), 1);
}

TEST_F(AnimatedImageView, PlaysOnlyWhileVisible) {
    view->setAnimatedImage(gif({10, 10, 10}, 0));
    run(0.1);
    ASSERT_EQ(view->currentFrameIndex(), 1u);
    auto pausedFor = [&](const std::function<void()>& hide, const std::function<void()>& show) {
        hide();
        EXPECT_FALSE(view->isAnimating());
        run(1);
        EXPECT_EQ(view->currentFrameIndex(), 1u);
        show();
        EXPECT_TRUE(view->isAnimating());
    };
    pausedFor([&] { view->setHidden(true); }, [&] { view->setHidden(false); });
    pausedFor([&] { view->setAlpha(0); }, [&] { view->setAlpha(0.5); });
    pausedFor([&] { container->removeFromSuperview(); }, [&] { window->addSubview(container); });
    run(0.1);
    EXPECT_EQ(view->currentFrameIndex(), 2u) << "resumed from the same frame";

    // The display link holds the view only weakly; a released view stops its link.
    std::weak_ptr<KJFLAnimatedImageView> weak = view;
    auto link = view->displayLink();
    view->removeFromSuperview();
    view.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(link->isValid());
    run(1);
}

TEST_F(AnimatedImageView, AStillImageReplacesTheAnimation) {
    auto animated = gif({10, 10, 10}, 0);
    view->setAnimatedImage(animated);
    view->setHighlighted(true);
    EXPECT_FALSE(view->isHighlighted()) << "no highlighting while animated";
    auto still = platform::UIImage::imageWithCGImage(
        platform::CGImage::fromPremultipliedARGB(8, 2, std::vector<uint32_t>(16, 0xFF0000FFu), false));
    view->setImage(still);
    EXPECT_FALSE(view->animatedImage());
    EXPECT_FALSE(view->isAnimating());
    EXPECT_EQ(view->intrinsicContentSize(), (platform::CGSize{8, 2}));
    EXPECT_EQ(shown(), kBlue);
    view->setAnimatedImage(animated);
    EXPECT_FALSE(view->UIImageView::image()) << "the still image is cleared";
}

TEST_F(AnimatedImageView, AFrameNotYetDecodedHoldsThePlayheadAndAFailedLastFrameWrapsAround) {
    std::vector<std::string> waits;
    KJFLAnimatedImage::setLogBlock(
        [&](const std::string& text, uint64_t level) {
            if (level == 4 && text.starts_with("Waiting for frame")) waits.push_back(text);
        },
        4);
    auto frames = std::make_shared<testsupport::FakeFrameSource>(3, 2, 2, 2);
    frames->failing = {2};
    auto image = KJFLAnimatedImage::initWithFrameSource(frames, {}, 0, false);
    frames->setOpen(false);
    view->setAnimatedImage(image);
    run(0.3);
    EXPECT_EQ(view->currentFrameIndex(), 1u);
    EXPECT_TRUE(!waits.empty() &&
                waits.back().find("Waiting for frame 1 for animated image: <KJFLAnimatedImage: 0x") != std::string::npos);
    frames->setOpen(true);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return image->cachedFrameIndexes().contains(1); }));

    // Frame 2 never decoded: after frame 1 playback goes back to frame 0 and the loop counts.
    run(1);
    EXPECT_EQ(loops, (std::vector<uint64_t>{1, 0}));
    EXPECT_FALSE(view->isAnimating());
}

}  // namespace
}  // namespace brindlecue
