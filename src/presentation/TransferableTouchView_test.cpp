#include "presentation/TransferableTouchView.h"

#include <gtest/gtest.h>

#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UITouch.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue {
namespace {

using namespace platform;

TEST(TransferableTouchView, HearsEachTouchOnceAndPassesItOn) {
    auto window = make<UIWindow>(CGRect(0, 0, 200, 200));
    window->makeKeyAndVisible();
    auto below = make<UIView>(CGRect(0, 0, 200, 200));
    window->addSubview(below);
    auto overlay = make<TransferableTouchView>(CGRect(50, 50, 100, 40));
    window->addSubview(overlay);
    EXPECT_EQ(TouchDriver::tapAt(window, {60, 60}), below) << "no handler: nothing changes";

    std::vector<CGPoint> points;
    overlay->setTouchedHandler([&](CGPoint p) { points.push_back(p); });
    EXPECT_EQ(TouchDriver::tapAt(window, {60, 60}), below);
    EXPECT_EQ(points, (std::vector<CGPoint>{CGPoint{10, 10}}));

    // Hit testing may ask again about the same touch: still one report; a new touch is reported.
    auto touch = make<UITouch>(window, nullptr, CGPoint{70, 70});
    auto event = make<UIEvent>(UITouchSet{touch});
    window->hitTest({70, 70}, event);
    window->hitTest({70, 70}, event);
    EXPECT_EQ(points.size(), 2u);
    window->hitTest({70, 70}, make<UIEvent>(UITouchSet{touch}));
    EXPECT_EQ(points.size(), 3u);
    window->hitTest({70, 70}, nullptr);
    EXPECT_EQ(points.size(), 3u) << "a question without a touch reports nothing";

    // Left and top edges are inside, right and bottom edges outside.
    points.clear();
    TouchDriver::tapAt(window, {50, 50});
    TouchDriver::tapAt(window, {150, 60});
    TouchDriver::tapAt(window, {60, 90});
    EXPECT_EQ(points, (std::vector<CGPoint>{CGPoint{0, 0}}));

    // A replaced handler is let go.
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> first = token;
    overlay->setTouchedHandler([token](CGPoint) {});
    token.reset();
    overlay->setTouchedHandler(nullptr);
    EXPECT_TRUE(first.expired());
    EXPECT_EQ(overlay->className(), "BLQTransferableTouchView");
    window->setHidden(true);
}

}  // namespace
}  // namespace brindlecue
