#include "presentation/KJAlertView.h"

#include <gtest/gtest.h>

#include "foundation/KJInterceptor.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIStackView.h"
#include "platform/uikit/UIWindow.h"
#include "presentation/FeedbackTemplate.h"
#include "presentation/KJActionSheet.h"

namespace brindlecue {
namespace {

using namespace platform;

// An outside delegate that implements only the click callbacks and logs what reaches it.
struct HostDelegate : NSObject, UIAlertViewDelegate, UIActionSheetDelegate {
    std::vector<std::string>* log = nullptr;
    bool respondsToSelector(std::string_view selector) const override {
        return selector == "alertView:clickedButtonAtIndex:" ||
               selector == "actionSheet:clickedButtonAtIndex:";
    }
    void alertViewClickedButtonAtIndex(UIAlertView&, int64_t i) override {
        log->push_back("delegate " + std::to_string(i));
    }
    void alertViewDidDismissWithButtonIndex(UIAlertView&, int64_t) override {
        log->push_back("not asked for");
    }
    void actionSheetClickedButtonAtIndex(UIActionSheet&, int64_t i) override {
        log->push_back("delegate " + std::to_string(i));
    }
};

class LegacyDialogs : public testing::Test {
protected:
    void SetUp() override {
        window->makeKeyAndVisible();
        host->log = &log;
    }
    void TearDown() override { window->setHidden(true); }

    std::shared_ptr<UIWindow> window = make<UIWindow>(CGRect(0, 0, 320, 480));
    std::shared_ptr<HostDelegate> host = make<HostDelegate>();
    std::vector<std::string> log;
};

TEST_F(LegacyDialogs, AlertRunsItsHandlerThenTheOutsideDelegate) {
    auto alert = make<KJAlertView>(
        "Done", "Show again?",
        [&](KJAlertView&, int64_t i) { log.push_back("handler " + std::to_string(i)); }, "Cancel",
        std::vector<std::optional<std::string>>{"Yes", "No"});
    EXPECT_EQ(alert->numberOfButtons(), 3);
    EXPECT_EQ(alert->buttonTitleAtIndex(1), "Yes");
    EXPECT_EQ(alert->delegate(), alert->delegateInterceptor());
    alert->setDelegate(host);
    alert->show();
    ASSERT_TRUE(alert->pressButtonAtIndex(2));
    EXPECT_EQ(log, (std::vector<std::string>{"handler 2", "delegate 2"}));

    // An alert named as its own delegate is not its second responder: one call only.
    log.clear();
    auto self = make<KJAlertView>(
        std::nullopt, "m", [&](KJAlertView&, int64_t i) { log.push_back("handler " + std::to_string(i)); },
        std::nullopt, std::vector<std::optional<std::string>>{"OK"});
    self->setDelegate(self);
    EXPECT_EQ(self->delegateInterceptor()->secondResponder(), nullptr);
    self->show();
    self->pressButtonAtIndex(0);
    EXPECT_EQ(log, (std::vector<std::string>{"handler 0"}));

    // A missing first further title adds no buttons, whatever follows.
    auto none = make<KJAlertView>("t", "m", nullptr, std::nullopt,
                                  std::vector<std::optional<std::string>>{std::nullopt, "Later"});
    EXPECT_EQ(none->numberOfButtons(), 0);
}

TEST_F(LegacyDialogs, ActionSheetShowsOnThePresentWindowAndReportsClicks) {
    auto sheet = make<KJActionSheet>(
        "Pick", [&](KJActionSheet&, int64_t i) { log.push_back("handler " + std::to_string(i)); }, "Cancel",
        std::vector<std::optional<std::string>>{"One", "Two"});
    sheet->setDelegate(host);
    sheet->show();
    EXPECT_EQ(sheet->window(), window);
    EXPECT_EQ(sheet->cancelButtonIndex(), 0);
    ASSERT_TRUE(sheet->pressButtonAtIndex(1));
    EXPECT_EQ(log, (std::vector<std::string>{"handler 1", "delegate 1"}));

    window->setHidden(true);
    auto hidden =
        make<KJActionSheet>("Pick", nullptr, std::nullopt, std::vector<std::optional<std::string>>{"One"});
    hidden->show();
    EXPECT_FALSE(hidden->isVisible());
}

TEST(DelegateInterceptor, AsksTheFirstResponderThenTheSecond) {
    std::vector<std::string> log;
    auto first = make<HostDelegate>();
    auto second = make<HostDelegate>();
    first->log = second->log = &log;
    auto interceptor = make<KJInterceptor>();
    interceptor->setFirstResponder(interceptor);
    EXPECT_EQ(interceptor->firstResponder(), nullptr);
    interceptor->setSecondResponder(second);
    EXPECT_FALSE(interceptor->respondsToSelector("alertView:didDismissWithButtonIndex:"));
    EXPECT_TRUE(interceptor->respondsToSelector("actionSheet:clickedButtonAtIndex:"));
    EXPECT_EQ(interceptor->forwardingTargetForSelector("actionSheet:clickedButtonAtIndex:"), second);
    interceptor->setFirstResponder(first);
    EXPECT_EQ(interceptor->forwardingTargetForSelector("actionSheet:clickedButtonAtIndex:"), first);
    interceptor->setSecondResponder(first);  // the first responder is not taken as second
    EXPECT_EQ(interceptor->secondResponder(), second);
    second.reset();
    EXPECT_EQ(interceptor->secondResponder(), nullptr);  // held weakly
}

TEST(FeedbackTemplateView, BuildsItsTreeOrNothingFromAnArchiveAndLogsTaps) {
    auto view = make<FeedbackTemplate>(CGRect(0, 0, 300, 200));
    ASSERT_EQ(view->subviews().size(), 2u);
    EXPECT_EQ(view->subviews()[0], view->titleStackView());
    EXPECT_EQ(view->titleStackView()->arrangedSubviews(),
              (std::vector<std::shared_ptr<UIView>>{view->titleLabel(), view->contentLabel()}));
    EXPECT_EQ(view->titleLabel()->text(), "eweeeeeeee");
    EXPECT_EQ(view->buttonstackView()->arrangedSubviews().front(), view->buttonNegativeFeeback());
    EXPECT_EQ(view->constraints().size(), 8u);
    for (const auto& c : view->constraints()) EXPECT_EQ(c->constant(), 0);

    auto archived = make<FeedbackTemplate>(FeedbackTemplate::FromArchive{});
    EXPECT_TRUE(archived->subviews().empty());

    testing::internal::CaptureStdout();
    view->buttonPostiveFeedback()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Button tapped\n");
}

}  // namespace
}  // namespace brindlecue
