#include "presentation/KJChoiceViewController.h"

#include <gtest/gtest.h>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIWindow.h"
#include "support/FakeTextMeasurer.h"

namespace brindlecue {
namespace {

using namespace platform;

std::vector<std::string> options(size_t count) {
    std::vector<std::string> out;
    for (size_t i = 0; i < count; ++i) out.push_back("Option " + std::to_string(i + 1));
    return out;
}

class ChoiceDialog : public testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        window->makeKeyAndVisible();
    }
    void TearDown() override { window->setHidden(true); }

    std::shared_ptr<KJChoiceViewController> dialog(size_t count) {
        auto d = make<KJChoiceViewController>();
        d->arrayChoices = options(count);
        d->choiceHandler = [this](bool cancelled, int64_t row) { answers.emplace_back(cancelled, row); };
        return d;
    }

    testsupport::ScopedTextMeasurer measurer;
    std::shared_ptr<UIWindow> window = make<UIWindow>(CGRect(0, 0, 375, 812));
    std::vector<std::pair<bool, int64_t>> answers;
};

TEST_F(ChoiceDialog, FewOptionsFitWithoutScrollingAndTextsPushTheTableDown) {
    // No title or message: the table starts at the top margin.
    auto d = dialog(3);
    d->arrangeControls(CGRect(0, 0, 375, 768));
    EXPECT_TRUE(d->labelTitle->isHidden());
    EXPECT_EQ(d->labelTitle->frame(), CGRect());
    EXPECT_TRUE(d->labelMessage->isHidden());
    EXPECT_EQ(d->tableChoice->frame(), CGRect(10, 10, 295, 105));
    EXPECT_FALSE(d->tableChoice->isScrollEnabled());
    EXPECT_EQ(d->buttonCancel->frame(), CGRect(0, 125, 315, 44));
    EXPECT_EQ(d->view()->frame(), CGRect(30, (768 - 179) * 0.5, 315, 179));
    EXPECT_EQ(d->buttonCancel->titleForState(UIControlStateNormal), "Cancel");

    // A title of 7 bold 17-point characters is one line of 21.25; a message of 11 characters at
    // 14 points one line of 17.5; each follows a 10-point gap.
    d = dialog(2);
    d->displayTitle = "Rate us";
    d->displayMessage = "How was it?";
    d->displayCancelButton = "Not now";
    d->arrangeControls(CGRect(0, 0, 375, 768));
    EXPECT_EQ(d->labelTitle->frame(), CGRect(10, 10, 295, 21.25));
    EXPECT_EQ(d->labelTitle->text(), "Rate us");
    EXPECT_EQ(d->labelMessage->frame(), CGRect(10, 41.25, 295, 17.5));
    EXPECT_EQ(d->tableChoice->frame(), CGRect(10, 68.75, 295, 70));
    EXPECT_EQ(d->view()->frame().height(), 68.75 + 70 + 10 + 44 + 10);
    EXPECT_EQ(d->buttonCancel->titleForState(UIControlStateNormal), "Not now");

    // A message alone starts 10 points down, like a title.
    d = dialog(1);
    d->displayMessage = "How was it?";
    d->arrangeControls(CGRect(0, 0, 375, 768));
    EXPECT_EQ(d->labelMessage->frame(), CGRect(10, 10, 295, 17.5));
    EXPECT_EQ(d->tableChoice->frame().minY(), 37.5);
}

TEST_F(ChoiceDialog, ManyOptionsScrollInsideTheTallestDialog) {
    auto d = dialog(30);
    d->arrangeControls(CGRect(0, 0, 375, 600));
    EXPECT_EQ(d->view()->frame(), CGRect(30, 30, 315, 540));
    EXPECT_TRUE(d->tableChoice->isScrollEnabled());
    EXPECT_EQ(d->tableChoice->frame(), CGRect(10, 10, 295, 540 - 44 - 10 - 20));
    EXPECT_EQ(d->buttonCancel->frame(), CGRect(0, 10 + 466 + 10, 315, 44));

    // Rows of 35 points, each an option in the cancel button's font and colour, centred, without
    // a selection highlight; below the last row nothing.
    auto& table = *d->tableChoice;
    EXPECT_EQ(table.numberOfRowsInSection(0), 30);
    EXPECT_EQ(table.rectForRowAtIndexPath(NSIndexPath::forRow(29, 0)), CGRect(0, 29 * 35, 295, 35));
    auto cell = table.cellForRowAtIndexPath(NSIndexPath::forRow(2, 0));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->reuseIdentifier(), KJChoiceViewController::kCellIdentifier);
    EXPECT_EQ(cell->textLabel()->text(), "Option 3");
    EXPECT_EQ(cell->textLabel()->font(), d->buttonCancel->titleLabel()->font());
    EXPECT_EQ(cell->textLabel()->textColor(), d->buttonCancel->currentTitleColor());
    EXPECT_EQ(cell->textLabel()->textAlignment(), NSTextAlignment::Center);
    EXPECT_EQ(cell->selectionStyle(), UITableViewCellSelectionStyle::None);
    ASSERT_TRUE(table.tableFooterView());
    EXPECT_EQ(table.tableFooterView()->frame().height(), 0);
}

TEST_F(ChoiceDialog, AnAnswerGoesToTheHandlerAndADialogOnItsOwnLeaves) {
    auto d = dialog(3);
    window->addSubview(d->view());
    d->arrangeControls(window->bounds());
    window->layoutIfNeeded();
    auto cell = d->tableChoice->cellForRowAtIndexPath(NSIndexPath::forRow(1, 0));
    ASSERT_TRUE(cell);
    TouchDriver::tap(cell);
    EXPECT_EQ(answers, (std::vector<std::pair<bool, int64_t>>{{false, 1}}));
    EXPECT_EQ(d->view()->superview(), nullptr) << "no parent: the dialog took itself away";

    // Inside a parent controller the dialog stays; cancel answers (true, -1).
    auto parent = make<UIViewController>();
    window->addSubview(parent->view());
    d = dialog(3);
    parent->addChildViewController(d);
    parent->view()->addSubview(d->view());
    d->arrangeControls(window->bounds());
    TouchDriver::tap(d->buttonCancel);
    EXPECT_EQ(answers.back(), (std::pair<bool, int64_t>{true, -1}));
    EXPECT_EQ(d->view()->superview(), parent->view());
}

}  // namespace
}  // namespace brindlecue
