#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/NSIndexPath.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UIViewController.h"

namespace brindlecue::platform {

class UITableView;

// Every method has a default, so an implementer writes only what it needs (no rows by default).
class UITableViewDataSource {
public:
    virtual ~UITableViewDataSource() = default;
    virtual int64_t numberOfSectionsInTableView(UITableView&) { return 1; }
    virtual int64_t tableViewNumberOfRowsInSection(UITableView&, int64_t section) { return 0; }
    virtual std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&,
                                                                            const NSIndexPath&) {
        return nullptr;
    }
    virtual std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, int64_t) {
        return std::nullopt;
    }
    virtual std::optional<std::string> tableViewTitleForFooterInSection(UITableView&, int64_t) {
        return std::nullopt;
    }
};

// Heights below zero mean "not answered": the table's own heights apply.
class UITableViewDelegate : public UIScrollViewDelegate {
public:
    virtual double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) { return -1; }
    virtual double tableViewHeightForHeaderInSection(UITableView&, int64_t) { return -1; }
    virtual double tableViewHeightForFooterInSection(UITableView&, int64_t) { return -1; }
    virtual std::shared_ptr<UIView> tableViewViewForHeaderInSection(UITableView&, int64_t) { return nullptr; }
    virtual std::shared_ptr<UIView> tableViewViewForFooterInSection(UITableView&, int64_t) { return nullptr; }
    virtual void tableViewWillDisplayCell(UITableView&, UITableViewCell&, const NSIndexPath&) {}
    virtual void tableViewDidEndDisplayingCell(UITableView&, UITableViewCell&, const NSIndexPath&) {}
    virtual void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath&) {}
    virtual void tableViewDidDeselectRowAtIndexPath(UITableView&, const NSIndexPath&) {}
};

enum class UITableViewStyle { Plain, Grouped, InsetGrouped };
enum class UITableViewScrollPosition { None, Top, Middle, Bottom };

// A table: sections of rows laid out top to bottom (header, rows, footer per section). The cells
// and section headers that meet the visible bounds are direct subviews of the table, each cell
// holding its content view, as on the platform. Data is read on the first layout or query and
// again at reloadData; scrolling brings cells in and out, with reuse by identifier.
class UITableView : public UIScrollView {
public:
    BLQ_PLATFORM_CLASS(UITableView)

    static constexpr double kDefaultRowHeight = 44;
    static constexpr double kDefaultSectionHeaderHeight = 28;

    UITableView() = default;
    UITableView(const CGRect& frame, UITableViewStyle style) : UIScrollView(frame), style_(style) {}

    UITableViewStyle style() const { return style_; }
    std::shared_ptr<UITableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(const std::shared_ptr<UITableViewDataSource>& d);
    std::shared_ptr<UITableViewDelegate> tableDelegate() const { return tableDelegate_.lock(); }
    // Also the scroll view delegate.
    void setTableDelegate(const std::shared_ptr<UITableViewDelegate>& d);
    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double h) { rowHeight_ = h; }
    double sectionHeaderHeight() const { return sectionHeaderHeight_; }
    void setSectionHeaderHeight(double h) { sectionHeaderHeight_ = h; }
    double sectionFooterHeight() const { return sectionFooterHeight_; }
    void setSectionFooterHeight(double h) { sectionFooterHeight_ = h; }
    std::shared_ptr<UIView> tableHeaderView() const { return tableHeaderView_; }
    void setTableHeaderView(const std::shared_ptr<UIView>& v);
    std::shared_ptr<UIView> tableFooterView() const { return tableFooterView_; }
    void setTableFooterView(const std::shared_ptr<UIView>& v);

    void reloadData();
    int64_t numberOfSections();
    int64_t numberOfRowsInSection(int64_t section);
    CGRect rectForRowAtIndexPath(const NSIndexPath& indexPath);
    CGRect rectForHeaderInSection(int64_t section);
    std::optional<NSIndexPath> indexPathForRowAtPoint(CGPoint point);

    // Visible cells in index-path order, and their index paths.
    std::vector<std::shared_ptr<UITableViewCell>> visibleCells();
    std::vector<NSIndexPath> indexPathsForVisibleRows();
    // The visible cell of the row; none when the row is not on show.
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const NSIndexPath& indexPath);
    std::optional<NSIndexPath> indexPathForCell(const std::shared_ptr<UITableViewCell>& cell);
    // The visible header view of the section.
    std::shared_ptr<UIView> headerViewForSection(int64_t section);
    std::shared_ptr<UIView> footerViewForSection(int64_t section);

    void scrollToRowAtIndexPath(const NSIndexPath& indexPath, UITableViewScrollPosition position,
                                bool animated);

    // Reuse.
    void registerCellFactory(const std::string& identifier,
                             std::function<std::shared_ptr<UITableViewCell>()> factory);
    std::shared_ptr<UITableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
    // With a registered factory this always gives a cell.
    std::shared_ptr<UITableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier,
                                                                       const NSIndexPath& indexPath);

    // Selection.
    std::optional<NSIndexPath> indexPathForSelectedRow() const { return selected_; }
    void selectRowAtIndexPath(std::optional<NSIndexPath> indexPath, bool animated,
                              UITableViewScrollPosition position);
    void deselectRowAtIndexPath(const NSIndexPath& indexPath, bool animated);

    void layoutSubviews() override;
    void setBounds(const CGRect& bounds) override;
    void setFrame(const CGRect& frame) override;

    // A tap on a visible cell: selects its row and tells the delegate.
    void cellTapped(const std::shared_ptr<UITableViewCell>& cell);

private:
    struct SectionLayout {
        double headerY = 0, headerHeight = 0;
        std::vector<double> rowY, rowHeight;
        double footerY = 0, footerHeight = 0;
        bool hasHeader = false, hasFooter = false;
    };
    void ensureLoaded();
    void computeLayout();
    void updateVisible();
    std::shared_ptr<UIView> makeSupplementary(int64_t section, bool header);

    UITableViewStyle style_ = UITableViewStyle::Plain;
    std::weak_ptr<UITableViewDataSource> dataSource_;
    std::weak_ptr<UITableViewDelegate> tableDelegate_;
    double rowHeight_ = kDefaultRowHeight;
    double sectionHeaderHeight_ = kDefaultSectionHeaderHeight;
    double sectionFooterHeight_ = kDefaultSectionHeaderHeight;
    std::shared_ptr<UIView> tableHeaderView_;
    std::shared_ptr<UIView> tableFooterView_;
    bool loaded_ = false;
    bool updating_ = false;
    std::vector<SectionLayout> sections_;
    std::map<NSIndexPath, std::shared_ptr<UITableViewCell>> visible_;
    std::map<int64_t, std::shared_ptr<UIView>> headers_;
    std::map<int64_t, std::shared_ptr<UIView>> footers_;
    std::map<std::string, std::vector<std::shared_ptr<UITableViewCell>>> reusePool_;
    std::map<std::string, std::function<std::shared_ptr<UITableViewCell>()>> factories_;
    std::optional<NSIndexPath> selected_;
};

// A controller whose view is a table, with itself as data source and delegate.
class UITableViewController : public UIViewController,
                              public UITableViewDataSource,
                              public UITableViewDelegate {
public:
    BLQ_PLATFORM_CLASS(UITableViewController)

    explicit UITableViewController(UITableViewStyle style = UITableViewStyle::Plain) : style_(style) {}
    std::shared_ptr<UITableView> tableView();
    void loadView() override;

private:
    UITableViewStyle style_;
};

}  // namespace brindlecue::platform
