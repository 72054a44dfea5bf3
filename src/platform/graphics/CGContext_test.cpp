#include "platform/graphics/CGContext.h"

#include <gtest/gtest.h>

namespace brindlecue::platform {
namespace {

const UIColor kRed{1, 0, 0, 1};

// The pixel under a point of an image context's space.
RGBA8 at(const CGImage& image, double scale, double x, double y) {
    return image.pixelAt(int(x * scale), int(y * scale));
}

TEST(CGContextFill, RoundedRectangleWithEvenOddHole) {
    auto ctx = CGContext::createImageContext({100, 100}, false, 2);
    ASSERT_TRUE(ctx);
    EXPECT_EQ(ctx->pixelWidth(), 200);
    ctx->setFillColor(kRed);
    ctx->addRect(CGRect(0, 0, 100, 100));
    ctx->addPath(CGPath::withRoundedRect(CGRect(20, 20, 60, 60), 15, 15));
    ctx->eoFillPath();
    auto image = ctx->makeImage();
    EXPECT_EQ(at(*image, 2, 5, 5), (RGBA8{255, 0, 0, 255}));
    EXPECT_EQ(at(*image, 2, 50, 50).a, 0);   // the hole
    EXPECT_EQ(at(*image, 2, 78, 50).a, 0);   // near its straight edge, inside
    EXPECT_EQ(at(*image, 2, 21, 21).a, 255);  // the hole's rounded corner leaves this filled
    EXPECT_EQ(at(*image, 2, 90, 95).a, 255);
}

TEST(CGContextFill, WindingRuleFillsTheHoleAndClipsCutLikeFills) {
    auto ctx = CGContext::createImageContext({100, 100}, false, 1);
    ctx->setFillColor(kRed);
    ctx->addRect(CGRect(0, 0, 100, 100));
    ctx->addRect(CGRect(20, 20, 60, 60));
    ctx->fillPath();
    EXPECT_EQ(ctx->makeImage()->pixelAt(50, 50).a, 255);

    auto clipped = CGContext::createImageContext({100, 100}, false, 1);
    clipped->addRect(CGRect(0, 0, 100, 100));
    clipped->addRect(CGRect(20, 20, 60, 60));
    clipped->eoClip();
    clipped->setFillColor(kRed);
    clipped->fillRect(CGRect(0, 0, 100, 100));
    auto image = clipped->makeImage();
    EXPECT_EQ(image->pixelAt(50, 50).a, 0);
    EXPECT_EQ(image->pixelAt(10, 50).a, 255);
    EXPECT_TRUE(clipped->isPathEmpty());
}

TEST(CGContextSpaces, BitmapContextsPointUpAndDrawImagesUpright) {
    auto bitmap = CGContext::createBitmap(10, 10);
    bitmap->setFillColor(kRed);
    bitmap->fillRect(CGRect(0, 0, 10, 3));  // the bottom three rows
    auto image = bitmap->makeImage();
    EXPECT_EQ(image->pixelAt(5, 9).a, 255);
    EXPECT_EQ(image->pixelAt(5, 0).a, 0);

    // Drawn into another bitmap context the image keeps its orientation...
    auto copy = CGContext::createBitmap(10, 10);
    copy->drawImage(CGRect(0, 0, 10, 10), *image);
    EXPECT_EQ(copy->makeImage()->pixelAt(5, 9).a, 255);
    // ...while a y-down image context shows it upside down, as the platform does.
    auto flipped = CGContext::createImageContext({10, 10}, false, 1);
    flipped->drawImage(CGRect(0, 0, 10, 10), *image);
    EXPECT_EQ(flipped->makeImage()->pixelAt(5, 0).a, 255);
    EXPECT_EQ(flipped->makeImage()->pixelAt(5, 9).a, 0);
}

TEST(CGContextState, TransformsSaveRestoreAndCopiedPath) {
    auto ctx = CGContext::createImageContext({50, 50}, false, 2);
    ctx->saveGState();
    ctx->translateCTM(10, 5);
    ctx->scaleCTM(2, 2);
    EXPECT_EQ(ctx->getCTM().apply(CGPoint{1, 1}), (CGPoint{24, 14}));
    ctx->moveToPoint({0, 0});
    ctx->addArcToPoint({10, 0}, {10, 10}, 5);
    CGPath inUserSpace = ctx->copyPath();
    EXPECT_EQ(inUserSpace.elements()[1].points[0], (CGPoint{5, 0}));
    ctx->restoreGState();
    EXPECT_EQ(ctx->getCTM().apply(CGPoint{1, 1}), (CGPoint{2, 2}));
    EXPECT_FALSE(CGContext::createBitmap(100000, 10));
    EXPECT_FALSE(CGContext::createImageContext({0, 10}, false, 1));
}

TEST(CGContextGradients, LinearStopsAtItsEndsUnlessExtendedRadialExtendsPastTheEnd) {
    auto g = CGGradient::create({kRed, UIColor(0, 0, 1, 1)});
    ASSERT_TRUE(g);
    auto ctx = CGContext::createImageContext({100, 10}, false, 1);
    ctx->drawLinearGradient(*g, {20, 0}, {80, 0}, 0);
    auto plain = ctx->makeImage();
    EXPECT_EQ(plain->pixelAt(10, 5).a, 0);
    EXPECT_GT(plain->pixelAt(22, 5).r, 230);
    EXPECT_GT(plain->pixelAt(78, 5).b, 230);
    auto ext = CGContext::createImageContext({100, 10}, false, 1);
    ext->drawLinearGradient(*g, {20, 0}, {80, 0}, kCGGradientDrawsAfterEndLocation);
    auto after = ext->makeImage();
    EXPECT_EQ(after->pixelAt(10, 5).a, 0);
    EXPECT_EQ(after->pixelAt(95, 5), (RGBA8{0, 0, 255, 255}));

    auto white = CGGradient::create({UIColor(1, 1, 1, 1), UIColor(0, 0, 0, 0.5)});
    auto radial = CGContext::createImageContext({100, 100}, false, 1);
    radial->drawRadialGradient(*white, {50, 50}, 0, {50, 50}, 30, kCGGradientDrawsAfterEndLocation);
    auto r = radial->makeImage();
    EXPECT_GT(r->pixelAt(50, 50).g, 245);
    EXPECT_GT(r->pixelAt(50, 50).a, 250);
    EXPECT_NEAR(r->pixelAt(2, 2).a, 128, 1);
}

TEST(CGContextCompositing, ShadowsAlphaAndTransparencyLayers) {
    auto ctx = CGContext::createImageContext({60, 60}, false, 1);
    ctx->setShadow({10, 10}, 0, UIColor(0, 0, 0, 1));
    ctx->setFillColor(kRed);
    ctx->fillRect(CGRect(10, 10, 20, 20));
    auto image = ctx->makeImage();
    EXPECT_EQ(image->pixelAt(20, 20), (RGBA8{255, 0, 0, 255}));
    EXPECT_EQ(image->pixelAt(35, 35), (RGBA8{0, 0, 0, 255}));  // shadow only
    EXPECT_EQ(image->pixelAt(45, 45).a, 0);

    // Two overlapping opaque fills in a layer at alpha 0.5 come out at 0.5 together.
    auto layered = CGContext::createImageContext({60, 60}, false, 1);
    layered->setAlpha(0.5);
    layered->beginTransparencyLayer();
    layered->setFillColor(kRed);
    layered->fillRect(CGRect(0, 0, 40, 40));
    layered->fillRect(CGRect(20, 20, 40, 40));
    layered->endTransparencyLayer();
    auto l = layered->makeImage();
    EXPECT_NEAR(l->pixelAt(30, 30).a, 128, 1);
    EXPECT_NEAR(l->pixelAt(5, 5).a, 128, 1);

    // Copy replaces what is under the shape, alpha included.
    auto copy = CGContext::createImageContext({10, 10}, false, 1);
    copy->setFillColor(kRed);
    copy->fillRect(CGRect(0, 0, 10, 10));
    copy->setBlendMode(CGBlendMode::Copy);
    copy->setFillColor(UIColor(0, 0, 1, 0.5));
    copy->fillRect(CGRect(0, 0, 5, 10));
    auto c = copy->makeImage();
    EXPECT_EQ(c->pixelAt(2, 5).r, 0);
    EXPECT_NEAR(c->pixelAt(2, 5).a, 128, 1);
    EXPECT_EQ(c->pixelAt(8, 5), (RGBA8{255, 0, 0, 255}));
}

TEST(CGImageEdits, CroppingAndScaling) {
    std::vector<RGBA8> px(16);
    for (int i = 0; i < 16; ++i) px[i] = {uint8_t(i * 10), 0, 0, 255};
    auto image = CGImage::fromRGBA(4, 4, px);
    auto part = image->cropping(CGRect(1, 2, 2, 5));  // cut to the image
    ASSERT_TRUE(part);
    EXPECT_EQ(part->width(), 2);
    EXPECT_EQ(part->height(), 2);
    EXPECT_EQ(part->pixelAt(0, 0).r, 90);
    EXPECT_FALSE(image->cropping(CGRect(10, 10, 2, 2)));
    auto big = image->scaled(8, 8);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->width(), 8);
    EXPECT_EQ(big->pixelAt(0, 0).a, 255);
    EXPECT_FALSE(CGImage::fromRGBA(3, 3, px));
}

}  // namespace
}  // namespace brindlecue::platform
