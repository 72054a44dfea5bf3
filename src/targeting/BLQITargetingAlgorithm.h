#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "targeting/KJTargetNode.h"

namespace brindlecue {

namespace platform {
class NSObject;
class UIResponder;
}  // namespace platform

// What the facade sets itself as on the targeting algorithm; it asks nothing.
class BLQITargetingAlgorithmDelegate {
public:
    virtual ~BLQITargetingAlgorithmDelegate() = default;
};

// The hierarchy-walking targeting engine: a walk of the host's live views, the view-tree text
// dump, raw leaves read back from the dump and the target metadata made from them. Main queue.
class BLQITargetingAlgorithm {
public:
    using Visitor = std::function<void(const std::shared_ptr<platform::UIResponder>& node, int64_t depth)>;

    virtual ~BLQITargetingAlgorithm() = default;

    virtual std::shared_ptr<BLQITargetingAlgorithmDelegate> delegate() const = 0;
    virtual void setDelegate(std::shared_ptr<BLQITargetingAlgorithmDelegate> delegate) = 0;
    // Calls the visitor for every view and view controller of the first window of the first
    // window scene, depth first, back to front; a controller one level above its root view.
    virtual void traverseHierarchy(const Visitor& visitor) = 0;
    // One raw leaf per leaf line of the dump. The views passed are not consulted.
    virtual KJTargetNodes generateAuthorMetaData(
        const std::vector<std::shared_ptr<platform::NSObject>>& exceptViews) = 0;
    // The raw leaves found again on screen (those under the views to exclude are left as they
    // are), followed each by the supported widgets on its way up to the screen's container.
    virtual KJTargetNodes processRawLeaves(
        const KJTargetNodes& rawLeaves,
        const std::vector<std::shared_ptr<platform::NSObject>>& exceptsNodes) = 0;
    // One line per view or view controller: "|" for each level of depth, then its description;
    // lines joined by "\n". Empty when there is no window.
    virtual std::string getTreeNodes() = 0;

    // A line of the dump as the engine wrote it: the object described and the bars put before
    // its description.
    struct TreeLine {
        std::shared_ptr<platform::UIResponder> object;
        int64_t depth = 0;
    };
    // The dump of getTreeNodes, with the object and depth of each of its lines in `lines` (one
    // entry a line, in order). An engine that cannot tell leaves `lines` empty.
    virtual std::string getTreeNodesWithLines(std::vector<TreeLine>& lines) {
        lines.clear();
        return getTreeNodes();
    }
    // The dump of getTreeNodes handed over as it is written, one call per object in the order of
    // the dump: the object, the bars put before its description, and the description (valid
    // during the call; it may hold line breaks, and then spans lines of the dump). The visitor
    // may work on an object while it is fresh in memory, instead of reading the whole dump back
    // later. An engine that cannot hand it over so returns false without calling the visitor.
    using LineVisitor = std::function<void(const std::shared_ptr<platform::UIResponder>& object,
                                           int64_t depth, std::string_view description)>;
    virtual bool describeTree(const LineVisitor&) { return false; }
};

}  // namespace brindlecue
