#include "network/library/KJAFImageResponseSerializer.h"

#include <gtest/gtest.h>

#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/URLError.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIScreen.h"
#include "support/StringTables.h"

namespace brindlecue {
namespace {

using platform::CGImage;
using platform::Data;
using platform::Error;
using platform::RGBA8;
using platform::UIImage;
using platform::UIImageOrientation;

std::shared_ptr<platform::HTTPURLResponse> answer(int status, std::string contentType) {
    return std::make_shared<platform::HTTPURLResponse>(*platform::URL::fromString("http://h/image"), status,
                                                       platform::HTTPHeaderFields{{"Content-Type", contentType}});
}

// A picture whose every pixel differs, half transparent in its lower part when alpha is asked for.
std::shared_ptr<const CGImage> picture(int width, int height, bool alpha) {
    std::vector<RGBA8> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back({uint8_t(x * 7), uint8_t(y * 5), uint8_t((x + y) * 3),
                              uint8_t(alpha && y >= height / 2 ? 128 : 255)});
    return CGImage::fromRGBA(width, height, pixels);
}

Data png(int width, int height, bool alpha = true) { return *platform::CGImageEncodePNG(*picture(width, height, alpha)); }

class ImageResponseSerializerTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::installMossgroveStringTable();
        serializer->imageScale = 2;
    }
    std::shared_ptr<KJAFImageResponseSerializer> serializer = KJAFImageResponseSerializer::serializer();
    std::optional<Error> error;
};

TEST_F(ImageResponseSerializerTest, DecodesStillImagesAtItsScaleWithTheirOrientation) {
    EXPECT_EQ(KJAFImageResponseSerializer::serializer()->imageScale, platform::UIScreen::mainScreen()->scale());
    EXPECT_TRUE(KJAFImageResponseSerializer::serializer()->automaticallyInflatesResponseImage);

    // Drawn again (at most 1024 x 1024 pixels, with and without alpha), or as decoded (larger, or
    // with inflating off): the same pixels at the serializer's scale either way.
    struct Case {
        int width, height;
        bool alpha, inflate;
    };
    for (Case c : {Case{100, 60, true, true}, Case{64, 64, false, true}, Case{1024, 1024, false, true},
                   Case{1025, 1024, true, true}, Case{100, 60, true, false}}) {
        serializer->automaticallyInflatesResponseImage = c.inflate;
        auto image = serializer->imageForResponse(answer(200, "image/png"), png(c.width, c.height, c.alpha), &error);
        ASSERT_TRUE(image) << c.width;
        EXPECT_FALSE(error);
        EXPECT_EQ(image->scale(), 2);
        EXPECT_EQ(image->size().width, c.width / 2.0);
        ASSERT_TRUE(image->cgImage());
        EXPECT_EQ(image->cgImage()->hasAlpha(), c.alpha);
        EXPECT_EQ(image->cgImage()->rgbaPixels(), picture(c.width, c.height, c.alpha)->rgbaPixels()) << c.width;
    }

    // A JPEG keeps the orientation it records; a GIF (any type the image types accept) decodes
    // as its first image.
    serializer->automaticallyInflatesResponseImage = true;
    Data jpeg = *platform::CGImageEncodeJPEG(*picture(40, 20, false), 0.9, 6);
    auto turned = serializer->imageForResponse(answer(200, "image/jpeg"), jpeg, &error);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->imageOrientation(), UIImageOrientation::Right);
    EXPECT_EQ(turned->size().width, 10);  // 20 pixels high, turned sideways, at scale 2
    Data gif = *platform::CGImageEncodeGIF({{picture(8, 8, false), 0.1}, {picture(8, 8, true), 0.1}});
    auto still = serializer->imageForResponse(answer(200, "image/gif"), gif, &error);
    ASSERT_TRUE(still);
    EXPECT_EQ(still->cgImage()->width(), 8);
    EXPECT_FALSE(error);
}

TEST_F(ImageResponseSerializerTest, RefusesWhatIsNoImageAsTheOtherSerializersDo) {
    // Nothing for an empty body or bytes that are no image.
    EXPECT_FALSE(serializer->imageForResponse(answer(200, "image/png"), Data{}, &error));
    EXPECT_FALSE(serializer->imageForResponse(answer(200, "image/png"), Data{'n', 'o'}, &error));
    EXPECT_FALSE(error);
    // A wrong MIME type: no image, the content-type error.
    EXPECT_FALSE(serializer->imageForResponse(answer(200, "text/html"), png(4, 4), &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), platform::URLError::CannotDecodeContentData);
    // A refused status with an image body: the image comes with the status error.
    error.reset();
    auto image = serializer->imageForResponse(answer(404, "image/png"), png(4, 4), &error);
    EXPECT_TRUE(image);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), platform::URLError::BadServerResponse);
    EXPECT_EQ(error->domain(), KJAFURLResponseSerializationErrorDomain);
    // Without an error to fill, a refused answer gives nothing; the value answer is always empty.
    EXPECT_FALSE(serializer->imageForResponse(answer(404, "image/png"), png(4, 4), nullptr));
    EXPECT_TRUE(serializer->responseObjectForResponse(answer(200, "image/png"), png(4, 4), &error).isAbsent());
    EXPECT_TRUE(serializer->answersWithPlatformObject());
    EXPECT_TRUE(serializer->platformObjectForResponse(answer(200, "image/png"), png(4, 4), &error));
}

TEST_F(ImageResponseSerializerTest, CopiesAndArchivesItsSettings) {
    serializer->automaticallyInflatesResponseImage = false;
    serializer->acceptableContentTypes = std::set<std::string>{"image/webp"};
    auto copy = std::dynamic_pointer_cast<KJAFImageResponseSerializer>(serializer->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->imageScale, 2);
    EXPECT_FALSE(copy->automaticallyInflatesResponseImage);
    EXPECT_EQ(copy->acceptableContentTypes, KJAFImageResponseSerializer().acceptableContentTypes);

    auto back = platform::KeyedUnarchiver::unarchivedObjectOfClass<KJAFImageResponseSerializer>(
        platform::KeyedArchiver::archivedDataWithRootObject(*serializer));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->imageScale, 2);
    EXPECT_FALSE(back->automaticallyInflatesResponseImage);
    EXPECT_EQ(back->acceptableContentTypes, (std::set<std::string>{"image/webp"}));
}

}  // namespace
}  // namespace brindlecue
