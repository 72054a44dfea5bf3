#include "presentation/KJTipLauncherElement.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "foundation/KJLog.h"
#include "imaging/KJFLAnimatedImageView.h"
#include "platform/Bundle.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIVisualEffectView.h"
#include "presentation/BLQITipLauncherElement.h"
#include "support/TestGif.h"
#include "support/TestImages.h"
#include "targeting/BLQTargetingAlgorithmV3.h"
#include "targeting/KJTipTargetElement.h"
#include "targeting/UIViewBrindlecueSDK.h"
#include "tips/KJTipTriggers.h"
#include "tips/TipEngineScene_test.h"
#include "uikit-support/UIViewKJMASAdditions.h"

namespace brindlecue::tipscene {
namespace {

std::shared_ptr<KJTipLauncherElement> parse(std::initializer_list<Dictionary::Entry> entries) {
    return KJTipLauncherElement::createFromFeed(Value(Dictionary(entries)));
}

void writeFile(const std::filesystem::path& file, const Data& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A host view of a class of the app (or of React Native, by name).
class NamedView : public UIView {
public:
    NamedView(std::string name, const CGRect& frame) : UIView(frame), name_(std::move(name)) {}
    std::string className() const override { return name_; }

private:
    std::string name_;
};

class FrostedPanel final : public UIVisualEffectView {
public:
    FrostedPanel() : UIVisualEffectView(UIBlurEffect::effectWithStyle(UIBlurEffectStyle::Light)) {}
    std::string className() const override { return "FrostedPanel"; }
};

// A table that notes whether the engine's launcher lock was held when a subview came in.
class LockProbeTable final : public UITableView {
public:
    LockProbeTable() : UITableView(CGRect(0, 400, 375, 200), UITableViewStyle::Plain) {}
    void didAddSubview(const std::shared_ptr<UIView>& subview) override {
        auto lock = BLQFacadeLink::tipManager()->showLauncherBtnClickLock();
        addedUnderLock = !lock->try_lock();
        if (!addedUnderLock) lock->unlock();
    }
    bool addedUnderLock = false;
};

class LauncherTest : public TipEngineTest {
protected:
    void SetUp() override {
        TipEngineTest::SetUp();
        auto resources = Bundle::main()->path() / "BrindlecueResources.bundle";
        writeFile(resources / "help-circled.png", testsupport::makeTestPNG(16, 16));
        writeFile(resources / "animation-pulse.gif",
                  testsupport::makeTestGif(8, 8, {{0, 0, 0, 0, 10, 0}, {0, 0, 0, 0, 10, 1}}, 0));
        root = home->view();
        target = make<UIButton>(CGRect(40, 300, 100, 40));
        root->addSubview(target);
        KJLogSetObserver([this](int, const std::string& line) { logLines.push_back(line); });
    }

    // The first step of a campaign whose launcher is read from the document.
    std::shared_ptr<KJTipElement> stepWithLauncher(std::initializer_list<Dictionary::Entry> launcher,
                                                   const std::string& feedId = "feed-7") {
        auto series = std::make_shared<KJTipSeriesElement>();
        series->feed_id = feedId;
        series->launcher = parse(launcher);
        auto step = std::make_shared<KJTipElement>();
        step->feed_id = feedId;
        step->series = series;
        series->arrayTips.push_back(step);
        campaigns.push_back(series);
        return step;
    }

    std::shared_ptr<UIView> root;
    std::shared_ptr<UIButton> target;
    std::vector<std::shared_ptr<KJTipSeriesElement>> campaigns;
    std::vector<std::string> logLines;
};

TEST(KJTipLauncherElement, ReadsTheLauncherRecordWithItsDefaults) {
    for (auto plain : {parse({}), parse({{"width", "0"}, {"height", "-4"}})}) {
        EXPECT_EQ(std::make_pair(plain->width, plain->height), std::make_pair(32.0, 32.0));
        EXPECT_EQ(plain->image, "icon.png");
        EXPECT_EQ(plain->placement, 0);
        EXPECT_FALSE(plain->glowing);
        EXPECT_FALSE(plain->color);
    }
    auto full = parse({{"file-name", "Alert-Pulse"},
                       {"placement", "left"},
                       {"glowing", "true"},
                       {"width", "40"},
                       {"color", "#FF0000"},
                       {"background-color", "#00FF00"},
                       {"padding-right", 4},
                       {"margin-top", "6"}});
    EXPECT_EQ(full->image, "alert-circled.png") << "alert is looked for before pulse";
    EXPECT_EQ(full->placement, 1);
    EXPECT_TRUE(full->glowing);
    EXPECT_DOUBLE_EQ(full->width, 40);
    EXPECT_DOUBLE_EQ(full->padding.right, 4);
    EXPECT_DOUBLE_EQ(full->margin.top, 6);
    EXPECT_TRUE(
        KJTipLauncherElement::deserializeFromDictionary(full->serializeToDictionary())->isEqual(full.get()));
    EXPECT_EQ(parse({{"file-name", "PULSE"}})->image, "animation-pulse.gif");
    EXPECT_EQ(parse({{"placement", "Left"}})->placement, 0) << "side words are exact";
    EXPECT_FALSE(KJTipLauncherElement::createFromFeed(Value::array({})));

    KJTipLauncherElement::registerWithCampaignModel();
    EXPECT_TRUE(std::dynamic_pointer_cast<KJTipLauncherElement>(
        KJElementClass::createFromFeed(KJTipSeriesElement::kLauncherClassName, Value::dictionary())));
    KJElementClass::registerFactories(KJTipSeriesElement::kLauncherClassName, {});
}

TEST_F(LauncherTest, ALauncherIsATintedGlowingIconButtonBesideItsTarget) {
    auto step = stepWithLauncher({{"file-name", "help"},
                                  {"color", "#FF0000"},
                                  {"glowing", true},
                                  {"placement", "right"},
                                  {"padding-left", 2},
                                  {"padding-right", 4}});
    auto button = KJTipLauncherElement::addLauncherForTip(step, target);
    ASSERT_TRUE(button);
    EXPECT_EQ(button->tag(), BLQITipLauncherElement::kLauncherTag);
    EXPECT_EQ(brindlecueLauncherID(*button), "feed-7");
    EXPECT_EQ(campaigns[0]->triggerControl.lock(), button);
    // A platform class as target: the launcher goes into the host screen's window, to the right
    // of the target (with room there) and centred on it, as the target is taller.
    EXPECT_EQ(button->superview(), window);
    EXPECT_EQ(button->frame(), CGRect(40 + 100 + 5, 300 + 20 - 16, 32, 32));

    // The icon, tinted at one pixel per point, held to the button by the padding: the right
    // padding reaches outward.
    ASSERT_EQ(button->subviews().size(), 1u);
    auto icon = std::dynamic_pointer_cast<KJFLAnimatedImageView>(button->subviews().front());
    ASSERT_TRUE(icon);
    ASSERT_TRUE(icon->image());
    EXPECT_DOUBLE_EQ(icon->image()->scale(), 1);
    const auto pixel = icon->image()->cgImage()->pixelAt(8, 8);
    EXPECT_EQ(std::make_tuple(pixel.r, pixel.g, pixel.b), std::make_tuple(255, 0, 0));
    EXPECT_EQ(button->tintColor(), UIColor::redColor());
    EXPECT_EQ(button->contentEdgeInsets(), (UIEdgeInsets{0, 2, 0, 4}));
    EXPECT_EQ(UIViewKJMASConstraints::mas_installedConstraints(icon).size(), 4u);
    EXPECT_EQ(icon->frame(), CGRect(2, 0, 34, 32));

    // The glow: a black shadow whose opacity runs 2, 0.3, 2 each second.
    auto layer = button->layer();
    EXPECT_DOUBLE_EQ(layer->shadowRadius, 10);
    EXPECT_EQ(layer->shadowOffset, (CGSize{0, 0}));
    auto glow = std::dynamic_pointer_cast<CAKeyframeAnimation>(layer->animationForKey("shadowOpacity"));
    ASSERT_TRUE(glow);
    EXPECT_EQ(glow->values, (std::vector<Value>{Value(2.0), Value(0.3), Value(2.0)}));

    // A pulse icon plays, untinted, whatever the colour.
    auto pulse = KJTipLauncherElement::addLauncherForTip(
        stepWithLauncher({{"file-name", "Pulse"}, {"color", "#FF0000"}}, "feed-8"), target);
    auto animated = std::dynamic_pointer_cast<KJFLAnimatedImageView>(pulse->subviews().front());
    ASSERT_TRUE(animated->animatedImage());
    EXPECT_EQ(animated->animatedImage()->frameCount(), 2u);
    EXPECT_FALSE(pulse->layer()->animationForKey("shadowOpacity"));
}

TEST_F(LauncherTest, ALauncherGoesIntoTheViewItsTargetsClassCallsForAtTheTargetsOrigin) {
    auto collection = make<UICollectionView>(CGRect(0, 100, 375, 400), nullptr);
    auto table = make<UITableView>(CGRect(10, 20, 300, 200), UITableViewStyle::Plain);
    auto badge = make<NamedView>("ProfileBadge", CGRect(30, 40, 50, 20));
    root->addSubview(collection);
    collection->addSubview(table);
    table->addSubview(badge);
    auto button = KJTipLauncherElement::addLauncherForTip(stepWithLauncher({}, "in-collection"), badge);
    EXPECT_EQ(button->superview(), collection) << "a collection view wins over a table";
    EXPECT_EQ(button->frame(), CGRect(40, 60, 32, 32)) << "never an empty frame";
    EXPECT_FALSE(badge->clipsToBounds());

    auto lone = make<UITableView>(CGRect(0, 100, 375, 400), UITableViewStyle::Plain);
    auto row = make<NamedView>("ProfileBadge", CGRect(30, 40, 50, 20));
    root->addSubview(lone);
    lone->addSubview(row);
    EXPECT_EQ(KJTipLauncherElement::addLauncherForTip(stepWithLauncher({}, "in-table"), row)->superview(),
              lone);

    auto panel = make<FrostedPanel>();
    panel->setFrame(CGRect(20, 600, 200, 80));
    root->addSubview(panel);
    auto inPanel = KJTipLauncherElement::addLauncherForTip(stepWithLauncher({}, "in-panel"), panel);
    EXPECT_EQ(inPanel->superview(), panel->contentView());

    auto plain = make<NamedView>("ProfileBadge", CGRect(200, 120, 50, 20));
    root->addSubview(plain);
    auto inWindow = KJTipLauncherElement::addLauncherForTip(stepWithLauncher({}, "in-window"), plain);
    EXPECT_EQ(inWindow->superview(), window);
    EXPECT_EQ(inWindow->frame(), CGRect(200, 120, 32, 32));
    EXPECT_EQ(inWindow->tag(), BLQITipLauncherElement::kLauncherTag);

    // React Native: into the outermost scroll content, at the target's place in it.
    auto scroll = make<NamedView>("RCTCustomScrollView", CGRect(0, 50, 375, 500));
    auto content = make<NamedView>("RCTScrollContentView", CGRect(0, 10, 375, 900));
    auto item = make<NamedView>("RCTView", CGRect(15, 25, 60, 30));
    root->addSubview(scroll);
    scroll->addSubview(content);
    content->addSubview(item);
    auto inScroll = KJTipLauncherElement::addLauncherForTip(stepWithLauncher({}, "in-scroll"), item);
    EXPECT_EQ(inScroll->superview(), content);
    EXPECT_EQ(inScroll->frame(), CGRect(15, 25, 32, 32));
    // Without a scroll view it goes into the key window under the FAQ list.
    auto list = make<UIView>(CGRect(0, 0, 375, 812));
    list->setTag(108102);
    window->addSubview(list);
    auto loose = make<NamedView>("RCTView", CGRect(60, 70, 20, 20));
    root->addSubview(loose);
    auto underList = KJTipLauncherElement::addLauncherForTip(stepWithLauncher({}, "under-list"), loose);
    EXPECT_EQ(underList->superview(), window);
    EXPECT_EQ(window->subviews().back(), list);
    list->removeFromSuperview();
}

TEST_F(LauncherTest, ACampaignHasOneLauncherInsertedUnderTheEnginesLock) {
    auto table = make<LockProbeTable>();
    auto badge = make<NamedView>("ProfileBadge", CGRect(30, 40, 50, 20));
    root->addSubview(table);
    table->addSubview(badge);
    auto step = stepWithLauncher({});
    auto first = KJTipLauncherElement::addLauncherForTip(step, badge);
    EXPECT_EQ(first->superview(), table);
    EXPECT_TRUE(table->addedUnderLock);

    auto again = KJTipLauncherElement::addLauncherForTip(step, badge);
    EXPECT_FALSE(again->superview()) << "refused";
    EXPECT_EQ(campaigns[0]->triggerControl.lock(), again);
    EXPECT_NE(std::find(logLines.begin(), logLines.end(),
                        "Preventing to display an already shown button launcher from feed: feed-7"),
              logLines.end());
    // The lock is free again.
    auto lock = engine->showLauncherBtnClickLock();
    ASSERT_TRUE(lock->try_lock());
    lock->unlock();
}

TEST_F(LauncherTest, TheLauncherIsPlacedOnItsSideOfTheTarget) {
    auto placed = [&](std::initializer_list<Dictionary::Entry> launcher, const std::shared_ptr<UIView>& on,
                      const std::string& feedId) {
        return KJTipLauncherElement::addLauncherForTip(stepWithLauncher(launcher, feedId), on)->frame();
    };
    EXPECT_EQ(placed({{"placement", "top"}}, target, "a"), CGRect(74, 300 - 32 - 5, 32, 32));
    EXPECT_EQ(placed({{"placement", "bottom"}, {"margin-left", 3}}, target, "b"), CGRect(77, 345, 32, 32));
    EXPECT_EQ(placed({{"placement", "left"}, {"height", 50}}, target, "c"), CGRect(40 - 32 - 5, 295, 32, 50))
        << "room on the left; as tall as the target, level with its top";
    EXPECT_EQ(placed({{"placement", "Left"}}, target, "d"), CGRect(40, 300, 32, 32));

    // No room on the left: centred on the target's left edge.
    auto edge = make<UIButton>(CGRect(10, 500, 100, 40));
    root->addSubview(edge);
    EXPECT_EQ(placed({{"placement", "left"}}, edge, "e"), CGRect(10 - 16, 504, 32, 32));
    // No room on the right: centred on the target's right edge.
    auto far = make<UIButton>(CGRect(300, 560, 60, 40));
    root->addSubview(far);
    EXPECT_EQ(placed({{"placement", "right"}}, far, "f"), CGRect(300 + 60 - 16, 564, 32, 32));

    // A position of the screen without a view counts as an empty target at the window's origin.
    auto point = stepWithLauncher({{"placement", "right"}, {"margin-left", 7}, {"margin-top", 9}}, "g");
    auto position = std::make_shared<KJTipTargetElement>();
    position->control = "point_50_60";
    point->target = position;
    auto button = KJTipLauncherElement::addLauncherForTip(point, nullptr);
    EXPECT_EQ(button->superview(), window);
    EXPECT_EQ(button->frame(), CGRect(12, 4, 32, 32));
}

// ---- A launcher campaign through the tip engine and its triggers ------------------------------

Value launcherCampaign() {
    auto item = Value::fromJSON(
        R"({"id": "beacon", "app_key": "scene-key", "campaignid": "c-beacon", "type": "CAMPAIGN", "priority": 1,
        "activates": "2025-01-01T00:00:00.000Z", "expires": "2030-01-01T00:00:00.000Z",
        "modified": "2025-06-01T12:00:00.000Z", "content": {"setup": {"tool": "modal",
        "view": "HomeViewController", "display": ["dom"],
        "launcher": {"type": "button", "file-name": "help", "placement": "bottom", "glowing": true},
        "target-params": {"version": "3.0.0"}, "target": [{"alg": "accessibility", "version": "1.0.0",
        "inputs": [{"target": "buy"}]}]},
        "payload": [{"meta": {"id": "s0", "tool": "modal", "view": "HomeViewController", "delay": 0}}]}})");
    EXPECT_TRUE(item);
    return item.value_or(Value());
}

TEST_F(LauncherTest, TheEngineShowsALauncherCampaignsLauncherAndItsTapShowsTheGuide) {
    KJTipLauncherElement::registerWithCampaignModel();
    BLQFacadeLink::setTargetingAlgo(std::make_shared<BLQTargetingAlgorithmV3>());
    target->setAccessibilityIdentifier("buy");
    ASSERT_TRUE(KJDBManager::sharedInstance()->saveMultipleTipSeries(
        {KJFeedObject::createFromDictionary(launcherCampaign())}));
    makeEngine();
    auto real = make<KJTipTriggers>(
        engine,
        KJTipTriggers::Collaborators{
            .facade = facade, .tagManager = nullptr, .launcher = KJTipLauncherElement::launcherElement()});
    engine->setTriggers(real);

    showScreen(home);
    std::shared_ptr<UIView> button;
    ASSERT_TRUE(settle(
        [&] { return (button = window->viewWithTag(BLQITipLauncherElement::kLauncherTag)) != nullptr; }));
    EXPECT_EQ(brindlecueLauncherID(*button), "beacon");
    EXPECT_EQ(button->frame(), CGRect(74, 345, 32, 32)) << "below the target";
    EXPECT_TRUE(button->layer()->animationForKey("shadowOpacity")) << "glowing";
    showScreen(home);
    settle([] { return false; }, 2);
    int launchers = 0;
    for (const auto& subview : window->subviews())
        launchers += subview->tag() == BLQITipLauncherElement::kLauncherTag;
    EXPECT_EQ(launchers, 1) << "a later visit adds no second launcher";

    TouchDriver::tap(button);
    EXPECT_FALSE(button->superview());
    EXPECT_TRUE(settle([&] { return controllers.presented("beacon") != nullptr; }));

    BLQFacadeLink::setTargetingAlgo(nullptr);
    KJElementClass::registerFactories(KJTipSeriesElement::kLauncherClassName, {});
}

}  // namespace
}  // namespace brindlecue::tipscene
