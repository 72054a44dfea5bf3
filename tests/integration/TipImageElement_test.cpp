// A step's remote images against the sample server: their pixel size read from the network sizes
// them, the image manager loads them (GIFs play, an image that fails shows the library's logo,
// an SVG is never drawn), and a size that does not come in time is given up.

#include "presentation/KJTipImageElement.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "imaging/KJFLAnimatedImageView.h"
#include "platform/Bundle.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIWindow.h"
#include "sample-server/SampleServer.h"
#include "support/TestGif.h"
#include "support/TestImages.h"
#include "uikit-support/UIViewKJMASAdditions.h"

namespace brindlecue {
namespace {

using namespace platform;

class RemoteTipImageTest : public testing::Test {
protected:
    void SetUp() override {
        server.start();
        server.addRoute(testsupport::imageRoute("/wide.png", testsupport::makeTestPNG(600, 300)));
        server.addRoute(testsupport::imageRoute(
            "/spin.gif", testsupport::makeTestGif(4, 4, {{0, 0, 0, 0, 10, 0}, {0, 0, 0, 0, 10, 1}}, 0),
            "image/gif"));
        sampleserver::Route svg;
        svg.pathPattern = "/logo.svg";
        svg.headers = {{"Content-Type", "image/svg+xml"}};
        svg.body = "<svg xmlns=\"http://www.w3.org/2000/svg\"/>";
        server.addRoute(svg);
        auto logo = testsupport::makeTestPNG(20, 10);
        auto folder = Bundle::main()->path() / "BrindlecueResources.bundle";
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "qx_logo_white.png", std::ios::binary)
            .write(reinterpret_cast<const char*>(logo.data()), static_cast<std::streamsize>(logo.size()));
        window = make<UIWindow>();
        window->makeKeyAndVisible();
        content = make<UIView>(CGRect(0, 0, 280, 400));
        window->addSubview(content);
    }
    void TearDown() override { window->setHidden(true); }

    std::shared_ptr<KJTipImageElement> image(const std::string& path, const std::string& align = "left-top") {
        return KJTipImageElement::createFromFeed(Value::dictionary({{"resource", server.baseURL() + path},
                                                                    {"image-align", align},
                                                                    {"background-color", "#FF0000FF"}}));
    }
    // The content's image views, in the order of the image list.
    std::vector<std::shared_ptr<UIImageView>> views() const {
        std::vector<std::shared_ptr<UIImageView>> out;
        for (const auto& subview : content->subviews())
            if (auto view = std::dynamic_pointer_cast<UIImageView>(subview)) out.push_back(view);
        return out;
    }
    static bool placed(const std::shared_ptr<UIView>& view) {
        return !UIViewKJMASConstraints::mas_installedConstraints(view).empty();
    }

    sampleserver::SampleServer server;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIView> content;
};

TEST_F(RemoteTipImageTest, RemoteImagesAreSizedByTheirPixelsAndLoadedThroughTheImageManager) {
    KJTipImageElement::layoutImageElements(
        {image("/wide.png"), image("/spin.gif"), image("/gone.png"), image("/logo.svg")}, content, {280, 400},
        {});
    auto list = views();
    ASSERT_EQ(list.size(), 4u);
    auto wide = list[0], spin = list[1], gone = list[2], svg = list[3];
    auto gif = std::dynamic_pointer_cast<KJFLAnimatedImageView>(spin);
    ASSERT_TRUE(gif);
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] {
            return placed(wide) && placed(spin) && placed(gone) && placed(svg) && wide->image() &&
                   gif->animatedImage() && gone->image();
        },
        30));
    // 600 by 300 pixels in a 280-point content: the content's width, half as high.
    EXPECT_EQ(wide->frame(), CGRect(0, 0, 280, 140));
    EXPECT_EQ(wide->image()->size(), (CGSize{600, 300}));
    EXPECT_FALSE(wide->isHidden());
    EXPECT_EQ(spin->frame(), CGRect(0, 0, 4, 4)) << "never wider than its pixels";
    EXPECT_EQ(gif->animatedImage()->frameCount(), 2u);
    // Nothing at the address: no size (the image spans the content) and the library's logo.
    EXPECT_EQ(gone->frame(), CGRect(0, 0, 280, 400));
    EXPECT_EQ(gone->image()->size(), (CGSize{20, 10}));
    // An SVG is a styled, empty box.
    EXPECT_FALSE(std::dynamic_pointer_cast<KJFLAnimatedImageView>(svg));
    EXPECT_FALSE(svg->image());
    EXPECT_EQ(svg->backgroundColor(), UIColor(0, 0, 1, 1));
}

TEST_F(RemoteTipImageTest, ASizeThatDoesNotComeInTimeIsGivenUp) {
    Clock::useVirtual();
    sampleserver::Route slow;
    slow.pathPattern = "/slow.png";
    slow.body = "later";
    slow.delaySeconds = 60;
    server.addRoute(slow);
    KJTipImageElement::layoutImageElements({image("/slow.png")}, content, {280, 400}, {});
    ASSERT_TRUE(server.waitForRequests(1));
    const double start = Clock::uptime();
    auto view = views().front();
    ASSERT_TRUE(RunLoop::main().runUntil([&] {
        if (placed(view)) return true;
        Clock::advance(0.5);
        return placed(view);
    }));
    EXPECT_GE(Clock::uptime() - start, KJTipImageElement::kSizeProbeTimeout);
    EXPECT_LT(Clock::uptime() - start, KJTipImageElement::kSizeProbeTimeout + 5);
    EXPECT_EQ(view->frame(), CGRect(0, 0, 280, 400)) << "sized as an image whose size is unknown";
}

}  // namespace
}  // namespace brindlecue
