#include "targeting/UIViewBrindlecueSDK.h"

#include <gtest/gtest.h>

#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIView.h"

namespace brindlecue {
namespace {

using namespace platform;

TEST(DisplayedInScreen, NeedsAFrameOnTheScreenAndNoFadedAncestor) {
    auto root = make<UIView>(CGRect(0, 0, 375, 812));
    auto content = make<UIView>(CGRect(0, 0, 375, 812));
    auto middle = make<UIView>(CGRect(0, 0, 375, 400));
    auto view = make<UIView>(CGRect(10, 10, 50, 50));
    EXPECT_FALSE(isDisplayedInScreen(*view));  // no superview
    root->addSubview(content);
    content->addSubview(middle);
    middle->addSubview(view);
    EXPECT_TRUE(isDisplayedInScreen(*view));

    // Its own alpha of exactly 0 hides it even under opaque ancestors.
    view->setAlpha(0);
    EXPECT_FALSE(isDisplayedInScreen(*view));
    EXPECT_FALSE(ancestorHasAlphaZero(*view));
    view->setAlpha(0.01);
    EXPECT_TRUE(isDisplayedInScreen(*view));
    root->setAlpha(0);
    EXPECT_FALSE(isDisplayedInScreen(*view));
    EXPECT_TRUE(ancestorHasAlphaZero(*view));
    // A React Native screen's root content view ends the walk: what is above it does not count.
    ASSERT_TRUE(content->setRuntimeClassName("RCTRootContentView"));
    EXPECT_TRUE(isDisplayedInScreen(*view));

    // The frame is taken in its superview's space: scrolled past the screen is off it.
    view->setFrame(CGRect(10, 900, 50, 50));
    EXPECT_FALSE(isDisplayedInScreen(*view));
    view->setFrame(CGRect(-40, 10, 50, 50));
    EXPECT_TRUE(isDisplayedInScreen(*view));
    view->setFrame(CGRect(10, 10, 0, 50));
    EXPECT_FALSE(isDisplayedInScreen(*view));
    view->setFrame(CGRect(10, 10, 50, 50));
    view->setHidden(true);
    EXPECT_FALSE(isDisplayedInScreen(*view));
}

TEST(ViewMarks, EachMarkIsKeptApartAndNoneRemovesIt) {
    auto view = make<UIView>(CGRect(0, 0, 10, 10));
    EXPECT_FALSE(brindlecueLauncherID(*view));
    setBrindlecueLauncherID(*view, "feed-7");
    setBrindlecueWidgetType(*view, "button");
    setBrindlecueWidgetIndex(*view, "3");
    setBrindlecueWidgetAncestor(*view, "UIWindow/UIView");
    EXPECT_EQ(brindlecueLauncherID(*view), "feed-7");
    EXPECT_EQ(brindlecueWidgetType(*view), "button");
    EXPECT_EQ(brindlecueWidgetIndex(*view), "3");
    EXPECT_EQ(brindlecueWidgetAncestor(*view), "UIWindow/UIView");
    setBrindlecueLauncherID(*view, std::nullopt);
    EXPECT_FALSE(brindlecueLauncherID(*view));
    EXPECT_EQ(brindlecueWidgetType(*view), "button");
}

}  // namespace
}  // namespace brindlecue
