#include "presentation/KJCoverView.h"

#include <gtest/gtest.h>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/UIViewControllerKJViewExt.h"

namespace brindlecue {
namespace {

using namespace platform;

// The cover drawn alone, one pixel a point; the alpha of a pixel.
int alphaAt(const std::shared_ptr<KJCoverView>& cover, int x, int y) {
    UIGraphicsBeginImageContextWithOptions(cover->bounds().size, false, 1);
    cover->layer()->renderInContext(*UIGraphicsGetCurrentContext());
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image->cgImage()->pixelAt(x, y).a;
}

TEST(KJCoverView, DimsAllButTheHoleAndKeepsOneBorderLayerUpToDate) {
    auto cover = make<KJCoverView>(CGRect(0, 0, 100, 100));
    EXPECT_EQ(alphaAt(cover, 5, 5), 0) << "no overlay colour, nothing drawn";
    cover->setOverlayColor(UIColor(0, 0, 0, 0.5));
    EXPECT_NEAR(alphaAt(cover, 50, 50), 128, 1) << "no hole: dimmed everywhere";

    cover->setHighlightFrame({20, 20, 40, 40});
    cover->setCornerRadius(10);
    EXPECT_EQ(alphaAt(cover, 40, 40), 0);
    EXPECT_EQ(alphaAt(cover, 21, 21), 128) << "the rounded corner stays dimmed";
    EXPECT_NEAR(alphaAt(cover, 5, 5), 128, 1);
    EXPECT_FALSE(cover->borderLayer()) << "no border width, no border";

    cover->setHightlightBorderColor(UIColor::redColor());
    cover->setHightlightBorderWidth(4);
    auto border = cover->borderLayer();
    ASSERT_TRUE(border);
    EXPECT_EQ(border->path.boundingBox(), CGRect(20, 20, 40, 40));
    EXPECT_GT(alphaAt(cover, 20, 40), 200) << "the stroke lies on the hole's edge";

    // A redraw and every change keep the one layer, following the hole.
    alphaAt(cover, 0, 0);
    cover->setHighlightFrame({10, 50, 30, 30});
    alphaAt(cover, 0, 0);
    EXPECT_EQ(cover->layer()->sublayers().size(), 1u);
    EXPECT_EQ(cover->borderLayer(), border);
    EXPECT_EQ(border->path.boundingBox(), CGRect(10, 50, 30, 30));
    cover->setHightlightBorderWidth(0);
    EXPECT_TRUE(cover->layer()->sublayers().empty());
}

TEST(KJCoverView, ReportsTouchesWhileItHoldsAViewAndLeavesWhenEmpty) {
    auto window = make<UIWindow>(CGRect(0, 0, 200, 200));
    window->makeKeyAndVisible();
    auto cover = make<KJCoverView>(CGRect(0, 20, 200, 180));
    window->addSubview(cover);
    cover->addSubview(make<UIView>(CGRect(50, 50, 40, 40)));
    std::vector<CGPoint> points;
    cover->setTouchedHandler([&](CGPoint p) { points.push_back(p); });
    EXPECT_EQ(TouchDriver::tapAt(window, {10, 30}), cover) << "the cover takes the touch";
    EXPECT_EQ(points, (std::vector<CGPoint>{CGPoint{10, 10}}));

    int turns = 0;
    cover->setOrientationChangedHandler([&] { ++turns; });
    EXPECT_TRUE(UIDevice::currentDevice()->isGeneratingDeviceOrientationNotifications());
    UIDevice::currentDevice()->setOrientation(UIDeviceOrientation::LandscapeLeft);
    UIDevice::currentDevice()->setOrientation(UIDeviceOrientation::Portrait);
    EXPECT_EQ(turns, 2);

    cover->subviews().front()->removeFromSuperview();
    TouchDriver::tapAt(window, {10, 30});
    EXPECT_EQ(points.size(), 1u);
    EXPECT_FALSE(cover->superview());
    window->setHidden(true);
}

class ScreenController : public UIViewController {};

TEST(KJCoverView, ShowsAControllerOnTopAndTakesItAway) {
    Clock::useVirtual();
    auto root = make<ScreenController>();
    auto window = make<UIWindow>(CGRect(0, 0, 300, 600));
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    auto launcher = make<UIButton>(CGRect(0, 0, 10, 10));
    launcher->setTag(UIViewControllerKJViewExt::kLauncherButtonTag);
    window->addSubview(launcher);
    auto deep = make<UIButton>(CGRect(0, 0, 10, 10));
    deep->setTag(UIViewControllerKJViewExt::kLauncherButtonTag);
    root->view()->addSubview(deep);

    auto dialog = make<UIViewController>();
    dialog->view()->setFrame({0, 0, 100, 50});
    UIViewControllerKJViewExt::presentOnTopWithCover(dialog, true, UIColor::blackColor(), 0.4, true, nullptr,
                                                     nullptr, nullptr);
    RunLoop::main().runUntilIdle();
    EXPECT_FALSE(dialog->view()->superview()) << "half a second later";
    Clock::advance(0.5);
    auto cover = UIViewControllerKJViewExt::coverView(dialog);
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->superview(), root->view());
    EXPECT_EQ(dialog->view()->superview(), cover);
    EXPECT_EQ(dialog->view()->frame(), CGRect(100, 275, 100, 50)) << "centred in the root view";

    UIViewControllerKJViewExt::dismissLauncherButton(dialog);
    EXPECT_FALSE(launcher->superview());
    EXPECT_TRUE(deep->superview()) << "only the window's own subviews";

    UIViewControllerKJViewExt::dismissOnTop(dialog);
    EXPECT_FALSE(dialog->view()->superview());
    EXPECT_TRUE(cover->superview()) << "the cover fades out first";
    Clock::advance(0.1);
    EXPECT_FALSE(cover->superview());
    window->setHidden(true);
}

}  // namespace
}  // namespace brindlecue
