// Loading images into views through the shared image manager, against the sample server: the
// previous load is cancelled, the placeholder shown, the image set on the main queue before the
// caller hears; a GIF on the animated view shows its first frame, then plays.

#include "imaging/UIViewWebCache.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/KJFLAnimatedImageView.h"
#include "imaging/KJFLAnimatedImageViewWebCache.h"
#include "imaging/KJSDWebImageCodersManager.h"
#include "imaging/KJSDImageCache.h"
#include "imaging/KJSDWebImageDownloader.h"
#include "imaging/KJSDWebImageImageIOCoder.h"
#include "imaging/KJSDWebImageManager.h"
#include "imaging/UIButtonWebCache.h"
#include "imaging/UIImageKJFLAnimatedImage.h"
#include "imaging/UIImageViewWebCache.h"
#include "imaging/UIViewWebCacheOperation.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Progress.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIWindow.h"
#include "sample-server/SampleServer.h"
#include "support/SampleRoutes.h"
#include "support/TestGif.h"
#include "support/TestImages.h"

namespace brindlecue {
namespace {

using platform::CGRect;
using platform::CGSize;
using platform::Data;
using platform::Error;
using platform::make;
using platform::RunLoop;
using platform::UIImage;
using platform::URL;

struct Done {
    bool called = false;
    std::shared_ptr<UIImage> image;
    std::optional<Error> error;
    KJSDImageCacheType cacheType = KJSDImageCacheType::None;
    std::function<void()> onCall;
    KJSDExternalCompletionBlock block() {
        return [this](std::shared_ptr<UIImage> i, std::optional<Error> e, KJSDImageCacheType t, const auto&) {
            EXPECT_TRUE(platform::isMainThread());
            called = true;
            image = i;
            error = e;
            cacheType = t;
            if (onCall) onCall();
        };
    }
    bool wait() { return RunLoop::main().runUntil([this] { return called; }, 20); }
};

// An animated view that records every still image it is given.
class TracingView final : public KJFLAnimatedImageView {
public:
    void setImage(const std::shared_ptr<UIImage>& image) override {
        trace.push_back(image ? "image " + std::to_string(int(image->size().width)) : "none");
        KJFLAnimatedImageView::setImage(image);
    }
    std::vector<std::string> trace;
};

// Claims data beginning "GIF8fake" and makes a still image of it that no animated image can be
// made from.
class FakeGIFCoder final : public KJSDWebImageCoder {
public:
    bool canDecodeFromData(const Data* data) override {
        return data && data->size() >= 8 && std::string(data->begin(), data->begin() + 8) == "GIF8fake";
    }
    std::shared_ptr<UIImage> decodedImageWithData(const Data*) override {
        return UIImage::imageWithCGImage(
            platform::CGImage::fromPremultipliedARGB(7, 7, std::vector<uint32_t>(49, 0xFF00FF00u), false));
    }
    std::shared_ptr<UIImage> decompressedImageWithImage(const std::shared_ptr<UIImage>& image, Data*,
                                                        const platform::Value&) override {
        return image;
    }
    bool canEncodeToFormat(KJSDImageFormat) override { return false; }
    std::optional<Data> encodedDataWithImage(const std::shared_ptr<UIImage>&, KJSDImageFormat) override {
        return std::nullopt;
    }
};

class ViewLoadingTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.start();
        window = make<platform::UIWindow>(CGRect(0, 0, 100, 100));
    }
    std::optional<URL> url(const std::string& path) { return URL::fromString(server.baseURL() + path); }

    sampleserver::SampleServer server;
    std::shared_ptr<platform::UIWindow> window;
    const std::shared_ptr<UIImage> placeholder = UIImage::imageWithData(testsupport::makeTestPNG(1, 1));
};

TEST_F(ViewLoadingTest, ANewLoadCancelsThePreviousOneAndThePlaceholderShowsMeanwhile) {
    auto slow = testsupport::imageRoute("/first.png", testsupport::makeTestPNG(3, 3));
    slow.delaySeconds = 0.3;
    server.addRoute(slow);
    server.addRoute(testsupport::imageRoute("/second.png", testsupport::makeTestPNG(5, 5)));
    auto view = make<platform::UIImageView>(CGRect(0, 0, 10, 10));
    UIViewWebCache::sd_setShowActivityIndicatorView(*view, true);

    Done first, second;
    UIImageViewWebCache::sd_setImageWithURL(view, url("/first.png"), placeholder, 0, nullptr, first.block());
    EXPECT_EQ(view->image(), placeholder);  // at once on the main thread
    EXPECT_TRUE(UIViewWebCache::activityIndicator(*view));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return server.journal().size() == 1; }));  // on its way
    second.onCall = [&] { EXPECT_EQ(view->image(), second.image); };  // the view has it before the caller
    UIImageViewWebCache::sd_setImageWithURL(view, url("/second.png"), placeholder, 0, nullptr, second.block());
    ASSERT_TRUE(second.wait());
    ASSERT_TRUE(second.image);
    EXPECT_EQ(second.image->size(), (CGSize{5, 5}));
    EXPECT_EQ(UIViewWebCache::sd_imageURL(*view), url("/second.png"));
    EXPECT_EQ(UIViewWebCache::sd_imageProgress(*view)->completedUnitCount(),
              int64_t(testsupport::makeTestPNG(5, 5).size()));
    EXPECT_FALSE(UIViewWebCache::activityIndicator(*view));
    // The first answer comes and goes unheard: once the server has sent it and no download or
    // load is left, whatever it could have caused has been queued on the main queue.
    ASSERT_TRUE(RunLoop::main().runUntil([&] {
        auto journal = server.journal();
        return !journal.empty() && journal.front().path == "/first.png" && journal.front().status != 0 &&
               KJSDWebImageDownloader::sharedDownloader()->currentDownloadCount() == 0 &&
               !KJSDWebImageManager::sharedManager()->isRunning();
    }));
    RunLoop::main().runUntilIdle();
    EXPECT_FALSE(first.called);
    EXPECT_EQ(view->image(), second.image);

    // No URL: the placeholder stays and the caller hears why.
    Done none;
    UIImageViewWebCache::sd_setImageWithURL(view, std::nullopt, placeholder, 0, nullptr, none.block());
    ASSERT_TRUE(none.wait());
    EXPECT_EQ(none.error->domain(), KJSDWebImageErrorDomain);
    EXPECT_EQ(none.error->code(), -1);
    EXPECT_EQ(none.error->localizedDescription(), "Trying to load a nil url");
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_FALSE(UIViewWebCache::sd_imageURL(*view));

    // Avoiding the automatic set: the view keeps the placeholder, the caller gets the image.
    Done avoided;
    UIImageViewWebCache::sd_setImageWithURL(view, url("/second.png"), placeholder, KJSDImageLoadAvoidAutoSetImage,
                                            nullptr, avoided.block());
    ASSERT_TRUE(avoided.wait());
    EXPECT_TRUE(avoided.image);
    EXPECT_EQ(view->image(), placeholder);

    // A delayed placeholder: the shown image stays while loading and the placeholder comes on failure.
    auto shown = UIImage::imageWithData(testsupport::makeTestPNG(2, 2));
    view->setImage(shown);
    Done failed;
    UIImageViewWebCache::sd_setImageWithURL(view, url("/missing.png"), placeholder, KJSDImageLoadDelayPlaceholder,
                                            nullptr, failed.block());
    EXPECT_EQ(view->image(), shown);
    ASSERT_TRUE(failed.wait());
    EXPECT_TRUE(failed.error);
    EXPECT_EQ(view->image(), placeholder);
}

Data sampleImage(const std::string& name) {
    std::ifstream in(std::string(BRINDLECUE_SOURCE_DIR) + "/src/platform/graphics/test-data/" + name,
                     std::ios::binary);
    return Data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The test images show red at the top left, green at the top right, blue at the bottom left and
// white at the bottom right.
void expectQuadrants(const platform::CGImage& image, int tolerance) {
    const int w = image.width(), h = image.height();
    const std::vector<std::pair<platform::RGBA8, std::pair<int, int>>> expected = {
        {{255, 0, 0, 255}, {1, 1}},
        {{0, 255, 0, 255}, {w - 2, 1}},
        {{0, 0, 255, 255}, {1, h - 2}},
        {{255, 255, 255, 255}, {w - 2, h - 2}}};
    for (const auto& [colour, at] : expected) {
        const auto p = image.pixelAt(at.first, at.second);
        EXPECT_LE(std::abs(p.r - colour.r) + std::abs(p.g - colour.g) + std::abs(p.b - colour.b), tolerance)
            << at.first << ", " << at.second << ": " << int(p.r) << " " << int(p.g) << " " << int(p.b);
    }
}

// A TIFF (with a download in progress shown) and, where the platform reads it, a HEIC image reach
// the view decoded; the bytes the cache kept decode again from the disk.
TEST_F(ViewLoadingTest, TIFFAndHEICImagesReachTheViewDecoded) {
    server.addRoute(testsupport::imageRoute("/quadrants.tif", sampleImage("quadrants-alpha-tiled.tif"), "image/tiff"));
    server.addRoute(testsupport::imageRoute("/quadrants.heic", sampleImage("quadrants.heic"), "image/heic"));
    auto view = make<platform::UIImageView>(CGRect(0, 0, 40, 24));
    window->addSubview(view);

    Done tiff;
    UIImageViewWebCache::sd_setImageWithURL(view, url("/quadrants.tif"), placeholder, KJSDImageLoadProgressive,
                                            nullptr, tiff.block());
    ASSERT_TRUE(tiff.wait());
    ASSERT_TRUE(tiff.image) << (tiff.error ? tiff.error->description() : "");
    EXPECT_EQ(view->image(), tiff.image);
    EXPECT_EQ(tiff.cacheType, KJSDImageCacheType::None);
    ASSERT_EQ(tiff.image->size(), (CGSize{40, 24}));
    const auto& tiffPixels = *tiff.image->cgImage();
    EXPECT_EQ(tiffPixels.pixelAt(1, 1), (platform::RGBA8{255, 0, 0, 255}));
    EXPECT_EQ(tiffPixels.pixelAt(38, 1), (platform::RGBA8{0, 255, 0, 255}));
    EXPECT_EQ(tiffPixels.pixelAt(1, 22).a, 0) << "the clear quadrant stays clear";

    KJSDImageCache::sharedImageCache()->clearMemory();
    auto again = make<platform::UIImageView>(CGRect(0, 0, 40, 24));
    Done fromDisk;
    UIImageViewWebCache::sd_setImageWithURL(again, url("/quadrants.tif"), nullptr, 0, nullptr, fromDisk.block());
    ASSERT_TRUE(fromDisk.wait());
    EXPECT_EQ(fromDisk.cacheType, KJSDImageCacheType::Disk);
    ASSERT_TRUE(again->image());
    EXPECT_EQ(again->image()->cgImage()->pixelAt(38, 1), (platform::RGBA8{0, 255, 0, 255}));
    EXPECT_EQ(server.journal().size(), 1u);

    Done heic;
    UIImageViewWebCache::sd_setImageWithURL(view, url("/quadrants.heic"), placeholder, 0, nullptr, heic.block());
    ASSERT_TRUE(heic.wait());
    if (!KJSDWebImageImageIOCoder::canDecodeFromHEICFormat()) {
        // No coder takes the bytes: the load fails and the placeholder stays.
        EXPECT_FALSE(heic.image);
        EXPECT_TRUE(heic.error);
        EXPECT_EQ(view->image(), placeholder);
        GTEST_SKIP() << "libheif has no HEVC decoder here";
    }
    ASSERT_TRUE(heic.image) << (heic.error ? heic.error->description() : "");
    EXPECT_EQ(view->image(), heic.image);
    ASSERT_EQ(heic.image->size(), (CGSize{64, 48}));
    // Colours pass through YCbCr: close, not exact.
    expectQuadrants(*heic.image->cgImage(), 30);
}

TEST_F(ViewLoadingTest, AGIFShowsItsFirstFrameThenPlaysBeforeTheCallerHears) {
    platform::Clock::useVirtual();
    const Data gif = testsupport::makeTestGif(
        6, 6, {{0, 0, 0, 0, 10, 0}, {0, 0, 0, 0, 10, 1}, {0, 0, 0, 0, 10, 2}}, 0);
    server.addRoute(testsupport::imageRoute("/spin.gif", gif, "image/gif"));
    auto view = make<TracingView>();
    view->setFrame(CGRect(0, 0, 6, 6));
    window->addSubview(view);

    Done done;
    done.onCall = [&] {
        ASSERT_TRUE(view->animatedImage());
        view->trace.push_back("done");
    };
    KJFLAnimatedImageViewWebCache::sd_setImageWithURL(view, url("/spin.gif"), nullptr, 0, nullptr, done.block());
    ASSERT_TRUE(done.wait());
    EXPECT_EQ(view->trace, (std::vector<std::string>{"none", "image 6", "none", "done"}));
    auto animated = view->animatedImage();
    EXPECT_EQ(animated->frameCount(), 3u);
    EXPECT_EQ(UIImageKJFLAnimatedImage::sd_KJFLAnimatedImage(*done.image), animated);
    animated->imageLazilyCachedAtIndex(0);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return animated->cachedFrameIndexes().size() == 3; }));
    EXPECT_TRUE(view->isAnimating());
    platform::Clock::advance(0.1 + 1e-6);
    EXPECT_EQ(view->currentFrameIndex(), 1u);

    // From memory the same animated image plays at once.
    auto again = make<TracingView>();
    window->addSubview(again);
    Done fromMemory;
    KJFLAnimatedImageViewWebCache::sd_setImageWithURL(again, url("/spin.gif"), nullptr, 0, nullptr, fromMemory.block());
    ASSERT_TRUE(fromMemory.wait());
    EXPECT_EQ(fromMemory.cacheType, KJSDImageCacheType::Memory);
    EXPECT_EQ(again->animatedImage(), animated);
    EXPECT_EQ(server.journal().size(), 1u);

    // GIF data that makes no animated image leaves the decoded still image on the view.
    auto fake = std::make_shared<FakeGIFCoder>();
    KJSDWebImageCodersManager::sharedInstance()->addCoder(fake);
    const std::string fakeGIF = "GIF8fake-bytes";
    server.addRoute(testsupport::imageRoute("/fake.gif", Data(fakeGIF.begin(), fakeGIF.end()), "image/gif"));
    auto still = make<TracingView>();
    window->addSubview(still);
    Done stillDone;
    UIImageViewWebCache::sd_setImageWithURL(still, url("/fake.gif"), nullptr, 0, nullptr, stillDone.block());
    bool finished = stillDone.wait();
    KJSDWebImageCodersManager::sharedInstance()->removeCoder(fake);
    ASSERT_TRUE(finished);
    EXPECT_FALSE(still->animatedImage());
    EXPECT_EQ(still->image(), stillDone.image);
}

TEST_F(ViewLoadingTest, ButtonsLoadEachStateUnderItsOwnKey) {
    server.addRoute(testsupport::imageRoute("/normal.png", testsupport::makeTestPNG(3, 3)));
    server.addRoute(testsupport::imageRoute("/pressed.png", testsupport::makeTestPNG(4, 4)));
    auto button = make<platform::UIButton>();
    Done normal, background;
    UIButtonWebCache::sd_setImageWithURL(button, url("/normal.png"), platform::UIControlStateNormal, nullptr, 0,
                                         normal.block());
    UIButtonWebCache::sd_setBackgroundImageWithURL(button, url("/pressed.png"), platform::UIControlStateHighlighted,
                                                   nullptr, 0, background.block());
    ASSERT_TRUE(normal.wait());
    ASSERT_TRUE(background.wait());
    EXPECT_EQ(button->imageForState(platform::UIControlStateNormal), normal.image);
    EXPECT_EQ(button->backgroundImageForState(platform::UIControlStateHighlighted), background.image);
    EXPECT_EQ(UIButtonWebCache::sd_currentImageURL(*button), url("/normal.png"));
    EXPECT_FALSE(UIButtonWebCache::sd_currentBackgroundImageURL(*button));
    EXPECT_EQ(UIButtonWebCache::sd_backgroundImageURLForState(*button, platform::UIControlStateHighlighted),
              url("/pressed.png"));
}

TEST_F(ViewLoadingTest, AnimationImagesFromSeveralURLsTakeTheirPlacesInOrder) {
    // The last image is in memory and comes first; it stands in for the places before it until
    // theirs come.
    server.addRoute(testsupport::imageRoute("/a0.png", testsupport::makeTestPNG(2, 2)));
    server.addRoute(testsupport::imageRoute("/a1.png", testsupport::makeTestPNG(3, 3)));
    auto manager = KJSDWebImageManager::sharedManager();
    manager->imageCache()->storeImage(UIImage::imageWithData(testsupport::makeTestPNG(4, 4)),
                                      manager->cacheKeyForURL(url("/a2.png")), false, nullptr);
    auto view = make<platform::UIImageView>(CGRect(0, 0, 10, 10));
    auto widths = [&] {
        std::vector<int> out;
        for (const auto& image : view->animationImages()) out.push_back(int(image->size().width));
        return out;
    };
    UIImageViewWebCache::sd_setAnimationImagesWithURLs(view, {*url("/a0.png"), *url("/a1.png"), *url("/a2.png")});
    EXPECT_EQ(widths(), (std::vector<int>{4, 4, 4}));
    EXPECT_EQ(UIImageViewWebCache::sd_animationOperationArray(*view).size(), 2u) << "the loads still running";
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return widths() == std::vector<int>{2, 3, 4}; }, 20));
    EXPECT_TRUE(view->isAnimating());
}

TEST_F(ViewLoadingTest, CancellingTheAnimationLoadsLeavesTheImagesAsTheyAre) {
    auto stalled = testsupport::imageRoute("/slow.png", testsupport::makeTestPNG(2, 2));
    stalled.stallAfterBytes = 10;
    stalled.stallSeconds = 30;
    server.addRoute(stalled);
    server.addRoute(testsupport::imageRoute("/quick.png", testsupport::makeTestPNG(3, 3)));
    server.addRoute(testsupport::route("GET", "/missing.png", 404, ""));
    auto view = make<platform::UIImageView>(CGRect(0, 0, 10, 10));
    UIImageViewWebCache::sd_setAnimationImagesWithURLs(view, {*url("/quick.png"), *url("/missing.png"), *url("/slow.png")});
    // What failed adds nothing; the animation goes on with what came.
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return server.journal().size() == 3; }, 20));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return view->animationImages().size() == 1; }, 20));
    UIImageViewWebCache::sd_cancelCurrentAnimationImagesLoad(view);
    EXPECT_TRUE(UIImageViewWebCache::sd_animationOperationArray(*view).empty());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !KJSDWebImageManager::sharedManager()->isRunning(); }, 20));
    RunLoop::main().runUntilIdle();
    ASSERT_EQ(view->animationImages().size(), 1u);
    EXPECT_EQ(view->animationImages()[0]->size(), (CGSize{3, 3}));
    // Nothing to cancel for no view.
    UIImageViewWebCache::sd_cancelCurrentAnimationImagesLoad(nullptr);
    UIImageViewWebCache::sd_setAnimationImagesWithURLs(nullptr, {*url("/quick.png")});
}

TEST_F(ViewLoadingTest, ACachedImageOfTheURLStandsInWhileItLoadsAgain) {
    auto slow = testsupport::imageRoute("/again.png", testsupport::makeTestPNG(6, 6));
    slow.delaySeconds = 0.2;
    server.addRoute(slow);
    auto cached = UIImage::imageWithData(testsupport::makeTestPNG(2, 5));
    auto manager = KJSDWebImageManager::sharedManager();
    manager->imageCache()->storeImage(cached, manager->cacheKeyForURL(url("/again.png")), false, nullptr);
    auto view = make<platform::UIImageView>(CGRect(0, 0, 10, 10));
    Done done;
    UIImageViewWebCache::sd_setImageWithPreviousCachedImageWithURL(view, url("/again.png"), placeholder,
                                                                  KJSDImageLoadRefreshCached, nullptr, done.block());
    EXPECT_EQ(view->image(), cached);
    // Without a cached image the placeholder stands in.
    auto other = make<platform::UIImageView>(CGRect(0, 0, 10, 10));
    UIImageViewWebCache::sd_setImageWithPreviousCachedImageWithURL(other, url("/none.png"), placeholder, 0, nullptr,
                                                                  nullptr);
    EXPECT_EQ(other->image(), placeholder);
    ASSERT_TRUE(done.wait());
}

TEST_F(ViewLoadingTest, AHighlightedImageLoadsBesideTheImage) {
    server.addRoute(testsupport::imageRoute("/light.png", testsupport::makeTestPNG(4, 3)));
    auto view = make<platform::UIImageView>(CGRect(0, 0, 10, 10));
    view->setImage(placeholder);
    Done done;
    UIImageViewHighlightedWebCache::sd_setHighlightedImageWithURL(view, url("/light.png"), 0, nullptr, done.block());
    ASSERT_TRUE(done.wait());
    ASSERT_TRUE(view->highlightedImage());
    EXPECT_EQ(view->highlightedImage()->size(), (CGSize{4, 3}));
    EXPECT_EQ(view->image(), placeholder);
    auto operations = UIViewWebCacheOperation::sd_operationDictionary(view);
    EXPECT_EQ(operations.count("UIImageViewImageOperationHighlighted"), 0u) << "no finished load stays on the view";
}

}  // namespace
}  // namespace brindlecue
