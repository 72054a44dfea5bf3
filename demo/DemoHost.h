#pragma once

// Shop, the sample host app: a tab bar with a home screen (buttons, a deals card), an orders list
// (a table) and a profile, each screen derived from the library's host base view controllers. The
// app delegate builds the window and starts the library with its app key; the app carries the
// carousel component the library's carousels need and a custom guide block of its own (a banner).

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "facade/BrindlecueBaseTableViewController.h"
#include "facade/BrindlecueBaseViewController.h"
#include "platform/NotificationCenter.h"
#include "platform/uikit/UIApplicationDelegate.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITabBarController.h"
#include "platform/uikit/UIWindow.h"
#include "tips/BLQBaseGuideController.h"

namespace brindlecue::demo {

// The app key the sample server's scenario knows.
inline constexpr const char* kAppKey = "shop-demo-key";
// The key under which the app registers its banner guide block.
inline constexpr const char* kBannerGuideKey = "shopBanner";

// A button of the app: a filled, rounded button with an accessibility identifier (what the
// campaigns target) and an action.
std::shared_ptr<platform::UIButton> makeButton(const std::string& title, const std::string& identifier,
                                               platform::CGRect frame, platform::UIColor color,
                                               std::function<void()> action);
std::shared_ptr<platform::UILabel> makeLabel(const std::string& text, platform::CGRect frame, double size,
                                             bool bold = false, platform::UIColor color = {0.1, 0.1, 0.12});

// The home screen: a greeting, a deals card with its button, a buy button and a help button.
class HomeViewController final : public BrindlecueBaseViewController {
public:
    std::string className() const override { return "HomeViewController"; }
    void viewDidLoad() override;
    std::shared_ptr<platform::UIButton> dealsButton, buyButton, helpButton;
    int purchases = 0;
};

// The orders list: a table of orders under a header with a filter button.
class OrdersViewController final : public BrindlecueBaseTableViewController {
public:
    std::string className() const override { return "OrdersViewController"; }
    void viewDidLoad() override;
    int64_t tableViewNumberOfRowsInSection(platform::UITableView&, int64_t) override { return 12; }
    std::shared_ptr<platform::UITableViewCell> tableViewCellForRowAtIndexPath(
        platform::UITableView& table, const platform::NSIndexPath& path) override;
    double tableViewHeightForRowAtIndexPath(platform::UITableView&, const platform::NSIndexPath&) override {
        return 64;
    }
    double tableViewHeightForHeaderInSection(platform::UITableView&, int64_t) override { return 88; }
    std::shared_ptr<platform::UIView> tableViewViewForHeaderInSection(platform::UITableView&,
                                                                      int64_t) override;
    std::shared_ptr<platform::UIButton> filterButton;
};

// The profile: an avatar, the user's name, an edit button, an upgrade button (which tags the
// user's plan) and settings rows.
class ProfileViewController final : public BrindlecueBaseViewController {
public:
    std::string className() const override { return "ProfileViewController"; }
    void viewDidLoad() override;
    std::shared_ptr<platform::UIButton> editButton, upgradeButton;
};

// The app's carousel component: the library lays out a carousel step and hands the pages to the
// component the host carries ("KJCarouselBridge"), which draws one page at a time in the step's
// content view and turns to the next page when asked.
class CarouselComponent final {
public:
    CarouselComponent();
    ~CarouselComponent();
    int pagesShown() const { return pagesShown_; }
    std::shared_ptr<platform::UIButton> pageButton() const { return pageButton_.lock(); }

private:
    void layout(const platform::Notification& notification);
    void showPage(size_t index);

    std::vector<std::shared_ptr<platform::NotificationObserver>> observers_;
    std::weak_ptr<platform::UIView> view_;
    platform::Value pages_;
    platform::Notification::ObjectMap objects_;
    std::weak_ptr<platform::UIButton> pageButton_;
    int pagesShown_ = 0;
};

// The app's own guide block: a banner across the top of the screen with the step's title and
// text and a button that moves on.
class BannerGuide final : public BLQBaseGuideController, public std::enable_shared_from_this<BannerGuide> {
public:
    void presentGuideBlockWithBrindlecueContainer(
        const std::shared_ptr<BrindlecueContainer>& container,
        const std::shared_ptr<platform::UIViewController>& viewController, PresentCompletion success,
        PresentCompletion failure) override;
    void isDismissingGuide() override;
    std::shared_ptr<platform::UIView> banner() const { return banner_.lock(); }
    std::shared_ptr<platform::UIButton> button() const { return button_.lock(); }
    int presented = 0;

private:
    std::weak_ptr<platform::UIView> banner_;
    std::weak_ptr<platform::UIButton> button_;
};

// The app: its delegate builds the window and the tabs when it has launched and starts the
// library.
class ShopApp final : public platform::UIApplicationDelegate {
public:
    std::string className() const override { return "ShopAppDelegate"; }
    bool applicationDidFinishLaunchingWithOptions(platform::UIApplication& app,
                                                  const platform::Value& options) override;

    // Registers the app's classes with the platform's class registry (once per process).
    static void registerClasses();
    // Selects a tab the way a tap on the tab bar does.
    void selectTab(size_t index);

    std::shared_ptr<platform::UIWindow> window;
    std::shared_ptr<platform::UITabBarController> tabs;
    std::shared_ptr<HomeViewController> home;
    std::shared_ptr<OrdersViewController> orders;
    std::shared_ptr<ProfileViewController> profile;
    std::unique_ptr<CarouselComponent> carousel;
    std::shared_ptr<BannerGuide> banner;
    // The library's start completion ran (it runs on a global queue).
    std::atomic<bool> started{false};
};

}  // namespace brindlecue::demo
