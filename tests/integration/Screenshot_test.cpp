// The author screenshot of a rendered window, uploaded to the sample server.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "platform/AppContainer.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIScreen.h"
#include "sample-server/SampleServer.h"
#include "support/PublishedAppFacts.h"
#include "support/SampleRoutes.h"
#include "targeting/BLQLegacyScreenShotCapturer.h"
#include "targeting/ScreenshotScene_test.h"

namespace brindlecue {
namespace {

using namespace screenshotscene;

struct Part {
    std::string name;
    std::optional<std::string> fileName;
    std::optional<std::string> contentType;
    std::string body;
};

std::optional<std::string> headerValue(const std::string& headers, const std::regex& pattern) {
    std::smatch match;
    if (!std::regex_search(headers, match, pattern)) return std::nullopt;
    return match[1].str();
}

// The parts of a multipart form body, in order.
std::vector<Part> partsOf(const sampleserver::JournalEntry& entry) {
    const std::string type = entry.header("Content-Type");
    const std::string prefix = "multipart/form-data; boundary=";
    EXPECT_EQ(type.rfind(prefix, 0), 0u) << type;
    const std::string delimiter = "--" + type.substr(prefix.size());
    std::vector<Part> parts;
    size_t at = entry.body.find(delimiter);
    while (at != std::string::npos) {
        size_t start = at + delimiter.size();
        if (entry.body.compare(start, 2, "--") == 0) break;
        size_t next = entry.body.find("\r\n" + delimiter, start);
        if (next == std::string::npos) break;
        std::string part = entry.body.substr(start + 2, next - start - 2);
        size_t split = part.find("\r\n\r\n");
        std::string headers = part.substr(0, split);
        parts.push_back({headerValue(headers, std::regex(R"(name="([^"]*)\")")).value_or(""),
                         headerValue(headers, std::regex(R"(filename="([^"]*)\")")),
                         headerValue(headers, std::regex(R"(Content-Type: ([^\r]*))")), part.substr(split + 4)});
        at = next + 2;
    }
    return parts;
}

class ScreenshotUploadTest : public ScreenshotTest {
protected:
    void SetUp() override {
        // A screen large enough that its noise does not fit at the first quality.
        UIScreen::mainScreen()->setBounds({0, 0, 500, 900});
        ScreenshotTest::SetUp();
        server.start();
        facts = std::make_unique<testsupport::PublishedAppFacts>(server.baseURL(), "key-1", "inst-9", 42);
        BLQLegacyScreenShotCapturer::setAuthorMetaDataSource([] {
            return platform::Array{Value::dictionary({{"id", "UIButton-1"}, {"x", 10}, {"ancestor", "HomeViewController"}})};
        });
    }
    void TearDown() override {
        UIDevice::currentDevice()->setOrientation(UIDeviceOrientation::Portrait);
        ScreenshotTest::TearDown();
        UIScreen::mainScreen()->setBounds(screenBounds);
    }
    std::vector<Part> uploaded() {
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return server.journal().size() == 1; }, 20));
        auto journal = server.journal();
        if (journal.empty()) return {};
        EXPECT_EQ(journal[0].method, "POST");
        EXPECT_EQ(journal[0].path, "/v3/screenshots");
        EXPECT_EQ(journal[0].query, "installid=inst-9");
        return partsOf(journal[0]);
    }

    const CGRect screenBounds = UIScreen::mainScreen()->bounds();
    sampleserver::SampleServer server;
    std::unique_ptr<testsupport::PublishedAppFacts> facts;
};

TEST_F(ScreenshotUploadTest, TheDrawnWindowGoesUpWithTheScreensFactsAndTargets) {
    server.addRoute(testsupport::route("POST", "/v3/screenshots", 201, "{}"));
    BLQLegacyScreenShotCapturer::captureScreenShot();
    // The library's launcher is off the window before the drawing, and the preview overlay is
    // hidden only while it is made.
    EXPECT_EQ(launcher->superview(), nullptr);
    EXPECT_EQ(engine->faqLauncherRemovals, 1);
    EXPECT_EQ(previewMode->toggles, (std::vector<bool>{true, false}));

    auto parts = uploaded();
    std::vector<std::string> names;
    for (const auto& p : parts) names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"png_file", "app_id", "app_key", "installid", "client_version",
                                               "development_platform", "qx_version", "vorneli_timestamp",
                                               "blq_timestamp", "operating_system", "device_name", "model", "width",
                                               "height", "orientation", "view", "json"}));
    ASSERT_EQ(parts.size(), 17u);
    EXPECT_EQ(parts[0].fileName, "test.png");
    EXPECT_EQ(parts[0].contentType, "image/png");

    // The window drawn again as the capture drew it: at quality 0.9 it is too big, and what went up
    // is the first lower quality that fits.
    const Data image(parts[0].body.begin(), parts[0].body.end());
    UIGraphicsBeginImageContextWithOptions(window->bounds().size, false, 1.0);
    window->drawViewHierarchyInRect(window->bounds(), true);
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_GT(UIImageJPEGRepresentation(drawn, 0.9f)->size(), 300000u);
    EXPECT_LE(image.size(), 300000u);
    EXPECT_EQ(BLQLegacyScreenShotCapturer::compressImage(drawn, 300000), image);
    auto source = CGImageSource::createWithData(image);
    auto decoded = source ? source->imageAtIndex(0) : nullptr;
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->width(), 500);
    EXPECT_EQ(decoded->height(), 900);
    std::ifstream copy(AppContainer::documentsDirectory() / "screenshot.png", std::ios::binary);
    EXPECT_EQ(Data((std::istreambuf_iterator<char>(copy)), std::istreambuf_iterator<char>()), image);

    auto field = [&](size_t i) { return parts[i].body; };
    EXPECT_EQ(field(1), "42");
    EXPECT_EQ(field(2), "key-1");
    EXPECT_EQ(field(3), "inst-9");
    EXPECT_EQ(field(5), "native");
    EXPECT_EQ(field(6), "3.0.3");
    const std::regex isoDate(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d{4})");
    EXPECT_TRUE(std::regex_match(field(7), isoDate)) << field(7);
    EXPECT_TRUE(std::regex_match(field(8), isoDate)) << field(8);
    EXPECT_EQ(field(9), "ios");
    EXPECT_EQ(field(10), "iPhone15,2");
    EXPECT_EQ(field(11), "iPhone15,2");
    EXPECT_EQ(field(12), "500");
    EXPECT_EQ(field(13), "900");
    EXPECT_EQ(field(14), "portrait");
    EXPECT_EQ(field(15), "HomeViewController");
    EXPECT_EQ(field(16), R"([{"id":"UIButton-1","x":10,"ancestor":"HomeViewController"}])");

    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !previewMode->statesSoFar().empty(); }));
    EXPECT_EQ(previewMode->statesSoFar(), (std::vector<std::pair<int, std::string>>{{3, ""}}));
    EXPECT_TRUE(events->errorsSoFar().empty());
}

TEST_F(ScreenshotUploadTest, ARefusedUploadIsReportedAndShownToTheAuthor) {
    server.addRoute(testsupport::route("POST", "/v3/screenshots", 401, R"({"detail": "Invalid token."})"));
    UIDevice::currentDevice()->setOrientation(UIDeviceOrientation::FaceUp);
    engine->reactNativeName = "CheckoutScreen";
    BLQLegacyScreenShotCapturer::captureScreenShot();

    auto parts = uploaded();
    for (const auto& part : parts) EXPECT_NE(part.name, "orientation");
    ASSERT_FALSE(parts.empty());
    EXPECT_EQ(parts[parts.size() - 2].body, "CheckoutScreen");

    std::shared_ptr<UIAlertController> alert;
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return (alert = alertOn(home)) != nullptr; }, 20));
    EXPECT_EQ(alert->alertTitle(), "Brindlecue screenshot failed");
    EXPECT_EQ(alert->message(), "Please get token from dashboard again.");
    auto errors = events->errorsSoFar();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0][0], "Screenshot failed");
    EXPECT_EQ(errors[0][1].rfind("Failed to post the screenshot to the server. View name: CheckoutScreen, Error: ", 0), 0u)
        << errors[0][1];
    EXPECT_TRUE(previewMode->statesSoFar().empty());

    ASSERT_TRUE(alert->pressActionWithTitle("OK"));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(previewMode->checks, std::vector<std::string>{"check without screen"});
}

}  // namespace
}  // namespace brindlecue
