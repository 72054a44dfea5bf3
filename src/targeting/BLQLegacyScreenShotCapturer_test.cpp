// Compressing the author screenshot, and captures that stop before the upload. Uploads are shown
// against the sample server (tests/integration/Screenshot_test.cpp).

#include "targeting/BLQLegacyScreenShotCapturer.h"

#include <gtest/gtest.h>

#include "targeting/ScreenshotScene_test.h"

namespace brindlecue {
namespace {

using namespace screenshotscene;

// The qualities the compression tries, in order.
std::vector<float> qualities() {
    std::vector<float> out{0.9f};
    while (out.back() > 0.1f) out.push_back(out.back() - 0.1f);
    return out;
}

TEST(BLQLegacyScreenShotCapturer, CompressionLowersTheQualityUntilTheImageFitsOrTheLastTry) {
    auto image = noiseImage(200, 150);
    std::vector<Data> encodings;
    for (float q : qualities()) encodings.push_back(*UIImageJPEGRepresentation(image, q));
    ASSERT_EQ(encodings.size(), 9u);
    ASSERT_GT(encodings[3].size(), encodings[4].size());

    EXPECT_EQ(BLQLegacyScreenShotCapturer::compressImage(image, encodings[0].size()), encodings[0]);
    // The first encoding that fits is taken: the fifth, at about 0.5.
    EXPECT_EQ(BLQLegacyScreenShotCapturer::compressImage(image, encodings[4].size()), encodings[4]);
    EXPECT_EQ(BLQLegacyScreenShotCapturer::compressImage(image, encodings[3].size() - 1), encodings[4]);
    // One that never fits stops at the ninth try and gives it as it is.
    EXPECT_EQ(BLQLegacyScreenShotCapturer::compressImage(image, 100), encodings[8]);
    EXPECT_EQ(BLQLegacyScreenShotCapturer::compressImage(nullptr, 100), std::nullopt);
}

TEST_F(ScreenshotTest, WithoutAViewNameTheAuthorIsWarnedAndNothingIsTaken) {
    engine->screen.reset();
    engine->tip = std::make_shared<RecordingTipController>();
    BLQLegacyScreenShotCapturer::captureScreenShot();

    // The tip on screen is dismissed first, with its cover and without animation or completion.
    EXPECT_EQ(engine->tip->dismissals, (std::vector<std::vector<bool>>{{true, true, false}}));
    auto alert = alertOn(home);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->alertTitle(), "Warning");
    EXPECT_EQ(alert->message(),
              "Brindlecue SDK is not integrated correctly (view name missing), Please double check the integration "
              "steps and/or contact support@brindlecue.com if you need more help.");
    ASSERT_EQ(alert->actions().size(), 2u);
    EXPECT_EQ(alert->actions()[0]->title(), "Debug Log");
    EXPECT_EQ(alert->actions()[1]->style(), UIAlertActionStyle::Cancel);
    EXPECT_EQ(legacyLines.back(), "===============Brindlecue Debug log End=================");
    EXPECT_EQ(engine->faqLauncherRemovals, 0);
    EXPECT_TRUE(previewMode->toggles.empty());
    EXPECT_NE(launcher->superview(), nullptr);
}

TEST_F(ScreenshotTest, WithoutAPlainWindowToDrawTheCaptureFails) {
    ClassRegistry::registerClass("HostWindow", "UIWindow");
    class HostWindow final : public UIWindow {
    public:
        std::string className() const override { return "HostWindow"; }
    };
    window->setHidden(true);
    auto hostWindow = make<HostWindow>();
    hostWindow->setRootViewController(home);
    hostWindow->makeKeyAndVisible();
    engine->reactNativeName = "CheckoutScreen";

    BLQLegacyScreenShotCapturer::captureScreenShot();
    auto alert = alertOn(home);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->alertTitle(), "Screenshot failed");
    EXPECT_EQ(alert->message(), "Failed to take screenshot");
    EXPECT_EQ(events->errorsSoFar(),
              (std::vector<std::vector<std::string>>{
                  {"Screenshot failed", "Failed to take the screenshot or failed to compress the screenshot "
                                        "sufficiently. View name: CheckoutScreen"}}));
    EXPECT_EQ(engine->faqLauncherRemovals, 1);
    hostWindow->setHidden(true);
}

}  // namespace
}  // namespace brindlecue
