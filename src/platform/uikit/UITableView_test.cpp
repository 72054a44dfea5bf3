#include "platform/uikit/UITableView.h"

#include <gtest/gtest.h>

#include "platform/uikit/TouchDriver.h"
#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {
namespace {

struct Rows : UITableViewDataSource, UITableViewDelegate {
    int64_t sections = 2, rows = 10;
    std::vector<NSIndexPath> selected;
    int scrolled = 0;
    int64_t numberOfSectionsInTableView(UITableView&) override { return sections; }
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t) override { return rows; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& t,
                                                                    const NSIndexPath& ip) override {
        auto cell = t.dequeueReusableCellWithIdentifier("cell", ip);
        cell->textLabel()->setText("row " + std::to_string(ip.section) + "/" + std::to_string(ip.row));
        return cell;
    }
    std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, int64_t s) override {
        return "Section " + std::to_string(s);
    }
    void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& ip) override {
        selected.push_back(ip);
    }
    void scrollViewDidScroll(UIScrollView&) override { ++scrolled; }
};

class Tables : public ::testing::Test {
protected:
    void SetUp() override {
        window = make<UIWindow>(CGRect(0, 0, 320, 480));
        window->makeKeyAndVisible();
        table = make<UITableView>(CGRect(0, 0, 320, 200), UITableViewStyle::Plain);
        table->registerCellFactory(
            "cell", [] { return make<UITableViewCell>(UITableViewCellStyle::Default, "cell"); });
        rows = std::make_shared<Rows>();
        table->setDataSource(rows);
        table->setTableDelegate(rows);
        window->addSubview(table);
    }
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UITableView> table;
    std::shared_ptr<Rows> rows;
};

TEST_F(Tables, VisibleCellsNestAsOnThePlatform) {
    table->reloadData();
    // Header 28, then rows of 44: rows 0..3 meet the 200 point viewport.
    EXPECT_EQ(table->indexPathsForVisibleRows(), (std::vector<NSIndexPath>{{0, 0}, {0, 1}, {0, 2}, {0, 3}}));
    EXPECT_EQ(table->contentSize().height, 2 * (28 + 10 * 44));
    auto cell = table->cellForRowAtIndexPath({0, 2});
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->superview(), table);
    EXPECT_EQ(cell->textLabel()->superview(), cell->contentView());
    EXPECT_EQ(cell->contentView()->className(), "UITableViewCellContentView");
    EXPECT_EQ(cell->frame(), CGRect(0, 28 + 2 * 44, 320, 44));
    EXPECT_EQ(table->indexPathForCell(cell), (NSIndexPath{0, 2}));
    EXPECT_EQ(table->cellForRowAtIndexPath({1, 0}), nullptr);
    auto header = std::dynamic_pointer_cast<UITableViewHeaderFooterView>(table->headerViewForSection(0));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->textLabel()->text(), "Section 0");
    EXPECT_EQ(header->superview(), table);
}

TEST_F(Tables, ScrollingBringsCellsInReusesThemAndConvertsCoordinates) {
    table->reloadData();
    auto first = table->cellForRowAtIndexPath({0, 0});
    table->setContentOffset({0, 28 + 10 * 44});  // section 1's header at the top
    EXPECT_GE(rows->scrolled, 1);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0}), nullptr);
    auto reused = table->cellForRowAtIndexPath({1, 0});
    ASSERT_NE(reused, nullptr);
    EXPECT_EQ(reused->textLabel()->text(), "row 1/0");
    EXPECT_NE(table->headerViewForSection(1), nullptr);
    EXPECT_EQ(table->headerViewForSection(0), nullptr);
    // Row 1/0 sits right under the header at the top of the table's window area.
    EXPECT_EQ(reused->convertRectToView(reused->bounds(), nullptr), CGRect(0, 28, 320, 44));
    EXPECT_EQ(first.use_count() > 0, true);

    table->scrollToRowAtIndexPath({0, 5}, UITableViewScrollPosition::Top, false);
    EXPECT_EQ(table->contentOffset().y, 28 + 5 * 44);
}

TEST_F(Tables, TapSelectsRowsAndChangedDataReloads) {
    table->reloadData();
    TouchDriver::tap(table->cellForRowAtIndexPath({0, 1}));
    EXPECT_EQ(rows->selected, (std::vector<NSIndexPath>{{0, 1}}));
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 1}));
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 1})->isSelected());
    rows->sections = 1;
    rows->rows = 1;
    table->reloadData();
    EXPECT_EQ(table->numberOfSections(), 1);
    EXPECT_EQ(table->visibleCells().size(), 1u);
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 4}), CGRect::zero());
}

struct Items : UICollectionViewDataSource, UICollectionViewDelegate {
    int64_t collectionViewNumberOfItemsInSection(UICollectionView&, int64_t) override { return 7; }
    int64_t numberOfSectionsInCollectionView(UICollectionView&) override { return 2; }
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(
        UICollectionView& c, const NSIndexPath& ip) override {
        return c.dequeueReusableCellWithReuseIdentifier("item", ip);
    }
    std::shared_ptr<UICollectionReusableView> collectionViewViewForSupplementaryElementOfKind(
        UICollectionView& c, const std::string& kind, const NSIndexPath& ip) override {
        return c.dequeueReusableSupplementaryViewOfKind(kind, "header", ip);
    }
};

TEST(Collections, FlowLayoutCellsAndHeaders) {
    auto layout = make<UICollectionViewFlowLayout>();
    layout->itemSize = {100, 100};
    layout->minimumInteritemSpacing = 10;
    layout->minimumLineSpacing = 10;
    layout->headerReferenceSize = {0, 30};
    auto cv = make<UICollectionView>(CGRect(0, 0, 320, 300), layout);
    cv->registerCellFactory("item", [] { return make<UICollectionViewCell>(); });
    cv->registerSupplementaryFactory(UICollectionElementKindSectionHeader, "header",
                                     [] { return make<UICollectionReusableView>(); });
    auto items = std::make_shared<Items>();
    cv->setDataSource(items);
    cv->setCollectionDelegate(items);
    cv->reloadData();
    // Three items a row (320 wide): rows at y 30, 140, 250 for section 0.
    EXPECT_EQ(cv->frameForItemAtIndexPath({0, 4}), CGRect(110, 140, 100, 100));
    auto cell = cv->cellForItemAtIndexPath({0, 4});
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->superview(), cv);
    EXPECT_EQ(cell->contentView()->superview(), cell);
    EXPECT_EQ(cv->indexPathForCell(cell), (NSIndexPath{0, 4}));
    EXPECT_EQ(cv->indexPathsForVisibleItems().size(), 7u);  // the third row starts at 250 < 300
    EXPECT_EQ(cv->indexPathsForVisibleSupplementaryElementsOfKind(UICollectionElementKindSectionHeader),
              (std::vector<NSIndexPath>{{0, 0}}));
    cv->setContentOffset({0, 340});  // section 1's header starts at 350
    EXPECT_EQ(cv->cellForItemAtIndexPath({0, 0}), nullptr);
    EXPECT_NE(cv->supplementaryViewForElementKind(UICollectionElementKindSectionHeader, {1, 0}), nullptr);
}

}  // namespace
}  // namespace brindlecue::platform
