#include "facade/BLQHostListScreen.h"

#include <gtest/gtest.h>

#include "facade/BLQBaseViewController.h"
#include "facade/Brindlecue.h"
#include "facade/HostScreenScene_test.h"
#include "platform/uikit/UIPresentationController.h"

namespace brindlecue::hostscreen {
namespace {

using ListScreens = HostScreenTest;

TEST_F(ListScreens, AReportedTableScreenAsksForSuperTagsBeforeItAppears) {
    auto facade = Brindlecue::sharedInstance();
    PostRecorder recorder;
    auto list = make<ShopListController>();
    auto navigation = make<UINavigationController>(list);
    show(navigation);
    navigation->pushViewController(make<UIViewController>(), false);
    RunLoop::main().runUntilIdle();

    EXPECT_EQ(recorder.names(),
              (Names{kCustomFeed, kSuperTag, kEnter, kShowTip, kSuperTagVC, kForceDismiss, kExit}));
    for (const auto& post : recorder.posts) EXPECT_EQ(post.vc, list) << post.name;
    EXPECT_EQ(recorder.posts[1].enterBack, ShopListController::kName);
    EXPECT_EQ(recorder.posts[1].enterPage, "");
    EXPECT_EQ(recorder.posts[2].enterPage, ShopListController::kName);
    EXPECT_EQ(recorder.posts[5].exitPage, ShopListController::kName);
}

TEST_F(ListScreens, InPreviewModeASheetTheUserDismissesReportsItsExit) {
    auto facade = Brindlecue::sharedInstance();
    auto preview = enterPreviewMode();
    auto root = make<UIViewController>();
    show(root);
    PostRecorder recorder;
    auto list = make<ShopListController>();
    auto sheet = make<UINavigationController>(list);
    root->presentViewController(sheet, false);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(recorder.names(), (Names{kCustomFeed, kSuperTag, kEnter, kPreviewUpdate}));
    EXPECT_EQ(preview->checked, (std::vector<std::shared_ptr<UIViewController>>{list}));
    // Queued when the screen was about to appear: the screen hears of the sheet's dismissal.
    EXPECT_EQ(sheet->presentationController()->delegate().get(),
              static_cast<UIAdaptivePresentationControllerDelegate*>(list.get()));

    recorder.posts.clear();
    sheet->presentationController()->dismissInteractively();
    Clock::advance(UIViewController::kTransitionDuration);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(recorder.names(), (Names{kForceDismiss, kExit, kExit}));
    EXPECT_EQ(recorder.posts[2].vc, list);
    EXPECT_EQ(recorder.posts[2].exitPage, ShopListController::kName);
    EXPECT_EQ(preview->checked.size(), 2u);
}

TEST_F(ListScreens, AnExcludedCollectionScreenAsksForTipsAndReportsSizes) {
    PostRecorder recorder;
    auto grid = make<ShopGridController>();
    grid->setExcludeBehavior(true);
    show(grid);
    EXPECT_EQ(recorder.names(), (Names{kShowTip, kSuperTagVC}));
    EXPECT_EQ(recorder.posts[0].vc, grid);

    UIApplication::sharedApplication()->rotateToOrientation(UIDeviceOrientation::LandscapeRight);
    Clock::advance(0.3);
    const Post* size = recorder.find(kSizeChange);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(*std::static_pointer_cast<CGSize>(size->object), (CGSize{812, 375}));
}

TEST_F(ListScreens, LibraryTableAndCollectionScreensAreNeverReported) {
    PostRecorder recorder;
    auto table = make<BLQBaseTableViewController>();
    auto collection = make<BLQBaseCollectionViewController>();
    auto window = show(table);
    window->setRootViewController(collection);
    window->setRootViewController(make<UIViewController>());
    for (const auto& post : recorder.posts) {
        EXPECT_TRUE(post.name == kShowTip || post.name == kSuperTagVC) << post.name;
    }
    EXPECT_EQ(UserDefaults::standard().string("ENTERBAK_PAGE_HISTORY"), std::nullopt);
}

}  // namespace
}  // namespace brindlecue::hostscreen
