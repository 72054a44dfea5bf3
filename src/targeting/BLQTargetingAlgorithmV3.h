#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Value.h"
#include "platform/uikit/NSIndexPath.h"
#include "targeting/BLQITargetingAlgorithm.h"

namespace brindlecue {

namespace platform {
class UICollectionView;
class UITableView;
class UIView;
}  // namespace platform

// The hierarchy engine: walks the host's live views, writes the view-tree text dump, reads raw
// leaves back from it and turns them into target metadata records for authors.
//
// It names views its own way, apart from the forest finder (KJTargettingWidgetV2), and stored
// targets depend on each: class tests are exact (a subclass of a listed class is not listed),
// ancestor paths hold only views (no controller), a cell's index path is read only from a table
// or collection view one level above the cell's superview, and the leaf pickup skips only the
// lines of the library's preview panel, not what lies under it. Main queue; no state besides the
// delegate.
class BLQTargetingAlgorithmV3 final : public BLQITargetingAlgorithm {
public:
    // The classes where the climb from a leaf ends.
    static const std::vector<std::string>& containerClassNames();

    std::shared_ptr<BLQITargetingAlgorithmDelegate> delegate() const override { return delegate_; }
    void setDelegate(std::shared_ptr<BLQITargetingAlgorithmDelegate> delegate) override {
        delegate_ = std::move(delegate);
    }
    void traverseHierarchy(const Visitor& visitor) override;
    KJTargetNodes generateAuthorMetaData(
        const std::vector<std::shared_ptr<platform::NSObject>>& exceptViews) override;
    KJTargetNodes processRawLeaves(
        const KJTargetNodes& rawLeaves,
        const std::vector<std::shared_ptr<platform::NSObject>>& exceptsNodes) override;
    std::string getTreeNodes() override;
    std::string getTreeNodesWithLines(std::vector<TreeLine>& lines) override;
    bool describeTree(const LineVisitor& visit) override;

    // Annotates, in place, each raw leaf whose address names a live view that passes
    // applyFilters. Nothing is accepted when an object to exclude is not a view.
    void preprocess(const std::vector<std::shared_ptr<platform::NSObject>>& exceptsNodes,
                    const KJTargetNodes& rawLeaves);
    // The view's class is exactly one of the supported widgets.
    bool isTargetASupportedWidget(const platform::UIView& view) const;
    // Sets "accessibility_identifier" on the leaves whose address is that of a view carrying one
    // under the present window's root view.
    void postprocess(const KJTargetNodes& rawLeaves);
    struct AccessibilityNode {
        std::string address;
        std::string accessibilityIdentifier;
    };
    // The views with an accessibility identifier, depth first from the view itself.
    std::vector<AccessibilityNode> findAllObjectsWithAccessibilityIdentifier(
        const std::shared_ptr<platform::UIView>& view) const;
    void recursivelyFindObjects(const std::shared_ptr<platform::UIView>& view,
                                std::vector<AccessibilityNode>& foundObjects) const;
    // Rejects a leaf without an address, whose live object's class is not its "type", or that
    // lies in one of the views to exclude.
    bool applyFilters(const KJTargetNode& rawLeaf, const platform::NSObject& instance,
                      const std::vector<std::shared_ptr<platform::NSObject>>& exceptsNodes) const;
    // Every leaf, each followed by a record for each supported widget on its way up (the leaf
    // itself first) to a window or a screen container; a widget shared by leaves is listed once.
    KJTargetNodes deeperTargetting(const KJTargetNodes& rawLeaves);
    // The view is the object, or holds it somewhere below.
    bool isNodeContaining(const platform::UIView& view, const platform::NSObject& instance) const;
    // The view's name (its own type name for a leaf, else its normalised name), then "@" and the
    // normalised name of each view up its responder chain to its view controller.
    std::string getNormalisedViewHierarchy(const std::shared_ptr<platform::UIView>& view,
                                           bool isNodeLeaf) const;
    // The name of an object whose class is exactly a landmark, with the index path of a cell,
    // header or footer ("UITableViewCell/0/2"); none for other objects.
    std::optional<std::string> determineNormalisedViewClassName(
        const std::shared_ptr<platform::NSObject>& object) const;
    int64_t sectionNumberForTableHeaderFooterView(const platform::UIView& view,
                                                  platform::UITableView& table) const;
    std::optional<platform::NSIndexPath> sectionNumberForCollectionReusableView(
        const std::shared_ptr<platform::UIView>& view, platform::UICollectionView& collection) const;
    std::optional<platform::NSIndexPath> getClosestCellIndexPath(
        const std::shared_ptr<platform::UIView>& view) const;
    std::optional<platform::NSIndexPath> getIndexPathForCell(
        const std::shared_ptr<platform::UIView>& cell) const;
    // The root view of the first window's root view controller as pretty-printed JSON ("class",
    // "frame", "tag", "accessibilityIdentifier", "type"); none without such a view or for the
    // library's preview panel.
    std::optional<platform::Data> generateViewTreeJSON() const;

private:
    std::shared_ptr<BLQITargetingAlgorithmDelegate> delegate_;
};

}  // namespace brindlecue
