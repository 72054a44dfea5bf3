#include "DemoHost.h"

#include "facade/Brindlecue.h"
#include "feed/BLQGuidePayload.h"
#include "feed/KJTipElement.h"
#include "feed/KJTipTextElement.h"
#include "foundation/BrindlecueContainer.h"
#include "platform/graphics/CGContext.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITabBar.h"
#include "platform/uikit/UITabBarItem.h"
#include "platform/uikit/UITableViewCell.h"
#include "presentation/KJBaseTipViewController.h"

namespace brindlecue::demo {

using namespace platform;

namespace {

const UIColor kBrand(0.17, 0.42, 0.85);
const UIColor kPaper(0.96, 0.96, 0.98);

// Runs a block when a control is tapped.
class Action final : public NSObject {
public:
    explicit Action(std::function<void()> block) : block_(std::move(block)) {}
    std::string className() const override { return "ShopAction"; }
    void fire() {
        if (block_) block_();
    }

private:
    std::function<void()> block_;
};

void onTap(const std::shared_ptr<UIControl>& control, std::function<void()> block) {
    auto action = make<Action>(std::move(block));
    control->addTarget(action, makeSelector("fire", &Action::fire), UIControlEventTouchUpInside);
    // The control holds its targets weakly: the action lives as long as the control.
    control->setAssociatedObject("shop.action", action);
}

// A round avatar with the user's initials.
std::shared_ptr<UIImage> avatar(double side) {
    UIGraphicsBeginImageContextWithOptions({side, side}, false, 2);
    auto ctx = UIGraphicsGetCurrentContext();
    ctx->setFillColor(UIColor(0.98, 0.62, 0.25));
    ctx->addEllipseInRect(CGRect(0, 0, side, side));
    ctx->fillPath();
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

std::shared_ptr<UIView> card(CGRect frame, UIColor color) {
    auto view = make<UIView>(frame);
    view->setBackgroundColor(color);
    view->layer()->cornerRadius = 14;
    return view;
}

}  // namespace

std::shared_ptr<UIButton> makeButton(const std::string& title, const std::string& identifier, CGRect frame,
                                     UIColor color, std::function<void()> action) {
    auto button = UIButton::buttonWithType(UIButtonType::Custom);
    button->setFrame(frame);
    button->setTitle(title, UIControlStateNormal);
    button->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    button->titleLabel()->setFont(UIFont::boldSystemFontOfSize(16));
    button->setBackgroundColor(color);
    button->layer()->cornerRadius = 10;
    button->setAccessibilityIdentifier(identifier);
    if (action) onTap(button, std::move(action));
    return button;
}

std::shared_ptr<UILabel> makeLabel(const std::string& text, CGRect frame, double size, bool bold,
                                   UIColor color) {
    auto label = make<UILabel>(frame);
    label->setText(text);
    label->setFont(bold ? UIFont::boldSystemFontOfSize(size) : UIFont::systemFontOfSize(size));
    label->setTextColor(color);
    label->setNumberOfLines(0);
    return label;
}

// ---- Home ---------------------------------------------------------------------------------------

void HomeViewController::viewDidLoad() {
    BrindlecueBaseViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(kPaper);
    root->addSubview(makeLabel("Good morning, Sam", CGRect(20, 60, 335, 36), 28, true));
    root->addSubview(
        makeLabel("What would you like today?", CGRect(20, 98, 335, 22), 16, false, UIColor(0.4, 0.4, 0.45)));

    auto deals = card(CGRect(20, 140, 335, 150), kBrand);
    deals->addSubview(makeLabel("Today's deals", CGRect(18, 16, 300, 28), 22, true, UIColor::whiteColor()));
    deals->addSubview(makeLabel("Up to 40% off on kitchen and garden", CGRect(18, 48, 300, 40), 15, false,
                                UIColor(0.9, 0.93, 1.0)));
    root->addSubview(deals);
    std::weak_ptr<HomeViewController> weak = sharedAs<HomeViewController>();
    dealsButton =
        makeButton("See deals", "dealsButton", CGRect(38, 236, 130, 40), UIColor(0.98, 0.62, 0.25), nullptr);
    root->addSubview(dealsButton);

    buyButton =
        makeButton("Buy again", "buyButton", CGRect(20, 316, 160, 48), UIColor(0.2, 0.65, 0.4), [weak] {
            if (auto self = weak.lock()) ++self->purchases;
        });
    root->addSubview(buyButton);
    helpButton = makeButton("Help", "helpButton", CGRect(195, 316, 160, 48), UIColor(0.45, 0.45, 0.5), [] {
        // The app starts the shipping guide when the user asks for help.
        Brindlecue::sharedInstance()->showOnDemandGuide("c-shipping");
    });
    root->addSubview(helpButton);

    for (int i = 0; i < 3; ++i) {
        static const char* names[] = {"Garden chair", "Tea kettle", "Desk lamp"};
        static const char* prices[] = {"$49", "$24", "$35"};
        auto row = card(CGRect(20, 384 + i * 72, 335, 60), UIColor::whiteColor());
        row->addSubview(makeLabel(names[i], CGRect(16, 18, 220, 24), 17, true));
        row->addSubview(makeLabel(prices[i], CGRect(260, 18, 60, 24), 17, false, kBrand));
        root->addSubview(row);
    }
}

// ---- Orders -------------------------------------------------------------------------------------

void OrdersViewController::viewDidLoad() {
    BrindlecueBaseTableViewController::viewDidLoad();
    tableView()->setBackgroundColor(kPaper);
}

std::shared_ptr<UIView> OrdersViewController::tableViewViewForHeaderInSection(UITableView&, int64_t) {
    auto header = make<UIView>(CGRect(0, 0, 375, 88));
    header->setBackgroundColor(kPaper);
    header->addSubview(makeLabel("Your orders", CGRect(20, 44, 220, 36), 28, true));
    if (!filterButton)
        filterButton = makeButton("Filter", "filterButton", CGRect(265, 46, 90, 34), kBrand, nullptr);
    header->addSubview(filterButton);
    return header;
}

namespace {

// An order: its number on the left, its state on the right.
class OrderCell final : public UITableViewCell {
public:
    OrderCell() : UITableViewCell(UITableViewCellStyle::Default, "order") {}
    std::string className() const override { return "ShopOrderCell"; }
    void setFrame(const CGRect& frame) override {
        UITableViewCell::setFrame(frame);
        state()->setFrame(CGRect(std::max(0.0, frame.width() - 156), 0, 140, frame.height()));
    }
    std::shared_ptr<UILabel> state() {
        if (!state_) {
            state_ = makeLabel("", CGRect(), 15, false, UIColor(0.4, 0.4, 0.45));
            state_->setTextAlignment(NSTextAlignment::Right);
            contentView()->addSubview(state_);
        }
        return state_;
    }

private:
    std::shared_ptr<UILabel> state_;
};

}  // namespace

std::shared_ptr<UITableViewCell> OrdersViewController::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
    auto cell = std::dynamic_pointer_cast<OrderCell>(table.dequeueReusableCellWithIdentifier("order"));
    if (!cell) cell = make<OrderCell>();
    static const char* states[] = {"Delivered", "On its way", "Preparing"};
    cell->textLabel()->setText("Order #" + std::to_string(1040 - path.row));
    cell->state()->setText(states[path.row % 3]);
    cell->state()->setTextColor(path.row % 3 == 0 ? UIColor(0.2, 0.6, 0.35) : UIColor(0.85, 0.5, 0.1));
    cell->setAccessibilityIdentifier("order-" + std::to_string(path.row));
    return cell;
}

// ---- Profile ------------------------------------------------------------------------------------

void ProfileViewController::viewDidLoad() {
    BrindlecueBaseViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(kPaper);
    auto picture = make<UIImageView>(CGRect(20, 64, 88, 88));
    picture->setImage(avatar(88));
    root->addSubview(picture);
    root->addSubview(makeLabel("SK", CGRect(20, 90, 88, 36), 30, true, UIColor::whiteColor()));
    root->subviews().back()->setUserInteractionEnabled(false);
    std::static_pointer_cast<UILabel>(root->subviews().back())->setTextAlignment(NSTextAlignment::Center);
    root->addSubview(makeLabel("Sam Kowalski", CGRect(124, 76, 230, 30), 24, true));
    root->addSubview(
        makeLabel("Member since 2023", CGRect(124, 108, 230, 20), 15, false, UIColor(0.4, 0.4, 0.45)));
    editButton = makeButton("Edit profile", "editProfile", CGRect(20, 176, 160, 44), kBrand, nullptr);
    root->addSubview(editButton);
    upgradeButton =
        makeButton("Go Gold", "upgradeButton", CGRect(195, 176, 160, 44), UIColor(0.85, 0.65, 0.13), [] {
            // The app tells the library the user's plan; campaigns for gold members wait for it.
            Brindlecue::sharedInstance()->tagString("gold", "plan");
        });
    root->addSubview(upgradeButton);
    const char* rows[] = {"Addresses", "Payment methods", "Notifications", "Privacy"};
    for (int i = 0; i < 4; ++i) {
        auto row = card(CGRect(20, 244 + i * 60, 335, 50), UIColor::whiteColor());
        row->addSubview(makeLabel(rows[i], CGRect(16, 14, 300, 22), 17));
        root->addSubview(row);
    }
}

// ---- Carousel component -------------------------------------------------------------------------

CarouselComponent::CarouselComponent() {
    auto& center = NotificationCenter::defaultCenter();
    observers_.push_back(center.addObserver(KJBaseTipViewController::kCarouselLayoutNotification, nullptr,
                                            nullptr, [this](const Notification& n) { layout(n); }));
    observers_.push_back(center.addObserver(KJBaseTipViewController::kCarouselNextNotification, nullptr,
                                            nullptr, [this](const Notification& n) {
                                                const std::string* step = n.userInfo()["stepId"].getString();
                                                if (step) showPage(static_cast<size_t>(std::stoul(*step)));
                                            }));
}

CarouselComponent::~CarouselComponent() {
    for (const auto& observer : observers_) NotificationCenter::defaultCenter().removeObserver(observer);
}

void CarouselComponent::layout(const Notification& notification) {
    auto found = notification.objects().find("view");
    if (found == notification.objects().end()) return;
    view_ = std::static_pointer_cast<UIView>(found->second);
    pages_ = notification.userInfo()["tip"]["items"];
    objects_ = notification.objects();
    showPage(0);
}

// One page of the carousel: title, text, page dots and the page's button, laid out in whatever
// room the step's content view gets.
class CarouselPage final : public UIView {
public:
    using UIView::UIView;
    std::string className() const override { return "ShopCarouselPage"; }
    void layoutSubviews() override {
        UIView::layoutSubviews();
        const double width = bounds().width();
        title->setFrame(CGRect(16, 20, std::max(0.0, width - 32), 30));
        text->setFrame(CGRect(16, 58, std::max(0.0, width - 32), 44));
        const double dotsWidth = static_cast<double>(dots.size()) * 16;
        for (size_t i = 0; i < dots.size(); ++i)
            dots[i]->setFrame(CGRect((width - dotsWidth) / 2 + static_cast<double>(i) * 16 + 4, 116, 8, 8));
        if (button) button->setFrame(CGRect((width - buttonWidth) / 2, 140, buttonWidth, 40));
    }
    std::shared_ptr<UILabel> title, text;
    std::vector<std::shared_ptr<UIView>> dots;
    std::shared_ptr<UIButton> button;
    double buttonWidth = 140;
};

void CarouselComponent::showPage(size_t index) {
    auto view = view_.lock();
    const Array* pages = pages_.getArray();
    if (!view || !pages || index >= pages->size()) return;
    for (const auto& subview : std::vector<std::shared_ptr<UIView>>(view->subviews()))
        if (subview->tag() == 7100) subview->removeFromSuperview();
    const Value& page = (*pages)[index];
    auto holder = make<CarouselPage>(view->bounds());
    holder->setTag(7100);
    holder->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    auto text = [&](const char* key) {
        const std::string* value = page[key].getString();
        return value ? *value : std::string();
    };
    holder->title = makeLabel(text("titleText"), CGRect(), 22, true);
    holder->title->setTextAlignment(NSTextAlignment::Center);
    holder->addSubview(holder->title);
    holder->text = makeLabel(text("contentText"), CGRect(), 15, false, UIColor(0.3, 0.3, 0.35));
    holder->text->setTextAlignment(NSTextAlignment::Center);
    holder->addSubview(holder->text);
    for (size_t i = 0; i < pages->size(); ++i) {
        auto dot = make<UIView>(CGRect());
        dot->setBackgroundColor(i == index ? kBrand : UIColor(0.8, 0.8, 0.85));
        dot->layer()->cornerRadius = 4;
        holder->addSubview(dot);
        holder->dots.push_back(dot);
    }
    auto button = objects_.find("items." + std::to_string(index) + ".button_obj");
    if (button != objects_.end()) {
        holder->button = std::static_pointer_cast<UIButton>(button->second);
        if (page["button_width"].doubleValue() > 0) holder->buttonWidth = page["button_width"].doubleValue();
        holder->addSubview(holder->button);
        pageButton_ = holder->button;
    }
    view->addSubview(holder);
    holder->setNeedsLayout();
    ++pagesShown_;
}

// ---- Banner guide -------------------------------------------------------------------------------

void BannerGuide::presentGuideBlockWithBrindlecueContainer(
    const std::shared_ptr<BrindlecueContainer>& container,
    const std::shared_ptr<UIViewController>& viewController, PresentCompletion success,
    PresentCompletion failure) {
    auto step = container && container->guidePayload() ? container->guidePayload()->guide() : nullptr;
    auto window = UIApplication::sharedApplication()->keyWindow();
    if (!step || !window) {
        if (failure) failure(container ? container->guidePayload() : nullptr);
        return;
    }
    ++presented;
    auto text = [](const std::shared_ptr<KJTipTextElement>& element) {
        return element && element->text ? *element->text : std::string();
    };
    auto banner = card(CGRect(12, 52, 351, 132), UIColor(0.12, 0.12, 0.16));
    banner->layer()->shadowOpacity = 0.3;
    banner->layer()->shadowRadius = 8;
    banner->addSubview(
        makeLabel(text(step->title), CGRect(16, 14, 319, 26), 19, true, UIColor::whiteColor()));
    banner->addSubview(
        makeLabel(text(step->content), CGRect(16, 44, 319, 40), 14, false, UIColor(0.85, 0.85, 0.9)));
    std::weak_ptr<BannerGuide> weak = weak_from_this();
    auto button =
        makeButton("Show me", "bannerNext", CGRect(219, 86, 116, 34), UIColor(0.98, 0.62, 0.25), [weak] {
            if (auto self = weak.lock()) self->nextStepOfGuide();
        });
    banner->addSubview(button);
    window->addSubview(banner);
    banner_ = banner;
    button_ = button;
    if (success) success(container->guidePayload());
}

void BannerGuide::isDismissingGuide() {
    if (auto banner = banner_.lock()) banner->removeFromSuperview();
}

// ---- The app ------------------------------------------------------------------------------------

void ShopApp::registerClasses() {
    static const bool registered = [] {
        ClassRegistry::registerClass("ShopAppDelegate", "NSObject");
        ClassRegistry::registerClass("HomeViewController", "BrindlecueBaseViewController");
        ClassRegistry::registerClass("ProfileViewController", "BrindlecueBaseViewController");
        ClassRegistry::registerClass("OrdersViewController", "BrindlecueBaseTableViewController");
        // The carousel component the library looks for.
        ClassRegistry::registerClass("KJCarouselBridge", "NSObject");
        return true;
    }();
    (void)registered;
}

bool ShopApp::applicationDidFinishLaunchingWithOptions(UIApplication& app, const Value&) {
    registerClasses();
    carousel = std::make_unique<CarouselComponent>();
    window = make<UIWindow>(UIScreen::mainScreen()->bounds());
    home = make<HomeViewController>();
    home->setTabBarItem(UITabBarItem::withTitle("Home", nullptr, 0));
    orders = make<OrdersViewController>();
    orders->setTabBarItem(UITabBarItem::withTitle("Orders", nullptr, 1));
    profile = make<ProfileViewController>();
    profile->setTabBarItem(UITabBarItem::withTitle("Profile", nullptr, 2));
    tabs = make<UITabBarController>();
    tabs->setViewControllers({home, orders, profile});
    window->setRootViewController(tabs);
    window->makeKeyAndVisible();

    // The library: started with the app key; the banner guide block registered under its key.
    auto library = Brindlecue::sharedInstance();
    banner = std::make_shared<BannerGuide>();
    library->registerGuideBlock(banner, kBannerGuideKey);
    library->registerInstallForApp(kAppKey, false, [this] { started = true; });
    return true;
}

void ShopApp::selectTab(size_t index) {
    tabs->setSelectedIndex(index);
}

}  // namespace brindlecue::demo
