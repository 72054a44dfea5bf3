#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/uikit/NSIndexPath.h"
#include "targeting/KJTargetNode.h"
#include "targeting/KJWidgetTargettingProtocol.h"

namespace brindlecue {

namespace platform {
class NSObject;
class UICollectionView;
class UIResponder;
class UITableView;
class UIView;
class UIViewController;
}  // namespace platform

class KJTipTargetElement;

// The forest finder. It reads the view-tree text dump of the facade's targeting algorithm into
// raw leaves, finds their live views, climbs from each to the landmark widgets above it, names
// every node by its ancestor path ("UIButton@UITableViewCell/0/0@UITableView@HomeViewController")
// and groups the nodes that pass the on-screen filter into a forest keyed by ancestor path and
// class name, each group numbered in screen order (x, then y, then area). A stored target is
// found again as forest[ancestor][type][index].
//
// It names views its own way, apart from the hierarchy engine (BLQTargetingAlgorithmV3), and
// stored targets depend on each: class tests accept subclasses, ancestor paths end with the
// screen's view controller, a cell's index path is read from the first table or collection view
// above the cell's superview, and everything under a hidden view or the library's own panel is
// left out. Made for one request; a second forest build adds to the first. Main queue.
//
// On the same forest it describes a screen's target candidates to campaign authors and binds
// super-tag click counting to its clickable views (KJTargettingWidgetV2Authoring.cpp).
class KJTargettingWidgetV2 final : public KJWidgetTargettingProtocol {
public:
    using Forest = std::map<std::string, std::map<std::string, KJTargetNodes>>;
    struct AccessibilityRecord {
        std::string address;
        std::string accessibilityIdentifier;
    };

    KJTargettingWidgetV2();

    const std::string& version() const override { return version_; }
    void setVersion(std::string version) override { version_ = std::move(version); }

    // The live view of a stored target: the one view under the key window's root view that
    // carries the target's accessibility identifier, else forest[ancestor][type][index] of the
    // present window; none when neither finds it.
    std::shared_ptr<platform::UIView> rematchWidget(const KJTipTargetElement& target) override;
    // The view when exactly one carries the identifier; none for none or several.
    std::shared_ptr<platform::UIView> matchWidgetWithAccessibilityIdentifier(
        const KJTipTargetElement& target) const;
    std::shared_ptr<platform::UIView> matchWidgetWithViewHierarchy(const KJTipTargetElement& target);

    // Fills the forest from the whole dump (the view is not consulted), leaving out the tip
    // engine's preview panel.
    void generateViewHierarchyForest(const std::shared_ptr<platform::UIView>& view, bool isClickable);
    // Preprocessing, climbing and postprocessing: the nodes that made it into the forest.
    KJTargetNodes processRawLeaves(const KJTargetNodes& rawLeaves,
                                   const std::vector<std::shared_ptr<platform::NSObject>>& exceptsNodes);
    // One raw leaf per leaf line of the dump, skipping hidden subtrees and the library's views.
    KJTargetNodes pickupRawLeaves(const std::shared_ptr<platform::UIView>& view, bool isClickable) const;
    // Finds each leaf's live view and annotates it; drops leaves whose view is gone, is not of
    // the leaf's class, or lies in a view to exclude. Leaves without an address stay as they are.
    void preprocess(const std::vector<std::shared_ptr<platform::NSObject>>& exceptsNodes,
                    KJTargetNodes& rawLeaves) const;
    // Every node followed by the supported widgets above it up to a window or a screen
    // container (each once), sorted by area, largest first.
    KJTargetNodes deeperTargetting(const KJTargetNodes& nodes) const;
    // Accessibility identifiers, the on-screen filter, the forest and the group indexes.
    void postprocess(KJTargetNodes& nodes);
    // Whether a node survives the on-screen filter; a discarded node is appended to `discarded`.
    bool applyFiltersForTargetNodes(const std::shared_ptr<KJTargetNode>& node,
                                    KJTargetNodes& discarded) const;

    std::string getNormalisedViewHierarchy(const std::shared_ptr<platform::UIView>& view,
                                           bool isNodeLeaf) const override;
    std::optional<std::string> determineNormalisedViewClassName(
        const std::shared_ptr<platform::NSObject>& object) const;

    // Dump lines. The level is the number of bars a line begins with.
    static int64_t getNodeLevel(const std::string& line);
    static std::optional<std::string> getNodeAddress(const std::string& line);
    static std::optional<std::string> getNodeType(const std::string& line);
    static bool isNodeHidden(const std::string& line);
    static std::optional<std::string> getViewTag(const std::string& line);
    // The live object at the address; none for an address no live object has.
    static std::shared_ptr<platform::NSObject> getNodeInstance(const std::string& address);
    // The first capture of the pattern (case-insensitive) in the text.
    static std::optional<std::string> findFirstTargetString(const std::string& text,
                                                            const std::string& pattern);

    // The view is kind of a supported widget.
    bool isTargetASupportedWidget(const platform::UIView& view) const;
    // The instance is the node view or inside it.
    static bool isNodeQXWidget(const platform::UIView& nodeView, const platform::UIView& instance);
    // Every view of the subtree (the root first, depth first) whose identifier equals the text.
    static std::vector<std::shared_ptr<platform::UIView>> findViewsWithAccessibilityIdentifier(
        const std::string& identifier, const std::shared_ptr<platform::UIView>& root);
    static std::vector<AccessibilityRecord> findAllObjectsWithAccessibilityIdentifierInViewHierarchy(
        const std::shared_ptr<platform::UIView>& root);
    static void addSingleNodeInForest(const std::shared_ptr<KJTargetNode>& node, Forest& forest);

    platform::NSIndexPath getIndexPathForCell(const std::shared_ptr<platform::UIView>& cell) const;
    platform::NSIndexPath getClosestCellIndexPath(const std::shared_ptr<platform::UIView>& view) const;
    platform::NSIndexPath sectionNumberForCollectionReusableView(
        const std::shared_ptr<platform::UIView>& view, platform::UICollectionView* collection) const;
    int64_t sectionNumberForTableHeaderFooterView(const platform::UIView& view,
                                                  platform::UITableView* table) const;

    // ---- Author metadata and super tags ----------------------------------------------------------

    // The records of the present window's forest nodes, in node order: "id" (type, "-", the MD5 of
    // ancestor "+" index), "supertag" (clickable nodes of a screen), "ancestor", "type", "index",
    // the frame on screen, "ios_version", "version", "tag" (raw leaves) and
    // "accessibility_identifier" (when the view has one).
    platform::Value generateAuthorMetaData(
        const std::vector<std::shared_ptr<platform::NSObject>>& excepts) override;
    // Appends one record per node to the array.
    void assembleTargetsMeta(platform::Value& records, const KJTargetNodes& nodes) const;
    // Listed as clickable by its type or base class, or carrying gesture recognisers, and not a
    // table or collection view.
    bool isLeafNodeClickable(const KJTargetNode& node) const;
    // The platform class a host class of the description derives from; none for platform classes.
    static std::optional<std::string> getBaseClass(const std::string& description);
    static bool hasGesturesAttached(const std::string& description);
    // Builds the forest of the whole window and marks every control, table or collection cell
    // and "RCTView" among its nodes with its widget type, index and ancestor path. A switch,
    // slider, stepper or segmented control sends the action on value changes, any other control
    // on touch down; the cells and "RCTView"s get a tap recogniser that leaves their own
    // touches alone. A view is hooked once however often this runs: the marks follow the
    // latest forest.
    void findClickableWidgetsToBindSuperTag(const std::shared_ptr<platform::UIView>& view,
                                            const std::shared_ptr<platform::NSObject>& target,
                                            const platform::Selector& action) override;

    std::vector<std::string> unwantedWidgets;
    Forest ancestorForest;
    std::vector<std::string> supportWidgetsLUT;
    std::vector<std::string> landmarkLUT;
    std::vector<std::string> clickableElements;
    std::vector<std::string> ignoredClickableElements;

private:
    // What one forest or metadata request works out once and asks again: each responder's view
    // controller, normalised name and the part of an ancestor path from it upwards, and the dump
    // the request read with the object of each line. The views do not change under a request.
    struct Pass;
    // Opens a pass for the request, unless one is open already, and closes what it opened.
    class PassScope {
    public:
        explicit PassScope(const KJTargettingWidgetV2& finder);
        ~PassScope();
        PassScope(const PassScope&) = delete;
        PassScope& operator=(const PassScope&) = delete;

    private:
        const KJTargettingWidgetV2& finder_;
        std::unique_ptr<Pass> opened_;
    };

    // The forest in one pass over the dump as the engine writes it (KJTargettingWidgetV2.cpp).
    struct OnePass;
    // Builds the forest of the dump with each leaf found again, climbed from and judged by the
    // on-screen filter while its views are fresh in memory, the engine's next lines not yet
    // written, and makes records only of the nodes that pass the filter. Adds those to the forest
    // and returns them as processLeaves would, with the same forest, the same console lines and
    // the same records. None, and nothing done, when the engine cannot hand its dump over as it
    // writes it or the legacy log is read: that log would hear of the nodes in another order.
    std::optional<KJTargetNodes> forestInOnePass(
        const std::vector<std::shared_ptr<platform::NSObject>>& exceptsNodes);
    // The root view of the present window's root view controller.
    static std::shared_ptr<platform::UIView> presentRootView();
    // Sets the node's accessibility identifier from the view under the root that its address
    // names; `identified` is 0 when the node's address is known to name its own view and that
    // has no identifier, else 1 or -1 (not known).
    static void identify(KJTargetNode& node, const std::shared_ptr<platform::UIView>& root, int identified);
    // Adds the nodes that passed the filter to the forest and numbers every group in screen order.
    void plant(const KJTargetNodes& survivors);
    // The line the on-screen filter logs for a node of that frame, view and type, or null when the
    // node passes.
    const char* discardReason(const platform::CGRect& frame, const platform::UIView* instance,
                              const std::optional<std::string>& type) const;

    // processRawLeaves and deeperTargetting on lists of their own, whose nodes they hand on.
    KJTargetNodes processLeaves(KJTargetNodes leaves,
                                const std::vector<std::shared_ptr<platform::NSObject>>& exceptsNodes);
    KJTargetNodes climbFrom(KJTargetNodes nodes) const;

    // The first entry of the list the object is kind of; -1 for none. Answers are kept per class
    // name for the finder's life (the class table does not change under one request).
    int firstKindOf(const platform::NSObject& object, const std::vector<std::string>& list,
                    std::unordered_map<std::string, int>& answers) const;

    // With a pass open: the view controller of the view (blqGetViewController), kept for the
    // view, or worked out from its next responder without keeping it (a leaf's is asked once);
    // the normalised name of the responder; and the path of the view (getNormalisedViewHierarchy)
    // whose controller and next responder are those given.
    std::shared_ptr<platform::UIViewController> viewControllerOf(
        const std::shared_ptr<platform::UIView>& view) const;
    std::shared_ptr<platform::UIViewController> viewControllerAfter(
        const std::shared_ptr<platform::UIResponder>& next) const;
    const std::optional<std::string>& normalisedNameOf(
        const std::shared_ptr<platform::UIResponder>& responder) const;
    std::string ancestorPathOf(const std::shared_ptr<platform::UIView>& view, bool isNodeLeaf,
                               const std::shared_ptr<platform::UIViewController>& controller,
                               const std::shared_ptr<platform::UIResponder>& next) const;
    // Appends "@" and the name of the responder and of each one after it that has a name, up to
    // the stop (included) or the end of the chain.
    void appendTrail(std::string& path, const std::shared_ptr<platform::UIResponder>& responder,
                     const platform::NSObject* stop) const;

    std::string version_ = "3.0.0";
    mutable Pass* pass_ = nullptr;
    // Lines "Found an astray table cell ..." written so far: a name whose making wrote one is
    // made again when asked again, so that it writes the line again.
    mutable uint64_t astrayLines_ = 0;
    mutable std::unordered_map<std::string, int> landmarkAnswers_;
    mutable std::unordered_map<std::string, int> supportAnswers_;
};

}  // namespace brindlecue
