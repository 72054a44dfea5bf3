#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/NSIndexPath.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIViewController.h"

namespace brindlecue::platform {

class UICollectionView;

inline constexpr const char* UICollectionElementKindSectionHeader = "UICollectionElementKindSectionHeader";
inline constexpr const char* UICollectionElementKindSectionFooter = "UICollectionElementKindSectionFooter";

// A header, footer or (as UICollectionViewCell) item view of a collection.
class UICollectionReusableView : public UIView {
public:
    BLQ_PLATFORM_CLASS(UICollectionReusableView)
    using UIView::UIView;
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(std::string id) { reuseIdentifier_ = std::move(id); }
    virtual void prepareForReuse() {}

private:
    std::string reuseIdentifier_;
};

// An item: a content view inside the cell, as on the platform. A tap selects the item.
class UICollectionViewCell : public UICollectionReusableView {
public:
    BLQ_PLATFORM_CLASS(UICollectionViewCell)
    using UICollectionReusableView::UICollectionReusableView;
    void didConstruct() override;
    std::shared_ptr<UIView> contentView() const { return contentView_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool s) { selected_ = s; }
    void touchesEnded(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;

private:
    std::shared_ptr<UIView> contentView_;
    bool selected_ = false;
};

// The flow layout's values: rows of items that wrap, top to bottom, with optional section
// headers and footers (a zero reference size means none).
class UICollectionViewFlowLayout : public NSObject {
public:
    BLQ_PLATFORM_CLASS(UICollectionViewFlowLayout)
    CGSize itemSize{50, 50};
    double minimumLineSpacing = 10;
    double minimumInteritemSpacing = 10;
    UIEdgeInsets sectionInset;
    CGSize headerReferenceSize;
    CGSize footerReferenceSize;
};

class UICollectionViewDataSource {
public:
    virtual ~UICollectionViewDataSource() = default;
    virtual int64_t numberOfSectionsInCollectionView(UICollectionView&) { return 1; }
    virtual int64_t collectionViewNumberOfItemsInSection(UICollectionView&, int64_t section) { return 0; }
    virtual std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView&,
                                                                                       const NSIndexPath&) {
        return nullptr;
    }
    virtual std::shared_ptr<UICollectionReusableView> collectionViewViewForSupplementaryElementOfKind(
        UICollectionView&, const std::string& kind, const NSIndexPath&) {
        return nullptr;
    }
};

// Sizes below zero mean "not answered": the layout's own values apply.
class UICollectionViewDelegate : public UIScrollViewDelegate {
public:
    virtual CGSize collectionViewSizeForItemAtIndexPath(UICollectionView&, const NSIndexPath&) {
        return {-1, -1};
    }
    virtual void collectionViewWillDisplayCell(UICollectionView&, UICollectionViewCell&, const NSIndexPath&) {
    }
    virtual void collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath&) {}
};

// A collection laid out by its flow layout. Visible cells and supplementary views are direct
// subviews of the collection view; data is read on the first layout or query and at reloadData.
class UICollectionView : public UIScrollView {
public:
    BLQ_PLATFORM_CLASS(UICollectionView)

    UICollectionView() = default;
    UICollectionView(const CGRect& frame, std::shared_ptr<UICollectionViewFlowLayout> layout)
        : UIScrollView(frame), layout_(std::move(layout)) {}
    void didConstruct() override;

    std::shared_ptr<UICollectionViewFlowLayout> collectionViewLayout() const { return layout_; }
    std::shared_ptr<UICollectionViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(const std::shared_ptr<UICollectionViewDataSource>& d);
    std::shared_ptr<UICollectionViewDelegate> collectionDelegate() const {
        return collectionDelegate_.lock();
    }
    void setCollectionDelegate(const std::shared_ptr<UICollectionViewDelegate>& d);

    void reloadData();
    int64_t numberOfSections();
    int64_t numberOfItemsInSection(int64_t section);
    // The item's frame in the collection's content; none for an unknown item.
    std::optional<CGRect> frameForItemAtIndexPath(const NSIndexPath& indexPath);
    std::optional<NSIndexPath> indexPathForItemAtPoint(CGPoint point);

    std::vector<std::shared_ptr<UICollectionViewCell>> visibleCells();
    std::vector<NSIndexPath> indexPathsForVisibleItems();
    std::shared_ptr<UICollectionViewCell> cellForItemAtIndexPath(const NSIndexPath& indexPath);
    std::optional<NSIndexPath> indexPathForCell(const std::shared_ptr<UICollectionViewCell>& cell);
    std::vector<std::shared_ptr<UICollectionReusableView>> visibleSupplementaryViewsOfKind(
        const std::string& kind);
    std::vector<NSIndexPath> indexPathsForVisibleSupplementaryElementsOfKind(const std::string& kind);
    std::shared_ptr<UICollectionReusableView> supplementaryViewForElementKind(const std::string& kind,
                                                                              const NSIndexPath& indexPath);
    void scrollToItemAtIndexPath(const NSIndexPath& indexPath, bool animated);

    void registerCellFactory(const std::string& identifier,
                             std::function<std::shared_ptr<UICollectionViewCell>()> factory);
    void registerSupplementaryFactory(const std::string& kind, const std::string& identifier,
                                      std::function<std::shared_ptr<UICollectionReusableView>()> factory);
    std::shared_ptr<UICollectionViewCell> dequeueReusableCellWithReuseIdentifier(
        const std::string& identifier, const NSIndexPath& indexPath);
    std::shared_ptr<UICollectionReusableView> dequeueReusableSupplementaryViewOfKind(
        const std::string& kind, const std::string& identifier, const NSIndexPath& indexPath);

    std::vector<NSIndexPath> indexPathsForSelectedItems() const;
    void selectItemAtIndexPath(const NSIndexPath& indexPath, bool animated);

    void layoutSubviews() override;
    void setBounds(const CGRect& bounds) override;
    void setFrame(const CGRect& frame) override;

    void cellTapped(const std::shared_ptr<UICollectionViewCell>& cell);

private:
    struct Element {
        std::string kind;  // empty for a cell
        NSIndexPath indexPath;
        CGRect frame;
    };
    using Key = std::pair<std::string, NSIndexPath>;
    void ensureLoaded();
    void computeLayout();
    void updateVisible();

    std::shared_ptr<UICollectionViewFlowLayout> layout_;
    std::weak_ptr<UICollectionViewDataSource> dataSource_;
    std::weak_ptr<UICollectionViewDelegate> collectionDelegate_;
    bool loaded_ = false;
    bool updating_ = false;
    std::vector<Element> elements_;
    std::vector<int64_t> itemCounts_;
    std::map<Key, std::shared_ptr<UICollectionReusableView>> visible_;
    std::map<std::string, std::vector<std::shared_ptr<UICollectionReusableView>>> reusePool_;
    std::map<std::string, std::function<std::shared_ptr<UICollectionViewCell>()>> cellFactories_;
    std::map<std::string, std::function<std::shared_ptr<UICollectionReusableView>()>> supplementaryFactories_;
    std::vector<NSIndexPath> selected_;
};

// A controller whose view is a collection, with itself as data source and delegate.
class UICollectionViewController : public UIViewController,
                                   public UICollectionViewDataSource,
                                   public UICollectionViewDelegate {
public:
    BLQ_PLATFORM_CLASS(UICollectionViewController)

    explicit UICollectionViewController(std::shared_ptr<UICollectionViewFlowLayout> layout = nullptr)
        : layout_(std::move(layout)) {}
    std::shared_ptr<UICollectionView> collectionView();
    void loadView() override;

private:
    std::shared_ptr<UICollectionViewFlowLayout> layout_;
};

}  // namespace brindlecue::platform
