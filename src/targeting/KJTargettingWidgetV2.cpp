#include "targeting/KJTargettingWidgetV2.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <string_view>
#include <unordered_set>

#include "foundation/BLQFacadeLink.h"
#include "foundation/BLQViewUtils.h"
#include "foundation/Constant.h"
#include "foundation/KJLog.h"
#include "platform/NSRegularExpression.h"
#include "platform/SystemLog.h"
#include "platform/Value.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIApplicationDelegate.h"
#include "platform/uikit/UICollectionView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "targeting/BLQITargetingAlgorithm.h"
#include "targeting/KJTipTargetElement.h"
#include "targeting/KJUIElementManager.h"
#include "tips/BLQITipManager.h"
#include "tips/KJTipUtilFunctions.h"
#include "widgets/UIViewBrindlecueSDK.h"

namespace brindlecue {

using platform::NSIndexPath;
using platform::NSObject;
using platform::NSRegularExpression;
using platform::RegexText;
using platform::UIView;

namespace {

// The patterns of the dump lines, compiled once.
struct LinePatterns {
    std::shared_ptr<const NSRegularExpression> address, type, dottedType, hidden, tag;
};

const LinePatterns& patterns() {
    static const auto* compiled = [] {
        auto make = [](const char* pattern) {
            return NSRegularExpression::regularExpressionWithPattern(pattern,
                                                                     NSRegularExpression::CaseInsensitive);
        };
        return new LinePatterns{make("\\s(\\w+);"), make("<(\\w+):"), make("<(\\w+\\.*\\w+):"),
                                make("hidden\\s+=\\s+(YES);"), make("tag\\s\\=\\s([^;]*)")};
    }();
    return *compiled;
}

std::optional<std::string> firstCapture(const std::shared_ptr<const NSRegularExpression>& pattern,
                                        const RegexText& text) {
    if (!pattern) return std::nullopt;
    auto match = pattern->firstMatchInString(text);
    return match ? match->group(1) : std::nullopt;
}

// Whether the ASCII letters of the word occur in the line, ignoring case: a pattern that begins
// with the word cannot match a line without it, so the search can be left out.
bool mentions(std::string_view line, std::string_view word) {
    // Lower-case ASCII words: setting bit 0x20 lower-cases a letter and leaves a match of any
    // other character impossible.
    for (size_t at = 0; at + word.size() <= line.size(); ++at) {
        size_t i = 0;
        while (i < word.size() && (line[at + i] | 0x20) == word[i]) ++i;
        if (i == word.size()) return true;
    }
    return false;
}

std::optional<std::string> lineAddress(const RegexText& text) {
    return firstCapture(patterns().address, text);
}

std::optional<std::string> lineType(const RegexText& text) {
    auto type = firstCapture(patterns().type, text);
    return type ? type : firstCapture(patterns().dottedType, text);
}

// The platform's intValue of a text: leading blanks, a sign and digits; 0 when there are none;
// held to the 32-bit range.
int32_t intValue(const std::optional<std::string>& text) {
    if (!text) return 0;
    int64_t value = platform::Value(*text).integerValue();
    return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

bool isContainer(const std::string& className) {
    static constexpr std::string_view kContainers[] = {
        "UIViewControllerWrapperView", "UINavigationTransitionView", "KJCoverView", "RCTRootView",
        "RCTRootContentView",          "RCTScrollContentView"};
    return std::find(std::begin(kContainers), std::end(kContainers), className) != std::end(kContainers);
}

template <class T>
std::shared_ptr<T> firstSuperviewOfKind(const std::shared_ptr<UIView>& view) {
    for (auto current = view ? view->superview() : nullptr; current; current = current->superview())
        if (auto found = std::dynamic_pointer_cast<T>(current)) return found;
    return nullptr;
}

// The depth of a dump line: the bars it begins with. Bars inside the description (a label's
// text) are not depth.
int64_t leadingBars(std::string_view line) {
    size_t bars = 0;
    while (bars < line.size() && line[bars] == '|') ++bars;
    return int64_t(bars);
}

const platform::SystemLog& consoleLog() {
    static const auto* log = new platform::SystemLog("com.brindlecue", "Targeting");
    return *log;
}

}  // namespace

KJTargettingWidgetV2::KJTargettingWidgetV2()
    : unwantedWidgets{"_UIVisualEffectBackdropView", "_UITableViewCellSeparatorView", "__UITileLayer",
                      "_UILabelContentLayer"},
      supportWidgetsLUT{"UITableViewCell",
                        "UITableViewHeaderFooterView",
                        "UITableView",
                        "UIButton",
                        "_UIButtonBarButton",
                        "UINavigationButton",
                        "UINavigationBar",
                        "UISwitch",
                        "UIImageView",
                        "UILabel",
                        "UISlider",
                        "UISwitch",
                        "UISegment",
                        "UISegmentControl",
                        "UIStepper",
                        "UITabBar",
                        "UITabBarButton",
                        "UICollectionView",
                        "UICollectionViewCell",
                        "UICollectionReusableView",
                        "RCTView",
                        "UITextView",
                        "UIControl",
                        "UITabBarButtonLabel",
                        "_UIModernBarButton",
                        "UISearchBar"},
      clickableElements{"UITableViewCell", "UIButton",  "_UIButtonBarButton", "UINavigationButton",
                        "UINavigationBar", "UISwitch",  "UISlider",           "UISegmentControl",
                        "UIStepper",       "UITabBar",  "UITabBarButton",     "UICollectionViewCell",
                        "UITextView",      "UIControl", "_UIModernBarButton"},
      ignoredClickableElements{"UITableView", "UICollectionView"} {
    landmarkLUT.assign(supportWidgetsLUT.begin(), supportWidgetsLUT.begin() + 22);
    landmarkLUT.push_back("UIViewController");
    landmarkLUT.push_back("_UIModernBarButton");
}

// ---- Finding a stored target again ---------------------------------------------------------------

std::shared_ptr<UIView> KJTargettingWidgetV2::rematchWidget(const KJTipTargetElement& target) {
    if (auto view = matchWidgetWithAccessibilityIdentifier(target)) return view;
    return matchWidgetWithViewHierarchy(target);
}

std::shared_ptr<UIView> KJTargettingWidgetV2::matchWidgetWithAccessibilityIdentifier(
    const KJTipTargetElement& target) const {
    if (!target.accessibilityIdentifier || target.accessibilityIdentifier->empty()) return nullptr;
    auto window = blqKeyWindow();
    auto controller = window ? window->rootViewController() : nullptr;
    auto root = controller ? controller->view() : nullptr;
    if (!root) return nullptr;
    auto views = findViewsWithAccessibilityIdentifier(*target.accessibilityIdentifier, root);
    return views.size() == 1 ? views.front() : nullptr;
}

std::shared_ptr<UIView> KJTargettingWidgetV2::matchWidgetWithViewHierarchy(const KJTipTargetElement& target) {
    generateViewHierarchyForest(blqGetPresentWindow(), false);
    if (!target.ancestor || !target.type) return nullptr;
    auto byAncestor = ancestorForest.find(*target.ancestor);
    if (byAncestor == ancestorForest.end()) return nullptr;
    auto group = byAncestor->second.find(*target.type);
    if (group == byAncestor->second.end()) return nullptr;
    int32_t index = intValue(target.index);
    if (index < 0 || size_t(index) >= group->second.size()) return nullptr;
    return group->second[size_t(index)]->instance;
}

// ---- The forest ------------------------------------------------------------------------------

std::shared_ptr<platform::UIViewController> KJTargettingWidgetV2::viewControllerOf(
    const std::shared_ptr<UIView>& view) const {
    if (!controllers_ || !view) return blqGetViewController(view);
    auto known = controllers_->find(view.get());
    if (known != controllers_->end()) return known->second;
    // The next responder is the controller whose root the view is, or the superview, whose
    // controller is the view's.
    auto next = view->nextResponder();
    std::shared_ptr<platform::UIViewController> controller;
    if (auto direct = std::dynamic_pointer_cast<platform::UIViewController>(next))
        controller = direct;
    else if (auto superview = std::dynamic_pointer_cast<UIView>(next))
        controller = viewControllerOf(superview);
    controllers_->emplace(view.get(), controller);
    return controller;
}

void KJTargettingWidgetV2::generateViewHierarchyForest(const std::shared_ptr<UIView>& view,
                                                       bool isClickable) {
    // The controllers found while this forest is built; the views do not change meanwhile.
    std::unordered_map<const UIView*, std::shared_ptr<platform::UIViewController>> controllers;
    struct Scope {
        const KJTargettingWidgetV2& finder;
        ~Scope() { finder.controllers_ = nullptr; }
    } scope{*this};
    controllers_ = &controllers;
    KJTargetNodes rawLeaves = pickupRawLeaves(view, isClickable);
    std::vector<std::shared_ptr<NSObject>> excepts;
    if (auto tips = BLQFacadeLink::tipManager())
        if (auto panel = tips->previewModePanel()) excepts.push_back(panel);
    processRawLeaves(rawLeaves, excepts);
}

KJTargetNodes KJTargettingWidgetV2::processRawLeaves(
    const KJTargetNodes& rawLeaves, const std::vector<std::shared_ptr<NSObject>>& exceptsNodes) {
    KJTargetNodes leaves = rawLeaves;
    preprocess(exceptsNodes, leaves);
    KJTargetNodes nodes = deeperTargetting(leaves);
    postprocess(nodes);
    return nodes;
}

KJTargetNodes KJTargettingWidgetV2::pickupRawLeaves(const std::shared_ptr<UIView>&, bool) const {
    KJTargetNodes leaves;
    auto algorithm = BLQFacadeLink::targetingAlgo();
    if (!algorithm) return leaves;
    std::string dump = algorithm->getTreeNodes();
    if (dump.empty()) return leaves;

    std::vector<std::string_view> lines;
    for (size_t start = 0;;) {
        size_t end = dump.find('\n', start);
        lines.emplace_back(
            std::string_view(dump).substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::vector<int64_t> levels(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) levels[i] = leadingBars(lines[i]);

    int64_t skipLevel = INT64_MAX;
    for (size_t i = 0; i < lines.size(); ++i) {
        int64_t level = levels[i];
        if (level > skipLevel) continue;
        std::string_view line = lines[i];
        std::optional<RegexText> text;
        auto prepared = [&]() -> const RegexText& {
            if (!text) text.emplace(line);
            return *text;
        };
        if (mentions(line, "hidden") && firstCapture(patterns().hidden, prepared()) == "YES") {
            skipLevel = level;
            continue;
        }
        int32_t tag = mentions(line, "tag") ? intValue(firstCapture(patterns().tag, prepared())) : 0;
        if (tag == Constant::AppTag::sdkViewTag) {
            skipLevel = level;
            continue;
        }
        if (i + 1 < lines.size() && levels[i + 1] > level) {
            skipLevel = INT64_MAX;
            continue;
        }
        auto address = lineAddress(prepared());
        auto type = lineType(prepared());
        size_t index = i;
        if (!address && i > 0) {
            // The nearest line above with an address gives address and type; the first line
            // when none does.
            size_t j = i;
            do {
                --j;
                RegexText above(lines[j]);
                address = lineAddress(above);
                type = lineType(above);
            } while (!address && j > 0);
            index = j;
        }
        auto leaf = std::make_shared<KJTargetNode>();
        leaf->type = type;
        leaf->address = address;
        leaf->level = level;
        leaf->index = int64_t(index);
        leaf->tag = tag;
        leaves.push_back(std::move(leaf));
        skipLevel = INT64_MAX;
    }
    return leaves;
}

void KJTargettingWidgetV2::preprocess(const std::vector<std::shared_ptr<NSObject>>& exceptsNodes,
                                      KJTargetNodes& rawLeaves) const {
    auto& elements = KJUIElementManager::sharedInstance();
    std::unordered_set<const KJTargetNode*> discarded;
    for (const auto& leaf : rawLeaves) {
        if (!leaf->address || leaf->address->starts_with(Constant::Address::nullAddressPrefix)) {
            KJLog(1, "leafnode %@'s address is empty, its index is %@", leaf->type.value_or("(null)"),
                  leaf->index.value_or(0));
            continue;
        }
        // Only a live object resolves: the registry holds weak references.
        auto object = getNodeInstance(*leaf->address);
        auto view = std::dynamic_pointer_cast<UIView>(object);
        platform::CGRect frame = elements.getFrameOnScreen(object);
        std::string objectClass = object ? object->className() : "(null)";
        if (!view || !leaf->type || objectClass != *leaf->type) {
            KJLog(1, "discard a node when trying to locate leafType: %@; but get %@",
                  leaf->type.value_or("(null)"), objectClass);
            discarded.insert(leaf.get());
            continue;
        }
        bool excluded =
            std::any_of(exceptsNodes.begin(), exceptsNodes.end(), [&](const std::shared_ptr<NSObject>& e) {
                auto except = std::dynamic_pointer_cast<UIView>(e);
                return except && isNodeQXWidget(*except, *view);
            });
        if (excluded) {
            KJLog(1, "discard a node: %@, as it is a QX widget", *leaf->address);
            discarded.insert(leaf.get());
            continue;
        }
        consoleLog().log(platform::LogType::Default, " + processRawLeaves " + view->description() + ": ");
        leaf->ancestor = getNormalisedViewHierarchy(view, true);
        leaf->viewController = viewControllerOf(view);
        leaf->instance = view;
        leaf->frame = frame;
    }
    std::erase_if(rawLeaves,
                  [&](const std::shared_ptr<KJTargetNode>& leaf) { return discarded.count(leaf.get()) > 0; });
}

KJTargetNodes KJTargettingWidgetV2::deeperTargetting(const KJTargetNodes& nodes) const {
    auto& elements = KJUIElementManager::sharedInstance();
    KJTargetNodes result;
    std::unordered_set<const UIView*> visited;
    for (const auto& node : nodes) {
        result.push_back(node);
        bool firstStep = true;
        for (auto view = node->instance ? node->instance->superview() : nullptr; view;
             view = view->superview(), firstStep = false) {
            // A view met before was climbed from then on, up to where this climb would stop.
            if (visited.count(view.get())) break;
            if (std::dynamic_pointer_cast<platform::UIWindow>(view) || isContainer(view->className())) break;
            if (isTargetASupportedWidget(*view)) {
                auto ancestorNode = std::make_shared<KJTargetNode>();
                ancestorNode->instance = view;
                ancestorNode->viewController = viewControllerOf(view);
                ancestorNode->type = view->className();
                ancestorNode->ancestor = getNormalisedViewHierarchy(view, firstStep);
                ancestorNode->frame = elements.getFrameOnScreen(view);
                ancestorNode->address = view->addressText();
                result.push_back(std::move(ancestorNode));
            }
            visited.insert(view.get());
        }
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const auto& a, const auto& b) { return a->dimension() > b->dimension(); });
    return result;
}

void KJTargettingWidgetV2::postprocess(KJTargetNodes& nodes) {
    auto window = blqGetPresentWindow();
    auto controller = window ? window->rootViewController() : nullptr;
    auto root = controller ? controller->view() : nullptr;
    std::unordered_map<std::string, std::string> identifiers;
    if (root)
        for (auto& record : findAllObjectsWithAccessibilityIdentifierInViewHierarchy(root))
            identifiers.emplace(std::move(record.address), std::move(record.accessibilityIdentifier));

    KJTargetNodes discarded;
    for (const auto& node : nodes) {
        if (node->address) {
            auto found = identifiers.find(*node->address);
            if (found != identifiers.end()) node->accessibilityIdentifier = found->second;
        }
        if (applyFiltersForTargetNodes(node, discarded)) addSingleNodeInForest(node, ancestorForest);
    }
    std::unordered_set<const KJTargetNode*> gone;
    for (const auto& node : discarded) gone.insert(node.get());
    std::erase_if(nodes,
                  [&](const std::shared_ptr<KJTargetNode>& node) { return gone.count(node.get()) > 0; });
    for (auto& [ancestor, byType] : ancestorForest) {
        for (auto& [type, group] : byType) {
            std::stable_sort(group.begin(), group.end(), [](const auto& a, const auto& b) {
                if (a->x() != b->x()) return a->x() < b->x();
                if (a->y() != b->y()) return a->y() < b->y();
                return a->dimension() < b->dimension();
            });
            for (size_t i = 0; i < group.size(); ++i) group[i]->index = int64_t(i);
        }
    }
}

bool KJTargettingWidgetV2::applyFiltersForTargetNodes(const std::shared_ptr<KJTargetNode>& target,
                                                      KJTargetNodes& discarded) const {
    const KJTargetNode& node = *target;
    platform::CGRect screen = platform::UIScreen::mainScreen()->bounds();
    float screenWidth = float(screen.size.width), screenHeight = float(screen.size.height);
    float x = float(node.x()), y = float(node.y()), width = float(node.width()),
          height = float(node.height());
    auto discard = [&](const char* line) {
        KJLog(1, line, node.address.value_or("(null)"));
        discarded.push_back(target);
        return false;
    };
    bool keep = true;
    if (width * height <= 0) {
        keep = discard("discard a node: %@, as its dimention less than or equal to 0");
    } else if (height == screenHeight && width == screenWidth) {
        keep = discard("discard a node: %@, as it covers the whole screen");
    } else if ((y + height - screenHeight) / height * 100 >= 50 ||
               (x + width - screenWidth) / width * 100 >= 50 || y < 0 || x < 0) {
        keep = discard("discard a node: %@, as it go out screen");
    } else if (!node.instance || !isDisplayedInScreen(*node.instance)) {
        keep = discard("discard a node: %@, as it is not displayed in current screen");
    } else {
        std::string className = node.instance->className();
        auto unwanted = [&](const std::string& text) {
            return std::find(unwantedWidgets.begin(), unwantedWidgets.end(), text) != unwantedWidgets.end();
        };
        if (unwanted(className) || (node.type && unwanted(*node.type)))
            keep = discard("discard a node: %@, as it is an unwanted widget");
    }
    return keep;
}

// ---- Names -------------------------------------------------------------------------------------

int KJTargettingWidgetV2::firstKindOf(const NSObject& object, const std::vector<std::string>& list,
                                      std::unordered_map<std::string, int>& answers) const {
    std::string className = object.className();
    auto known = answers.find(className);
    if (known != answers.end()) return known->second;
    int found = -1;
    for (size_t i = 0; i < list.size() && found < 0; ++i)
        if (platform::ClassRegistry::exists(list[i]) && object.isKindOfClass(list[i])) found = int(i);
    answers.emplace(std::move(className), found);
    return found;
}

bool KJTargettingWidgetV2::isTargetASupportedWidget(const UIView& view) const {
    return firstKindOf(view, supportWidgetsLUT, supportAnswers_) >= 0;
}

std::string KJTargettingWidgetV2::getNormalisedViewHierarchy(const std::shared_ptr<UIView>& view,
                                                             bool isNodeLeaf) const {
    std::string text =
        isNodeLeaf ? view->className() : determineNormalisedViewClassName(view).value_or("(null)");
    std::shared_ptr<NSObject> stop = viewControllerOf(view);
    if (!stop) {
        auto delegate = platform::UIApplication::sharedApplication()->delegate();
        if (delegate) stop = delegate->window();
    }
    for (auto next = view->nextResponder(); next; next = next->nextResponder()) {
        if (auto name = determineNormalisedViewClassName(next)) text += "@" + *name;
        if (stop && next == stop) break;
    }
    return text;
}

std::optional<std::string> KJTargettingWidgetV2::determineNormalisedViewClassName(
    const std::shared_ptr<NSObject>& object) const {
    if (!object || firstKindOf(*object, landmarkLUT, landmarkAnswers_) < 0) return std::nullopt;
    std::string base = object->className();
    if (base == "_UIButtonBarButton" || base == "UINavigationButton") base = "ButtonBarButton";
    auto withPath = [&](const NSIndexPath& path) {
        return base + "/" + std::to_string(path.section) + "/" + std::to_string(path.row);
    };
    auto view = std::dynamic_pointer_cast<UIView>(object);
    if (!view) return base;
    if (view->isKindOfClass("UICollectionReusableView")) {
        auto collection = firstSuperviewOfKind<platform::UICollectionView>(view);
        return withPath(sectionNumberForCollectionReusableView(view, collection.get()));
    }
    if (view->isKindOfClass("UITableViewHeaderFooterView")) {
        auto table = firstSuperviewOfKind<platform::UITableView>(view);
        return base + "/" + std::to_string(sectionNumberForTableHeaderFooterView(*view, table.get()));
    }
    if (view->isKindOfClass("UITableViewCell") || view->isKindOfClass("UICollectionViewCell"))
        return withPath(getIndexPathForCell(view));
    if (view->isKindOfClass("RCTView")) {
        auto superview = view->superview();
        if (superview && ancestorHasViewClass("RCTCustomScrollView", view) && !superview->subviews().empty())
            return base + "/" + std::to_string(view->indexInSuperview().value_or(0));
        return base;
    }
    return base;
}

// ---- Index paths -------------------------------------------------------------------------------

NSIndexPath KJTargettingWidgetV2::getIndexPathForCell(const std::shared_ptr<UIView>& cell) const {
    // The cell's superview is passed over: the search starts one level above it.
    bool tableCell = cell && cell->isKindOfClass("UITableViewCell");
    auto superview = cell ? cell->superview() : nullptr;
    for (auto container = superview ? superview->superview() : nullptr; container;
         container = container->superview()) {
        if (tableCell) {
            if (auto table = std::dynamic_pointer_cast<platform::UITableView>(container)) {
                auto path =
                    table->indexPathForCell(std::dynamic_pointer_cast<platform::UITableViewCell>(cell));
                return path.value_or(NSIndexPath{0, 0});
            }
        } else if (auto collection = std::dynamic_pointer_cast<platform::UICollectionView>(container)) {
            auto item = std::dynamic_pointer_cast<platform::UICollectionViewCell>(cell);
            auto path = item ? collection->indexPathForCell(item) : std::nullopt;
            return path.value_or(NSIndexPath{0, 0});
        }
        if (container->isKindOfClass("UIWindow")) break;
    }
    KJLog(1, "Found an astray table cell %@ without a table view", cell ? cell->description() : "(null)");
    return NSIndexPath{0, 0};
}

NSIndexPath KJTargettingWidgetV2::getClosestCellIndexPath(const std::shared_ptr<UIView>& view) const {
    std::shared_ptr<platform::UICollectionView> collection;
    for (auto current = view ? view->superview() : nullptr; current && !collection;
         current = current->superview())
        collection = std::dynamic_pointer_cast<platform::UICollectionView>(current);
    std::shared_ptr<UIView> closest;
    if (collection && view) {
        platform::CGPoint origin = view->frame().origin;
        double best = std::ldexp(1.0, 63);
        for (const auto& cell : collection->visibleCells()) {
            platform::CGPoint p = cell->frame().origin;
            double distance = (p.x - origin.x) * (p.x - origin.x) + (p.y - origin.y) * (p.y - origin.y);
            if (distance < best) {
                best = distance;
                closest = cell;
            }
        }
    }
    return getIndexPathForCell(closest);
}

NSIndexPath KJTargettingWidgetV2::sectionNumberForCollectionReusableView(
    const std::shared_ptr<UIView>& view, platform::UICollectionView* collection) const {
    if (collection && collection->respondsToSelector("indexPathsForVisibleSupplementaryElementsOfKind:")) {
        for (const auto& path : collection->indexPathsForVisibleSupplementaryElementsOfKind(
                 platform::UICollectionElementKindSectionHeader)) {
            if (!collection->supplementaryViewForElementKind(platform::UICollectionElementKindSectionHeader,
                                                             path))
                continue;
            auto footer = collection->supplementaryViewForElementKind(
                platform::UICollectionElementKindSectionFooter, path);
            if (footer && footer == view) return path;
        }
    }
    return getClosestCellIndexPath(view);
}

int64_t KJTargettingWidgetV2::sectionNumberForTableHeaderFooterView(const UIView& view,
                                                                    platform::UITableView* table) const {
    if (!table) return 0;
    int64_t sections = table->numberOfSections();
    for (int64_t section = 0; section < sections; ++section)
        if (table->headerViewForSection(section).get() == &view) return section;
    return std::clamp<int64_t>(sections, 0, INT32_MAX);
}

// ---- Lines and views ---------------------------------------------------------------------------

int64_t KJTargettingWidgetV2::getNodeLevel(const std::string& line) {
    return leadingBars(line);
}

std::optional<std::string> KJTargettingWidgetV2::getNodeAddress(const std::string& line) {
    return lineAddress(RegexText(line));
}

std::optional<std::string> KJTargettingWidgetV2::getNodeType(const std::string& line) {
    return lineType(RegexText(line));
}

bool KJTargettingWidgetV2::isNodeHidden(const std::string& line) {
    return firstCapture(patterns().hidden, RegexText(line)) == "YES";
}

std::optional<std::string> KJTargettingWidgetV2::getViewTag(const std::string& line) {
    return firstCapture(patterns().tag, RegexText(line));
}

std::shared_ptr<NSObject> KJTargettingWidgetV2::getNodeInstance(const std::string& address) {
    return blqGetNodeInstance(address);
}

std::optional<std::string> KJTargettingWidgetV2::findFirstTargetString(const std::string& text,
                                                                       const std::string& pattern) {
    std::optional<platform::Error> error;
    auto expression = NSRegularExpression::regularExpressionWithPattern(
        pattern, NSRegularExpression::CaseInsensitive, &error);
    if (!expression) {
        KJLog(1, "Unable to find target string, due to Exception: %@", error ? error->description() : "");
        return std::nullopt;
    }
    return firstCapture(expression, RegexText(text));
}

bool KJTargettingWidgetV2::isNodeQXWidget(const UIView& nodeView, const UIView& instance) {
    return instance.isDescendantOfView(std::const_pointer_cast<UIView>(nodeView.sharedAs<UIView>()));
}

std::vector<std::shared_ptr<UIView>> KJTargettingWidgetV2::findViewsWithAccessibilityIdentifier(
    const std::string& identifier, const std::shared_ptr<UIView>& root) {
    std::vector<std::shared_ptr<UIView>> found;
    std::vector<std::shared_ptr<UIView>> stack{root};
    while (!stack.empty()) {
        auto view = std::move(stack.back());
        stack.pop_back();
        if (!view) continue;
        if (view->accessibilityIdentifier() == identifier) found.push_back(view);
        const auto& subviews = view->subviews();
        stack.insert(stack.end(), subviews.rbegin(), subviews.rend());
    }
    return found;
}

std::vector<KJTargettingWidgetV2::AccessibilityRecord>
KJTargettingWidgetV2::findAllObjectsWithAccessibilityIdentifierInViewHierarchy(
    const std::shared_ptr<UIView>& root) {
    std::vector<AccessibilityRecord> found;
    std::vector<std::shared_ptr<UIView>> stack{root};
    while (!stack.empty()) {
        auto view = std::move(stack.back());
        stack.pop_back();
        if (!view) continue;
        if (const auto& id = view->accessibilityIdentifier()) found.push_back({view->addressText(), *id});
        const auto& subviews = view->subviews();
        stack.insert(stack.end(), subviews.rbegin(), subviews.rend());
    }
    return found;
}

void KJTargettingWidgetV2::addSingleNodeInForest(const std::shared_ptr<KJTargetNode>& node, Forest& forest) {
    forest[node->ancestor.value_or("")][node->type.value_or("")].push_back(node);
}

}  // namespace brindlecue
