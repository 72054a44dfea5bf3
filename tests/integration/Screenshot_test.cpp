// The author screenshot of a rendered window, uploaded to the sample server.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <regex>

#include "events/BLQIUserEventManager.h"
#include "platform/AppContainer.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIScreen.h"
#include "sample-server/SampleServer.h"
#include "support/PublishedAppFacts.h"
#include "support/SampleRoutes.h"
#include "support/StubTipManager.h"
#include "targeting/BLQLegacyScreenShotCapturer.h"
#include "tips/TipEngineScene_test.h"

namespace brindlecue {
namespace {

using namespace platform;
using Texts = std::vector<std::string>;

class ScreenEngine final : public testsupport::StubTipManager {
public:
    std::shared_ptr<UIViewController> customerCurrentVC() const override { return screen.lock(); }
    std::optional<std::string> currentRCTViewName() const override { return reactNativeName; }
    std::shared_ptr<BLQITipViewController> currentTipViewController() const override { return tip; }
    void removeFAQLauncher() override { ++faqLauncherRemovals; }
    std::weak_ptr<UIViewController> screen;
    std::optional<std::string> reactNativeName;
    std::shared_ptr<tipscene::RecordingTipController> tip = std::make_shared<tipscene::RecordingTipController>();
    int faqLauncherRemovals = 0;
};

// Keeps the overlay's toggles, states and checks, and the error events, as texts.
class Recorder final : public BLQIPreviewModeManager, public BLQIUserEventManager {
public:
    bool isInPreviewMode() const override { return true; }
    void checkIfPreviewModeIsRequiredOrNot(const std::shared_ptr<UIViewController>& c) override {
        note(c ? "check with screen" : "check");
    }
    void togglePreviewModeView(bool hidden) override { note(hidden ? "hide" : "show"); }
    std::shared_ptr<UIViewController> previewModeView() override { return nullptr; }
    void receiveUpdated(BLQPreviewModeNotificationState state, const std::string& m) override {
        note("state " + std::to_string(static_cast<int>(state)) + " '" + m + "'");
    }
    void sendUserEventWithCode(int64_t, const std::string&, const Value&) override {}
    void sendUserEventWithCode(int64_t, const std::string&, const Value&, Handler) override {}
    void sendUserEventWithCode(int64_t, const std::shared_ptr<BLQTagDTO>&, const std::string&, const Value&,
                               Handler) override {}
    void sendUserEventErrorWithMessage(const std::string& m, const std::string& d) override { note(m + ": " + d); }
    void sendUserEventErrorWithMessageDetails(const std::string&, const Value&) override {}

    void note(const std::string& text) {
        std::lock_guard lock(mutex_);
        notes_.push_back(text);
    }
    Texts notes() {
        std::lock_guard lock(mutex_);
        return notes_;
    }

private:
    std::mutex mutex_;
    Texts notes_;
};

struct Part {
    std::string name, headers, body;
};

// The parts of a multipart form body, in order.
std::vector<Part> partsOf(const sampleserver::JournalEntry& entry) {
    const std::string type = entry.header("Content-Type");
    const std::string delimiter = "\r\n--" + type.substr(type.find("boundary=") + 9);
    const std::string body = "\r\n" + entry.body;
    std::vector<Part> parts;
    for (size_t at = body.find(delimiter); at != std::string::npos;) {
        size_t start = at + delimiter.size() + 2;
        size_t next = body.find(delimiter, start);
        if (next == std::string::npos) break;
        size_t split = body.find("\r\n\r\n", start);
        std::string headers = body.substr(start, split - start);
        std::smatch name;
        std::regex_search(headers, name, std::regex(R"(name="([^"]*)\")"));
        parts.push_back({name[1].str(), headers, body.substr(split + 4, next - split - 4)});
        at = next;
    }
    return parts;
}

class ScreenshotTest : public testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        // A screen large enough that its noise does not fit in 300000 bytes at the first quality.
        UIScreen::mainScreen()->setBounds({0, 0, 500, 900});
        ClassRegistry::registerClass("HomeViewController", "UIViewController");
        home = make<tipscene::Screen>("HomeViewController");
        window = make<UIWindow>();
        window->setRootViewController(home);
        window->makeKeyAndVisible();
        std::mt19937 random(7);
        std::vector<uint32_t> noise(500 * 900);
        for (auto& p : noise) p = 0xFF000000u | (random() & 0x00FFFFFFu);
        auto picture = make<UIImageView>(window->bounds());
        picture->setImage(UIImage::imageWithCGImage(CGImage::fromPremultipliedARGB(500, 900, std::move(noise), false)));
        home->view()->addSubview(picture);
        launcher = make<UIButton>();
        launcher->setTag(888900);
        window->addSubview(launcher);
        RunLoop::main().runUntilIdle();

        engine->screen = home;
        BLQFacadeLink::setTipManager(engine);
        BLQFacadeLink::setPreviewModeManager(recorder);
        BLQFacadeLink::setUserEventManager(recorder);
        server.start();
        facts = std::make_unique<testsupport::PublishedAppFacts>(server.baseURL(), "key-1", "inst-9", 42);
        BLQLegacyScreenShotCapturer::setAuthorMetaDataSource(
            [] { return Array{Value::dictionary({{"id", "UIButton-1"}, {"x", 10}})}; });
    }
    void TearDown() override {
        window->setHidden(true);
        UIDevice::currentDevice()->setOrientation(UIDeviceOrientation::Portrait);
        UIScreen::mainScreen()->setBounds(screenBounds);
        BLQFacadeLink::setTipManager(nullptr);
        BLQFacadeLink::setPreviewModeManager(nullptr);
        BLQFacadeLink::setUserEventManager(nullptr);
    }

    std::vector<Part> uploaded() {
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return server.journal().size() == 1; }, 20));
        auto journal = server.journal();
        if (journal.empty()) return {};
        EXPECT_EQ(journal[0].path, "/v3/screenshots");
        EXPECT_EQ(journal[0].query, "installid=inst-9");
        return partsOf(journal[0]);
    }
    std::shared_ptr<UIAlertController> alertOn(const std::shared_ptr<UIViewController>& screen) const {
        return std::dynamic_pointer_cast<UIAlertController>(screen->presentedViewController());
    }

    const CGRect screenBounds = UIScreen::mainScreen()->bounds();
    std::shared_ptr<tipscene::Screen> home;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIButton> launcher;
    std::shared_ptr<ScreenEngine> engine = std::make_shared<ScreenEngine>();
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    sampleserver::SampleServer server;
    std::unique_ptr<testsupport::PublishedAppFacts> facts;
};

TEST_F(ScreenshotTest, TheDrawnWindowGoesUpWithTheScreensFactsAndTargets) {
    server.addRoute(testsupport::route("POST", "/v3/screenshots", 201, "{}"));
    BLQLegacyScreenShotCapturer::captureScreenShot();
    // The tip on screen and the library's launcher are gone before the drawing; the overlay is
    // hidden only while the window is drawn.
    EXPECT_EQ(engine->tip->dismissals, 1);
    EXPECT_EQ(launcher->superview(), nullptr);
    EXPECT_EQ(engine->faqLauncherRemovals, 1);

    auto parts = uploaded();
    Texts names;
    for (const auto& p : parts) names.push_back(p.name);
    EXPECT_EQ(names, (Texts{"png_file", "app_id", "app_key", "installid", "client_version", "development_platform",
                            "qx_version", "vorneli_timestamp", "blq_timestamp", "operating_system", "device_name",
                            "model", "width", "height", "orientation", "view", "json"}));
    ASSERT_EQ(parts.size(), 17u);
    EXPECT_NE(parts[0].headers.find("filename=\"test.png\"\r\nContent-Type: image/png"), std::string::npos);

    // The window drawn again as the capture drew it: too big at quality 0.9; what went up is the
    // first lower quality that fits, a picture of the window, also kept in the documents.
    const Data image(parts[0].body.begin(), parts[0].body.end());
    UIGraphicsBeginImageContextWithOptions(window->bounds().size, false, 1.0);
    window->drawViewHierarchyInRect(window->bounds(), true);
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_GT(UIImageJPEGRepresentation(drawn, 0.9f)->size(), 300000u);
    EXPECT_LE(image.size(), 300000u);
    EXPECT_EQ(BLQLegacyScreenShotCapturer::compressImage(drawn, 300000), image);
    auto decoded = CGImageSource::createWithData(image)->imageAtIndex(0);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->width(), 500);
    std::ifstream copy(AppContainer::documentsDirectory() / "screenshot.png", std::ios::binary);
    EXPECT_EQ(Data((std::istreambuf_iterator<char>(copy)), std::istreambuf_iterator<char>()), image);

    Texts fields;
    for (size_t i = 1; i < parts.size(); ++i) fields.push_back(parts[i].body);
    const std::regex isoDate(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d{4})");
    EXPECT_TRUE(std::regex_match(fields[6], isoDate) && std::regex_match(fields[7], isoDate)) << fields[6];
    fields[3] = fields[6] = fields[7] = "";  // the client version and the two times
    EXPECT_EQ(fields, (Texts{"42", "key-1", "inst-9", "", "native", "3.0.3", "", "", "ios", "iPhone15,2", "iPhone15,2",
                             "500", "900", "portrait", "HomeViewController", R"([{"id":"UIButton-1","x":10}])"}));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return recorder->notes().size() == 3; }));
    EXPECT_EQ(recorder->notes(), (Texts{"hide", "show", "state 3 ''"}));
}

TEST_F(ScreenshotTest, ARefusedUploadIsReportedAndShownToTheAuthor) {
    server.addRoute(testsupport::route("POST", "/v3/screenshots", 401, R"({"detail": "Invalid token."})"));
    UIDevice::currentDevice()->setOrientation(UIDeviceOrientation::FaceUp);
    engine->reactNativeName = "CheckoutScreen";
    BLQLegacyScreenShotCapturer::captureScreenShot();

    auto parts = uploaded();
    ASSERT_EQ(parts.size(), 16u);  // no orientation for a device lying face up
    EXPECT_EQ(parts[14].name, "view");
    EXPECT_EQ(parts[14].body, "CheckoutScreen");
    std::shared_ptr<UIAlertController> alert;
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return (alert = alertOn(home)) != nullptr; }, 20));
    EXPECT_EQ(alert->alertTitle(), "Brindlecue screenshot failed");
    EXPECT_EQ(alert->message(), "Please get token from dashboard again.");
    auto notes = recorder->notes();
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[2].rfind("Screenshot failed: Failed to post the screenshot to the server. View name: "
                             "CheckoutScreen, Error: ", 0),
              0u)
        << notes[2];
    ASSERT_TRUE(alert->pressActionWithTitle("OK"));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(recorder->notes().back(), "check");
}

TEST_F(ScreenshotTest, WithoutAViewNameTheAuthorIsWarnedAndNothingIsTaken) {
    engine->screen.reset();
    BLQLegacyScreenShotCapturer::captureScreenShot();
    auto alert = alertOn(home);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->message(),
              "Brindlecue SDK is not integrated correctly (view name missing), Please double check the integration "
              "steps and/or contact support@brindlecue.com if you need more help.");
    EXPECT_EQ(alert->actions().at(0)->title(), "Debug Log");
    EXPECT_EQ(engine->faqLauncherRemovals, 0);
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(server.journal().empty());
}


// A host whose only window is of its own class has no window the capture can draw: the author is
// told and the failure reported, nothing is uploaded or kept, and the overlay is never hidden.
TEST_F(ScreenshotTest, WithoutAPlainWindowToDrawNothingIsTakenAndTheAuthorIsTold) {
    ClassRegistry::registerClass("HostWindow", "UIWindow");
    ASSERT_TRUE(window->setRuntimeClassName("HostWindow"));
    BLQLegacyScreenShotCapturer::captureScreenShot();
    auto alert = alertOn(home);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->alertTitle(), "Screenshot failed");
    EXPECT_EQ(alert->message(), "Failed to take screenshot");
    EXPECT_EQ(recorder->notes(), (Texts{"Screenshot failed: Failed to take the screenshot or failed to compress the "
                                        "screenshot sufficiently. View name: HomeViewController"}));
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(server.journal().empty());
    EXPECT_FALSE(std::filesystem::exists(AppContainer::documentsDirectory() / "screenshot.png"));
    // The library's launcher is taken off all the same.
    EXPECT_EQ(launcher->superview(), nullptr);
    EXPECT_EQ(engine->faqLauncherRemovals, 1);
}

// A failure whose text is no JSON is shown as it is, and only while the screen the capture began
// on is there; a device on its side is described as landscape.
TEST_F(ScreenshotTest, APlainFailureIsShownAsItIsOnlyToAScreenThatIsStillThere) {
    server.addRoute(testsupport::route("POST", "/v3/screenshots", 500, "Internal trouble"));
    UIDevice::currentDevice()->setOrientation(UIDeviceOrientation::LandscapeLeft);
    BLQLegacyScreenShotCapturer::captureScreenShot();
    auto parts = uploaded();
    ASSERT_EQ(parts.size(), 17u);
    EXPECT_EQ(parts[14].name, "orientation");
    EXPECT_EQ(parts[14].body, "landscape");
    std::shared_ptr<UIAlertController> alert;
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return (alert = alertOn(home)) != nullptr; }, 20));
    auto notes = recorder->notes();
    ASSERT_EQ(notes.size(), 3u);
    const std::string prefix = "Screenshot failed: Failed to post the screenshot to the server. View name: "
                               "HomeViewController, Error: ";
    ASSERT_EQ(notes[2].rfind(prefix, 0), 0u) << notes[2];
    EXPECT_EQ(alert->message(), notes[2].substr(prefix.size()));
    EXPECT_EQ(alert->message().value_or("token").find("token"), std::string::npos);
    home->dismissViewControllerAnimated(false, nullptr);
    RunLoop::main().runUntilIdle();

    // Taken from a screen that is let go before the answer: the failure is reported, no alert.
    UIDevice::currentDevice()->setOrientation(UIDeviceOrientation::LandscapeRight);
    auto passing = make<tipscene::Screen>("CheckoutViewController");
    engine->screen = passing;
    BLQLegacyScreenShotCapturer::captureScreenShot();
    passing.reset();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return recorder->notes().size() == 6; }, 20));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(recorder->notes()[5].rfind("Screenshot failed: Failed to post the screenshot to the server. View name: "
                                         "CheckoutViewController, Error: ",
                                         0),
              0u);
    EXPECT_EQ(alertOn(home), nullptr);
    auto journal = server.journal();
    ASSERT_EQ(journal.size(), 2u);
    auto second = partsOf(journal[1]);
    ASSERT_EQ(second.size(), 17u);
    EXPECT_EQ(second[14].body, "landscape");
    EXPECT_EQ(second[15].body, "CheckoutViewController");
}

}  // namespace
}  // namespace brindlecue
