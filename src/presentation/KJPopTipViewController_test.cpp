#include "presentation/KJPopTipViewController.h"

#include <gtest/gtest.h>

#include "feed/BLQIPreviewModeManager.h"
#include "foundation/KJLog.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"
#include "presentation/BLQTipViewControllerRegistry.h"
#include "presentation/KJCoachmarkTipViewController.h"
#include "presentation/KJPopTipContainerView.h"
#include "presentation/TipPresentationScene_test.h"
#include "targeting/KJTipTargetElement.h"

namespace brindlecue::tipscreen {
namespace {

class RecordingPreviewMode final : public BLQIPreviewModeManager {
public:
    bool isInPreviewMode() const override { return false; }
    void checkIfPreviewModeIsRequiredOrNot(const std::shared_ptr<UIViewController>&) override {}
    void togglePreviewModeView(bool) override {}
    std::shared_ptr<UIViewController> previewModeView() override { return nullptr; }
    void receiveUpdated(BLQPreviewModeNotificationState state, const std::string& message) override {
        states.emplace_back(static_cast<int>(state), message);
    }
    std::vector<std::pair<int, std::string>> states;
};

// A pop tip 200 by 80 points with a text, below the target unless told otherwise.
std::shared_ptr<KJTipElement> popStep(int32_t placement = 4) {
    auto step = std::make_shared<KJTipElement>();
    step->feed_id = "pop-1";
    step->tipType = 2;
    step->placement = placement;
    step->widthUnit = "DP";
    step->width = 200;
    step->height = 80;
    step->padding = {8, 8, 8, 8};
    step->borderCornerRadius = 8;
    step->backgroundColor = UIColor::whiteColor();
    step->pointerParams = {15, 10, 0};
    step->content = std::make_shared<KJTipTextElement>();
    step->content->text = "Change your picture here.";
    return step;
}

class PopTipTest : public TipScreenTest {
protected:
    void SetUp() override {
        TipScreenTest::SetUp();
        BLQFacadeLink::setPreviewModeManager(previewMode);
        KJLogSetObserver([this](int, const std::string& line) { logLines.push_back(line); });
    }
    void TearDown() override {
        if (pop) pop->dismissOnTopWithRemoveCover(true);
        BLQFacadeLink::setPreviewModeManager(nullptr);
        TipScreenTest::TearDown();
    }

    // Presents a pop tip of the step pointing at the screen's button, moved to the frame given.
    std::shared_ptr<KJPopTipViewController> show(const std::shared_ptr<KJTipElement>& step,
                                                 std::optional<CGRect> targetFrame = std::nullopt) {
        if (pop) pop->dismissOnTopWithRemoveCover(true);
        if (targetFrame) screen->target->setFrame(*targetFrame);
        if (!step->target) step->targetControl = screen->target;
        pop = make<KJPopTipViewController>();
        pop->setTipManager(engine);
        pop->setTip(step);
        shown.clear();
        failed.clear();
        present(pop);
        return pop;
    }

    std::shared_ptr<KJPopTipContainerView> bubble() const {
        return std::dynamic_pointer_cast<KJPopTipContainerView>(pop->view());
    }
    bool logged(const std::string& line) const {
        return std::find(logLines.begin(), logLines.end(), line) != logLines.end();
    }

    std::shared_ptr<RecordingPreviewMode> previewMode = std::make_shared<RecordingPreviewMode>();
    std::shared_ptr<KJPopTipViewController> pop;
    std::vector<std::string> logLines;
};

TEST_F(PopTipTest, TheBubbleSitsOnTheStepsSideWithItsPointerAtTheMiddleOfTheTargetsEdge) {
    // The target is at (40, 256, 100, 40) in the cover, which starts below the 44-point status bar.
    struct Case {
        int32_t placement;
        CGRect target;
        CGRect bubble;
        CGPoint pointer;
    } cases[] = {
        {4, {40, 300, 100, 40}, {0, 296, 200, 80}, {90, 0}},
        {3, {40, 300, 100, 40}, {0, 176, 200, 80}, {90, 80}},
        {2, {40, 300, 100, 40}, {140, 236, 200, 80}, {0, 40}},
        {1, {240, 300, 100, 40}, {40, 236, 200, 80}, {200, 40}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.placement);
        show(popStep(c.placement), c.target);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(pop->view()->frame(), c.bubble);
        ASSERT_TRUE(bubble());
        EXPECT_EQ(bubble()->pointer(), c.pointer);
        EXPECT_DOUBLE_EQ(bubble()->pointerSize(), 10);
        EXPECT_EQ(bubble()->tip(), pop->tip());
    }
    // Below the target the content box leaves the pointer's room at its top.
    show(popStep(4), CGRect(40, 300, 100, 40));
    EXPECT_EQ(pop->viewContent->frame(), CGRect(8, 18, 184, 54));

    // The step's horizontal margins move the whole bubble, pointer included, after it was kept
    // inside the cover.
    auto shifted = popStep(4);
    shifted->margin.left = 12;
    show(shifted);
    EXPECT_EQ(pop->view()->frame(), CGRect(12, 296, 200, 80));
    EXPECT_EQ(bubble()->pointer(), (CGPoint{90, 0}));
}

TEST_F(PopTipTest, ABubbleKeptInsideTheCoverKeepsItsPointerEightPointsInsideItsEnd) {
    // A bubble as wide as the screen shrinks by the margins; the target in the top-right corner
    // is right of its end.
    auto step = popStep(4);
    step->width = 400;
    step->margin.left = step->margin.right = 20;
    show(step, CGRect(345, 60, 30, 30));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(pop->view()->frame(), CGRect(20, 46, 335, 80));
    EXPECT_EQ(bubble()->pointer(), (CGPoint{355 - 8 - 20, 0}));

    KJPopPosition position{30, 10, {}};
    KJPopTipViewController::adjustPointerPositionToAdherePopPostion(position, CGRect(0, 0, 100, 50), {0, 20});
    EXPECT_EQ((CGPoint{position.x, position.y}), (CGPoint{30, 28})) << "inside the span x stays";
    EXPECT_EQ(position.tipFrame, CGRect(0, 20, 100, 50));
}

TEST_F(PopTipTest, ATipThatCannotBeShownTellsWhyAndIsNotShown) {
    // Below: the bubble may end on the screen's last line, not one point past it.
    show(popStep(4), CGRect(40, 736, 100, 40));
    EXPECT_EQ(shown.size(), 1u);
    show(popStep(4), CGRect(40, 737, 100, 40));
    EXPECT_EQ(failed.size(), 1u);
    EXPECT_EQ(previewMode->states.back(), std::make_pair(9, std::string("Not enough space to show guide")));
    // Above: the bubble must start at least 10 points down.
    show(popStep(3), CGRect(40, 133, 100, 40));
    EXPECT_EQ(failed.size(), 1u);
    show(popStep(3), CGRect(40, 134, 100, 40));
    EXPECT_EQ(shown.size(), 1u);

    previewMode->states.clear();
    show(popStep(0));
    EXPECT_EQ(failed.size(), 1u);
    EXPECT_TRUE(logged("The placement is unknown."));
    EXPECT_TRUE(previewMode->states.empty()) << "an unknown side is no news for the author";

    auto tiny = popStep(4);
    tiny->height = 5;
    show(tiny);
    EXPECT_EQ(failed.size(), 1u);
    EXPECT_EQ(previewMode->states.back(), std::make_pair(9, std::string()));

    auto lost = popStep(4);
    lost->target = std::make_shared<KJTipTargetElement>();
    show(lost);
    EXPECT_EQ(failed.size(), 1u);
    EXPECT_TRUE(logged("The target is not a proper UI element."));
    EXPECT_EQ(previewMode->states.back(), std::make_pair(8, std::string()));

    // A position of the screen needs no view: the pointer is at the point.
    auto point = popStep(4);
    auto target = std::make_shared<KJTipTargetElement>();
    target->control = "point_100_200";
    point->target = target;
    show(point);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(pop->view()->frame(), CGRect(0, 200, 200, 80));
    EXPECT_EQ(bubble()->pointer(), (CGPoint{100, 0}));
}

TEST(KJPopTipContainerView, TheBubblesOutlineHasItsPointerOnTheSideFacingTheTarget) {
    // Pointer 16 wide and 10 high, border 2 (pointer size 12), no corner radius: every corner is
    // a line to its corner point.
    auto step = popStep();
    step->pointerParams = {16, 10, 5};
    step->borderWidth = 2;
    step->borderCornerRadius = 0;
    auto view = make<KJPopTipContainerView>(CGRect(0, 0, 200, 100));
    view->setTip(step);
    view->setPointerSize(12);
    struct Case {
        int32_t placement;
        CGPoint pointer, pinned;
        std::vector<CGPoint> points;  // tip, first base point, four corners, last base point
    } cases[] = {
        {4, {60, 30}, {60, 0}, {{65, 2}, {68, 10}, {199, 11}, {199, 99}, {1, 99}, {1, 11}, {52, 10}}},
        {3, {60, 30}, {60, 100}, {{65, 98}, {52, 89}, {1, 89}, {1, 1}, {199, 1}, {199, 89}, {68, 89}}},
        {2, {30, 40}, {0, 40}, {{2, 45}, {11, 31}, {11, 1}, {199, 1}, {199, 99}, {11, 99}, {11, 47}}},
        {1, {30, 40}, {200, 40}, {{198, 45}, {190, 47}, {189, 99}, {1, 99}, {1, 1}, {190, 1}, {190, 33}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.placement);
        step->placement = c.placement;
        view->setPointer(c.pointer);
        const auto elements = view->bubblePath().elements();
        EXPECT_EQ(view->pointer(), c.pinned) << "one coordinate is pinned to the pointer's edge";
        ASSERT_EQ(elements.size(), 8u);
        EXPECT_EQ(elements[0].type, CGPathElementType::MoveToPoint);
        for (size_t i = 0; i < c.points.size(); ++i) {
            ASSERT_EQ(elements[i].points.size(), 1u);
            EXPECT_EQ(elements[i].points[0], c.points[i]) << "point " << i;
        }
        EXPECT_EQ(elements[7].type, CGPathElementType::CloseSubpath);
    }

    // Rounded corners are tangent arcs of the radius: without a border, below the target, the
    // first corner starts r before the top-right corner point and ends r below it.
    step->placement = 4;
    step->borderWidth = 0;
    step->borderCornerRadius = 6;
    view->setPointerSize(10);
    view->setPointer({60, 0});
    const auto elements = view->bubblePath().elements();
    ASSERT_GT(elements.size(), 4u);
    EXPECT_EQ(elements[1].points[0], (CGPoint{68, 10}));
    EXPECT_EQ(elements[2].type, CGPathElementType::AddLineToPoint);
    EXPECT_NEAR(elements[2].points[0].x, 194, 1e-9);
    EXPECT_NEAR(elements[2].points[0].y, 10, 1e-9);
    EXPECT_EQ(elements[3].type, CGPathElementType::AddCurveToPoint);
    EXPECT_NEAR(elements[3].points.back().x, 200, 1e-9);
    EXPECT_NEAR(elements[3].points.back().y, 16, 1e-9);

    step->placement = 0;
    EXPECT_TRUE(view->bubblePath().isEmpty());
}

TEST(KJPopTipContainerView, DrawsTheBubbleFilledAndOutlinedOnlyWithABorder) {
    auto step = popStep(4);
    step->backgroundColor = UIColor(0, 0, 1, 1);
    step->borderColor = UIColor(1, 0, 0, 1);
    step->borderCornerRadius = 10;
    auto view = make<KJPopTipContainerView>(CGRect(0, 0, 120, 80));
    view->setTip(step);
    view->setPointer({60, 0});
    view->setPointerSize(10);
    auto draw = [&] {
        UIGraphicsBeginImageContextWithOptions({120, 80}, false, 1);
        view->drawRect(view->bounds());
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        return image->cgImage();
    };
    auto plain = draw();
    EXPECT_EQ(plain->pixelAt(60, 40).b, 255) << "filled";
    EXPECT_EQ(plain->pixelAt(60, 5).b, 255) << "the pointer is filled too";
    EXPECT_EQ(plain->pixelAt(20, 5).a, 0) << "beside the pointer nothing is drawn";
    EXPECT_EQ(plain->pixelAt(1, 79).a, 0) << "outside the rounded corner";
    EXPECT_EQ(plain->pixelAt(1, 45).r, 0) << "no outline without a border";

    step->borderWidth = 2;
    auto outlined = draw();
    EXPECT_GT(outlined->pixelAt(1, 45).r, 200);
    EXPECT_EQ(outlined->pixelAt(60, 40).b, 255);
}

TEST(KJTipPresentation, TheEngineMakesPopTipsAndCoachmarksAndTheirImagesArePlaced) {
    KJTipPresentation::setImageLayout({});
    KJTipPresentation::registerWithTipEngine();
    EXPECT_TRUE(std::dynamic_pointer_cast<KJPopTipViewController>(
        BLQTipViewControllerRegistry::make(BLQTipViewControllerKind::pop)));
    EXPECT_TRUE(std::dynamic_pointer_cast<KJCoachmarkTipViewController>(
        BLQTipViewControllerRegistry::make(BLQTipViewControllerKind::coachmark)));
    EXPECT_TRUE(KJTipPresentation::imageLayout());
    for (auto kind : {BLQTipViewControllerKind::modal, BLQTipViewControllerKind::pop,
                      BLQTipViewControllerKind::coachmark})
        BLQTipViewControllerRegistry::registerMaker(kind, nullptr);
    BLQTipViewControllerRegistry::registerDialogPresenter(nullptr);
    KJTipPresentation::setImageLayout({});
}

}  // namespace
}  // namespace brindlecue::tipscreen
