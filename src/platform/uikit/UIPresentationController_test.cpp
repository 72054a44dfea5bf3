#include "platform/uikit/UIPresentationController.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {
namespace {

class SheetDelegate final : public UIAdaptivePresentationControllerDelegate {
public:
    bool presentationControllerShouldDismiss(const std::shared_ptr<UIPresentationController>& c) override {
        calls.push_back("should:" + std::string(c->presentedViewController() ? "presented" : "none"));
        return allow;
    }
    void presentationControllerWillDismiss(const std::shared_ptr<UIPresentationController>& c) override {
        calls.push_back(c->presentingViewController() ? "will" : "will:gone");
    }
    void presentationControllerDidDismiss(const std::shared_ptr<UIPresentationController>& c) override {
        calls.push_back(c->presentingViewController() ? "did:still" : "did");
    }
    void presentationControllerDidAttemptToDismiss(
        const std::shared_ptr<UIPresentationController>&) override {
        calls.push_back("attempt");
    }
    bool allow = true;
    std::vector<std::string> calls;
};

class Sheets : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useVirtual();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        RunLoop::main().runUntilIdle();
    }
    void TearDown() override { window->setHidden(true); }

    void present(UIModalPresentationStyle style) {
        sheet->setModalPresentationStyle(style);
        root->presentViewController(sheet, false);
        sheet->presentationController()->setDelegate(delegate);
    }

    std::shared_ptr<UIWindow> window = make<UIWindow>();
    std::shared_ptr<UIViewController> root = make<UIViewController>();
    std::shared_ptr<UIViewController> sheet = make<UIViewController>();
    std::shared_ptr<SheetDelegate> delegate = std::make_shared<SheetDelegate>();
};

TEST_F(Sheets, TheUserDismissesASheetItsDelegateLetsGo) {
    present(UIModalPresentationStyle::PageSheet);
    EXPECT_EQ(sheet->presentationController(), sheet->presentationController());
    sheet->presentationController()->dismissInteractively();
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"should:presented", "will"}));
    Clock::advance(UIViewController::kTransitionDuration);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"should:presented", "will", "did"}));
}

TEST_F(Sheets, ARefusedDismissalKeepsTheSheet) {
    delegate->allow = false;
    present(UIModalPresentationStyle::Automatic);
    sheet->presentationController()->dismissInteractively();
    Clock::advance(UIViewController::kTransitionDuration);
    EXPECT_EQ(root->presentedViewController(), sheet);
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"should:presented", "attempt"}));
}

TEST_F(Sheets, FullScreenAndUnpresentedControllersCannotBeSwipedAway) {
    make<UIViewController>()->presentationController()->dismissInteractively();
    present(UIModalPresentationStyle::FullScreen);
    sheet->presentationController()->dismissInteractively();
    Clock::advance(UIViewController::kTransitionDuration);
    EXPECT_EQ(root->presentedViewController(), sheet);
    EXPECT_TRUE(delegate->calls.empty());
}

}  // namespace
}  // namespace brindlecue::platform
