#include "platform/uikit/UICollectionView.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/CaptureLogSink.h"
#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {
namespace {

struct CountingCell : UICollectionViewCell {
    int reused = 0;
    void prepareForReuse() override { ++reused; }
};

struct Grid : UICollectionViewDataSource, UICollectionViewDelegate {
    int64_t items = 10;
    bool nilForFirst = false;
    CGSize firstSize{-1, -1};
    std::vector<NSIndexPath> selected;
    int64_t collectionViewNumberOfItemsInSection(UICollectionView&, int64_t) override { return items; }
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView& c, const NSIndexPath& ip) override {
        if (nilForFirst && ip.item() == 0) return nullptr;
        return c.dequeueReusableCellWithReuseIdentifier("item", ip);
    }
    CGSize collectionViewSizeForItemAtIndexPath(UICollectionView&, const NSIndexPath& ip) override {
        return ip.item() == 0 ? firstSize : CGSize{-1, -1};
    }
    void collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath& ip) override {
        selected.push_back(ip);
    }
};

class CollectionViews : public ::testing::Test {
protected:
    void SetUp() override {
        auto layout = make<UICollectionViewFlowLayout>();
        layout->itemSize = {100, 100};
        cv = make<UICollectionView>(CGRect(0, 0, 320, 200), layout);
        cv->registerCellFactory("item", [] { return make<CountingCell>(); });
        grid = std::make_shared<Grid>();
        cv->setDataSource(grid);
        cv->setCollectionDelegate(grid);
    }
    std::vector<NSIndexPath> items(std::initializer_list<int64_t> list) {
        std::vector<NSIndexPath> out;
        for (int64_t i : list) out.push_back(NSIndexPath::forItem(i, 0));
        return out;
    }
    std::shared_ptr<UICollectionView> cv;
    std::shared_ptr<Grid> grid;
};

TEST_F(CollectionViews, VisibleItemsIndexPathsAndPointsFollowTheScrollPosition) {
    // Three 100-point items a row with 10 points between; rows at 0, 110, 220, 330.
    EXPECT_EQ(cv->indexPathsForVisibleItems(), items({0, 1, 2, 3, 4, 5}));
    for (const auto& cell : cv->visibleCells()) {
        auto ip = cv->indexPathForCell(cell);
        ASSERT_TRUE(ip.has_value());
        EXPECT_EQ(cv->cellForItemAtIndexPath(*ip), cell);
        EXPECT_EQ(cell->frame(), cv->frameForItemAtIndexPath(*ip));
    }
    EXPECT_EQ(cv->indexPathForItemAtPoint({115, 50}), NSIndexPath::forItem(1, 0));
    EXPECT_EQ(cv->indexPathForItemAtPoint({105, 50}), std::nullopt);  // between two items
    EXPECT_EQ(cv->numberOfItemsInSection(0), 10);
    EXPECT_EQ(cv->numberOfItemsInSection(3), 0);
    EXPECT_EQ(cv->numberOfItemsInSection(-1), 0);
    EXPECT_EQ(cv->frameForItemAtIndexPath(NSIndexPath::forItem(10, 0)), std::nullopt);
    EXPECT_EQ(cv->contentSize().height, 430);

    cv->setContentOffset({0, 220});
    EXPECT_EQ(cv->indexPathsForVisibleItems(), items({6, 7, 8, 9}));
    EXPECT_EQ(cv->cellForItemAtIndexPath(NSIndexPath::forItem(0, 0)), nullptr);
    int reused = 0;
    for (const auto& cell : cv->visibleCells())
        reused += std::static_pointer_cast<CountingCell>(cell)->reused;
    EXPECT_EQ(reused, 4);  // the cells that left were taken again
    EXPECT_EQ(cv->subviews().size(), 4u);

    grid->items = 2;
    cv->reloadData();
    EXPECT_EQ(cv->indexPathsForVisibleItems(), items({}));
    cv->setContentOffset({0, 0});
    EXPECT_EQ(cv->indexPathsForVisibleItems(), items({0, 1}));
}

TEST_F(CollectionViews, TapsSelectOneItemAtATime) {
    auto window = make<UIWindow>(CGRect(0, 0, 320, 480));
    window->makeKeyAndVisible();
    window->addSubview(cv);
    auto first = cv->cellForItemAtIndexPath(NSIndexPath::forItem(1, 0));
    auto second = cv->cellForItemAtIndexPath(NSIndexPath::forItem(4, 0));
    ASSERT_TRUE(first && second);
    TouchDriver::tap(first);
    EXPECT_TRUE(first->isSelected());
    TouchDriver::tap(second);
    EXPECT_FALSE(first->isSelected());
    EXPECT_TRUE(second->isSelected());
    EXPECT_EQ(grid->selected, items({1, 4}));
    EXPECT_EQ(cv->indexPathsForSelectedItems(), items({4}));
    // A selected item scrolled away and back comes back selected.
    cv->setContentOffset({0, 300});
    cv->setContentOffset({0, 0});
    auto again = cv->cellForItemAtIndexPath(NSIndexPath::forItem(4, 0));
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->isSelected());
    EXPECT_FALSE(cv->cellForItemAtIndexPath(NSIndexPath::forItem(1, 0))->isSelected());
}

TEST_F(CollectionViews, DelegateSizesAndMissingCells) {
    CaptureLogSink capture;
    grid->firstSize = {300, 40};
    grid->nilForFirst = true;
    cv->reloadData();
    EXPECT_EQ(cv->frameForItemAtIndexPath(NSIndexPath::forItem(0, 0)), CGRect(0, 0, 300, 40));
    EXPECT_EQ(cv->frameForItemAtIndexPath(NSIndexPath::forItem(1, 0)), CGRect(0, 50, 100, 100));
    // A data source without a cell gets a logged stand-in rather than a hole.
    auto cell = cv->cellForItemAtIndexPath(NSIndexPath::forItem(0, 0));
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->superview(), cv);
    EXPECT_THAT(capture.messages(),
                testing::Contains(testing::HasSubstr("returned a nil cell for item 0 in section 0")));
}

}  // namespace
}  // namespace brindlecue::platform
