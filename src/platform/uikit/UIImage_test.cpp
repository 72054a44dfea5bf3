#include "platform/uikit/UIImage.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace brindlecue::platform
