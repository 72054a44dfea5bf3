#include "platform/graphics/CGContext.h"

#include <gtest/gtest.h>

#include <cmath>

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

TEST(CGContextCompositing, EachBlendModeCombinesTheShapeWithWhatIsUnderIt) {
    // Red lies under the left half; blue is drawn over the top half with the mode. Inside the
    // blue shape: A over red, B over nothing.
    const RGBA8 red{255, 0, 0, 255}, blue{0, 0, 255, 255}, black{0, 0, 0, 255}, none{0, 0, 0, 0};
    struct Case {
        CGBlendMode mode;
        RGBA8 a, b;
    };
    const Case cases[] = {
        {CGBlendMode::Normal, blue, blue},          {CGBlendMode::Multiply, black, blue},
        {CGBlendMode::Clear, none, none},           {CGBlendMode::Copy, blue, blue},
        {CGBlendMode::SourceIn, blue, none},        {CGBlendMode::SourceOut, none, blue},
        {CGBlendMode::SourceAtop, blue, none},      {CGBlendMode::DestinationOver, red, blue},
        {CGBlendMode::DestinationIn, red, none},    {CGBlendMode::DestinationOut, none, none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        auto ctx = CGContext::createImageContext({10, 10}, false, 1);
        ctx->setFillColor(kRed);
        ctx->fillRect(CGRect(0, 0, 5, 10));
        ctx->setBlendMode(c.mode);
        ctx->setFillColor(UIColor(0, 0, 1, 1));
        ctx->fillRect(CGRect(0, 0, 10, 5));
        auto image = ctx->makeImage();
        EXPECT_EQ(image->pixelAt(2, 2), c.a);
        EXPECT_EQ(image->pixelAt(7, 2), c.b);
    }
    // Half-transparent blue over red tells apart the modes that keep some of what is under it.
    struct Half {
        CGBlendMode mode;
        RGBA8 over;
    };
    const Half halves[] = {
        {CGBlendMode::SourceOut, none},
        {CGBlendMode::SourceAtop, {128, 0, 128, 255}},
        {CGBlendMode::DestinationIn, {255, 0, 0, 128}},
        {CGBlendMode::DestinationOut, {255, 0, 0, 128}},
        {CGBlendMode::Copy, {0, 0, 255, 128}},
    };
    for (const Half& h : halves) {
        SCOPED_TRACE(static_cast<int>(h.mode));
        auto ctx = CGContext::createImageContext({4, 4}, false, 1);
        ctx->setFillColor(kRed);
        ctx->fillRect(CGRect(0, 0, 4, 4));
        ctx->setBlendMode(h.mode);
        ctx->setFillColor(UIColor(0, 0, 1, 0.5));
        ctx->fillRect(CGRect(0, 0, 4, 4));
        RGBA8 got = ctx->makeImage()->pixelAt(1, 1);
        EXPECT_NEAR(got.r, h.over.r, 2);
        EXPECT_NEAR(got.g, h.over.g, 2);
        EXPECT_NEAR(got.b, h.over.b, 2);
        EXPECT_NEAR(got.a, h.over.a, 2);
    }
}

TEST(CGContextImages, InterpolationNoneKeepsHardEdgesWhereHighBlends) {
    auto twoPixels = CGImage::fromRGBA(2, 1, {{255, 0, 0, 255}, {0, 0, 255, 255}});
    auto drawn = [&](CGInterpolationQuality quality) {
        auto ctx = CGContext::createBitmap(20, 2);
        ctx->setInterpolationQuality(quality);
        ctx->drawImage(CGRect(0, 0, 20, 2), *twoPixels);
        return ctx->makeImage();
    };
    auto hard = drawn(CGInterpolationQuality::None);
    EXPECT_EQ(hard->pixelAt(9, 0), (RGBA8{255, 0, 0, 255}));
    EXPECT_EQ(hard->pixelAt(10, 0), (RGBA8{0, 0, 255, 255}));
    auto smooth = drawn(CGInterpolationQuality::High);
    EXPECT_LT(smooth->pixelAt(9, 0).r, 250);
    EXPECT_GT(smooth->pixelAt(9, 0).b, 5);
    // An empty rectangle draws nothing.
    auto ctx = CGContext::createBitmap(4, 4);
    ctx->drawImage(CGRect(0, 0, 0, 4), *twoPixels);
    EXPECT_EQ(ctx->makeImage()->pixelAt(0, 0).a, 0);
}

TEST(CGContextPath, SegmentsNeedACurrentPointAndCopiesFollowThePlatform) {
    auto ctx = CGContext::createImageContext({20, 20}, false, 1);
    ctx->addLineToPoint({5, 5});
    ctx->addCurveToPoint({1, 1}, {2, 2}, {3, 3});
    ctx->addQuadCurveToPoint({1, 1}, {3, 3});
    ctx->addArcToPoint({5, 0}, {5, 5}, 2);
    ctx->closePath();
    EXPECT_TRUE(ctx->isPathEmpty());
    EXPECT_EQ(ctx->currentPoint(), (CGPoint{0, 0}));
    EXPECT_TRUE(ctx->copyPath().elements().empty());

    // A quadratic segment becomes the cubic with the same curve.
    ctx->moveToPoint({0, 10});
    ctx->addQuadCurveToPoint({6, 4}, {12, 10});
    auto quad = ctx->copyPath().elements();
    ASSERT_EQ(quad.size(), 2u);
    ASSERT_EQ(quad[1].type, CGPathElementType::AddCurveToPoint);
    EXPECT_NEAR(quad[1].points[0].x, 4, 1e-9);
    EXPECT_NEAR(quad[1].points[0].y, 6, 1e-9);
    EXPECT_NEAR(quad[1].points[1].x, 8, 1e-9);
    EXPECT_EQ(quad[1].points[2], (CGPoint{12, 10}));

    // After a close the next segment starts where the subpath began, without a repeated move.
    ctx->beginPath();
    ctx->moveToPoint({1, 1});
    ctx->addLineToPoint({9, 1});
    ctx->closePath();
    ctx->addLineToPoint({1, 9});
    ctx->moveToPoint({15, 15});
    auto copied = ctx->copyPath().elements();
    std::vector<CGPathElementType> kinds;
    for (const auto& e : copied) kinds.push_back(e.type);
    EXPECT_EQ(kinds, (std::vector<CGPathElementType>{CGPathElementType::MoveToPoint,
                                                     CGPathElementType::AddLineToPoint,
                                                     CGPathElementType::CloseSubpath,
                                                     CGPathElementType::AddLineToPoint,
                                                     CGPathElementType::MoveToPoint}));
    EXPECT_EQ(ctx->currentPoint(), (CGPoint{15, 15}));

    // A path with a quadratic segment is drawn as that curve.
    CGPath arch;
    arch.moveToPoint({0, 20});
    arch.addQuadCurveToPoint({10, -20}, {20, 20});
    arch.closeSubpath();
    ctx->beginPath();
    ctx->addPath(arch);
    ctx->setFillColor(kRed);
    ctx->fillPath();
    auto image = ctx->makeImage();
    EXPECT_EQ(image->pixelAt(10, 15).a, 255);  // under the arch
    EXPECT_EQ(image->pixelAt(5, 2).a, 0);      // inside the lines to the control point, above the curve
    EXPECT_EQ(image->pixelAt(1, 2).a, 0);
}

TEST(CGContextStroke, ModesWidthsJoinsAndCaps) {
    auto ctx = CGContext::createImageContext({40, 40}, false, 1);
    ctx->setFillColor(kRed);
    ctx->setStrokeColor(UIColor(0, 0, 1, 1));
    ctx->setLineWidth(4);
    ctx->addRect(CGRect(10, 10, 20, 20));
    ctx->addRect(CGRect(16, 16, 8, 8));
    ctx->drawPath(CGPathDrawingMode::EOFillStroke);
    auto image = ctx->makeImage();
    EXPECT_EQ(image->pixelAt(12, 20), (RGBA8{255, 0, 0, 255}));  // filled ring
    EXPECT_EQ(image->pixelAt(20, 20).a, 0);                        // the even-odd hole
    EXPECT_EQ(image->pixelAt(10, 20), (RGBA8{0, 0, 255, 255}));   // the outline over the fill
    EXPECT_EQ(image->pixelAt(16, 20), (RGBA8{0, 0, 255, 255}));

    auto both = CGContext::createImageContext({40, 40}, false, 1);
    both->setFillColor(kRed);
    both->setStrokeColor(UIColor(0, 0, 1, 1));
    both->setLineWidth(2);
    both->addRect(CGRect(10, 10, 20, 20));
    both->addRect(CGRect(16, 16, 8, 8));
    both->drawPath(CGPathDrawingMode::FillStroke);
    EXPECT_EQ(both->makeImage()->pixelAt(20, 20), (RGBA8{255, 0, 0, 255}));  // winding: no hole

    // A line of width 0 strokes nothing and still ends the path.
    auto thin = CGContext::createImageContext({40, 40}, false, 1);
    thin->setLineWidth(0);
    thin->setStrokeColor(UIColor(0, 0, 1, 1));
    thin->strokeRect(CGRect(10, 10, 20, 20));
    EXPECT_TRUE(thin->isPathEmpty());
    auto thinImage = thin->makeImage();
    for (int x = 0; x < 40; ++x) ASSERT_EQ(thinImage->pixelAt(x, 10).a, 0) << x;

    // The outer corner of a thick right angle: mitred, bevelled or rounded.
    auto corner = [](CGLineJoin join) {
        auto c = CGContext::createImageContext({40, 40}, false, 1);
        c->setStrokeColor(UIColor(0, 0, 0, 1));
        c->setLineWidth(10);
        c->setLineJoin(join);
        c->setMiterLimit(10);
        c->moveToPoint({5, 30});
        c->addLineToPoint({30, 30});
        c->addLineToPoint({30, 5});
        c->strokePath();
        return c->makeImage()->pixelAt(34, 34).a;
    };
    EXPECT_EQ(corner(CGLineJoin::Miter), 255);
    EXPECT_EQ(corner(CGLineJoin::Bevel), 0);
    EXPECT_EQ(corner(CGLineJoin::Round), 0);
    // Caps: a square cap reaches half the width beyond the end, a butt cap stops there.
    auto cap = [](CGLineCap style) {
        auto c = CGContext::createImageContext({40, 40}, false, 1);
        c->setStrokeColor(UIColor(0, 0, 0, 1));
        c->setLineWidth(10);
        c->setLineCap(style);
        c->moveToPoint({10, 20});
        c->addLineToPoint({30, 20});
        c->strokePath();
        return c->makeImage()->pixelAt(32, 20).a;
    };
    EXPECT_EQ(cap(CGLineCap::Square), 255);
    EXPECT_EQ(cap(CGLineCap::Round), 255);
    EXPECT_EQ(cap(CGLineCap::Butt), 0);
}

TEST(CGContextState, InvalidTransformsAndUnbalancedRestoresChangeNothing) {
    auto ctx = CGContext::createImageContext({10, 10}, false, 2);
    ctx->translateCTM(1, 1);
    const CGAffineTransform before = ctx->getCTM();
    ctx->scaleCTM(0, 3);
    ctx->concatCTM(CGAffineTransform{1, 2, 2, 4, 0, 0});  // singular
    EXPECT_EQ(ctx->getCTM(), before);
    ctx->setFillColor(kRed);
    ctx->restoreGState();  // nothing saved
    EXPECT_EQ(ctx->fillColor(), kRed);
    EXPECT_EQ(ctx->getCTM(), before);
    ctx->rotateCTM(M_PI / 2);
    EXPECT_NEAR(ctx->getCTM().apply(CGPoint{1, 0}).x, 2, 1e-9);
    EXPECT_NEAR(ctx->getCTM().apply(CGPoint{1, 0}).y, 4, 1e-9);

    // Sizes the bitmap cannot have are refused before anything is allocated.
    EXPECT_FALSE(CGContext::createBitmap(0, 10));
    EXPECT_FALSE(CGContext::createBitmap(10, -1));
    EXPECT_FALSE(CGContext::createBitmap(CGImage::kMaxSide + 1, 1));
    EXPECT_FALSE(CGContext::createBitmap(1, CGImage::kMaxSide + 1));
    EXPECT_FALSE(CGContext::createBitmap(CGImage::kMaxSide, CGImage::kMaxSide));  // too many pixels
    EXPECT_FALSE(CGContext::createImageContext({10, 10}, false, 0));
    EXPECT_FALSE(CGContext::createImageContext({10, 0}, false, 1));
    EXPECT_FALSE(CGContext::createImageContext({20000, 10}, false, 2));
    EXPECT_FALSE(CGContext::createImageContext({10, 20000}, false, 2));
    EXPECT_FALSE(CGContext::createImageContext({8000, 8000}, false, 2));
    auto odd = CGContext::createImageContext({10.2, 3}, false, 2);
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->pixelWidth(), 21);
    EXPECT_EQ(odd->size().height, 3);

    // An opaque context has no transparent pixels.
    auto opaque = CGContext::createBitmap(4, 4, true);
    auto image = opaque->makeImage();
    EXPECT_FALSE(image->hasAlpha());
    EXPECT_EQ(image->pixelAt(1, 1), (RGBA8{0, 0, 0, 255}));
}

TEST(CGContextGradients, GradientsOfOneColourBadStopsAndOneSidedExtension) {
    EXPECT_FALSE(CGGradient::create({}));
    EXPECT_FALSE(CGGradient::create({kRed, kRed, kRed}, {0, 1}));
    auto single = CGGradient::create({kRed});
    ASSERT_TRUE(single);
    EXPECT_EQ(single->locations, (std::vector<double>{0}));

    auto g = CGGradient::create({kRed, UIColor(0, 0, 1, 1)});
    // Start and end at one point: nothing to draw.
    auto flat = CGContext::createImageContext({10, 10}, false, 1);
    flat->drawLinearGradient(*g, {5, 5}, {5, 5}, kCGGradientDrawsBeforeStartLocation);
    EXPECT_EQ(flat->makeImage()->pixelAt(5, 5).a, 0);

    // Extended before the start only.
    auto before = CGContext::createImageContext({100, 10}, false, 1);
    before->drawLinearGradient(*g, {20, 0}, {80, 0}, kCGGradientDrawsBeforeStartLocation);
    auto b = before->makeImage();
    EXPECT_EQ(b->pixelAt(5, 5), (RGBA8{255, 0, 0, 255}));
    EXPECT_EQ(b->pixelAt(95, 5).a, 0);

    // Radial, concentric 10 and 30: before only fills the start circle with the first colour and
    // stops at the end circle; after only leaves the start circle empty and fills beyond.
    auto radialBefore = CGContext::createImageContext({100, 100}, false, 1);
    radialBefore->drawRadialGradient(*g, {50, 50}, 10, {50, 50}, 30, kCGGradientDrawsBeforeStartLocation);
    auto rb = radialBefore->makeImage();
    EXPECT_EQ(rb->pixelAt(50, 50), (RGBA8{255, 0, 0, 255}));
    EXPECT_EQ(rb->pixelAt(5, 5).a, 0);
    auto radialAfter = CGContext::createImageContext({100, 100}, false, 1);
    radialAfter->drawRadialGradient(*g, {50, 50}, 10, {50, 50}, 30, kCGGradientDrawsAfterEndLocation);
    auto ra = radialAfter->makeImage();
    EXPECT_EQ(ra->pixelAt(50, 50).a, 0);
    EXPECT_EQ(ra->pixelAt(5, 5), (RGBA8{0, 0, 255, 255}));
    EXPECT_GT(ra->pixelAt(50, 30).a, 200);  // between the circles
    // Neither: only the ring between the circles.
    auto ring = CGContext::createImageContext({100, 100}, false, 1);
    ring->drawRadialGradient(*g, {50, 50}, 10, {50, 50}, 30, 0);
    auto r = ring->makeImage();
    EXPECT_EQ(r->pixelAt(50, 50).a, 0);
    EXPECT_EQ(r->pixelAt(5, 5).a, 0);
    EXPECT_GT(r->pixelAt(50, 30).a, 200);
}

TEST(CGContextCompositing, BackdropBlurSoftensEdgesInsideItsRectangleOnly) {
    auto ctx = CGContext::createImageContext({40, 20}, false, 1);
    ctx->setFillColor(kRed);
    ctx->fillRect(CGRect(0, 0, 20, 20));
    auto sharp = ctx->makeImage();
    // Nothing to blur: an empty rectangle, no deviation, or a rectangle off the context.
    ctx->blurBackdrop(CGRect(10, 0, 0, 20), 3);
    ctx->blurBackdrop(CGRect(10, 0, 20, 20), 0);
    ctx->blurBackdrop(CGRect(100, 100, 20, 20), 3);
    EXPECT_EQ(ctx->makeImage()->premultipliedARGB(), sharp->premultipliedARGB());

    ctx->blurBackdrop(CGRect(10, 0, 20, 10), 3);
    auto soft = ctx->makeImage();
    EXPECT_GT(soft->pixelAt(21, 5).a, 0);    // red spread over the edge
    EXPECT_LT(soft->pixelAt(18, 5).a, 255);  // and thinned inside it
    EXPECT_EQ(soft->pixelAt(21, 15).a, 0);   // below the rectangle nothing changed
    EXPECT_EQ(soft->pixelAt(5, 5).a, 255);   // nor left of it

    // A shadow of a shape drawn entirely off the context casts nothing.
    auto off = CGContext::createImageContext({20, 20}, false, 1);
    off->setShadow({5, 5}, 2, UIColor(0, 0, 0, 1));
    off->fillRect(CGRect(-50, -50, 10, 10));
    auto empty = off->makeImage();
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(empty->pixelAt(x, y).a, 0) << x << "," << y;
    // An ending without a beginning changes nothing.
    off->endTransparencyLayer();
    EXPECT_EQ(off->makeImage()->pixelAt(0, 0).a, 0);
}

TEST(CGImageEdits, SizesPixelsAndRectanglesOutsideTheImage) {
    EXPECT_FALSE(CGImage::fromPremultipliedARGB(0, 1, {}));
    EXPECT_FALSE(CGImage::fromPremultipliedARGB(1, CGImage::kMaxSide + 1,
                                                std::vector<uint32_t>(size_t(CGImage::kMaxSide) + 1)));
    EXPECT_FALSE(CGImage::fromPremultipliedARGB(2, 2, {1, 2, 3}));
    auto image = CGImage::fromRGBA(2, 2, {{1, 2, 3, 255}, {4, 5, 6, 255}, {7, 8, 9, 255}, {10, 11, 12, 128}});
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->hasAlpha());
    EXPECT_EQ(image->pixelAt(-1, 0), (RGBA8{}));
    EXPECT_EQ(image->pixelAt(0, -1), (RGBA8{}));
    EXPECT_EQ(image->pixelAt(2, 0), (RGBA8{}));
    EXPECT_EQ(image->pixelAt(0, 2), (RGBA8{}));
    EXPECT_EQ(image->pixelAt(1, 0), (RGBA8{4, 5, 6, 255}));
    EXPECT_FALSE(image->cropping(CGRect::null()));
    EXPECT_FALSE(image->cropping(CGRect(1, 1, 0, 1)));
    auto flipped = image->cropping(CGRect(2, 2, -1, -1));  // a negative size is the same rectangle
    ASSERT_TRUE(flipped);
    EXPECT_EQ(flipped->width(), 1);
    EXPECT_EQ(flipped->pixelAt(0, 0).a, 128);
    EXPECT_FALSE(image->scaled(0, 4));
    auto scaled = image->scaled(4, 4);
    ASSERT_TRUE(scaled);
    EXPECT_TRUE(scaled->hasAlpha());
}

}  // namespace
}  // namespace brindlecue::platform
