#include "platform/uikit/UIImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "platform/uikit/UIImageView.h"

#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/uikit/UIGraphics.h"

namespace brindlecue::platform {
namespace {

// 2 wide, 1 high: red then blue.
std::shared_ptr<const CGImage> redBlue() {
    return CGImage::fromRGBA(2, 1, {{255, 0, 0, 255}, {0, 0, 255, 255}});
}

TEST(UIImageOrientation, SizeAndDrawingFollowTheOrientation) {
    auto right = UIImage::imageWithCGImage(redBlue(), 1, UIImageOrientation::Right);
    EXPECT_EQ(right->size(), (CGSize{1, 2}));
    // Turned a quarter clockwise: the left (red) pixel ends on top.
    UIGraphicsBeginImageContextWithOptions(right->size(), false, 1);
    right->drawAtPoint({0, 0});
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(drawn->cgImage()->pixelAt(0, 0), (RGBA8{255, 0, 0, 255}));
    EXPECT_EQ(drawn->cgImage()->pixelAt(0, 1), (RGBA8{0, 0, 255, 255}));
    EXPECT_EQ(UIImage::imageWithCGImage(redBlue(), 2)->size(), (CGSize{1, 0.5}));
    for (int exif = 1; exif <= 8; ++exif) EXPECT_EQ(EXIFFromUIImageOrientation(UIImageOrientationFromEXIF(exif)), exif);
}

TEST(UIImageData, JpegExifOrientationSixComesOutRight) {
    std::vector<RGBA8> p(size_t(40) * 20, RGBA8{10, 200, 30, 255});
    auto jpeg = CGImageEncodeJPEG(*CGImage::fromRGBA(40, 20, p), 0.9, 6);
    ASSERT_TRUE(jpeg);
    auto image = UIImage::imageWithData(*jpeg, 2);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->imageOrientation(), UIImageOrientation::Right);
    EXPECT_EQ(image->size(), (CGSize{10, 20}));
    // JPEG data of the image records the orientation again; PNG keeps the bitmap as it is.
    auto again = UIImageJPEGRepresentation(image, 0.5);
    EXPECT_EQ(UIImage::imageWithData(*again)->imageOrientation(), UIImageOrientation::Right);
    auto png = UIImagePNGRepresentation(image);
    ASSERT_TRUE(png);
    EXPECT_EQ((*png)[0], 0x89);
    EXPECT_FALSE(UIImage::imageWithData(Data{1, 2, 3}));
    EXPECT_FALSE(UIImagePNGRepresentation(make<UIImage>(CGSize{3, 3})));
}

TEST(UIImageTint, TemplateShapeFilledWithTheColour) {
    auto half = CGImage::fromRGBA(2, 1, {{255, 0, 0, 255}, {0, 0, 0, 0}});
    auto tinted = UIImage::imageWithCGImage(half, 1)->imageWithTintColor(UIColor(0, 1, 0, 1));
    ASSERT_TRUE(tinted);
    EXPECT_EQ(tinted->cgImage()->pixelAt(0, 0), (RGBA8{0, 255, 0, 255}));
    EXPECT_EQ(tinted->cgImage()->pixelAt(1, 0).a, 0);
    EXPECT_EQ(tinted->renderingMode(), UIImageRenderingMode::AlwaysOriginal);
    auto frames = UIImage::animatedImageWithImages({UIImage::imageWithCGImage(half, 1)}, 0.5);
    EXPECT_EQ(frames->cgImage(), half);
}

const RGBA8 kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kWhite{255, 255, 255, 255};

// Draws the image at its size, scale 1, and reads the four corners: top left, top right,
// bottom left, bottom right.
std::array<RGBA8, 4> corners(const std::shared_ptr<UIImage>& image) {
    UIGraphicsBeginImageContextWithOptions(image->size(), false, 1);
    image->drawAtPoint({0, 0});
    auto drawn = UIGraphicsGetImageFromCurrentImageContext()->cgImage();
    UIGraphicsEndImageContext();
    return {drawn->pixelAt(0, 0), drawn->pixelAt(1, 0), drawn->pixelAt(0, 1), drawn->pixelAt(1, 1)};
}

TEST(UIImageOrientation, EveryOrientationShowsTheBitmapAsTheExifTagSays) {
    // Red at the top left, green at the top right, blue at the bottom left, white at the bottom right.
    auto bitmap = CGImage::fromRGBA(2, 2, {kRed, kGreen, kBlue, kWhite});
    const std::pair<UIImageOrientation, std::array<RGBA8, 4>> cases[] = {
        {UIImageOrientation::Up, {kRed, kGreen, kBlue, kWhite}},
        {UIImageOrientation::Down, {kWhite, kBlue, kGreen, kRed}},                // turned half round
        {UIImageOrientation::Left, {kGreen, kWhite, kRed, kBlue}},                // a quarter anticlockwise
        {UIImageOrientation::Right, {kBlue, kRed, kWhite, kGreen}},               // a quarter clockwise
        {UIImageOrientation::UpMirrored, {kGreen, kRed, kWhite, kBlue}},          // left and right swapped
        {UIImageOrientation::DownMirrored, {kBlue, kWhite, kRed, kGreen}},        // top and bottom swapped
        {UIImageOrientation::LeftMirrored, {kRed, kBlue, kGreen, kWhite}},        // transposed
        {UIImageOrientation::RightMirrored, {kWhite, kGreen, kBlue, kRed}},       // transposed the other way
    };
    for (const auto& [orientation, expected] : cases) {
        SCOPED_TRACE(EXIFFromUIImageOrientation(orientation));
        EXPECT_EQ(corners(UIImage::imageWithCGImage(bitmap, 1, orientation)), expected);
    }
    // Out-of-range tags stand for the upright image.
    EXPECT_EQ(UIImageOrientationFromEXIF(0), UIImageOrientation::Up);
    EXPECT_EQ(UIImageOrientationFromEXIF(9), UIImageOrientation::Up);
    // Nothing to draw from, nowhere to draw, or an empty rectangle: nothing happens.
    EXPECT_FALSE(UIImage::imageWithCGImage(nullptr, 1));
    auto image = UIImage::imageWithCGImage(bitmap, 0);  // a scale that is not positive counts as 1
    EXPECT_EQ(image->scale(), 1);
    image->drawInRect(CGRect(0, 0, 2, 2));  // no current context
    auto ctx = CGContext::createImageContext({2, 2}, false, 1);
    image->drawInRect(*ctx, CGRect(0, 0, 0, 2), CGBlendMode::Normal, 1);
    make<UIImage>(CGSize{2, 2})->drawInRect(*ctx, CGRect(0, 0, 2, 2), CGBlendMode::Normal, 1);
    EXPECT_EQ(ctx->makeImage()->pixelAt(0, 0).a, 0);
    // Drawn at half strength, a pixel keeps its colour at half its alpha.
    image->drawInRect(*ctx, CGRect(0, 0, 2, 2), CGBlendMode::Normal, 0.5);
    EXPECT_NEAR(ctx->makeImage()->pixelAt(0, 0).a, 128, 1);
    EXPECT_EQ(ctx->makeImage()->pixelAt(0, 0).r, 255);
    EXPECT_FALSE(make<UIImage>(CGSize{2, 2})->imageWithTintColor(UIColor(0, 1, 0, 1)));
    EXPECT_FALSE(UIImage::animatedImageWithImages({}, 1));
    EXPECT_FALSE(UIImage::animatedImageWithImages({nullptr, image}, 1));
    EXPECT_FALSE(UIImageJPEGRepresentation(nullptr, 1));
    EXPECT_FALSE(UIImageJPEGRepresentation(make<UIImage>(CGSize{2, 2}), 1));
    EXPECT_FALSE(UIImagePNGRepresentation(nullptr));
}

// Draws an image view alone at scale 1 and returns the box of its pixels that are not clear.
CGRect inkBox(const std::shared_ptr<UIImageView>& view) {
    UIGraphicsBeginImageContextWithOptions(view->bounds().size, false, 1);
    view->drawViewHierarchyInRect(view->bounds(), true);
    auto drawn = UIGraphicsGetImageFromCurrentImageContext()->cgImage();
    UIGraphicsEndImageContext();
    int x0 = drawn->width(), y0 = drawn->height(), x1 = -1, y1 = -1;
    for (int y = 0; y < drawn->height(); ++y)
        for (int x = 0; x < drawn->width(); ++x)
            if (drawn->pixelAt(x, y).a > 0) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
    return x1 < 0 ? CGRect::null() : CGRect(x0, y0, x1 - x0 + 1, y1 - y0 + 1);
}

TEST(UIImageViewDrawing, ContentModesPlaceTheImageInTheBounds) {
    std::vector<RGBA8> px(100, kRed);
    auto square = UIImage::imageWithCGImage(CGImage::fromRGBA(10, 10, px), 1);
    auto view = make<UIImageView>(square);
    EXPECT_EQ(view->bounds().size, (CGSize{10, 10}));
    EXPECT_EQ(view->intrinsicContentSize(), (CGSize{10, 10}));
    view->setFrame(CGRect(0, 0, 40, 20));
    const std::pair<UIViewContentMode, CGRect> cases[] = {
        {UIViewContentMode::ScaleToFill, CGRect(0, 0, 40, 20)},
        {UIViewContentMode::Redraw, CGRect(0, 0, 40, 20)},
        {UIViewContentMode::ScaleAspectFit, CGRect(10, 0, 20, 20)},
        {UIViewContentMode::ScaleAspectFill, CGRect(0, 0, 40, 20)},  // 40 x 40, cut to the bounds
        {UIViewContentMode::Center, CGRect(15, 5, 10, 10)},
        {UIViewContentMode::Top, CGRect(15, 0, 10, 10)},
        {UIViewContentMode::Bottom, CGRect(15, 10, 10, 10)},
        {UIViewContentMode::Left, CGRect(0, 5, 10, 10)},
        {UIViewContentMode::Right, CGRect(30, 5, 10, 10)},
    };
    for (const auto& [mode, box] : cases) {
        view->setContentMode(mode);
        EXPECT_EQ(inkBox(view), box) << static_cast<int>(mode);
    }

    // Highlighted, the highlighted image shows; without an image, the first animation frame;
    // without either, nothing.
    view->setContentMode(UIViewContentMode::Left);
    std::vector<RGBA8> small(16, kBlue);
    view->setHighlightedImage(UIImage::imageWithCGImage(CGImage::fromRGBA(4, 4, small), 1));
    view->setHighlighted(true);
    EXPECT_EQ(inkBox(view), CGRect(0, 8, 4, 4));
    view->setHighlighted(false);
    view->setImage(nullptr);
    EXPECT_EQ(view->intrinsicContentSize(), (CGSize{-1, -1}));
    EXPECT_EQ(view->sizeThatFits({100, 100}), (CGSize{0, 0}));
    EXPECT_TRUE(inkBox(view).isNull());
    view->setAnimationImages({square});
    EXPECT_EQ(inkBox(view), CGRect(0, 5, 10, 10));
    view->setAnimationImages({});
    // An animated image without a bitmap of its own shows its first frame.
    view->setImage(UIImage::animatedImageWithImages({square}, 1));
    EXPECT_EQ(inkBox(view), CGRect(0, 5, 10, 10));
    view->setImage(make<UIImage>(CGSize{5, 5}));  // an image with no bitmap at all
    EXPECT_TRUE(inkBox(view).isNull());
}

}  // namespace
}  // namespace brindlecue::platform
