#include "tips/BLQOperations.h"

#include <gtest/gtest.h>

#include "feed/BLQGuidePayload.h"
#include "platform/uikit/UIButton.h"
#include "tips/TipEngineScene_test.h"

namespace brindlecue {
namespace {

using namespace tipscene;

TEST(BLQOperations, TheStepIdIsTheStepsDecimalId) {
    EXPECT_EQ(BLQOperations::stepIdOf("12"), 12);
    EXPECT_EQ(BLQOperations::stepIdOf(std::nullopt), 0);
    for (const char* text : {"x", "12x", "99999999999999999999"}) EXPECT_EQ(BLQOperations::stepIdOf(text), 0) << text;
}

TEST_F(TipEngineTest, AStepsTargetIsFoundOnlyWhenItNamesAnAlgorithmVersion) {
    auto button = make<UIButton>();
    button->setAccessibilityIdentifier("buy");
    home->view()->addSubview(button);

    auto step = std::make_shared<KJTipElement>();
    BLQOperations operations;
    EXPECT_EQ(operations.findTarget(BLQGuidePayload(step)), nullptr);

    auto target = std::make_shared<KJTipTargetElement>();
    target->accessibilityIdentifier = "buy";
    step->target = target;
    EXPECT_EQ(operations.findTarget(BLQGuidePayload(step)), nullptr);

    target->algoVersion = "3.0.0";
    EXPECT_EQ(operations.findTarget(BLQGuidePayload(step)), button);
}

}  // namespace
}  // namespace brindlecue
