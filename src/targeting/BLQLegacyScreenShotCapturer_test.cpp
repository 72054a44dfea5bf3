// Compressing the author screenshot. Captures and uploads are shown against the sample server
// (tests/integration/Screenshot_test.cpp).

#include "targeting/BLQLegacyScreenShotCapturer.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/graphics/CGImage.h"
#include "platform/uikit/UIImage.h"

namespace brindlecue {
namespace {

using namespace platform;

TEST(BLQLegacyScreenShotCapturer, CompressionLowersTheQualityUntilTheImageFitsOrTheLastTry) {
    std::mt19937 random(7);
    std::vector<uint32_t> noise(200 * 150);
    for (auto& p : noise) p = 0xFF000000u | (random() & 0x00FFFFFFu);
    auto image = UIImage::imageWithCGImage(CGImage::fromPremultipliedARGB(200, 150, std::move(noise), false));
    // The qualities tried, in order: 0.9 down by 0.1 in single precision while above 0.1.
    std::vector<Data> encodings;
    for (float q = 0.9f;; q -= 0.1f) {
        encodings.push_back(*UIImageJPEGRepresentation(image, q));
        if (q <= 0.1f) break;
    }
    ASSERT_EQ(encodings.size(), 9u);

    EXPECT_EQ(BLQLegacyScreenShotCapturer::compressImage(image, encodings[0].size()), encodings[0]);
    EXPECT_EQ(BLQLegacyScreenShotCapturer::compressImage(image, encodings[3].size() - 1), encodings[4]);
    // One that never fits stops at the ninth try and gives it as it is.
    EXPECT_EQ(BLQLegacyScreenShotCapturer::compressImage(image, 100), encodings[8]);
    EXPECT_EQ(BLQLegacyScreenShotCapturer::compressImage(nullptr, 100), std::nullopt);
}

}  // namespace
}  // namespace brindlecue
