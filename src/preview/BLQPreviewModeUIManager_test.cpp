#include "preview/BLQPreviewModeUIManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <tuple>

#include "platform/dispatch/Clock.h"
#include "platform/graphics/TextLayout.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "preview/PreviewModeHostingController.h"
#include "preview/PreviewNotification.h"
#include "preview/PreviewScene_test.h"
#include "support/ResourceBundle.h"

namespace brindlecue {
namespace {

using namespace platform;
using namespace previewscene;
using State = BLQPreviewModeNotificationState;

class PreviewModeUIManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        BLQFacadeLink::setPreviewModeManager(previewMode);
    }
    void TearDown() override { BLQFacadeLink::setPreviewModeManager(nullptr); }

    void settle() { RunLoop::main().runUntilIdle(); }
    std::shared_ptr<UIView> shownPanel() {
        manager->layoutUI(false);
        return manager->previewModeView()->view();
    }
    template <class R>
    std::shared_ptr<R> recognizer(const std::shared_ptr<UIView>& panel) {
        for (const auto& r : panel->gestureRecognizers())
            if (auto found = std::dynamic_pointer_cast<R>(r)) return found;
        return nullptr;
    }

    HostApp app;
    std::shared_ptr<RecordingPreviewMode> previewMode = std::make_shared<RecordingPreviewMode>();
    std::shared_ptr<BLQPreviewModeUIManager> manager = std::make_shared<BLQPreviewModeUIManager>();
    const double W = UIScreen::mainScreen()->bounds().size.width;
    const double H = UIScreen::mainScreen()->bounds().size.height;
};

TEST_F(PreviewModeUIManagerTest, ThePanelIsMadeWhenFirstShownAndNotBefore) {
    const size_t windowViews = app.window->subviews().size();
    {
        // Built and dropped, as the container does with its factories: no trace.
        auto dropped = std::make_shared<BLQPreviewModeUIManager>();
        dropped->layoutUI(true);
        dropped->togglePreviewModeView(false);
        dropped->layoutAuthorViews(app.home);
        dropped->resetOfDefaultMode();
        settle();
        EXPECT_EQ(dropped->previewModeView(), nullptr);
        EXPECT_FALSE(dropped->isShown());
    }
    EXPECT_EQ(app.window->subviews().size(), windowViews);

    auto panel = shownPanel();
    EXPECT_TRUE(manager->isShown());
    EXPECT_EQ(panel->frame(), CGRect(65, 100, 100, 90));
    EXPECT_EQ(panel->tag(), 1000300330);
    EXPECT_EQ(panel->superview(), app.window);
    EXPECT_EQ(manager->targetWindow(), app.window);
    EXPECT_TRUE(panel->isKindOfClass("_UIHostingView"));
    EXPECT_NE(panel->className().find("PreviewModeView"), std::string::npos);
    EXPECT_NE(recognizer<UIPanGestureRecognizer>(panel), nullptr);
    EXPECT_NE(recognizer<UITapGestureRecognizer>(panel), nullptr);

    manager->togglePreviewModeView(true);
    EXPECT_FALSE(manager->isShown());
    manager->layoutUI(false);
    EXPECT_EQ(manager->previewModeView()->view(), panel) << "made once";
    app.home->view()->addSubview(panel);
    app.home->view()->addSubview(make<UIView>());
    manager->layoutAuthorViews(app.home);
    EXPECT_EQ(app.home->view()->subviews().back(), panel);
}

TEST_F(PreviewModeUIManagerTest, StatusesAreAppliedOnTheMainQueueWithTheirPanelSize) {
    auto panel = shownPanel();
    const auto& model = manager->previewMode();
    std::thread([&] {
        manager->receiveUpdated(State::guideOnAnotherscreen, "Please go to Cart to see the Guide");
    }).join();
    EXPECT_EQ(model->state.get(), State::idle) << "not before the main queue runs";
    settle();
    EXPECT_EQ(model->state.get(), State::guideOnAnotherscreen);
    EXPECT_EQ(model->icon.get(), PreviewModeIcon::qx_pause);
    EXPECT_EQ(model->message.get(), PreviewModeMessage::guideOnAnotherscreen);
    EXPECT_EQ(model->customMessage.get(), "Please go to Cart to see the Guide");
    EXPECT_EQ(model->duration.get(), 0);
    EXPECT_EQ(panel->frame(), CGRect(65, 100, 300, 70));
    EXPECT_EQ(model->bgFrame.get(), (CGSize{200, 70})) << "the model's own size is left alone";

    // A fetched preview feed changes nothing; values that are no status queue nothing.
    manager->receiveUpdated(State::recivedFeedUpdate, "");
    manager->receiveUpdated(static_cast<State>(12), "");
    manager->receiveUpdated(static_cast<State>(-1), "");
    settle();
    EXPECT_EQ(model->state.get(), State::guideOnAnotherscreen);
    EXPECT_EQ(panel->frame(), CGRect(65, 100, 300, 70));

    // The menu flag sizes the idle-like looks.
    manager->setIsMenuShown(true);
    manager->receiveUpdated(State::guideDisplaying, "");
    settle();
    EXPECT_EQ(panel->frame().size, (CGSize{260, 270}));
    manager->setIsMenuShown(false);
    manager->receiveUpdated(State::idle, "");
    settle();
    EXPECT_EQ(panel->frame().size, (CGSize{100, 90}));

    manager->receiveUpdated(State::noConnection, "x");
    settle();
    manager->resetOfDefaultMode();
    EXPECT_EQ(model->state.get(), State::idle);
    EXPECT_EQ(model->customMessage.get(), "");
    EXPECT_EQ(model->bgFrame.get(), (CGSize{100, 90}));
    EXPECT_EQ(panel->frame().size, (CGSize{200, 70})) << "the reset leaves the panel's frame";
}

TEST_F(PreviewModeUIManagerTest, DraggingPushesThePanelBackIntoItsZone) {
    auto panel = shownPanel();
    auto pan = recognizer<UIPanGestureRecognizer>(panel);
    auto drag = [&](CGPoint centre, CGPoint by) {
        panel->setCenter(centre);
        pan->setWindowTranslation({0, 0});
        pan->setTranslation({0, 0}, nullptr);
        pan->setWindowTranslation(by);
        manager->handlePan(pan);
        return panel->center();
    };
    EXPECT_EQ(drag({200, 400}, {10, -5}), (CGPoint{210, 395}));
    EXPECT_EQ(pan->translationInView(panel), (CGPoint{0, 0})) << "each callback moves by what is new";
    EXPECT_EQ(drag({40, 400}, {5, 0}), (CGPoint{95, 400}));
    EXPECT_EQ(drag({W - 40, 400}, {5, 0}), (CGPoint{W - 85, 400}));
    EXPECT_EQ(drag({200, 15}, {0, 3}), (CGPoint{200, 118}));
    EXPECT_EQ(drag({200, H - 40}, {0, 0}), (CGPoint{200, H - 120}));

    // The tap keeps an enlarged panel inside the bottom of the screen.
    auto tap = recognizer<UITapGestureRecognizer>(panel);
    panel->setFrame(CGRect(65, 100, 200, 270));
    panel->setCenter({165, H - 100});
    app.window->setSafeAreaInsets({47, 0, 34, 0});
    manager->handleTap(tap);
    EXPECT_EQ(panel->center(), (CGPoint{165, H + 34 - 270}));
    app.window->setSafeAreaInsets({47, 0, 0, 0});
    panel->setCenter({165, H - 100});
    manager->handleTap(tap);
    EXPECT_EQ(panel->center(), (CGPoint{165, H - 270 + 20 + 47}));
    panel->setCenter({165, 300});
    manager->handleTap(tap);
    EXPECT_EQ(panel->center(), (CGPoint{165, 300}));
}

TEST_F(PreviewModeUIManagerTest, TheBannerAndMenuOfThePanelDriveThePreviewModeManager) {
    auto panel = shownPanel();
    settle();
    auto host = std::dynamic_pointer_cast<PreviewModePanelView>(panel);
    ASSERT_NE(host, nullptr);
    auto banner = host->placedRoot()->findContent("idle");
    ASSERT_NE(banner, nullptr);
    TouchDriver::tap(panel, CGPoint{banner->frame.midX(), banner->frame.midY()});
    settle();
    EXPECT_TRUE(manager->isMenuShown());
    EXPECT_EQ(panel->frame(), CGRect(65, 100, 260, 270));
    Clock::advance(0.15);
    settle();
    auto exit = host->placedRoot()->findContent("Exit Preview Mode");
    ASSERT_NE(exit, nullptr);
    TouchDriver::tap(panel, CGPoint{exit->frame.minX() + 5, exit->frame.midY()});
    settle();
    EXPECT_EQ(previewMode->commands, std::vector<std::string>{"exitPreviewMode"});
    EXPECT_FALSE(manager->isMenuShown());
    EXPECT_EQ(panel->frame().size, (CGSize{100, 90}));

    BLQPreviewModeUIManager::returnPreviewModeAction(PreviewModeAction::captureScreenShot);
    BLQPreviewModeUIManager::returnPreviewModeAction(PreviewModeAction::replyTour);
    EXPECT_EQ(previewMode->commands,
              (std::vector<std::string>{"exitPreviewMode", "captureScreenShot", "replayGuide"}));
}

// The panel clips what it draws to its bounds: every text it shows must lie inside them, in the
// size that the menu or the status gives the panel. The menu's titles keep the default font's own
// size; the banner's texts may shrink and wrap.
TEST_F(PreviewModeUIManagerTest, EveryTextOfThePanelLiesWholeInsideIt) {
    auto panel = shownPanel();
    settle();
    auto host = std::dynamic_pointer_cast<PreviewModePanelView>(panel);
    ASSERT_NE(host, nullptr);
    auto inside = [&](const swiftui::Placed* node) {
        const CGRect frame = node->frame;
        const CGSize bounds = panel->bounds().size;
        return frame.minX() >= 0 && frame.minY() >= 0 && frame.maxX() <= bounds.width &&
               frame.maxY() <= bounds.height;
    };
    auto describe = [](const swiftui::Placed* node) {
        const CGRect f = node->frame;
        return node->node->content().value_or(node->kind()) + " at (" + std::to_string(f.minX()) + ", " +
               std::to_string(f.minY()) + ") - (" + std::to_string(f.maxX()) + ", " +
               std::to_string(f.maxY()) + ")";
    };
    // Every text and every button (the banner and the menu's entries) of the panel.
    auto checkEverything = [&](size_t texts) {
        const swiftui::Placed& root = *host->placedRoot();
        auto shown = root.findAll("Text");
        EXPECT_EQ(shown.size(), texts);
        for (const auto* node : root.findAll("accessibilityIdentifier")) shown.push_back(node);
        for (const auto* node : shown)
            EXPECT_TRUE(inside(node)) << describe(node) << " in a panel of " << panel->bounds().size.width
                                      << " x " << panel->bounds().size.height;
    };

    const auto* banner = host->placedRoot()->findContent("idle");
    ASSERT_NE(banner, nullptr);
    TouchDriver::tap(panel, CGPoint{banner->frame.midX(), banner->frame.midY()});
    Clock::advance(0.15);
    settle();
    {
        SCOPED_TRACE("menu");
        checkEverything(3);
        auto texts = host->placedRoot()->findAll("Text");
        for (const char* title : {"Capture Screenshot", "Replay Tip/Tour", "Exit Preview Mode"}) {
            auto text = std::find_if(texts.begin(), texts.end(), [&](const swiftui::Placed* node) {
                return node->node->content() == title;
            });
            ASSERT_NE(text, texts.end()) << title;
            TextStyle style;
            style.font = swiftui::Font::body().uiFont();
            EXPECT_NEAR((*text)->frame.size.width, TextLayout::measure(title, style, 0).width, 0.01)
                << title << " at the default font's own size, on one line";
        }
    }
    banner = host->placedRoot()->findContent("idle");
    TouchDriver::tap(panel, CGPoint{banner->frame.midX(), banner->frame.midY()});
    settle();
    ASSERT_FALSE(manager->isMenuShown());

    const std::vector<std::tuple<State, std::string, std::string>> statuses = {
        {State::takingScreenshot, "", "Taking Screenshot"},
        {State::screenshotError, "", "#Error on Screenshot!"},
        {State::screenshotsuccess, "", "Screenshot saved successfully"},
        {State::noConnection, "", "Unstable Connection"},
        {State::targetNotVisible, "", "Target not visible"},
        {State::nothingtodisplay, "", "Nothing to display"},
        {State::guideOnAnotherscreen, "Please go to CheckoutConfirmationViewController to see the Guide", ""},
        {State::tipDoesnotfitScreen, "Not enough space to show guide", ""},
        {State::noOnDemand, "OnDemand Guides not available during preview mode", ""},
    };
    for (const auto& [state, custom, message] : statuses) {
        SCOPED_TRACE(identifier(state));
        manager->receiveUpdated(state, custom);
        settle();
        ASSERT_NE(host->placedRoot()->findContent(custom.empty() ? message : custom), nullptr);
        checkEverything(1);
    }
}

TEST_F(PreviewModeUIManagerTest, EveryPanelIconIsAmongTheResources) {
    testsupport::installResourceBundle();
    for (const char* name : {"qx_camera", "qx_exit", "qx_refresh", "qx_logo_white", "qx_backup", "qx_alert",
                             "qx_check_circle", "qx_sync", "qx_play_arrow", "qx_cloud_off", "qx_pause",
                             "qx_system_update", "qx_developer_mode", "qx_sync_problem", "qx_link_off"}) {
        auto image = manager->getLocalImage(name);
        ASSERT_NE(image, nullptr) << name;
        EXPECT_EQ(image->size(), (CGSize{20, 20})) << name;
        ASSERT_NE(image->cgImage(), nullptr);
    }
    EXPECT_EQ(manager->getLocalImage("qx_nothing"), nullptr);
}

}  // namespace
}  // namespace brindlecue
