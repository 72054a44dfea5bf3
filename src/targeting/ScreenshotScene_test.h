#pragma once

// A host app for screenshot tests: a key window showing HomeViewController over a full-screen
// picture of noise (which JPEG cannot squeeze much), a launcher button of the library on the
// window, and recording doubles for the tip engine, the preview-mode manager and the user-event
// manager, published as the facade's.

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "events/BLQIUserEventManager.h"
#include "foundation/BLQFacadeLink.h"
#include "foundation/KJLog.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "preview/BLQIPreviewModeManager.h"
#include "support/StubTipManager.h"
#include "tips/BLQITipViewController.h"

namespace brindlecue::screenshotscene {

using namespace brindlecue::platform;

class Screen final : public UIViewController {
public:
    std::string className() const override { return "HomeViewController"; }
};

// Opaque noise of the size, the same for every seed.
inline std::shared_ptr<UIImage> noiseImage(int width, int height, uint32_t seed = 7) {
    std::mt19937 random(seed);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (auto& p : pixels) p = 0xFF000000u | (random() & 0x00FFFFFFu);
    return UIImage::imageWithCGImage(CGImage::fromPremultipliedARGB(width, height, std::move(pixels), false));
}

class RecordingTipController final : public BLQITipViewController {
public:
    void setTipManager(const std::weak_ptr<BLQITipManager>&) override {}
    void setTip(const std::shared_ptr<KJTipElement>&) override {}
    std::shared_ptr<KJTipElement> tip() const override { return nullptr; }
    void setClickOutsideHandler(OutsideHandler) override {}
    void setClickCloseButtonHandler(CloseHandler) override {}
    void setClickButton1Handler(ButtonHandler) override {}
    void setClickButton2Handler(ButtonHandler) override {}
    void setDismissHandler(DismissHandler) override {}
    std::shared_ptr<UIView> coverView() const override { return nullptr; }
    void presentTipWithCoverView(const std::shared_ptr<UIView>&, const std::shared_ptr<UIWindow>&,
                                 const std::shared_ptr<UIViewController>&, PresentSuccess, PresentFailure) override {}
    void dismissTipWithRemoveCoverView(bool removeCover, bool disableAnimation, std::function<void()> c) override {
        dismissals.push_back({removeCover, disableAnimation, static_cast<bool>(c)});
    }
    void dismissOnTopWithRemoveCover(bool) override {}
    void switchToNextTip(bool, bool) override {}
    std::vector<std::vector<bool>> dismissals;
};

class ScreenEngine final : public testsupport::StubTipManager {
public:
    std::shared_ptr<UIViewController> customerCurrentVC() const override { return screen.lock(); }
    std::optional<std::string> currentRCTViewName() const override { return reactNativeName; }
    std::shared_ptr<BLQITipViewController> currentTipViewController() const override { return tip; }
    void removeFAQLauncher() override { ++faqLauncherRemovals; }

    std::weak_ptr<UIViewController> screen;
    std::optional<std::string> reactNativeName;
    std::shared_ptr<RecordingTipController> tip;
    int faqLauncherRemovals = 0;
};

class RecordingPreviewMode final : public BLQIPreviewModeManager {
public:
    bool isInPreviewMode() const override { return true; }
    void checkIfPreviewModeIsRequiredOrNot(const std::shared_ptr<UIViewController>& c) override {
        std::lock_guard lock(mutex);
        checks.push_back(c == nullptr ? "check without screen" : "check with screen");
    }
    void togglePreviewModeView(bool isHidden) override {
        std::lock_guard lock(mutex);
        toggles.push_back(isHidden);
    }
    std::shared_ptr<UIViewController> previewModeView() override { return nullptr; }
    void receiveUpdated(BLQPreviewModeNotificationState state, const std::string& message) override {
        std::lock_guard lock(mutex);
        states.push_back({static_cast<int>(state), message});
    }
    std::vector<std::pair<int, std::string>> statesSoFar() {
        std::lock_guard lock(mutex);
        return states;
    }
    std::mutex mutex;
    std::vector<std::string> checks;
    std::vector<bool> toggles;
    std::vector<std::pair<int, std::string>> states;
};

// Keeps the error events ({message, description}).
class RecordingUserEvents final : public BLQIUserEventManager {
public:
    void sendUserEventWithCode(int64_t, const std::string&, const Value&) override {}
    void sendUserEventWithCode(int64_t, const std::string&, const Value&, Handler) override {}
    void sendUserEventWithCode(int64_t, const std::shared_ptr<BLQTagDTO>&, const std::string&, const Value&,
                               Handler) override {}
    void sendUserEventErrorWithMessage(const std::string& message, const std::string& description) override {
        std::lock_guard lock(mutex);
        errors.push_back({message, description});
    }
    void sendUserEventErrorWithMessageDetails(const std::string&, const Value&) override {}
    std::vector<std::vector<std::string>> errorsSoFar() {
        std::lock_guard lock(mutex);
        return errors;
    }
    std::mutex mutex;
    std::vector<std::vector<std::string>> errors;
};

class ScreenshotTest : public testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        ClassRegistry::registerClass("HomeViewController", "UIViewController");
        home = make<Screen>();
        window = make<UIWindow>();
        window->setRootViewController(home);
        window->makeKeyAndVisible();
        auto picture = make<UIImageView>(window->bounds());
        picture->setImage(noiseImage(static_cast<int>(window->bounds().size.width),
                                     static_cast<int>(window->bounds().size.height)));
        home->view()->addSubview(picture);
        launcher = make<UIButton>();
        launcher->setTag(888900);
        window->addSubview(launcher);
        RunLoop::main().runUntilIdle();

        engine->screen = home;
        BLQFacadeLink::setTipManager(engine);
        BLQFacadeLink::setPreviewModeManager(previewMode);
        BLQFacadeLink::setUserEventManager(events);
        KJLogSetObserver([this](int, const std::string& line) {
            std::lock_guard lock(linesMutex);
            legacyLines.push_back(line);
        });
    }
    void TearDown() override {
        window->setHidden(true);
        BLQFacadeLink::setTipManager(nullptr);
        BLQFacadeLink::setPreviewModeManager(nullptr);
        BLQFacadeLink::setUserEventManager(nullptr);
    }

    // The alert the screen presents, if any.
    std::shared_ptr<UIAlertController> alertOn(const std::shared_ptr<UIViewController>& screen) const {
        return std::dynamic_pointer_cast<UIAlertController>(screen->presentedViewController());
    }

    std::shared_ptr<Screen> home;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIButton> launcher;
    std::shared_ptr<ScreenEngine> engine = std::make_shared<ScreenEngine>();
    std::shared_ptr<RecordingPreviewMode> previewMode = std::make_shared<RecordingPreviewMode>();
    std::shared_ptr<RecordingUserEvents> events = std::make_shared<RecordingUserEvents>();
    std::mutex linesMutex;
    std::vector<std::string> legacyLines;
};

}  // namespace brindlecue::screenshotscene
