#include "platform/uikit/UITableView.h"

#include <algorithm>

#include "platform/SystemLog.h"
#include "platform/uikit/UIScreen.h"

namespace brindlecue::platform {

void UITableView::setDataSource(const std::shared_ptr<UITableViewDataSource>& d) {
    dataSource_ = d;
    loaded_ = false;
    setNeedsLayout();
}

void UITableView::setTableDelegate(const std::shared_ptr<UITableViewDelegate>& d) {
    tableDelegate_ = d;
    setDelegate(d);
    if (loaded_) reloadData();
}

void UITableView::setTableHeaderView(const std::shared_ptr<UIView>& v) {
    if (tableHeaderView_) tableHeaderView_->removeFromSuperview();
    tableHeaderView_ = v;
    if (v) addSubview(v);
    if (loaded_) reloadData();
}

void UITableView::setTableFooterView(const std::shared_ptr<UIView>& v) {
    if (tableFooterView_) tableFooterView_->removeFromSuperview();
    tableFooterView_ = v;
    if (v) addSubview(v);
    if (loaded_) reloadData();
}

void UITableView::ensureLoaded() {
    if (!loaded_) reloadData();
}

void UITableView::reloadData() {
    auto self = sharedAs<UITableView>();
    loaded_ = true;
    for (auto& [ip, cell] : visible_) {
        cell->removeFromSuperview();
        if (!cell->reuseIdentifier().empty()) reusePool_[cell->reuseIdentifier()].push_back(cell);
    }
    visible_.clear();
    for (auto& [s, v] : headers_) v->removeFromSuperview();
    for (auto& [s, v] : footers_) v->removeFromSuperview();
    headers_.clear();
    footers_.clear();
    computeLayout();
    updateVisible();
}

void UITableView::computeLayout() {
    auto ds = dataSource();
    auto del = tableDelegate();
    sections_.clear();
    double width = bounds().size.width;
    double y = 0;
    if (tableHeaderView_) {
        tableHeaderView_->setFrame(CGRect(0, 0, width, tableHeaderView_->frame().size.height));
        y += tableHeaderView_->frame().size.height;
    }
    int64_t count = ds ? std::max<int64_t>(0, ds->numberOfSectionsInTableView(*this)) : 0;
    for (int64_t s = 0; s < count; ++s) {
        SectionLayout sec;
        sec.hasHeader = ds->tableViewTitleForHeaderInSection(*this, s).has_value() ||
                        (del && del->tableViewViewForHeaderInSection(*this, s));
        sec.hasFooter = ds->tableViewTitleForFooterInSection(*this, s).has_value() ||
                        (del && del->tableViewViewForFooterInSection(*this, s));
        double hh = del ? del->tableViewHeightForHeaderInSection(*this, s) : -1;
        sec.headerHeight = hh >= 0 ? hh : (sec.hasHeader ? sectionHeaderHeight_ : 0);
        sec.headerY = y;
        y += sec.headerHeight;
        int64_t rows = std::max<int64_t>(0, ds->tableViewNumberOfRowsInSection(*this, s));
        for (int64_t r = 0; r < rows; ++r) {
            double h = del ? del->tableViewHeightForRowAtIndexPath(*this, NSIndexPath::forRow(r, s)) : -1;
            if (h < 0) h = rowHeight_;
            sec.rowY.push_back(y);
            sec.rowHeight.push_back(h);
            y += h;
        }
        double fh = del ? del->tableViewHeightForFooterInSection(*this, s) : -1;
        sec.footerHeight = fh >= 0 ? fh : (sec.hasFooter ? sectionFooterHeight_ : 0);
        sec.footerY = y;
        y += sec.footerHeight;
        sections_.push_back(std::move(sec));
    }
    if (tableFooterView_) {
        tableFooterView_->setFrame(CGRect(0, y, width, tableFooterView_->frame().size.height));
        y += tableFooterView_->frame().size.height;
    }
    setContentSize({width, y});
}

std::shared_ptr<UIView> UITableView::makeSupplementary(int64_t section, bool header) {
    auto ds = dataSource();
    auto del = tableDelegate();
    std::shared_ptr<UIView> v = del ? (header ? del->tableViewViewForHeaderInSection(*this, section)
                                              : del->tableViewViewForFooterInSection(*this, section))
                                    : nullptr;
    if (v) return v;
    auto title = ds ? (header ? ds->tableViewTitleForHeaderInSection(*this, section)
                              : ds->tableViewTitleForFooterInSection(*this, section))
                    : std::nullopt;
    auto hf = make<UITableViewHeaderFooterView>();
    hf->textLabel()->setText(title);
    return hf;
}

void UITableView::updateVisible() {
    if (!loaded_ || updating_) return;
    updating_ = true;
    auto self = sharedAs<UITableView>();
    auto ds = dataSource();
    auto del = tableDelegate();
    CGRect visibleRect = bounds();
    double width = visibleRect.size.width;
    auto meets = [&](double y, double h) {
        return h > 0 && y < visibleRect.maxY() && y + h > visibleRect.minY();
    };

    // Cells leaving.
    for (auto it = visible_.begin(); it != visible_.end();) {
        const auto& [ip, cell] = *it;
        bool stays = ip.section < int64_t(sections_.size()) &&
                     ip.row < int64_t(sections_[ip.section].rowY.size()) &&
                     meets(sections_[ip.section].rowY[ip.row], sections_[ip.section].rowHeight[ip.row]);
        if (stays) {
            ++it;
            continue;
        }
        auto gone = cell;
        NSIndexPath gonePath = ip;
        it = visible_.erase(it);
        gone->removeFromSuperview();
        if (del) del->tableViewDidEndDisplayingCell(*this, *gone, gonePath);
        if (!gone->reuseIdentifier().empty()) reusePool_[gone->reuseIdentifier()].push_back(gone);
    }
    // Cells arriving.
    for (int64_t s = 0; s < int64_t(sections_.size()); ++s) {
        const auto& sec = sections_[s];
        for (int64_t r = 0; r < int64_t(sec.rowY.size()); ++r) {
            NSIndexPath ip = NSIndexPath::forRow(r, s);
            if (!meets(sec.rowY[r], sec.rowHeight[r]) || visible_.count(ip)) continue;
            auto cell = ds ? ds->tableViewCellForRowAtIndexPath(*this, ip) : nullptr;
            if (!cell) {
                // The platform stops the app here; a blank cell keeps the table whole instead.
                SystemLog("com.apple.UIKit", "UIKit")
                    .log(LogType::Error, "UITableView dataSource returned a nil cell for row " +
                                             std::to_string(r) + " in section " + std::to_string(s));
                cell = make<UITableViewCell>();
            }
            cell->setFrame(CGRect(0, sec.rowY[r], width, sec.rowHeight[r]));
            cell->setSelected(selected_ == ip);
            visible_[ip] = cell;
            if (del) del->tableViewWillDisplayCell(*this, *cell, ip);
            insertSubviewAtIndex(cell, 0);
        }
        auto place = [&](std::map<int64_t, std::shared_ptr<UIView>>& views, bool has, double y, double h,
                         bool header) {
            bool show = has && meets(y, h);
            auto it = views.find(s);
            if (!show) {
                if (it != views.end()) {
                    it->second->removeFromSuperview();
                    views.erase(it);
                }
                return;
            }
            if (it == views.end()) {
                auto v = makeSupplementary(s, header);
                views[s] = v;
                addSubview(v);
            }
            views[s]->setFrame(CGRect(0, y, width, h));
        };
        place(headers_, sec.hasHeader, sec.headerY, sec.headerHeight, true);
        place(footers_, sec.hasFooter, sec.footerY, sec.footerHeight, false);
    }
    // Rows from a section the data no longer has.
    std::erase_if(headers_, [&](auto& e) {
        if (e.first < int64_t(sections_.size())) return false;
        e.second->removeFromSuperview();
        return true;
    });
    updating_ = false;
}

void UITableView::layoutSubviews() {
    UIScrollView::layoutSubviews();
    ensureLoaded();
    updateVisible();
}

void UITableView::setBounds(const CGRect& b) {
    CGRect old = bounds();
    UIScrollView::setBounds(b);
    if (!loaded_) return;
    if (!(old.size == b.size))
        reloadData();
    else if (!(old.origin == b.origin))
        updateVisible();
}

void UITableView::setFrame(const CGRect& frame) {
    CGSize old = bounds().size;
    UIScrollView::setFrame(frame);
    if (loaded_ && !(old == bounds().size)) reloadData();
}

int64_t UITableView::numberOfSections() {
    ensureLoaded();
    return int64_t(sections_.size());
}

int64_t UITableView::numberOfRowsInSection(int64_t section) {
    ensureLoaded();
    if (section < 0 || section >= int64_t(sections_.size())) return 0;
    return int64_t(sections_[section].rowY.size());
}

CGRect UITableView::rectForRowAtIndexPath(const NSIndexPath& ip) {
    ensureLoaded();
    if (ip.section < 0 || ip.section >= int64_t(sections_.size())) return CGRect::zero();
    const auto& sec = sections_[ip.section];
    if (ip.row < 0 || ip.row >= int64_t(sec.rowY.size())) return CGRect::zero();
    return CGRect(0, sec.rowY[ip.row], bounds().size.width, sec.rowHeight[ip.row]);
}

CGRect UITableView::rectForHeaderInSection(int64_t section) {
    ensureLoaded();
    if (section < 0 || section >= int64_t(sections_.size())) return CGRect::zero();
    return CGRect(0, sections_[section].headerY, bounds().size.width, sections_[section].headerHeight);
}

std::optional<NSIndexPath> UITableView::indexPathForRowAtPoint(CGPoint p) {
    ensureLoaded();
    for (int64_t s = 0; s < int64_t(sections_.size()); ++s)
        for (int64_t r = 0; r < int64_t(sections_[s].rowY.size()); ++r)
            if (p.y >= sections_[s].rowY[r] && p.y < sections_[s].rowY[r] + sections_[s].rowHeight[r])
                return NSIndexPath::forRow(r, s);
    return std::nullopt;
}

std::vector<std::shared_ptr<UITableViewCell>> UITableView::visibleCells() {
    ensureLoaded();
    std::vector<std::shared_ptr<UITableViewCell>> out;
    for (const auto& [ip, cell] : visible_) out.push_back(cell);
    return out;
}

std::vector<NSIndexPath> UITableView::indexPathsForVisibleRows() {
    ensureLoaded();
    std::vector<NSIndexPath> out;
    for (const auto& [ip, cell] : visible_) out.push_back(ip);
    return out;
}

std::shared_ptr<UITableViewCell> UITableView::cellForRowAtIndexPath(const NSIndexPath& ip) {
    ensureLoaded();
    auto it = visible_.find(ip);
    return it == visible_.end() ? nullptr : it->second;
}

std::optional<NSIndexPath> UITableView::indexPathForCell(const std::shared_ptr<UITableViewCell>& cell) {
    ensureLoaded();
    for (const auto& [ip, c] : visible_)
        if (c == cell) return ip;
    return std::nullopt;
}

std::shared_ptr<UIView> UITableView::headerViewForSection(int64_t section) {
    ensureLoaded();
    auto it = headers_.find(section);
    return it == headers_.end() ? nullptr : it->second;
}

std::shared_ptr<UIView> UITableView::footerViewForSection(int64_t section) {
    ensureLoaded();
    auto it = footers_.find(section);
    return it == footers_.end() ? nullptr : it->second;
}

void UITableView::scrollToRowAtIndexPath(const NSIndexPath& ip, UITableViewScrollPosition position,
                                         bool animated) {
    CGRect r = rectForRowAtIndexPath(ip);
    if (r.isEmpty()) return;
    double h = bounds().size.height;
    CGPoint o = contentOffset();
    switch (position) {
        case UITableViewScrollPosition::Top:
            o.y = r.minY();
            break;
        case UITableViewScrollPosition::Middle:
            o.y = r.midY() - h / 2;
            break;
        case UITableViewScrollPosition::Bottom:
            o.y = r.maxY() - h;
            break;
        case UITableViewScrollPosition::None:
            return scrollRectToVisible(r, animated);
    }
    setContentOffset(clampedOffset(o), animated);
}

void UITableView::registerCellFactory(const std::string& identifier,
                                      std::function<std::shared_ptr<UITableViewCell>()> factory) {
    factories_[identifier] = std::move(factory);
}

std::shared_ptr<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(
    const std::string& identifier) {
    auto& pool = reusePool_[identifier];
    if (pool.empty()) return nullptr;
    auto cell = pool.back();
    pool.pop_back();
    cell->prepareForReuse();
    return cell;
}

std::shared_ptr<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(const std::string& identifier,
                                                                                const NSIndexPath&) {
    if (auto cell = dequeueReusableCellWithIdentifier(identifier)) return cell;
    auto it = factories_.find(identifier);
    if (it == factories_.end() || !it->second) return nullptr;
    auto cell = it->second();
    if (cell) cell->setReuseIdentifier(identifier);
    return cell;
}

void UITableView::selectRowAtIndexPath(std::optional<NSIndexPath> ip, bool animated,
                                       UITableViewScrollPosition position) {
    if (selected_)
        if (auto old = cellForRowAtIndexPath(*selected_)) old->setSelected(false);
    selected_ = ip;
    if (!ip) return;
    if (auto cell = cellForRowAtIndexPath(*ip)) cell->setSelected(true, animated);
    if (position != UITableViewScrollPosition::None) scrollToRowAtIndexPath(*ip, position, animated);
}

void UITableView::deselectRowAtIndexPath(const NSIndexPath& ip, bool animated) {
    if (selected_ != ip) return;
    selected_.reset();
    if (auto cell = cellForRowAtIndexPath(ip)) cell->setSelected(false, animated);
}

void UITableView::cellTapped(const std::shared_ptr<UITableViewCell>& cell) {
    auto ip = indexPathForCell(cell);
    if (!ip) return;
    auto self = sharedAs<UITableView>();
    auto del = tableDelegate();
    if (selected_ && *selected_ != *ip) {
        NSIndexPath old = *selected_;
        deselectRowAtIndexPath(old, false);
        if (del) del->tableViewDidDeselectRowAtIndexPath(*this, old);
    }
    selectRowAtIndexPath(*ip, false, UITableViewScrollPosition::None);
    if (del) del->tableViewDidSelectRowAtIndexPath(*this, *ip);
}

std::shared_ptr<UITableView> UITableViewController::tableView() {
    return std::dynamic_pointer_cast<UITableView>(view());
}

void UITableViewController::loadView() {
    auto table = make<UITableView>(UIScreen::mainScreen()->bounds(), style_);
    auto self = std::static_pointer_cast<UITableViewController>(sharedAs<UIViewController>());
    table->setDataSource(self);
    table->setTableDelegate(self);
    setView(table);
}

}  // namespace brindlecue::platform
