#include "preview/PreviewModeView.h"

#include <gtest/gtest.h>

#include "platform/dispatch/Clock.h"
#include "platform/uikit/TouchDriver.h"
#include "preview/PreviewModeHostingController.h"
#include "preview/PreviewNotification.h"
#include "preview/PreviewScene_test.h"

namespace brindlecue {
namespace {

using namespace platform;
using namespace previewscene;
using State = BLQPreviewModeNotificationState;

// The overlay view hosted in a panel on a key window, resized as its reports ask, with the
// facade's preview-mode manager handing out named icons.
class PreviewModeViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        BLQFacadeLink::setPreviewModeManager(icons);
        window = make<UIWindow>(CGRect(0, 0, 390, 844));
        window->makeKeyAndVisible();
        overlay.environmentObject(model);
        controller = make<PreviewModeHostingController>(overlay);
        panel = controller->panelView();
        std::weak_ptr<UIView> weak = panel;
        auto relayout = [weak] {
            if (auto v = weak.lock()) v->setNeedsLayout();
        };
        overlay.setStatesChanged(relayout);
        observation = model->observeWillChange(relayout);
        panel->setFrame(CGRect(65, 100, 100, 90));
        window->addSubview(panel);
        settle();
    }
    void TearDown() override {
        window->setHidden(true);
        BLQFacadeLink::setPreviewModeManager(nullptr);
    }

    void settle() { RunLoop::main().runUntilIdle(); }
    const swiftui::Placed& placed() { return *panel->placedRoot(); }
    // The placed node whose content is the text (a text, an image name or an identifier).
    const swiftui::Placed* find(const std::string& content) { return placed().findContent(content); }
    CGPoint centre(const swiftui::Placed* node) { return {node->frame.midX(), node->frame.midY()}; }
    const swiftui::Placed* banner() {
        auto ids = placed().findAll("accessibilityIdentifier");
        return ids.empty() ? nullptr : ids.front();
    }
    void tap(const swiftui::Placed* node) {
        ASSERT_NE(node, nullptr);
        TouchDriver::tap(panel, centre(node));
        settle();
    }
    void setStatus(State state, const std::string& custom = "") {
        auto look = previewNotification(state, overlay.states().isMenuShown);
        model->message.set(look->message.get());
        model->icon.set(look->icon.get());
        model->state.set(state);
        model->duration.set(look->duration.get());
        model->customMessage.set(custom);
        // The host sizes the panel for the status, as the view would ask.
        panel->setFrame(CGRect(panel->frame().origin, size(overlay.currentFrameMode())));
        settle();
    }

    std::shared_ptr<RecordingPreviewMode> icons = std::make_shared<RecordingPreviewMode>();
    std::shared_ptr<PreviewNotification> model = std::make_shared<PreviewNotification>();
    std::vector<std::string> reports;
    PreviewModeView overlay{
        [this](PreviewModeBackgroundFrame mode, bool open) {
            reports.push_back("position " + std::to_string(int(mode)) + (open ? " open" : " closed"));
            panel->setFrame(CGRect(panel->frame().origin, size(mode)));
        },
        [this](PreviewModeAction action) { reports.push_back("action " + std::to_string(int(action))); }};
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<PreviewModeHostingController> controller;
    std::shared_ptr<PreviewModePanelView> panel;
    std::shared_ptr<void> observation;
};

TEST_F(PreviewModeViewTest, IdleBannerOpensTheMenuRowByRowAndClosesIt) {
    ASSERT_NE(banner(), nullptr);
    EXPECT_EQ(banner()->node->content(), "idle");
    EXPECT_EQ(centre(banner()), (CGPoint{50, 45}));
    // The 20-point icon alone in a button at least 40 wide, 15 points either side.
    EXPECT_EQ(banner()->frame.size, (CGSize{70, 48}));
    EXPECT_NE(find("qx_logo_white"), nullptr);
    EXPECT_TRUE(placed().findAll("Text").empty());

    tap(banner());
    EXPECT_EQ(reports, std::vector<std::string>{"position 1 open"});
    EXPECT_EQ(panel->frame(), CGRect(65, 100, 260, 270));
    EXPECT_NE(find("Exit Preview Mode"), nullptr) << "the exit row shows at once";
    EXPECT_EQ(find("Replay Tip/Tour"), nullptr);
    Clock::advance(0.1);
    settle();
    EXPECT_NE(find("Replay Tip/Tour"), nullptr);
    EXPECT_EQ(find("Capture Screenshot"), nullptr);
    Clock::advance(0.05);
    settle();
    EXPECT_NE(find("Capture Screenshot"), nullptr);
    auto columns = placed().findAll("VStack");
    ASSERT_EQ(columns.size(), 1u);
    EXPECT_EQ(centre(columns.front()), (CGPoint{140, 185}));
    EXPECT_EQ(centre(banner()), (CGPoint{50, 45})) << "the banner stays where it was";

    tap(banner());
    EXPECT_EQ(reports.back(), "position 0 closed");
    EXPECT_EQ(panel->frame(), CGRect(65, 100, 100, 90));
    EXPECT_EQ(find("Exit Preview Mode"), nullptr);
    EXPECT_EQ(find("Capture Screenshot"), nullptr);

    // Closed again before the delayed rows are due: they stay hidden.
    tap(banner());
    Clock::advance(0.05);
    settle();
    tap(banner());
    Clock::advance(0.2);
    settle();
    EXPECT_FALSE(overlay.states().showMenuItems1 || overlay.states().showMenuItems2 ||
                 overlay.states().showMenuItems3);
    EXPECT_EQ(find("Replay Tip/Tour"), nullptr);
}

TEST_F(PreviewModeViewTest, AMessageShowsBesideTheIconAndATapDismissesIt) {
    setStatus(State::noConnection);
    ASSERT_NE(find("Unstable Connection"), nullptr);
    EXPECT_EQ(banner()->node->content(), "noConnection");
    EXPECT_NEAR(centre(banner()).x, 90, 1e-9) << "moved 40 points right";
    EXPECT_EQ(overlay.currentFrameMode(), PreviewModeBackgroundFrame::expandX);
    // The trailing padding is 20 with a message text: the text ends 20 points before the edge.
    const swiftui::Placed* text = find("Unstable Connection");
    EXPECT_NEAR(banner()->frame.maxX() - text->frame.maxX(), 20, 0.05);
    EXPECT_LE(banner()->frame.maxX(), 200) << "inside the 200-point panel of its mode";

    tap(banner());
    EXPECT_EQ(reports, std::vector<std::string>{"position 0 closed"}) << "the menu did not open";
    EXPECT_EQ(model->state.get(), State::idle);
    EXPECT_EQ(model->message.get(), PreviewModeMessage::nomessage);
    EXPECT_EQ(find("Unstable Connection"), nullptr);
}

TEST_F(PreviewModeViewTest, ACustomMessageShowsWithoutMessageTextAndATapOpensTheMenu) {
    const std::string custom = "Please go to CheckoutConfirmationViewController to see the Guide";
    setStatus(State::idle, custom);
    const swiftui::Placed* text = find(custom);
    ASSERT_NE(text, nullptr);
    EXPECT_NEAR(centre(banner()).x, 140, 1e-9) << "moved 90 points right";
    EXPECT_NEAR(banner()->frame.maxX() - text->frame.maxX(), 15, 0.05) << "no message text: trailing 15";
    // A long custom message shrinks and wraps to stay inside the 300 x 70 panel; its two lines
    // take room from the paddings above and below it.
    EXPECT_GE(banner()->frame.minX(), 0);
    EXPECT_LE(banner()->frame.maxX(), 300);
    EXPECT_GT(text->frame.size.height, 25) << "two lines";
    EXPECT_GE(banner()->frame.minY(), 0);
    EXPECT_LE(banner()->frame.maxY(), 70);

    tap(banner());
    EXPECT_EQ(reports, std::vector<std::string>{"position 1 open"});
    EXPECT_TRUE(overlay.states().isMenuShown);
    // Under the open menu the message keeps to the open menu's panel.
    ASSERT_NE(find(custom), nullptr);
    EXPECT_GE(banner()->frame.minX(), 0);
    EXPECT_LE(banner()->frame.maxX(), panel->bounds().size.width);
}

TEST_F(PreviewModeViewTest, AMenuEntryClosesTheMenuSetsTheBannerAndReportsItsAction) {
    setStatus(State::idle, "Please go to Cart to see the Guide");
    tap(banner());
    Clock::advance(0.15);
    settle();
    reports.clear();
    tap(find("Capture Screenshot"));
    EXPECT_EQ(reports, (std::vector<std::string>{"position 3 closed", "action 0"}))
        << "the size mode of the model before the entry's look, then the action";
    EXPECT_FALSE(overlay.states().isMenuShown);
    EXPECT_EQ(model->state.get(), State::takingScreenshot);
    EXPECT_EQ(model->icon.get(), PreviewModeIcon::qx_backup);
    EXPECT_EQ(model->customMessage.get(), "");
    EXPECT_NE(find("Taking Screenshot"), nullptr);

    for (auto [entry, action] :
         {std::pair{"Replay Tip/Tour", "action 1"}, {"Exit Preview Mode", "action 2"}}) {
        if (overlay.bannerText()) tap(banner());  // a message is dismissed first
        tap(banner());
        Clock::advance(0.15);
        settle();
        tap(find(entry));
        EXPECT_EQ(reports.back(), action);
        EXPECT_EQ(model->state.get(), State::idle);
    }
}

TEST_F(PreviewModeViewTest, TheSuccessMessageTurnsIdleOnTheFifthTick) {
    setStatus(State::noConnection);
    Clock::advance(3);
    settle();
    EXPECT_EQ(overlay.states().secondsElapsed, 0) << "only the success message counts";

    setStatus(State::screenshotsuccess);
    for (int tick = 1; tick <= 4; ++tick) {
        Clock::advance(1);
        settle();
        EXPECT_EQ(model->state.get(), State::screenshotsuccess) << "tick " << tick;
    }
    Clock::advance(1);
    settle();
    EXPECT_EQ(model->state.get(), State::idle);
    EXPECT_EQ(overlay.states().secondsElapsed, 1);
    EXPECT_EQ(reports.back(), "position 0 closed");

    // Off screen the timer stops; back on screen a fresh one runs and the menu is closed.
    panel->removeFromSuperview();
    setStatus(State::screenshotsuccess);
    Clock::advance(10);
    settle();
    EXPECT_EQ(model->state.get(), State::screenshotsuccess);
    window->addSubview(panel);
    // The count went on from 1 (another state does not reset it): idle on the fourth tick.
    Clock::advance(3);
    settle();
    EXPECT_EQ(model->state.get(), State::screenshotsuccess);
    Clock::advance(1);
    settle();
    EXPECT_EQ(model->state.get(), State::idle);
}

TEST_F(PreviewModeViewTest, IconsComeFromThePreviewModeManagerWithAFallbackAndThePositionIsPrinted) {
    icons->missing.insert("qx_pause");
    testing::internal::CaptureStdout();
    // A fresh panel prints its position once, after its first layout.
    auto other = make<PreviewModeHostingController>(overlay);
    other->view()->setFrame(CGRect(0, 0, 100, 90));
    other->panelView()->placedRoot();
    other->view()->setNeedsLayout();
    other->panelView()->placedRoot();
    setStatus(State::guideOnAnotherscreen, "Please go to Cart to see the Guide");
    placed();
    std::string out = testing::internal::GetCapturedStdout();
    size_t first = out.find(" currentPosition : (40.0, 40.0)\n");
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(out.find(" currentPosition", first + 1), std::string::npos);
    EXPECT_NE(out.find("ImageName  == qx_pause\n"), std::string::npos);
    EXPECT_NE(find("info.circle.fill"), nullptr);
    EXPECT_EQ(find("qx_pause"), nullptr);
}

}  // namespace
}  // namespace brindlecue
