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

// Two sections of three rows: section 0 has a header view of the delegate's and a footer title,
// section 1 a header title; row 1/1 is 80 high; a cell identifier nobody registered gives no cell.
struct Sections : UITableViewDataSource, UITableViewDelegate {
    std::shared_ptr<UIView> headerView = make<UIView>();
    std::vector<std::string> calls;
    bool nilCells = false;
    int64_t numberOfSectionsInTableView(UITableView&) override { return 2; }
    int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t) override { return 3; }
    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& t, const NSIndexPath& ip) override {
        return t.dequeueReusableCellWithIdentifier(nilCells ? "unregistered" : "cell", ip);
    }
    std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, int64_t s) override {
        if (s == 1) return "Second";
        return std::nullopt;
    }
    std::optional<std::string> tableViewTitleForFooterInSection(UITableView&, int64_t s) override {
        if (s == 0) return "Footnote";
        return std::nullopt;
    }
    std::shared_ptr<UIView> tableViewViewForHeaderInSection(UITableView&, int64_t s) override {
        return s == 0 ? headerView : nullptr;
    }
    double tableViewHeightForHeaderInSection(UITableView&, int64_t s) override { return s == 0 ? 40 : -1; }
    double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath& ip) override {
        return ip == NSIndexPath{1, 1} ? 80 : -1;
    }
    void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& ip) override {
        calls.push_back("select " + std::to_string(ip.section) + "/" + std::to_string(ip.row));
    }
    void tableViewDidDeselectRowAtIndexPath(UITableView&, const NSIndexPath& ip) override {
        calls.push_back("deselect " + std::to_string(ip.section) + "/" + std::to_string(ip.row));
    }
};

class SectionedTables : public Tables {
protected:
    void SetUp() override {
        Tables::SetUp();
        sections = std::make_shared<Sections>();
        table->setDataSource(sections);
        table->setTableDelegate(sections);
        table->setFrame(CGRect(0, 0, 320, 600));
    }
    std::shared_ptr<Sections> sections;
};

TEST_F(SectionedTables, HeadersFootersAndTheTablesOwnViewsTakeTheirPlaces) {
    auto top = make<UIView>(CGRect(0, 0, 10, 50));
    auto bottom = make<UIView>(CGRect(0, 0, 10, 30));
    table->setTableHeaderView(top);
    table->setTableFooterView(bottom);
    table->reloadData();
    // 50 of the table's header, section 0: header 40, rows 3 x 44, footer 28; section 1: header 28,
    // rows 44, 80, 44; then the table's footer of 30.
    EXPECT_EQ(top->frame(), CGRect(0, 0, 320, 50));
    EXPECT_EQ(table->rectForHeaderInSection(0), CGRect(0, 50, 320, 40));
    EXPECT_EQ(table->headerViewForSection(0), sections->headerView);
    EXPECT_EQ(sections->headerView->frame(), CGRect(0, 50, 320, 40));
    auto footer = std::dynamic_pointer_cast<UITableViewHeaderFooterView>(table->footerViewForSection(0));
    ASSERT_TRUE(footer);
    EXPECT_EQ(footer->textLabel()->text(), "Footnote");
    EXPECT_EQ(footer->frame(), CGRect(0, 50 + 40 + 132, 320, 28));
    EXPECT_EQ(table->footerViewForSection(1), nullptr);
    EXPECT_EQ(table->rectForHeaderInSection(1), CGRect(0, 250, 320, 28));
    EXPECT_EQ(table->rectForRowAtIndexPath({1, 1}), CGRect(0, 250 + 28 + 44, 320, 80));
    EXPECT_EQ(bottom->frame(), CGRect(0, 250 + 28 + 168, 320, 30));
    EXPECT_EQ(table->contentSize().height, 250 + 28 + 168 + 30);
    EXPECT_EQ(table->rectForHeaderInSection(2), CGRect::zero());
    EXPECT_EQ(table->rectForRowAtIndexPath({-1, 0}), CGRect::zero());
    EXPECT_EQ(table->numberOfRowsInSection(1), 3);
    EXPECT_EQ(table->numberOfRowsInSection(2), 0);
    EXPECT_EQ(table->numberOfRowsInSection(-1), 0);

    // Points find their rows; headers and footers are no row.
    EXPECT_EQ(table->indexPathForRowAtPoint({5, 250 + 28 + 44 + 79}), (NSIndexPath{1, 1}));
    EXPECT_EQ(table->indexPathForRowAtPoint({5, 60}), std::nullopt);
    EXPECT_EQ(table->indexPathForRowAtPoint({5, 5000}), std::nullopt);

    // A new table header takes the old one's place, and the rows move down with it.
    auto taller = make<UIView>(CGRect(0, 0, 10, 70));
    table->setTableHeaderView(taller);
    EXPECT_EQ(top->superview(), nullptr);
    EXPECT_EQ(taller->superview(), table);
    EXPECT_EQ(table->rectForHeaderInSection(0).origin.y, 70);
    table->setTableFooterView(nullptr);
    EXPECT_EQ(bottom->superview(), nullptr);
    EXPECT_EQ(table->contentSize().height, 270 + 28 + 168);
    table->setTableHeaderView(nullptr);
    EXPECT_EQ(taller->superview(), nullptr);
    EXPECT_EQ(table->rectForHeaderInSection(0).origin.y, 0);

    // A narrower table lays its rows out again at the new width.
    table->setFrame(CGRect(0, 0, 200, 600));
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 0}).size.width, 200);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0})->frame().size.width, 200);
    table->setBounds(CGRect(0, 0, 250, 600));
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0})->frame().size.width, 250);
}

TEST_F(SectionedTables, ScrollPositionsSelectionAndCellsTheDataSourceCouldNotMake) {
    table->setFrame(CGRect(0, 0, 320, 100));
    table->reloadData();
    const CGRect row = table->rectForRowAtIndexPath({1, 1});  // the row 80 high
    table->scrollToRowAtIndexPath({1, 1}, UITableViewScrollPosition::Middle, false);
    EXPECT_EQ(table->contentOffset().y, row.midY() - 50);
    table->scrollToRowAtIndexPath({1, 1}, UITableViewScrollPosition::Bottom, false);
    EXPECT_EQ(table->contentOffset().y, row.maxY() - 100);
    table->scrollToRowAtIndexPath({0, 0}, UITableViewScrollPosition::None, false);
    EXPECT_EQ(table->contentOffset().y, 40);  // just enough to show it
    table->scrollToRowAtIndexPath({7, 0}, UITableViewScrollPosition::Top, false);
    EXPECT_EQ(table->contentOffset().y, 40);

    // Selecting by code scrolls when asked; a second selection clears the first cell's mark.
    table->selectRowAtIndexPath(NSIndexPath{0, 2}, false, UITableViewScrollPosition::Top);
    EXPECT_EQ(table->contentOffset().y, 40 + 88);
    auto third = table->cellForRowAtIndexPath({0, 2});
    ASSERT_TRUE(third);
    EXPECT_TRUE(third->isSelected());
    table->selectRowAtIndexPath(NSIndexPath{0, 1}, false, UITableViewScrollPosition::None);
    EXPECT_FALSE(third->isSelected());
    table->deselectRowAtIndexPath({0, 2}, false);  // not the selected row: nothing
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath{0, 1}));
    table->selectRowAtIndexPath(std::nullopt, false, UITableViewScrollPosition::None);
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt);
    EXPECT_TRUE(sections->calls.empty());  // code that selects tells no delegate

    // Taps tell the delegate of the row left and the row taken.
    table->selectRowAtIndexPath(NSIndexPath{0, 1}, false, UITableViewScrollPosition::None);
    TouchDriver::tap(third);
    EXPECT_EQ(sections->calls, (std::vector<std::string>{"deselect 0/1", "select 0/2"}));
    table->deselectRowAtIndexPath({0, 2}, false);
    EXPECT_FALSE(third->isSelected());

    // A data source that hands back no cell leaves a blank one in its place.
    sections->nilCells = true;
    table->reloadData();
    auto blank = table->cellForRowAtIndexPath({0, 2});
    ASSERT_TRUE(blank);
    EXPECT_TRUE(blank->reuseIdentifier().empty());
    EXPECT_EQ(table->dequeueReusableCellWithIdentifier("unregistered"), nullptr);
}

TEST(TableViewController, ItsViewIsATableItFeeds) {
    struct Controller : UITableViewController {
        int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t) override { return 4; }
    };
    auto controller = make<Controller>();
    auto table = controller->tableView();
    ASSERT_TRUE(table);
    EXPECT_EQ(controller->view(), table);
    EXPECT_EQ(table->dataSource(), controller);
    EXPECT_EQ(table->numberOfRowsInSection(0), 4);
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

// Eight items of two sizes in one section, with headers and footers only where asked.
struct Tiles : UICollectionViewDataSource, UICollectionViewDelegate {
    bool nilViews = false;
    std::vector<NSIndexPath> selected, displayed;
    int64_t collectionViewNumberOfItemsInSection(UICollectionView&, int64_t) override { return 8; }
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView& c,
                                                                               const NSIndexPath& ip) override {
        return nilViews ? nullptr : c.dequeueReusableCellWithReuseIdentifier("tile", ip);
    }
    std::shared_ptr<UICollectionReusableView> collectionViewViewForSupplementaryElementOfKind(
        UICollectionView& c, const std::string& kind, const NSIndexPath& ip) override {
        return nilViews ? nullptr : c.dequeueReusableSupplementaryViewOfKind(kind, "edge", ip);
    }
    CGSize collectionViewSizeForItemAtIndexPath(UICollectionView&, const NSIndexPath& ip) override {
        return ip.item() == 0 ? CGSize{200, 60} : CGSize{-1, -1};
    }
    void collectionViewWillDisplayCell(UICollectionView&, UICollectionViewCell&, const NSIndexPath& ip) override {
        displayed.push_back(ip);
    }
    void collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath& ip) override {
        selected.push_back(ip);
    }
};

TEST(Collections, SizesInsetsFootersSelectionAndViewsTheDataSourceCouldNotMake) {
    auto window = make<UIWindow>(CGRect(0, 0, 320, 480));
    window->makeKeyAndVisible();
    auto layout = make<UICollectionViewFlowLayout>();
    layout->itemSize = {90, 40};
    layout->minimumInteritemSpacing = 10;
    layout->minimumLineSpacing = 5;
    layout->sectionInset = {10, 20, 10, 20};
    layout->footerReferenceSize = {0, 24};
    auto cv = make<UICollectionView>(CGRect(0, 0, 320, 150), layout);
    cv->registerCellFactory("tile", [] { return make<UICollectionViewCell>(); });
    cv->registerSupplementaryFactory(UICollectionElementKindSectionFooter, "edge",
                                     [] { return make<UICollectionReusableView>(); });
    auto tiles = std::make_shared<Tiles>();
    cv->setDataSource(tiles);
    cv->setCollectionDelegate(tiles);
    window->addSubview(cv);
    cv->reloadData();
    // Item 0 (200 wide) fills the first row between the insets; then rows of two 90-point items.
    EXPECT_EQ(cv->frameForItemAtIndexPath({0, 0}), (CGRect{20, 10, 200, 60}));
    EXPECT_EQ(cv->frameForItemAtIndexPath({0, 1}), (CGRect{20, 75, 90, 40}));
    EXPECT_EQ(cv->frameForItemAtIndexPath({0, 2}), (CGRect{120, 75, 90, 40}));
    EXPECT_EQ(cv->frameForItemAtIndexPath({0, 3}), (CGRect{20, 120, 90, 40}));
    EXPECT_EQ(cv->frameForItemAtIndexPath({0, 9}), std::nullopt);
    // Four rows of items end at 75 + 4 * 45 - 5; the bottom inset and the footer follow.
    EXPECT_EQ(cv->contentSize().height, 250 + 10 + 24);
    EXPECT_EQ(cv->numberOfItemsInSection(0), 8);
    EXPECT_EQ(cv->numberOfItemsInSection(1), 0);
    EXPECT_EQ(cv->indexPathForItemAtPoint({125, 80}), (NSIndexPath{0, 2}));
    EXPECT_EQ(cv->indexPathForItemAtPoint({115, 80}), std::nullopt);  // between two items
    EXPECT_TRUE(cv->visibleSupplementaryViewsOfKind(UICollectionElementKindSectionFooter).empty());
    EXPECT_EQ(cv->supplementaryViewForElementKind("", {0, 0}), nullptr);
    EXPECT_EQ(tiles->displayed.size(), cv->visibleCells().size());

    // Scrolling to the last item brings it in; scrolling to the end the footer too.
    cv->scrollToItemAtIndexPath({0, 7}, false);
    EXPECT_EQ(cv->contentOffset().y, 100);
    cv->scrollToItemAtIndexPath({0, 12}, false);  // no such item: nothing
    EXPECT_EQ(cv->contentOffset().y, 100);
    ASSERT_NE(cv->cellForItemAtIndexPath({0, 7}), nullptr);
    EXPECT_EQ(cv->cellForItemAtIndexPath({0, 0}), nullptr);
    cv->setContentOffset({0, 134});
    auto footers = cv->visibleSupplementaryViewsOfKind(UICollectionElementKindSectionFooter);
    ASSERT_EQ(footers.size(), 1u);
    EXPECT_EQ(footers[0]->frame(), (CGRect{0, 260, 320, 24}));

    // A tap selects; selecting by code moves the mark and tells no delegate.
    auto seventh = cv->cellForItemAtIndexPath({0, 7});
    TouchDriver::tap(seventh);
    EXPECT_EQ(tiles->selected, (std::vector<NSIndexPath>{{0, 7}}));
    EXPECT_TRUE(seventh->isSelected());
    cv->selectItemAtIndexPath({0, 6}, false);
    EXPECT_FALSE(seventh->isSelected());
    EXPECT_TRUE(cv->cellForItemAtIndexPath({0, 6})->isSelected());
    EXPECT_EQ(cv->indexPathsForSelectedItems(), (std::vector<NSIndexPath>{{0, 6}}));
    EXPECT_EQ(tiles->selected.size(), 1u);

    // Views that could not be made are blank ones; a narrower view lays its items out again.
    tiles->nilViews = true;
    cv->reloadData();
    auto blank = cv->cellForItemAtIndexPath({0, 7});
    ASSERT_NE(blank, nullptr);
    EXPECT_TRUE(blank->reuseIdentifier().empty());
    EXPECT_EQ(cv->visibleSupplementaryViewsOfKind(UICollectionElementKindSectionFooter).size(), 1u);
    EXPECT_EQ(cv->dequeueReusableCellWithReuseIdentifier("nothing", {0, 0}), nullptr);
    EXPECT_EQ(cv->dequeueReusableSupplementaryViewOfKind(UICollectionElementKindSectionHeader, "edge", {0, 0}),
              nullptr);
    cv->setFrame(CGRect(0, 0, 140, 150));
    EXPECT_EQ(cv->frameForItemAtIndexPath({0, 2}), (CGRect{20, 120, 90, 40}));  // one item a row
}

TEST(Collections, AControllerFeedsItsOwnCollectionView) {
    struct Controller : UICollectionViewController {
        using UICollectionViewController::UICollectionViewController;
        int64_t numberOfSectionsInCollectionView(UICollectionView&) override { return 3; }
    };
    auto layout = make<UICollectionViewFlowLayout>();
    auto controller = make<Controller>(layout);
    auto cv = controller->collectionView();
    ASSERT_TRUE(cv);
    EXPECT_EQ(cv->collectionViewLayout(), layout);
    EXPECT_EQ(cv->numberOfSections(), 3);
    EXPECT_TRUE(make<Controller>()->collectionView());
}

}  // namespace
}  // namespace brindlecue::platform
