#include "targeting/BLQTargetingAlgorithmV3.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cstdio>
#include <set>
#include <tuple>
#include <unordered_set>
#include <utility>

#include "foundation/BLQViewUtils.h"
#include "foundation/Constant.h"
#include "platform/NSRegularExpression.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIApplicationDelegate.h"
#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "platform/uikit/UIWindowScene.h"
#include "targeting/KJUIElementManager.h"
#include "targeting/MemoryPrefetch.h"
#include "targeting/NodeFilter.h"

namespace brindlecue {

using platform::NSIndexPath;
using platform::NSObject;
using platform::NSRegularExpression;
using platform::UIView;
using platform::UIViewController;

namespace {

// The engine's debugging lines go to standard output, not through the logging chain.
void printLine(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
}

std::shared_ptr<platform::UIWindow> firstWindowOfFirstScene() {
    auto scenes = platform::UIApplication::sharedApplication()->connectedScenes();
    if (scenes.empty()) return nullptr;
    auto scene = std::dynamic_pointer_cast<platform::UIWindowScene>(scenes.front());
    if (!scene) return nullptr;
    auto windows = scene->windows();
    return windows.empty() ? nullptr : windows.front();
}

// How many subviews ahead the walk asks for a subview's memory.
constexpr size_t kSubviewLookAhead = 8;

// The walk shared by the dump and the visitor: depth first, a view's subviews from the first
// to the last, hidden subviews (and what they hold) left out, a root view replaced by its view
// controller, which leads to the root view `rootViewDepth` levels further down.
//
// A large screen's views are not in the processor's caches when the walk comes to them, so it
// asks for their memory ahead, never for much at once: the subviews of a view a few ahead of the
// one it reads, and, whenever it takes a node off the stack, what the nodes it takes next read
// first, one step of each chain of reads per node: the object of the third, the list of subviews
// of the second, the first subviews and the layer of the next.
template <class Visit>
void walkHierarchy(int64_t rootViewDepth, const Visit& visit) {
    auto window = firstWindowOfFirstScene();
    if (!window) return;
    struct Entry {
        std::shared_ptr<platform::UIResponder> node;
        const UIView* view;  // the node when it is a view
        int64_t depth;
    };
    std::vector<Entry> stack;
    stack.push_back({window, window.get(), 0});
    while (!stack.empty()) {
        Entry entry = std::move(stack.back());
        stack.pop_back();
        const size_t size = stack.size();
        if (size >= 1) {
            if (const UIView* next = stack[size - 1].view) {
                const auto& subviews = next->subviews();
                for (size_t k = 0; k < std::min<size_t>(subviews.size(), 4); ++k)
                    prefetchShared(subviews[subviews.size() - 1 - k].get(), sizeof(UIView));
                prefetchShared(next->layer().get(), 64);
            }
        }
        if (size >= 2) {
            if (const UIView* after = stack[size - 2].view) {
                const auto& subviews = after->subviews();
                if (!subviews.empty())
                    prefetchMemory(subviews.data() + subviews.size() - std::min<size_t>(subviews.size(), 4),
                                   std::min<size_t>(subviews.size(), 4) * sizeof(subviews[0]));
            }
        }
        if (size >= 3) prefetchShared(stack[size - 3].node.get(), sizeof(UIView));
        const auto& node = entry.node;
        const int64_t depth = entry.depth;
        if (const UIView* view = entry.view) {
            const auto& subviews = view->subviews();
            // The subviews are read one after the other below: the memory of each is asked for a
            // few subviews ahead. Asked for all at once, the subviews of a view that holds
            // hundreds would crowd the processor's queue of pending reads and one another out of
            // its caches before they are read.
            const size_t count = subviews.size();
            for (size_t k = 0; k < std::min(count, kSubviewLookAhead); ++k)
                prefetchShared(subviews[count - 1 - k].get(), sizeof(UIView));
            for (size_t k = 0; k < count; ++k) {
                if (k + kSubviewLookAhead < count)
                    prefetchShared(subviews[count - 1 - k - kSubviewLookAhead].get(), sizeof(UIView));
                const auto& subview = subviews[count - 1 - k];
                if (subview->isHidden()) continue;
                if (auto controller = std::dynamic_pointer_cast<UIViewController>(subview->nextResponder()))
                    stack.push_back({std::move(controller), nullptr, depth + 1});
                else
                    stack.push_back({subview, subview.get(), depth + 1});
            }
        } else if (auto controller = std::dynamic_pointer_cast<UIViewController>(node)) {
            if (auto root = controller->view()) stack.push_back({root, root.get(), depth + rootViewDepth});
        }
        visit(node, depth);
    }
}

// The dump text; the object and depth of each line go to `lines` when it is given.
std::string dumpTree(std::vector<BLQITargetingAlgorithm::TreeLine>* lines) {
    std::string text;
    if (!lines) {
        bool first = true;
        walkHierarchy(0, [&](const std::shared_ptr<platform::UIResponder>& node, int64_t depth) {
            if (!first) text += '\n';
            first = false;
            text.append(size_t(depth), '|');
            text += node->description();
        });
        return text;
    }
    // The lines first, then their text at once in room made for it: a large screen's text
    // would otherwise be copied again and again as it grows.
    walkHierarchy(0, [&](const std::shared_ptr<platform::UIResponder>& node, int64_t depth) {
        lines->push_back({node, depth});
    });
    constexpr size_t kLineLength = 192;  // a description is some 100 to 200 characters
    constexpr size_t kLookAhead = 4;     // the view described a few lines on is asked for ahead
    text.reserve(lines->size() * kLineLength);
    for (size_t i = 0; i < lines->size(); ++i) {
        if (i + kLookAhead < lines->size())
            prefetchShared((*lines)[i + kLookAhead].object.get(), sizeof(UIView));
        const auto& line = (*lines)[i];
        if (i > 0) text += '\n';
        text.append(size_t(line.depth), '|');
        text += line.object->description();
    }
    return text;
}

// A pattern of the engine. One that cannot be compiled is reported and reads as no match.
std::shared_ptr<const NSRegularExpression> compile(const char* pattern, bool caseInsensitive = true) {
    std::optional<platform::Error> error;
    auto expression = NSRegularExpression::regularExpressionWithPattern(
        pattern, caseInsensitive ? uint32_t(NSRegularExpression::CaseInsensitive) : 0u, &error);
    if (!expression) printLine("Error creating regular expression: " + (error ? error->description() : ""));
    return expression;
}

std::optional<std::string> firstGroup(const std::shared_ptr<const NSRegularExpression>& expression,
                                      const platform::RegexText& line) {
    if (!expression) return std::nullopt;
    auto match = expression->firstMatchInString(line);
    return match ? match->group(1) : std::nullopt;
}

// The depth of a dump line: the bars it begins with. Bars inside the description (a label's
// text) are not depth.
int64_t lineLevel(std::string_view line) {
    size_t bars = 0;
    while (bars < line.size() && line[bars] == '|') ++bars;
    return int64_t(bars);
}

// A base-10 integer making up the whole text (a sign allowed); none otherwise.
std::optional<int64_t> wholeInteger(const std::string& text) {
    int64_t value = 0;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    auto [at, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || at != end || begin == end) return std::nullopt;
    return value;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    if (text.empty()) return lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

// The class name without a module prefix.
std::string unqualifiedTypeName(const NSObject& object) {
    std::string name = object.className();
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(dot + 1);
}

std::string describe(const KJTargetNode& node) {
    std::string out = "{";
    auto add = [&](const char* key, const std::string& value) {
        if (out.size() > 1) out += ", ";
        out += std::string(key) + " = " + value;
    };
    if (node.type) add("type", *node.type);
    if (node.address) add("address", *node.address);
    if (node.level) add("level", std::to_string(*node.level));
    if (node.index) add("index", std::to_string(*node.index));
    if (node.tag) add("tag", std::to_string(*node.tag));
    if (node.ancestor) add("ancestor", *node.ancestor);
    return out + "}";
}

template <class T>
std::shared_ptr<T> enclosing(const std::shared_ptr<UIView>& view) {
    for (auto current = view ? view->superview() : nullptr; current; current = current->superview())
        if (auto found = std::dynamic_pointer_cast<T>(current)) return found;
    return nullptr;
}

}  // namespace

const std::vector<std::string>& BLQTargetingAlgorithmV3::containerClassNames() {
    static const auto* names = new std::vector<std::string>{
        "UIViewControllerWrapperView", "UINavigationTransitionView", "KJCoverView", "RCTRootView",
        "RCTRootContentView",          "RCTScrollContentView"};
    return *names;
}

// ---- Walk and dump -------------------------------------------------------------------------------

void BLQTargetingAlgorithmV3::traverseHierarchy(const Visitor& visitor) {
    walkHierarchy(
        1, [&](const std::shared_ptr<platform::UIResponder>& node, int64_t depth) { visitor(node, depth); });
}

std::string BLQTargetingAlgorithmV3::getTreeNodes() {
    return dumpTree(nullptr);
}

std::string BLQTargetingAlgorithmV3::getTreeNodesWithLines(std::vector<TreeLine>& lines) {
    lines.clear();
    return dumpTree(&lines);
}

bool BLQTargetingAlgorithmV3::describeTree(const LineVisitor& visit) {
    // Each object is described when the walk reaches it, right after its parent read it, and
    // handed over at once.
    walkHierarchy(0, [&](const std::shared_ptr<platform::UIResponder>& node, int64_t depth) {
        const std::string description = node->description();
        visit(node, depth, description);
    });
    return true;
}

// ---- Raw leaves --------------------------------------------------------------------------------

KJTargetNodes BLQTargetingAlgorithmV3::generateAuthorMetaData(const std::vector<std::shared_ptr<NSObject>>&) {
    auto tagPattern = compile("tag\\s=\\s([^;]*)");
    auto addressPattern = compile("\\s(\\w+);");
    auto typePattern = compile("<(\\w+):");
    auto dottedTypePattern = compile("<(\\w+\\.*\\w+):");
    auto readAddressAndType = [&](const std::string& line) {
        platform::RegexText text(line);
        auto address = firstGroup(addressPattern, text);
        auto type = firstGroup(typePattern, text);
        if (!type) type = firstGroup(dottedTypePattern, text);
        return std::make_pair(address, type);
    };

    KJTargetNodes leaves;
    std::vector<std::string> lines = splitLines(getTreeNodes());
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        int64_t tag = 0;
        if (auto text = firstGroup(tagPattern, platform::RegexText(line)))
            tag = wholeInteger(*text).value_or(0);
        if (tag == Constant::AppTag::sdkViewTag) continue;
        bool previewPanel = line.find("PreviewModeView") != std::string::npos;
        printLine(std::string("viewTagInt compare ---> ") + (previewPanel ? "true" : "false"));
        if (previewPanel) continue;
        int64_t level = lineLevel(line);
        if (i + 1 < lines.size() && level < lineLevel(lines[i + 1])) continue;

        auto [address, type] = readAddressAndType(line);
        size_t supplier = i;
        if (!address && i > 0) {
            // The nearest line above that gives an address supplies address and type; the first
            // line when none does.
            std::pair<std::optional<std::string>, std::optional<std::string>> read;
            size_t j = i;
            do {
                --j;
                read = readAddressAndType(lines[j]);
            } while (!read.first && j > 0);
            std::tie(address, type) = read;
            supplier = j;
        }
        auto leaf = std::make_shared<KJTargetNode>();
        leaf->type = type;
        leaf->address = address;
        leaf->level = level;
        leaf->index = int64_t(supplier);
        leaf->tag = tag;
        leaves.push_back(std::move(leaf));
    }
    return leaves;
}

KJTargetNodes BLQTargetingAlgorithmV3::processRawLeaves(
    const KJTargetNodes& rawLeaves, const std::vector<std::shared_ptr<NSObject>>& exceptsNodes) {
    preprocess(exceptsNodes, rawLeaves);
    return deeperTargetting(rawLeaves);
}

void BLQTargetingAlgorithmV3::preprocess(const std::vector<std::shared_ptr<NSObject>>& exceptsNodes,
                                         const KJTargetNodes& rawLeaves) {
    std::string listed = " raw lease (";
    for (const auto& leaf : rawLeaves) listed += "\n    " + describe(*leaf) + ",";
    printLine(listed + "\n)");
    if (rawLeaves.empty()) return;
    for (const auto& except : exceptsNodes)
        if (!std::dynamic_pointer_cast<UIView>(except)) return;

    auto& elements = KJUIElementManager::sharedInstance();
    for (const auto& leaf : rawLeaves) {
        const std::string address = leaf->address.value_or("");
        if (address.empty() || address.starts_with(Constant::Address::nullAddressPrefix)) continue;
        // Only a live object resolves: the registry holds weak references.
        auto view = std::dynamic_pointer_cast<UIView>(blqGetNodeInstance(address));
        if (!view) continue;
        platform::CGRect frame = elements.getFrameOnScreen(view);
        if (!applyFilters(*leaf, *view, exceptsNodes)) continue;
        printLine(" preprocess => " + view->description());
        leaf->ancestor = getNormalisedViewHierarchy(view, true);
        leaf->viewController = blqGetViewController(view);
        leaf->instance = view;
        leaf->frame = frame;
        leaf->address = address;
    }
}

bool BLQTargetingAlgorithmV3::applyFilters(const KJTargetNode& rawLeaf, const NSObject& instance,
                                           const std::vector<std::shared_ptr<NSObject>>& exceptsNodes) const {
    if (!rawLeaf.address) return false;
    if (!rawLeaf.type || instance.className() != *rawLeaf.type) return false;
    for (const auto& except : exceptsNodes) {
        auto view = std::dynamic_pointer_cast<UIView>(except);
        if (view && isNodeContaining(*view, instance)) return false;
    }
    return true;
}

bool BLQTargetingAlgorithmV3::isNodeContaining(const UIView& view, const NSObject& instance) const {
    if (&view == &instance) return true;
    for (const auto& subview : view.subviews())
        if (isNodeContaining(*subview, instance)) return true;
    return false;
}

KJTargetNodes BLQTargetingAlgorithmV3::deeperTargetting(const KJTargetNodes& rawLeaves) {
    auto& elements = KJUIElementManager::sharedInstance();
    const auto& containers = containerClassNames();
    KJTargetNodes result;
    std::unordered_set<const UIView*> visited;
    for (const auto& leaf : rawLeaves) {
        result.push_back(leaf);
        bool isLeaf = true;
        for (auto current = leaf->instance; current; current = current->superview(), isLeaf = false) {
            if (std::dynamic_pointer_cast<platform::UIWindow>(current)) break;
            std::string name = current->className();
            if (std::find(containers.begin(), containers.end(), name) != containers.end()) break;
            if (isTargetASupportedWidget(*current) && !visited.count(current.get())) {
                auto record = std::make_shared<KJTargetNode>();
                record->instance = current;
                record->viewController = blqGetViewController(current);
                record->type = unqualifiedTypeName(*current);
                record->ancestor = getNormalisedViewHierarchy(current, isLeaf);
                record->frame = elements.getFrameOnScreen(current);
                record->address = current->addressText();
                result.push_back(std::move(record));
            }
            visited.insert(current.get());
        }
    }
    return result;
}

bool BLQTargetingAlgorithmV3::isTargetASupportedWidget(const UIView& view) const {
    std::string name = view.className();
    for (const auto& listed : NodeFilter::supportWidgetsLUT())
        if (listed == name && platform::ClassRegistry::exists(listed)) return true;
    return false;
}

// ---- Names -------------------------------------------------------------------------------------

std::string BLQTargetingAlgorithmV3::getNormalisedViewHierarchy(const std::shared_ptr<UIView>& view,
                                                                bool isNodeLeaf) const {
    std::string text =
        isNodeLeaf ? unqualifiedTypeName(*view) : determineNormalisedViewClassName(view).value_or("");
    std::shared_ptr<NSObject> stop = blqGetViewController(view);
    if (!stop) {
        auto delegate = platform::UIApplication::sharedApplication()->delegate();
        if (delegate) stop = delegate->window();
    }
    for (auto next = blqGetNextResponse(view); next; next = blqGetNextResponse(next)) {
        if (std::dynamic_pointer_cast<UIView>(next))
            if (auto name = determineNormalisedViewClassName(next)) text += "@" + *name;
        if (stop && next == stop) break;
    }
    return text;
}

std::optional<std::string> BLQTargetingAlgorithmV3::determineNormalisedViewClassName(
    const std::shared_ptr<NSObject>& object) const {
    if (!object) return std::nullopt;
    std::string className = object->className();
    const auto& landmarks = NodeFilter::landmarkLUT();
    if (std::find(landmarks.begin(), landmarks.end(), className) == landmarks.end() ||
        !platform::ClassRegistry::exists(className))
        return std::nullopt;
    std::string name = unqualifiedTypeName(*object);
    if (className == "_UIButtonBarButton" || className == "UINavigationButton") name = "ButtonBarButton";
    auto withPath = [&](const NSIndexPath& path) {
        return name + "/" + std::to_string(path.section) + "/" + std::to_string(path.row);
    };

    auto view = std::dynamic_pointer_cast<UIView>(object);
    if (std::dynamic_pointer_cast<platform::UICollectionReusableView>(object)) {
        if (auto collection = enclosing<platform::UICollectionView>(view))
            if (auto path = sectionNumberForCollectionReusableView(view, *collection)) return withPath(*path);
    }
    if (std::dynamic_pointer_cast<platform::UITableViewHeaderFooterView>(object)) {
        if (auto table = enclosing<platform::UITableView>(view))
            return name + "/" + std::to_string(sectionNumberForTableHeaderFooterView(*view, *table));
    }
    if (std::dynamic_pointer_cast<platform::UITableViewCell>(object) ||
        std::dynamic_pointer_cast<platform::UICollectionViewCell>(object)) {
        auto path = getIndexPathForCell(view);
        return path ? withPath(*path) : name;
    }
    return name;
}

int64_t BLQTargetingAlgorithmV3::sectionNumberForTableHeaderFooterView(const UIView& view,
                                                                       platform::UITableView& table) const {
    int64_t sections = table.numberOfSections();
    for (int64_t section = 0; section < sections; ++section)
        if (table.headerViewForSection(section).get() == &view) return section;
    return 0;
}

std::optional<NSIndexPath> BLQTargetingAlgorithmV3::sectionNumberForCollectionReusableView(
    const std::shared_ptr<UIView>& view, platform::UICollectionView& collection) const {
    if (collection.respondsToSelector("indexPathsForVisibleSupplementaryElementsOfKind:")) {
        std::set<NSIndexPath> paths;
        for (const auto& p : collection.indexPathsForVisibleSupplementaryElementsOfKind(
                 platform::UICollectionElementKindSectionHeader))
            paths.insert(p);
        for (const auto& p : collection.indexPathsForVisibleSupplementaryElementsOfKind(
                 platform::UICollectionElementKindSectionFooter))
            paths.insert(p);
        for (const auto& path : paths) {
            auto header = collection.supplementaryViewForElementKind(
                platform::UICollectionElementKindSectionHeader, path);
            if (!header) continue;
            auto footer = collection.supplementaryViewForElementKind(
                platform::UICollectionElementKindSectionFooter, path);
            std::shared_ptr<UIView> candidate = footer ? footer : header;
            if (candidate == view) return path;
        }
    }
    if (std::dynamic_pointer_cast<platform::UICollectionReusableView>(view))
        return getClosestCellIndexPath(view);
    return std::nullopt;
}

std::optional<NSIndexPath> BLQTargetingAlgorithmV3::getClosestCellIndexPath(
    const std::shared_ptr<UIView>& view) const {
    if (!view) return NSIndexPath{0, 0};
    std::shared_ptr<platform::UICollectionView> collection;
    for (auto current = view->superview(); current && !collection; current = current->superview())
        collection = std::dynamic_pointer_cast<platform::UICollectionView>(current);
    if (!collection) return getIndexPathForCell(nullptr);
    platform::CGPoint origin = view->frame().origin;
    double best = DBL_MAX;
    std::shared_ptr<platform::UICollectionViewCell> closest;
    for (const auto& cell : collection->visibleCells()) {
        platform::CGPoint p = cell->frame().origin;
        double distance = (p.x - origin.x) * (p.x - origin.x) + (p.y - origin.y) * (p.y - origin.y);
        if (distance < best) {
            best = distance;
            closest = cell;
        }
    }
    return getIndexPathForCell(closest);
}

std::optional<NSIndexPath> BLQTargetingAlgorithmV3::getIndexPathForCell(
    const std::shared_ptr<UIView>& cell) const {
    if (!cell) return NSIndexPath{0, 0};
    auto superview = cell->superview();
    if (!superview) return std::nullopt;
    if (superview->isKindOfClass("UIWindow")) return NSIndexPath{0, 0};
    auto above = superview->superview();
    if (!above) return std::nullopt;
    if (auto tableCell = std::dynamic_pointer_cast<platform::UITableViewCell>(cell)) {
        auto table = std::dynamic_pointer_cast<platform::UITableView>(above);
        return table ? table->indexPathForCell(tableCell) : std::nullopt;
    }
    auto collection = std::dynamic_pointer_cast<platform::UICollectionView>(above);
    auto collectionCell = std::dynamic_pointer_cast<platform::UICollectionViewCell>(cell);
    return collection && collectionCell ? collection->indexPathForCell(collectionCell) : std::nullopt;
}

// ---- Accessibility identifiers and JSON ------------------------------------------------------------

void BLQTargetingAlgorithmV3::postprocess(const KJTargetNodes& rawLeaves) {
    auto window = blqGetPresentWindow();
    auto root = window ? window->rootViewController() : nullptr;
    auto view = root ? root->view() : nullptr;
    if (!view) return;
    auto found = findAllObjectsWithAccessibilityIdentifier(view);
    for (const auto& leaf : rawLeaves) {
        if (!leaf->address) continue;
        for (const auto& node : found)
            if (node.address == *leaf->address) leaf->accessibilityIdentifier = node.accessibilityIdentifier;
    }
}

std::vector<BLQTargetingAlgorithmV3::AccessibilityNode>
BLQTargetingAlgorithmV3::findAllObjectsWithAccessibilityIdentifier(
    const std::shared_ptr<UIView>& view) const {
    std::vector<AccessibilityNode> found;
    if (view) recursivelyFindObjects(view, found);
    return found;
}

void BLQTargetingAlgorithmV3::recursivelyFindObjects(const std::shared_ptr<UIView>& view,
                                                     std::vector<AccessibilityNode>& foundObjects) const {
    if (const auto& id = view->accessibilityIdentifier()) foundObjects.push_back({view->addressText(), *id});
    for (const auto& subview : view->subviews()) recursivelyFindObjects(subview, foundObjects);
}

std::optional<platform::Data> BLQTargetingAlgorithmV3::generateViewTreeJSON() const {
    auto window = firstWindowOfFirstScene();
    auto root = window ? window->rootViewController() : nullptr;
    auto view = root ? root->view() : nullptr;
    if (!view) return std::nullopt;
    if (view->className().find("PreviewModeView") != std::string::npos) return std::nullopt;
    platform::Value node =
        platform::Value::dictionary({{"class", platform::Value(view->className())},
                                     {"frame", platform::Value(platform::NSStringFromCGRect(view->frame()))},
                                     {"tag", platform::Value(view->tag())}});
    if (const auto& id = view->accessibilityIdentifier())
        node.set("accessibilityIdentifier", platform::Value(*id));
    // The node's "type" is the view's type name: a view itself is no JSON value.
    node.set("type", platform::Value(unqualifiedTypeName(*view)));
    platform::Error error;
    auto text = node.toJSON(true, &error);
    if (!text) {
        printLine("Error generating JSON payload: " + error.description());
        return std::nullopt;
    }
    return platform::Data(text->begin(), text->end());
}

}  // namespace brindlecue
