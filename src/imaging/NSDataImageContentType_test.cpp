#include "imaging/NSDataImageContentType.h"

#include <gtest/gtest.h>

#include <string>

namespace brindlecue {
namespace {

TEST(ImageFormatDetection, EachSignatureFromTheFirstBytes) {
    using F = KJSDImageFormat;
    auto format = [](const std::string& text) {
        return NSDataImageContentType::sd_imageFormatForImageData(platform::Data(text.begin(), text.end()));
    };
    EXPECT_EQ(format(""), F::Undefined);
    EXPECT_EQ(format("\xFF\xD8"), F::JPEG);
    EXPECT_EQ(format("\x89PNG"), F::PNG);
    EXPECT_EQ(format("GIF89a"), F::GIF);
    EXPECT_EQ(format("II*"), F::TIFF);
    EXPECT_EQ(format("MM"), F::TIFF);
    EXPECT_EQ(format("BM6"), F::Undefined);
    EXPECT_EQ(format("RIFF1234WEBP"), F::WebP);
    EXPECT_EQ(format("RIFF1234WAVE"), F::Undefined);
    EXPECT_EQ(format("RIFF1234WEB"), F::Undefined);
    for (std::string brand : {"heic", "heix", "hevc", "hevx"}) {
        std::string box = std::string("\0\0\0\x18", 4) + "ftyp" + brand;
        EXPECT_EQ(format(box), F::HEIC) << brand;
        EXPECT_EQ(format(box.substr(0, 11)), F::Undefined) << brand;
    }
    EXPECT_EQ(format(std::string("\0\0\0\x18", 4) + "ftypmif1"), F::Undefined);
}

TEST(ImageFormatDetection, EachFormatNamesItsTypeAndAnUnknownOneIsTakenForPNG) {
    using F = KJSDImageFormat;
    EXPECT_EQ(NSDataImageContentType::sd_UTTypeFromKJSDImageFormat(F::JPEG), "public.jpeg");
    EXPECT_EQ(NSDataImageContentType::sd_UTTypeFromKJSDImageFormat(F::PNG), "public.png");
    EXPECT_EQ(NSDataImageContentType::sd_UTTypeFromKJSDImageFormat(F::GIF), "com.compuserve.gif");
    EXPECT_EQ(NSDataImageContentType::sd_UTTypeFromKJSDImageFormat(F::TIFF), "public.tiff");
    EXPECT_EQ(NSDataImageContentType::sd_UTTypeFromKJSDImageFormat(F::WebP), "public.webp");
    EXPECT_EQ(NSDataImageContentType::sd_UTTypeFromKJSDImageFormat(F::HEIC), "public.heic");
    EXPECT_EQ(NSDataImageContentType::sd_UTTypeFromKJSDImageFormat(F::Undefined), "public.png");
}

}  // namespace
}  // namespace brindlecue
