// The images that tips look up by name in the library's resource bundle, as an app ships it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "feed/KJTipUtil.h"
#include "foundation/BLQDeviceUtils.h"
#include "imaging/KJFLAnimatedImage.h"
#include "imaging/KJFLAnimatedImageView.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"
#include "presentation/KJTipDismissElement.h"
#include "presentation/KJTipImageElement.h"
#include "presentation/KJTipLauncherElement.h"
#include "support/ResourceBundle.h"
#include "tips/TipEngineScene_test.h"

namespace brindlecue::tipscene {
namespace {

// What a tint can colour: the opaque pixels all of one colour, the rest clear, the corners clear,
// and a glyph of some weight.
void expectShapeOfOneColour(const CGImage& image, RGBA8 colour, const std::string& name) {
    size_t opaque = 0, offColour = 0, translucent = 0;
    for (const RGBA8& p : image.rgbaPixels()) {
        if (p.a == 255) {
            ++opaque;
            offColour += p.r != colour.r || p.g != colour.g || p.b != colour.b;
        } else if (p.a != 0) {
            ++translucent;
        }
    }
    const size_t all = size_t(image.width()) * image.height();
    EXPECT_EQ(offColour, 0u) << name;
    EXPECT_GT(opaque, all / 20) << name;
    EXPECT_LT(opaque + translucent, all / 2) << name;
    EXPECT_EQ(image.pixelAt(0, 0).a, 0) << name;
    EXPECT_EQ(image.pixelAt(image.width() - 1, image.height() - 1).a, 0) << name;
}

std::shared_ptr<KJFLAnimatedImage> pulseFromTheBundle() {
    auto bundle = blqFindBundleForResource("animation-pulse", "gif", false);
    auto path = bundle ? bundle->pathForResource("animation-pulse", "gif") : std::nullopt;
    if (!path) return nullptr;
    std::ifstream in(*path, std::ios::binary);
    return KJFLAnimatedImage::animatedImageWithGIFData(Data(std::istreambuf_iterator<char>(in), {}));
}

class TipResourceImagesTest : public TipEngineTest {
protected:
    void SetUp() override {
        TipEngineTest::SetUp();
        testsupport::installResourceBundle();
        target = make<UIButton>(CGRect(40, 300, 100, 40));
        home->view()->addSubview(target);
    }

    std::shared_ptr<UIButton> launcherFor(std::initializer_list<Dictionary::Entry> document,
                                          const std::string& feedId) {
        auto series = std::make_shared<KJTipSeriesElement>();
        series->feed_id = feedId;
        series->launcher = KJTipLauncherElement::createFromFeed(Value(Dictionary(document)));
        auto step = std::make_shared<KJTipElement>();
        step->feed_id = feedId;
        step->series = series;
        series->arrayTips.push_back(step);
        campaigns.push_back(series);
        return KJTipLauncherElement::addLauncherForTip(step, target);
    }

    std::shared_ptr<UIButton> target;
    std::vector<std::shared_ptr<KJTipSeriesElement>> campaigns;
};

TEST_F(TipResourceImagesTest, EveryIconTheTableNamesIsInTheBundleAsA30PointBlackShape) {
    for (const char* word : {"alert", "close", "help", "information", "record", "beacon"}) {
        const std::string file = KJTipUtil::convertIconFromString(Value(word));
        auto icon = KJTipDismissElement::iconImage(file);
        ASSERT_TRUE(icon) << file;
        EXPECT_EQ(icon->size(), (CGSize{30, 30})) << file;
        ASSERT_TRUE(icon->cgImage()) << file;
        expectShapeOfOneColour(*icon->cgImage(), {0, 0, 0, 255}, file);
    }

    // The pulse: an animation of a 32-point dot at 2x that runs for ever.
    ASSERT_EQ(KJTipUtil::convertIconFromString(Value("pulse")), "animation-pulse.gif");
    auto pulse = pulseFromTheBundle();
    ASSERT_TRUE(pulse);
    EXPECT_EQ(pulse->size(), (CGSize{64, 64}));
    EXPECT_GT(pulse->frameCount(), 1u);
    EXPECT_EQ(pulse->delayTimesForIndexes().size(), pulse->frameCount());
    EXPECT_EQ(pulse->loopCount(), 0u);

    // A local tip image the app does not have falls back to the placeholder, an opaque picture.
    auto placeholder = KJTipImageElement::getLocalImage("no-such-picture");
    ASSERT_TRUE(placeholder);
    EXPECT_EQ(placeholder->size(), (CGSize{160, 120}));
    ASSERT_TRUE(placeholder->cgImage());
    for (auto p : placeholder->cgImage()->rgbaPixels()) ASSERT_EQ(p.a, 255);
    // And the logo that stands in for a remote image that failed.
    auto logo = KJTipImageElement::imageNamed("qx_logo_white.png",
                                              blqFindBundleForResource("qx_logo_white", "png", false));
    ASSERT_TRUE(logo);
    EXPECT_EQ(logo->size(), (CGSize{20, 20}));
}

TEST_F(TipResourceImagesTest, LaunchersAndCloseButtonsShowTheBundlesIcons) {
    // A help launcher in orange: its icon tinted, one pixel per point.
    auto help = launcherFor({{"file-name", "help"}, {"color", "#FF8C00"}}, "feed-1");
    ASSERT_TRUE(help);
    ASSERT_EQ(help->subviews().size(), 1u);
    auto icon = std::dynamic_pointer_cast<KJFLAnimatedImageView>(help->subviews().front());
    ASSERT_TRUE(icon && icon->image());
    EXPECT_EQ(icon->image()->size(), (CGSize{30, 30}));
    EXPECT_DOUBLE_EQ(icon->image()->scale(), 1);
    ASSERT_TRUE(icon->image()->cgImage());
    expectShapeOfOneColour(*icon->image()->cgImage(), {255, 140, 0, 255}, "tinted help");

    // A pulse launcher plays the bundle's animation.
    auto pulse = launcherFor({{"file-name", "pulse"}, {"color", "#FF8C00"}}, "feed-2");
    auto animated = std::dynamic_pointer_cast<KJFLAnimatedImageView>(pulse->subviews().front());
    ASSERT_TRUE(animated && animated->animatedImage());
    EXPECT_GT(animated->animatedImage()->frameCount(), 1u);

    // A close button with nothing but its icon named: 30 points, drawn black in the middle of a
    // button of the same size, its cross through the centre and nothing in its corners.
    auto close = UIButton::buttonWithType(UIButtonType::Custom);
    auto record = KJTipDismissElement::createFromFeed(Value::dictionary({{"file-name", "close"}}));
    KJTipDismissElement::layoutButton(close, record);
    ASSERT_FALSE(close->isHidden());
    auto image = close->imageForState(UIControlStateNormal);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (CGSize{30, 30}));
    close->setFrame(CGRect(0, 0, record->width, record->height));
    close->layoutIfNeeded();
    UIGraphicsBeginImageContextWithOptions({30, 30}, true, 2);
    UIGraphicsGetCurrentContext()->setFillColor(UIColor::whiteColor());
    UIGraphicsGetCurrentContext()->fillRect(CGRect(0, 0, 30, 30));
    close->drawViewHierarchyInRect(close->bounds(), true);
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(drawn->cgImage()->pixelAt(30, 30), (RGBA8{0, 0, 0, 255}));
    EXPECT_EQ(drawn->cgImage()->pixelAt(4, 4), (RGBA8{255, 255, 255, 255}));
    EXPECT_EQ(drawn->cgImage()->pixelAt(30, 4), (RGBA8{255, 255, 255, 255}));
}

}  // namespace
}  // namespace brindlecue::tipscene
