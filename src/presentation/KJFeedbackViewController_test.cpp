#include "presentation/KJFeedbackViewController.h"

#include <gtest/gtest.h>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue {
namespace {

using namespace platform;

struct Input {
    bool submitted;
    std::optional<std::string> title, content;
    bool operator==(const Input&) const = default;
};

class FreeTextForm : public testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        RunLoop::main().runUntilIdle();
    }
    void TearDown() override {
        if (auto first = UIResponder::currentFirstResponder()) first->resignFirstResponder();
        window->setHidden(true);
    }

    // A form inside the root screen, as a survey tip holds it.
    std::shared_ptr<KJFeedbackViewController> form(std::optional<std::string> title) {
        auto f = make<KJFeedbackViewController>();
        f->feedbackTitle = std::move(title);
        f->inputHandler = [this](bool submitted, const std::optional<std::string>& t,
                                 const std::optional<std::string>& c) {
            inputs.push_back({submitted, t, c});
        };
        root->addChildViewController(f);
        root->view()->addSubview(f->view());
        return f;
    }

    std::shared_ptr<UIViewController> root = make<UIViewController>();
    std::shared_ptr<UIWindow> window = make<UIWindow>(CGRect(0, 0, 375, 812));
    std::vector<Input> inputs;
};

TEST_F(FreeTextForm, APresetTitleSendsTheKeyboardToTheContentAndReturnMovesOn) {
    auto f = form("Too slow");
    EXPECT_TRUE(f->isViewAdjustForKeyboard);
    EXPECT_EQ(f->view()->backgroundColor(), UIColor::lightGrayColor());
    EXPECT_EQ(f->textboxTitle->text(), "Too slow");
    EXPECT_TRUE(f->textboxContent->isFirstResponder());

    auto blank = form(std::string());
    EXPECT_TRUE(blank->textboxTitle->isFirstResponder());
    EXPECT_FALSE(blank->textboxTitle->text().value_or("").size());
    blank->textboxTitle->typeText("Crash");
    blank->textboxTitle->pressReturn();
    EXPECT_TRUE(blank->textboxContent->isFirstResponder());
    EXPECT_TRUE(blank->textFieldShouldReturn(*blank->textboxTitle));
}

TEST_F(FreeTextForm, SubmitNeedsATitleAndSendsTheContentAsTyped) {
    auto f = form(std::nullopt);
    f->textboxTitle->typeText(" \t\n\xC2\xA0 ");
    TouchDriver::tap(f->buttonSubmit);
    // A title of blanks is no title: the alert says so and the form stays.
    auto alert = std::dynamic_pointer_cast<UIAlertController>(root->presentedViewController());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->alertTitle(), "Please input title");
    EXPECT_EQ(alert->message(), "Title is mandatory for feedback.");
    ASSERT_EQ(alert->actions().size(), 1u);
    EXPECT_EQ(alert->actions()[0]->title(), "OK");
    EXPECT_EQ(alert->actions()[0]->style(), UIAlertActionStyle::Cancel);
    EXPECT_TRUE(inputs.empty());
    ASSERT_TRUE(alert->pressActionAtIndex(0));
    Clock::advance(1);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(f->view()->superview(), root->view());

    f->textboxTitle->setText("  Login fails\n");
    f->textboxContent->setText("  twice a day  ");
    TouchDriver::tap(f->buttonSubmit);
    EXPECT_EQ(inputs, (std::vector<Input>{{true, "Login fails", "  twice a day  "}}));
    EXPECT_EQ(f->feedbackTitle, "Login fails");
    EXPECT_EQ(f->view()->superview(), root->view()) << "a form with a parent stays";

    TouchDriver::tap(f->buttonCancel);
    EXPECT_EQ(inputs.back(), (Input{false, std::nullopt, std::nullopt}));
}

TEST_F(FreeTextForm, AFormOnItsOwnLeavesAfterAnAnswer) {
    auto f = make<KJFeedbackViewController>();
    f->inputHandler = [this](bool submitted, const std::optional<std::string>& t,
                             const std::optional<std::string>& c) {
        inputs.push_back({submitted, t, c});
    };
    window->addSubview(f->view());
    TouchDriver::tap(f->buttonCancel);
    EXPECT_EQ(inputs.size(), 1u);
    EXPECT_EQ(f->view()->superview(), nullptr);
}

TEST(FreeTextTrimming, TakesBlanksAndLineEndsOffBothEndsOnly) {
    EXPECT_EQ(KJFeedbackViewController::trimmed(" \r\n\tA  b\xE2\x80\xA8\xE3\x80\x80"), "A  b");
    EXPECT_EQ(KJFeedbackViewController::trimmed("\xC2\xA0\xC2\x85"), "");
    EXPECT_EQ(KJFeedbackViewController::trimmed("caf\xC3\xA9"), "caf\xC3\xA9");
}

}  // namespace
}  // namespace brindlecue
