#pragma once

// The scene of the base view controllers' tests: a recorder of the screen notifications they
// post (with what the user defaults said of the page history at each post), a recording
// preview-mode manager, host screen classes, and a fixture that shows screens in a key window
// under the virtual clock and puts the process-wide state back afterwards.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "facade/BLQFacadeLink.h"
#include "facade/BLQHostScreen.h"
#include "facade/BrindlecueBaseCollectionViewController.h"
#include "facade/BrindlecueBaseTableViewController.h"
#include "facade/BrindlecueBaseViewController.h"
#include "feed/BLQIPreviewModeManager.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::hostscreen {

using namespace brindlecue::platform;

using Names = std::vector<std::string>;

// The names of the posts.
constexpr const char* kCustomFeed = BLQHostScreen::kCustomFeedNotification;
constexpr const char* kShowTip = BLQHostScreen::kShowTipNotification;
constexpr const char* kOffScreen = BLQHostScreen::kShowOffScreenTipsNotification;
constexpr const char* kSuperTag = BLQHostScreen::kSuperTagNotification;
constexpr const char* kSuperTagVC = BLQHostScreen::kSuperTagVCNotification;
constexpr const char* kForceDismiss = BLQHostScreen::kForceDismissTipNotification;
constexpr const char* kEnter = BLQHostScreen::kEnterVCNotification;
constexpr const char* kExit = BLQHostScreen::kExitVCNotification;
constexpr const char* kPreviewUpdate = BLQHostScreen::kPreviewTipsUpdatedNotification;
constexpr const char* kSizeChange = BLQHostScreen::kOrientationChangedNotification;

// One post as the recorder saw it.
struct Post {
    std::string name;
    std::shared_ptr<UIViewController> vc;  // under "vc" among the objects
    Value userInfo;
    std::shared_ptr<void> object;
    // The user defaults at the moment of the post.
    std::string enterBack;  // "ENTERBAK_PAGE_HISTORY"
    std::string enterPage;  // "ENTER_PAGE_HISTORY"
    std::string exitPage;   // "EXIT_PAGE_HISTORY"
};

// Records the screen notifications, in order, from its creation to its end.
class PostRecorder {
public:
    PostRecorder() {
        auto& center = NotificationCenter::defaultCenter();
        for (const char* name : {kCustomFeed, kShowTip, kOffScreen, kSuperTag, kSuperTagVC, kForceDismiss,
                                 kEnter, kExit, kPreviewUpdate, kSizeChange}) {
            observers_.push_back(center.addObserver(name, nullptr, nullptr, [this](const Notification& n) {
                auto& defaults = UserDefaults::standard();
                posts.push_back({n.name(), n.object<UIViewController>("vc"), n.userInfo(), n.object(),
                                 defaults.string("ENTERBAK_PAGE_HISTORY").value_or(""),
                                 defaults.string("ENTER_PAGE_HISTORY").value_or(""),
                                 defaults.string("EXIT_PAGE_HISTORY").value_or("")});
            }));
        }
    }
    ~PostRecorder() {
        for (const auto& observer : observers_) NotificationCenter::defaultCenter().removeObserver(observer);
    }
    PostRecorder(const PostRecorder&) = delete;
    PostRecorder& operator=(const PostRecorder&) = delete;

    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& post : posts) out.push_back(post.name);
        return out;
    }
    const Post* find(const std::string& name) const {
        for (const auto& post : posts)
            if (post.name == name) return &post;
        return nullptr;
    }

    std::vector<Post> posts;

private:
    std::vector<std::shared_ptr<NotificationObserver>> observers_;
};

// The preview-mode manager as the screens see it: it counts its checks.
class RecordingPreviewManager final : public BLQIPreviewModeManager {
public:
    bool isInPreviewMode() const override { return inPreviewMode; }
    void checkIfPreviewModeIsRequiredOrNot(const std::shared_ptr<UIViewController>& controller) override {
        checked.push_back(controller);
    }
    void togglePreviewModeView(bool) override {}
    std::shared_ptr<UIViewController> previewModeView() override { return nullptr; }
    void receiveUpdated(BLQPreviewModeNotificationState, const std::string&) override {}

    bool inPreviewMode = false;
    std::vector<std::shared_ptr<UIViewController>> checked;
};

// Host screens.
class ShopHomeController : public BrindlecueBaseViewController {
public:
    static constexpr const char* kName = "ShopHomeController";
    std::string className() const override { return kName; }
};

class ShopListController : public BrindlecueBaseTableViewController {
public:
    static constexpr const char* kName = "ShopListController";
    std::string className() const override { return kName; }
};

class ShopGridController : public BrindlecueBaseCollectionViewController {
public:
    static constexpr const char* kName = "ShopGridController";
    std::string className() const override { return kName; }
};

class HostScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        BLQHostScreen::registerClasses();
        ClassRegistry::registerClass(ShopHomeController::kName, "BrindlecueBaseViewController");
        ClassRegistry::registerClass(ShopListController::kName, "BrindlecueBaseTableViewController");
        ClassRegistry::registerClass(ShopGridController::kName, "BrindlecueBaseCollectionViewController");
    }
    void TearDown() override {
        // Turned back, with the transition's completions run while this test's clock holds them.
        if (UIApplication::sharedApplication()->statusBarOrientation() != UIInterfaceOrientation::Portrait) {
            UIApplication::sharedApplication()->rotateToOrientation(UIDeviceOrientation::Portrait);
            Clock::advance(1.0);
        }
        for (const auto& w : UIApplication::sharedApplication()->windows()) w->setHidden(true);
        RunLoop::main().runUntilIdle();
        UIScreen::mainScreen()->setBounds({0, 0, 375, 812});
        // The library's seams as a process without a facade has them (a facade a test built is
        // taken down by the test runner).
        BLQFacadeLink::setPreviewModeCheck(nullptr);
        BLQFacadeLink::setPreviewModeManager(nullptr);
    }

    // Shows the controller as the root of a new key window (it appears on the next main-queue
    // turn).
    std::shared_ptr<UIWindow> show(const std::shared_ptr<UIViewController>& root) {
        auto window = make<UIWindow>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        RunLoop::main().runUntilIdle();
        return window;
    }

    // Preview mode on, with a recording manager behind it.
    std::shared_ptr<RecordingPreviewManager> enterPreviewMode() {
        auto manager = std::make_shared<RecordingPreviewManager>();
        manager->inPreviewMode = true;
        BLQFacadeLink::setPreviewModeManager(manager);
        BLQFacadeLink::setPreviewModeCheck([manager] { return manager->inPreviewMode; });
        return manager;
    }
};

}  // namespace brindlecue::hostscreen
