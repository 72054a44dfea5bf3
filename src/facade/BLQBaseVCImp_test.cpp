#include "facade/BLQBaseVCImp.h"

#include <gtest/gtest.h>

#include <fstream>

#include "facade/BLQBaseViewController.h"
#include "facade/HostScreenScene_test.h"
#include "platform/Bundle.h"
#include "platform/uikit/UIKeyboard.h"
#include "platform/uikit/UIViewAnimationRecorder.h"

namespace brindlecue::hostscreen {
namespace {

class KeyboardScreen : public HostScreenTest {
protected:
    void SetUp() override {
        HostScreenTest::SetUp();
        // A 400-point view on an 800-point screen.
        UIScreen::mainScreen()->setBounds({0, 0, 375, 800});
        screen = make<BLQBaseViewController>();
        screen->setIsViewAdjustForKeyboard(true);
        screen->view()->setFrame(centred);
        UIViewAnimationRecorder::reset();
    }

    // The keyboard rises to the top and goes again.
    static void keyboardShows(double top) {
        UIKeyboard::show({0, 800, 375, 800 - top}, {0, top, 375, 800 - top}, 0.25);
    }
    static void keyboardHides(double top) {
        UIKeyboard::hide({0, top, 375, 800 - top}, {0, 800, 375, 800 - top}, 0.25);
    }
    CGRect frame() const { return screen->view()->frame(); }

    const CGRect centred{37.5, 200, 300, 400};
    std::shared_ptr<BLQBaseViewController> screen;
};

TEST_F(KeyboardScreen, TheViewSitsOnTheKeyboardAndComesBack) {
    keyboardShows(500);
    EXPECT_EQ(frame(), CGRect(37.5, 100, 300, 400));
    ASSERT_EQ(UIViewAnimationRecorder::records().size(), 1u);
    EXPECT_EQ(UIViewAnimationRecorder::records()[0].duration, 0.25);
    keyboardHides(500);
    EXPECT_EQ(frame(), centred);

    // Taller than the room above the keyboard: from the top, shortened to the room.
    keyboardShows(300);
    EXPECT_EQ(frame(), CGRect(37.5, 0, 300, 300));
    keyboardHides(300);
    EXPECT_EQ(frame(), centred);

    // Clear of the keyboard: it stays.
    UIViewAnimationRecorder::reset();
    keyboardShows(700);
    keyboardHides(700);
    EXPECT_EQ(frame(), centred);
    EXPECT_TRUE(UIViewAnimationRecorder::records().empty());
}

TEST_F(KeyboardScreen, TheViewReturnsToTheCentreItWasSeenInWhenTheKeyboardShowed) {
    screen->view()->setFrame({0, 0, 300, 400});
    keyboardShows(500);
    EXPECT_EQ(frame(), CGRect(37.5, 100, 300, 400));
    EXPECT_EQ(screen->imp()->frameBeforekeyboardShow(), centred);
    keyboardHides(500);
    EXPECT_EQ(frame(), centred);
    EXPECT_EQ(screen->imp()->frameBeforekeyboardShow(), std::nullopt);
}

TEST_F(KeyboardScreen, AKeyboardThatChangesWhileUpKeepsTheFrameOfItsFirstShowing) {
    keyboardShows(300);
    EXPECT_EQ(frame(), CGRect(37.5, 0, 300, 300));
    // The shortened view is not taken for the view's own size.
    keyboardShows(500);
    EXPECT_EQ(frame(), CGRect(37.5, 100, 300, 400));
    keyboardHides(500);
    EXPECT_EQ(frame(), centred);
}

TEST_F(KeyboardScreen, NothingMovesWithoutConsentOrAShowing) {
    screen->setIsViewAdjustForKeyboard(false);
    keyboardShows(300);
    keyboardHides(300);
    EXPECT_EQ(frame(), centred);

    // A hide with no showing before it leaves the view where it is.
    screen->setIsViewAdjustForKeyboard(true);
    keyboardHides(300);
    EXPECT_EQ(frame(), centred);
    // A notification without an end frame is not a keyboard position.
    NotificationCenter::defaultCenter().post(UIKeyboard::UIKeyboardDidShowNotification);
    EXPECT_EQ(frame(), centred);
    EXPECT_TRUE(UIViewAnimationRecorder::records().empty());
}

// A library screen that takes the keyboard's moves itself.
class FormScreen : public BLQBaseViewController {
public:
    void keyboardDidShowFrom(const CGRect& begin, const CGRect& end, double duration) override {
        shown.push_back({begin, end});
        durations.push_back(duration);
    }
    std::vector<std::pair<CGRect, CGRect>> shown;
    std::vector<double> durations;
};

TEST_F(KeyboardScreen, TheAdjusterHandsTheKeyboardToItsScreenForItsLifetime) {
    auto form = make<FormScreen>();
    std::weak_ptr<BLQBaseVCImp> imp = form->imp();
    keyboardShows(500);
    ASSERT_EQ(form->shown.size(), 1u);
    EXPECT_EQ(form->shown[0].first, CGRect(0, 800, 375, 300));
    EXPECT_EQ(form->shown[0].second, CGRect(0, 500, 375, 300));
    EXPECT_EQ(form->durations[0], 0.25);
    EXPECT_EQ(imp.lock()->vc(), form);

    form.reset();
    EXPECT_TRUE(imp.expired());
    keyboardShows(400);
}

TEST_F(KeyboardScreen, ALibraryScreenViewExtendsUnderNoBar) {
    auto library = make<BLQBaseViewController>();
    auto host = make<ShopHomeController>();
    library->loadViewIfNeeded();
    host->loadViewIfNeeded();
    EXPECT_EQ(library->edgesForExtendedLayout(), UIRectEdgeNone);
    EXPECT_EQ(host->edgesForExtendedLayout(), UIRectEdgeAll);
}

// ---- Interface files ------------------------------------------------------------------------------

class ShopTipController : public BLQBaseViewController {
public:
    static constexpr const char* kName = "ShopTipController";
    using BLQBaseViewController::BLQBaseViewController;
    std::string className() const override { return kName; }
};

class NibLookup : public HostScreenTest {
protected:
    void SetUp() override {
        HostScreenTest::SetUp();
        ClassRegistry::registerClass(ShopTipController::kName, "BLQBaseViewController");
    }
    static void addNib(const std::string& name) {
        std::ofstream(Bundle::main()->path() / (name + ".nib")) << "nib";
    }
};

TEST_F(NibLookup, AScreenIsMadeWithTheBundleOfTheNearestClassThatHasAFile) {
    EXPECT_EQ(make<ShopTipController>()->nibBundle(), nullptr);

    addNib("BLQBaseViewController");
    auto tip = make<ShopTipController>();
    ASSERT_NE(tip->nibBundle(), nullptr);
    EXPECT_EQ(tip->nibBundle()->path(), Bundle::main()->path());
    EXPECT_EQ(tip->nibName(), std::nullopt);

    // A bundle given is kept.
    auto given = Bundle::atPath(Bundle::main()->path());
    EXPECT_EQ(make<ShopTipController>(std::nullopt, given)->nibBundle(), given);
}

TEST_F(NibLookup, ANamedFileNoBundleHoldsGivesNoBundle) {
    addNib("ShopTipForm");
    auto named = make<ShopTipController>(std::string("ShopTipForm"), nullptr);
    ASSERT_NE(named->nibBundle(), nullptr);
    EXPECT_EQ(named->nibName(), "ShopTipForm");
    EXPECT_EQ(BLQBaseVCImp::prepareInitForClass(ShopTipController::kName, "MissingForm", nullptr), nullptr);
    EXPECT_EQ(make<ShopTipController>(std::string("MissingForm"), nullptr)->nibBundle(), nullptr);
}

}  // namespace
}  // namespace brindlecue::hostscreen
