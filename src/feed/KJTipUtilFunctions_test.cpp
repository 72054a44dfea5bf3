#include "feed/KJTipUtilFunctions.h"

#include <gtest/gtest.h>

#include "feed/KJTipElement.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIViewAnimationRecorder.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue {
namespace {

using namespace platform;

class KJTipUtilFunctions : public testing::Test {
protected:
    void TearDown() override {
        for (const auto& w : UIApplication::sharedApplication()->windows()) w->setHidden(true);
    }
    std::shared_ptr<UIWindow> keyWindow(std::shared_ptr<UIViewController> root = nullptr) {
        auto window = make<UIWindow>(CGRect{0, 0, 390, 844});
        if (root) window->setRootViewController(root);
        window->makeKeyAndVisible();
        return window;
    }
    static std::shared_ptr<UIButton> launcher(const std::string& id, int64_t tag = kKJLauncherButtonTag) {
        auto button = UIButton::buttonWithType(UIButtonType::Custom);
        button->setTag(tag);
        if (!id.empty()) button->setAssociatedValue(kKJLauncherIDKey, Value(id));
        return button;
    }
};

TEST_F(KJTipUtilFunctions, LauncherButtonsOnTheKeyWindow) {
    EXPECT_TRUE(getLauncherButtonID().empty());  // no key window
    auto window = keyWindow();
    auto first = launcher("feed-1");
    auto untagged = launcher("feed-9", 5);
    auto unnamed = launcher("");
    auto second = launcher("feed-2");
    auto nested = launcher("feed-3");
    auto plainView = make<UIView>();
    plainView->setTag(kKJLauncherButtonTag);
    plainView->setAssociatedValue(kKJLauncherIDKey, Value("feed-4"));
    for (const auto& v : std::vector<std::shared_ptr<UIView>>{first, untagged, unnamed, second, plainView}) {
        window->addSubview(v);
    }
    second->addSubview(nested);
    auto another = launcher("feed-1");
    window->addSubview(another);

    EXPECT_EQ(getLauncherButtonID(), (std::vector<std::string>{"feed-1", "feed-2", "feed-1"}));
    dismissALauncherButton("feed-1");
    EXPECT_FALSE(first->superview());
    EXPECT_FALSE(another->superview());
    EXPECT_EQ(second->superview(), window);
    EXPECT_EQ(getLauncherButtonID(), (std::vector<std::string>{"feed-2"}));
}

TEST_F(KJTipUtilFunctions, NavigationLookups) {
    EXPECT_EQ(getNavigationController(), nullptr);
    auto root = make<UIViewController>();
    auto navigation = make<UINavigationController>(root);
    auto window = keyWindow(navigation);
    EXPECT_EQ(getNavigationController(), navigation);
    window->setHidden(true);

    auto plain = make<UIViewController>();
    keyWindow(plain);
    EXPECT_EQ(getNavigationController(), nullptr);

    auto bar = make<UINavigationBar>();
    auto holder = make<UIView>();
    auto item = make<UIView>();
    bar->addSubview(holder);
    holder->addSubview(item);
    EXPECT_EQ(getAWidgetOfNaviagtionBar(item), bar);
    EXPECT_EQ(getAWidgetOfNaviagtionBar(bar), nullptr);  // the view itself does not count
    EXPECT_EQ(getAWidgetOfNaviagtionBar(nullptr), nullptr);

    EXPECT_TRUE(ancestorHasViewClass("UINavigationBar", item));
    EXPECT_TRUE(ancestorHasViewClass("UIView", item));
    EXPECT_FALSE(ancestorHasViewClass("UINavigationBar", bar));
    EXPECT_FALSE(ancestorHasViewClass("NoSuchClass", item));
}

TEST_F(KJTipUtilFunctions, GlowFlashesOrFadesAndPulses) {
    UIViewAnimationRecorder::reset();
    auto view = make<UIView>(CGRect{0, 0, 40, 40});
    glowingWidget(view, Color{0, 0, 0, 1}, true, false);
    EXPECT_TRUE(UIViewAnimationRecorder::records().empty());  // no pulse
    auto layer = view->layer();
    EXPECT_EQ(layer->shadowOpacity, 2.0);
    auto keyframes = std::dynamic_pointer_cast<CAKeyframeAnimation>(layer->animationForKey("shadowOpacity"));
    ASSERT_TRUE(keyframes);
    EXPECT_EQ(keyframes->values, (std::vector<Value>{Value(2.0), Value(0.3), Value(2.0)}));
    EXPECT_EQ(keyframes->keyTimes, (std::vector<double>{0, 0.333, 1}));
    EXPECT_EQ(keyframes->repeatCount, CAAnimation::HUGE_REPEAT);

    auto fading = make<UIView>(CGRect{0, 0, 40, 40});
    glowingWidget(fading, Color{1, 0, 0, 1}, false, true);
    auto fade =
        std::dynamic_pointer_cast<CABasicAnimation>(fading->layer()->animationForKey("shadowOpacity"));
    ASSERT_TRUE(fade);
    EXPECT_EQ(fade->fromValue, Value(2.0));
    EXPECT_EQ(fade->toValue, Value(0.3));
    EXPECT_EQ(fading->layer()->shadowOpacity, 0.3);
    ASSERT_EQ(UIViewAnimationRecorder::records().size(), 1u);
    const auto& pulse = UIViewAnimationRecorder::records().front();
    EXPECT_EQ(pulse.options, UIViewAnimationOptionAllowUserInteraction |
                                 UIViewAnimationOptionBeginFromCurrentState | UIViewAnimationOptionRepeat |
                                 UIViewAnimationOptionAutoreverse);
}

TEST_F(KJTipUtilFunctions, CachedCampaignsByFeedIdAndSmallHelpers) {
    auto step = [](const char* feedId) {
        auto s = std::make_shared<KJTipElement>();
        if (feedId) s->feed_id = feedId;
        return s;
    };
    std::vector<std::shared_ptr<KJTipElement>> cached{step("a"), step("b"), step(nullptr), step("b")};
    auto one = getCacheFeed("a", cached);
    EXPECT_EQ(one.campaign, cached[0]);
    auto none = getCacheFeed("z", cached);
    EXPECT_FALSE(none.campaign);
    EXPECT_TRUE(none.matches.empty());
    std::vector<std::string> lines;
    KJLogSetObserver([&](int, const std::string& line) { lines.push_back(line); });
    auto two = getCacheFeed("b", cached);
    KJLogSetObserver(nullptr);
    EXPECT_FALSE(two.campaign);
    EXPECT_EQ(two.matches, (std::vector<std::shared_ptr<KJTipElement>>{cached[1], cached[3]}));
    EXPECT_EQ(lines, std::vector<std::string>{"logic error: cache contains multiple same feeds"});

    EXPECT_EQ(reverseArray(std::optional<std::vector<int>>({1, 2, 3})), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(reverseArray(std::optional<std::vector<int>>(std::vector<int>{})), std::vector<int>{});
    EXPECT_FALSE(reverseArray(std::optional<std::vector<int>>()));
    EXPECT_TRUE(isNullNil(Value()));
    EXPECT_TRUE(isNullNil(Value::null()));
    EXPECT_FALSE(isNullNil(Value("")));
}

}  // namespace
}  // namespace brindlecue
