#include "platform/uikit/UICollectionView.h"

#include <algorithm>

#include "platform/SystemLog.h"
#include "platform/uikit/UIScreen.h"

namespace brindlecue::platform {

void UICollectionViewCell::didConstruct() {
    UICollectionReusableView::didConstruct();
    contentView_ = make<UIView>(bounds());
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
}

void UICollectionViewCell::touchesEnded(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (auto collection = std::dynamic_pointer_cast<UICollectionView>(superview())) {
        collection->cellTapped(sharedAs<UICollectionViewCell>());
        return;
    }
    UIView::touchesEnded(touches, event);
}

void UICollectionView::didConstruct() {
    UIScrollView::didConstruct();
    if (!layout_) layout_ = make<UICollectionViewFlowLayout>();
}

void UICollectionView::setDataSource(const std::shared_ptr<UICollectionViewDataSource>& d) {
    dataSource_ = d;
    loaded_ = false;
    setNeedsLayout();
}

void UICollectionView::setCollectionDelegate(const std::shared_ptr<UICollectionViewDelegate>& d) {
    collectionDelegate_ = d;
    setDelegate(d);
    if (loaded_) reloadData();
}

void UICollectionView::ensureLoaded() {
    if (!loaded_) reloadData();
}

void UICollectionView::reloadData() {
    auto self = sharedAs<UICollectionView>();
    loaded_ = true;
    for (auto& [key, v] : visible_) {
        v->removeFromSuperview();
        if (!v->reuseIdentifier().empty()) reusePool_[key.first + "/" + v->reuseIdentifier()].push_back(v);
    }
    visible_.clear();
    computeLayout();
    updateVisible();
}

void UICollectionView::computeLayout() {
    auto ds = dataSource();
    auto del = collectionDelegate();
    elements_.clear();
    itemCounts_.clear();
    const auto& L = *layout_;
    double width = bounds().size.width;
    double y = 0;
    int64_t sections = ds ? std::max<int64_t>(0, ds->numberOfSectionsInCollectionView(*this)) : 0;
    for (int64_t s = 0; s < sections; ++s) {
        if (L.headerReferenceSize.height > 0) {
            elements_.push_back({UICollectionElementKindSectionHeader, NSIndexPath::forItem(0, s),
                                 CGRect(0, y, width, L.headerReferenceSize.height)});
            y += L.headerReferenceSize.height;
        }
        y += L.sectionInset.top;
        int64_t items = std::max<int64_t>(0, ds->collectionViewNumberOfItemsInSection(*this, s));
        itemCounts_.push_back(items);
        double x = L.sectionInset.left, rowHeight = 0;
        double right = width - L.sectionInset.right;
        for (int64_t i = 0; i < items; ++i) {
            NSIndexPath ip = NSIndexPath::forItem(i, s);
            CGSize size = del ? del->collectionViewSizeForItemAtIndexPath(*this, ip) : CGSize{-1, -1};
            if (size.width < 0 || size.height < 0) size = L.itemSize;
            if (x > L.sectionInset.left && x + size.width > right) {
                y += rowHeight + L.minimumLineSpacing;
                x = L.sectionInset.left;
                rowHeight = 0;
            }
            elements_.push_back({"", ip, CGRect(x, y, size.width, size.height)});
            x += size.width + L.minimumInteritemSpacing;
            rowHeight = std::max(rowHeight, size.height);
        }
        y += rowHeight + L.sectionInset.bottom;
        if (L.footerReferenceSize.height > 0) {
            elements_.push_back({UICollectionElementKindSectionFooter, NSIndexPath::forItem(0, s),
                                 CGRect(0, y, width, L.footerReferenceSize.height)});
            y += L.footerReferenceSize.height;
        }
    }
    setContentSize({width, y});
}

void UICollectionView::updateVisible() {
    if (!loaded_ || updating_) return;
    updating_ = true;
    auto self = sharedAs<UICollectionView>();
    auto ds = dataSource();
    auto del = collectionDelegate();
    CGRect visibleRect = bounds();
    std::map<Key, CGRect> wanted;
    for (const auto& e : elements_)
        if (e.frame.intersects(visibleRect)) wanted[{e.kind, e.indexPath}] = e.frame;
    for (auto it = visible_.begin(); it != visible_.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        auto v = it->second;
        std::string kind = it->first.first;
        it = visible_.erase(it);
        v->removeFromSuperview();
        if (!v->reuseIdentifier().empty()) reusePool_[kind + "/" + v->reuseIdentifier()].push_back(v);
    }
    for (const auto& [key, frame] : wanted) {
        if (visible_.count(key)) continue;
        std::shared_ptr<UICollectionReusableView> v;
        if (key.first.empty()) {
            auto cell = ds ? ds->collectionViewCellForItemAtIndexPath(*this, key.second) : nullptr;
            if (!cell) {
                SystemLog("com.apple.UIKit", "UIKit")
                    .log(LogType::Error, "UICollectionView dataSource returned a nil cell for item " +
                                             std::to_string(key.second.item()) + " in section " +
                                             std::to_string(key.second.section));
                cell = make<UICollectionViewCell>();
            }
            cell->setSelected(std::find(selected_.begin(), selected_.end(), key.second) != selected_.end());
            cell->setFrame(frame);
            if (del) del->collectionViewWillDisplayCell(*this, *cell, key.second);
            v = cell;
        } else {
            v = ds ? ds->collectionViewViewForSupplementaryElementOfKind(*this, key.first, key.second)
                   : nullptr;
            if (!v) v = make<UICollectionReusableView>();
            v->setFrame(frame);
        }
        visible_[key] = v;
        addSubview(v);
    }
    updating_ = false;
}

void UICollectionView::layoutSubviews() {
    UIScrollView::layoutSubviews();
    ensureLoaded();
    updateVisible();
}

void UICollectionView::setBounds(const CGRect& b) {
    CGRect old = bounds();
    UIScrollView::setBounds(b);
    if (!loaded_) return;
    if (!(old.size == b.size))
        reloadData();
    else if (!(old.origin == b.origin))
        updateVisible();
}

void UICollectionView::setFrame(const CGRect& frame) {
    CGSize old = bounds().size;
    UIScrollView::setFrame(frame);
    if (loaded_ && !(old == bounds().size)) reloadData();
}

int64_t UICollectionView::numberOfSections() {
    ensureLoaded();
    return int64_t(itemCounts_.size());
}

int64_t UICollectionView::numberOfItemsInSection(int64_t section) {
    ensureLoaded();
    return section >= 0 && section < int64_t(itemCounts_.size()) ? itemCounts_[section] : 0;
}

std::optional<CGRect> UICollectionView::frameForItemAtIndexPath(const NSIndexPath& ip) {
    ensureLoaded();
    for (const auto& e : elements_)
        if (e.kind.empty() && e.indexPath == ip) return e.frame;
    return std::nullopt;
}

std::optional<NSIndexPath> UICollectionView::indexPathForItemAtPoint(CGPoint p) {
    ensureLoaded();
    for (const auto& e : elements_)
        if (e.kind.empty() && e.frame.contains(p)) return e.indexPath;
    return std::nullopt;
}

std::vector<std::shared_ptr<UICollectionViewCell>> UICollectionView::visibleCells() {
    ensureLoaded();
    std::vector<std::shared_ptr<UICollectionViewCell>> out;
    for (const auto& [key, v] : visible_)
        if (key.first.empty()) out.push_back(std::static_pointer_cast<UICollectionViewCell>(v));
    return out;
}

std::vector<NSIndexPath> UICollectionView::indexPathsForVisibleItems() {
    ensureLoaded();
    std::vector<NSIndexPath> out;
    for (const auto& [key, v] : visible_)
        if (key.first.empty()) out.push_back(key.second);
    return out;
}

std::shared_ptr<UICollectionViewCell> UICollectionView::cellForItemAtIndexPath(const NSIndexPath& ip) {
    ensureLoaded();
    auto it = visible_.find({"", ip});
    return it == visible_.end() ? nullptr : std::static_pointer_cast<UICollectionViewCell>(it->second);
}

std::optional<NSIndexPath> UICollectionView::indexPathForCell(
    const std::shared_ptr<UICollectionViewCell>& cell) {
    ensureLoaded();
    for (const auto& [key, v] : visible_)
        if (key.first.empty() && v == cell) return key.second;
    return std::nullopt;
}

std::vector<std::shared_ptr<UICollectionReusableView>> UICollectionView::visibleSupplementaryViewsOfKind(
    const std::string& kind) {
    ensureLoaded();
    std::vector<std::shared_ptr<UICollectionReusableView>> out;
    for (const auto& [key, v] : visible_)
        if (key.first == kind) out.push_back(v);
    return out;
}

std::vector<NSIndexPath> UICollectionView::indexPathsForVisibleSupplementaryElementsOfKind(
    const std::string& kind) {
    ensureLoaded();
    std::vector<NSIndexPath> out;
    for (const auto& [key, v] : visible_)
        if (key.first == kind) out.push_back(key.second);
    return out;
}

std::shared_ptr<UICollectionReusableView> UICollectionView::supplementaryViewForElementKind(
    const std::string& kind, const NSIndexPath& ip) {
    ensureLoaded();
    if (kind.empty()) return nullptr;
    auto it = visible_.find({kind, ip});
    return it == visible_.end() ? nullptr : it->second;
}

void UICollectionView::scrollToItemAtIndexPath(const NSIndexPath& ip, bool animated) {
    if (auto f = frameForItemAtIndexPath(ip)) scrollRectToVisible(*f, animated);
}

void UICollectionView::registerCellFactory(const std::string& identifier,
                                           std::function<std::shared_ptr<UICollectionViewCell>()> factory) {
    cellFactories_[identifier] = std::move(factory);
}

void UICollectionView::registerSupplementaryFactory(
    const std::string& kind, const std::string& identifier,
    std::function<std::shared_ptr<UICollectionReusableView>()> f) {
    supplementaryFactories_[kind + "/" + identifier] = std::move(f);
}

std::shared_ptr<UICollectionViewCell> UICollectionView::dequeueReusableCellWithReuseIdentifier(
    const std::string& identifier, const NSIndexPath&) {
    auto& pool = reusePool_["/" + identifier];
    if (!pool.empty()) {
        auto v = std::static_pointer_cast<UICollectionViewCell>(pool.back());
        pool.pop_back();
        v->prepareForReuse();
        return v;
    }
    auto it = cellFactories_.find(identifier);
    if (it == cellFactories_.end() || !it->second) return nullptr;
    auto cell = it->second();
    if (cell) cell->setReuseIdentifier(identifier);
    return cell;
}

std::shared_ptr<UICollectionReusableView> UICollectionView::dequeueReusableSupplementaryViewOfKind(
    const std::string& kind, const std::string& identifier, const NSIndexPath&) {
    auto& pool = reusePool_[kind + "/" + identifier];
    if (!pool.empty()) {
        auto v = pool.back();
        pool.pop_back();
        v->prepareForReuse();
        return v;
    }
    auto it = supplementaryFactories_.find(kind + "/" + identifier);
    if (it == supplementaryFactories_.end() || !it->second) return nullptr;
    auto v = it->second();
    if (v) v->setReuseIdentifier(identifier);
    return v;
}

std::vector<NSIndexPath> UICollectionView::indexPathsForSelectedItems() const {
    return selected_;
}

void UICollectionView::selectItemAtIndexPath(const NSIndexPath& ip, bool) {
    for (const auto& old : selected_)
        if (auto c = cellForItemAtIndexPath(old)) c->setSelected(false);
    selected_ = {ip};
    if (auto c = cellForItemAtIndexPath(ip)) c->setSelected(true);
}

void UICollectionView::cellTapped(const std::shared_ptr<UICollectionViewCell>& cell) {
    auto ip = indexPathForCell(cell);
    if (!ip) return;
    auto self = sharedAs<UICollectionView>();
    selectItemAtIndexPath(*ip, false);
    if (auto del = collectionDelegate()) del->collectionViewDidSelectItemAtIndexPath(*this, *ip);
}

std::shared_ptr<UICollectionView> UICollectionViewController::collectionView() {
    return std::dynamic_pointer_cast<UICollectionView>(view());
}

void UICollectionViewController::loadView() {
    auto cv = make<UICollectionView>(UIScreen::mainScreen()->bounds(),
                                     layout_ ? layout_ : make<UICollectionViewFlowLayout>());
    auto self = std::static_pointer_cast<UICollectionViewController>(sharedAs<UIViewController>());
    cv->setDataSource(self);
    cv->setCollectionDelegate(self);
    setView(cv);
}

}  // namespace brindlecue::platform
