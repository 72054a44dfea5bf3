#include "targeting/KJTargettingWidgetV2.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "feed/BLQITipManager.h"
#include "feed/KJTipUtilFunctions.h"
#include "foundation/BLQPublished.h"
#include "foundation/BLQViewUtils.h"
#include "foundation/Constant.h"
#include "foundation/KJLog.h"
#include "platform/NSRegularExpression.h"
#include "platform/SystemLog.h"
#include "platform/Value.h"
#include "platform/uikit/AddressRegistry.h"
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
#include "targeting/MemoryPrefetch.h"
#include "targeting/UIViewBrindlecueSDK.h"

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

// ---- Plain lines: the patterns of the dump lines read by hand ----------------------------------
//
// On a line of printable ASCII characters (nearly every line) the patterns have simple meanings:
// "\s" is the space, "\w" a letter, digit or underscore, and ignoring case touches only letters.
// Each reader below finds the first match as the pattern does, and its first capture.

bool isWordCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// The lower-case word is at that place of the line, in any case.
bool wordAt(std::string_view line, size_t at, std::string_view word) {
    if (at + word.size() > line.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if ((line[at + i] | 0x20) != word[i]) return false;
    return true;
}

size_t endOfWord(std::string_view line, size_t at) {
    while (at < line.size() && isWordCharacter(line[at])) ++at;
    return at;
}

size_t endOfSpaces(std::string_view line, size_t at) {
    while (at < line.size() && line[at] == ' ') ++at;
    return at;
}

// "hidden\s+=\s+(YES);" matched at that place: where its capture begins, else npos.
size_t hiddenAnswerAt(std::string_view line, size_t at) {
    if (!wordAt(line, at, "hidden")) return std::string_view::npos;
    size_t i = endOfSpaces(line, at + 6);
    if (i == at + 6 || i >= line.size() || line[i] != '=') return std::string_view::npos;
    size_t answer = endOfSpaces(line, i + 1);
    if (answer == i + 1 || !wordAt(line, answer, "yes") || answer + 3 >= line.size() ||
        line[answer + 3] != ';')
        return std::string_view::npos;
    return answer;
}

// "tag\s\=\s([^;]*)" matched at that place.
bool tagAt(std::string_view line, size_t at) {
    return at + 5 < line.size() && wordAt(line, at, "tag") && line[at + 3] == ' ' && line[at + 4] == '=' &&
           line[at + 5] == ' ';
}

// "\s(\w+);".
std::optional<std::string> plainAddress(std::string_view line) {
    for (size_t at = 0; at < line.size(); ++at) {
        if (line[at] != ' ') continue;
        size_t end = endOfWord(line, at + 1);
        if (end > at + 1 && end < line.size() && line[end] == ';')
            return std::string(line.substr(at + 1, end - at - 1));
        at = end - 1;  // no space among the word characters passed
    }
    return std::nullopt;
}

// "<(\w+):", else "<(\w+\.*\w+):".
std::optional<std::string> plainType(std::string_view line) {
    for (size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
        size_t end = endOfWord(line, at + 1);
        if (end > at + 1 && end < line.size() && line[end] == ':')
            return std::string(line.substr(at + 1, end - at - 1));
    }
    for (size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
        size_t first = endOfWord(line, at + 1);
        if (first == at + 1) continue;
        size_t end = first;
        if (first >= line.size() || line[first] != ':') {
            size_t dots = first;
            while (dots < line.size() && line[dots] == '.') ++dots;
            end = endOfWord(line, dots);
            if (dots == first || end == dots) continue;
        } else if (first - at - 1 < 2) {
            continue;  // two word characters at least
        }
        if (end < line.size() && line[end] == ':') return std::string(line.substr(at + 1, end - at - 1));
    }
    return std::nullopt;
}

// One dump line as the line patterns read it: by hand when it is plain, else through the
// patterns (the text converted once for all of them).
class LineReading {
public:
    explicit LineReading(std::string_view line) : line_(line) {
        // One pass tells whether the line is plain and finds the first hidden and tag fragments.
        // Eight bytes at a time: a block of printable bytes without an h or a t (of either case)
        // holds neither fragment's start and is passed over whole.
        constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
        auto hasZeroByte = [](uint64_t v) { return ((v - kOnes) & ~v & kHigh) != 0; };
        size_t at = 0;
        for (; at + 8 <= line.size(); at += 8) {
            uint64_t w;
            std::memcpy(&w, line.data() + at, sizeof w);
            // A byte under 0x20 borrows, one of 0x7f or above sets its high bit on the way up.
            if (((w - kOnes * 0x20) | w | (w + kOnes)) & kHigh) return;
            const uint64_t lower = w | (kOnes * 0x20);
            if (!hasZeroByte(lower ^ (kOnes * 'h')) && !hasZeroByte(lower ^ (kOnes * 't'))) continue;
            for (size_t end = at + 8; at < end; ++at) look(line, at);
            at -= 8;
        }
        for (; at < line.size(); ++at) {
            if (line[at] < 0x20 || line[at] > 0x7e) return;
            look(line, at);
        }
        plain_ = true;
    }

    bool hidden() {
        if (plain_) return hiddenAnswer_ != std::string_view::npos && line_.substr(hiddenAnswer_, 3) == "YES";
        return mentions(line_, "hidden") && firstCapture(patterns().hidden, text()) == "YES";
    }
    std::optional<std::string> tag() {
        if (plain_) {
            if (tagAt_ == std::string_view::npos) return std::nullopt;
            size_t from = tagAt_ + 6, end = line_.find(';', from);
            return std::string(line_.substr(from, end == std::string_view::npos ? end : end - from));
        }
        return mentions(line_, "tag") ? firstCapture(patterns().tag, text()) : std::nullopt;
    }
    std::optional<std::string> address() { return plain_ ? plainAddress(line_) : lineAddress(text()); }
    std::optional<std::string> type() { return plain_ ? plainType(line_) : lineType(text()); }

private:
    // The fragments a printable byte may begin.
    void look(std::string_view line, size_t at) {
        const char lower = char(line[at] | 0x20);
        if (lower == 'h' && hiddenAnswer_ == std::string_view::npos)
            hiddenAnswer_ = hiddenAnswerAt(line, at);
        else if (lower == 't' && tagAt_ == std::string_view::npos && tagAt(line, at))
            tagAt_ = at;
    }

    const RegexText& text() {
        if (!text_) text_.emplace(line_);
        return *text_;
    }

    std::string_view line_;
    bool plain_ = false;
    size_t hiddenAnswer_ = std::string_view::npos;
    size_t tagAt_ = std::string_view::npos;
    std::optional<RegexText> text_;
};

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

// How many items on a pass over views asks for their memory ahead.
constexpr size_t kLookAhead = 4;

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

struct KJTargettingWidgetV2::Pass {
    struct Facts {
        bool controllerKnown = false;
        bool nameKnown = false;
        bool trailKnown = false;
        // The climb that went through the view last (see deeperTargetting).
        uint32_t climb = 0;
        std::shared_ptr<platform::UIViewController> controller;
        std::optional<std::string> name;
        // The trail appended after a view whose next responder this is, for the stop it ends at.
        const NSObject* trailStop = nullptr;
        std::string trail;
    };

    // The facts of a responder, made on first use. The entries stay where they are while the
    // table grows (a deque), and the index is one open-addressed array of keys: a screen has
    // thousands of views, and node-based maps scatter them over the heap.
    Facts& facts(const platform::UIResponder* responder) {
        if ((entries.size() + 1) * 2 > slots.size()) grow();
        for (size_t at = slotOf(responder);; at = (at + 1) & (slots.size() - 1)) {
            auto& slot = slots[at];
            if (slot.key == responder) return entries[slot.entry];
            if (slot.key) continue;
            slot = {responder, entries.size()};
            return entries.emplace_back();
        }
    }
    // Room for that many responders without growing.
    void reserve(size_t responders) {
        size_t size = 64;
        while (size < responders * 2) size *= 2;
        if (size > slots.size()) rehash(size);
    }

    struct Slot {
        const platform::UIResponder* key = nullptr;
        size_t entry = 0;
    };
    std::vector<Slot> slots;
    std::deque<Facts> entries;
    uint32_t climbs = 0;

    size_t slotOf(const platform::UIResponder* responder) const {
        uint64_t h = uint64_t(reinterpret_cast<uintptr_t>(responder)) * 0x9E3779B97F4A7C15ull;
        return size_t(h ^ (h >> 32)) & (slots.size() - 1);
    }
    void grow() { rehash(slots.empty() ? 64 : slots.size() * 2); }
    void rehash(size_t size) {
        std::vector<Slot> old = std::exchange(slots, std::vector<Slot>(size));
        for (const auto& slot : old) {
            if (!slot.key) continue;
            size_t at = slotOf(slot.key);
            while (slots[at].key) at = (at + 1) & (size - 1);
            slots[at] = slot;
        }
    }

    // Where an ancestor path ends for a view without a view controller: the application
    // delegate's window.
    bool delegateWindowKnown = false;
    std::shared_ptr<NSObject> delegateWindow;

    // The dump the pickup read, its lines, the object and depth of each line when the engine
    // told them (else none), and the line of each leaf it found, in order.
    std::string dump;
    std::vector<std::string_view> lines;
    std::vector<BLQITargetingAlgorithm::TreeLine> lineObjects;
    std::vector<size_t> leafLines;

    // The line the leaf was read from, when the engine told its object and that object is the
    // one at the leaf's address.
    const BLQITargetingAlgorithm::TreeLine* lineOf(const KJTargetNode& leaf) const {
        if (!leaf.index || !leaf.address || *leaf.index < 0 || size_t(*leaf.index) >= lineObjects.size())
            return nullptr;
        const auto& line = lineObjects[size_t(*leaf.index)];
        return line.object && line.object->addressText() == *leaf.address ? &line : nullptr;
    }
    // The description the line holds after its bars.
    std::string_view textOf(const BLQITargetingAlgorithm::TreeLine& line) const {
        std::string_view text = lines[size_t(&line - lineObjects.data())];
        return text.substr(std::min(text.size(), size_t(std::max<int64_t>(line.depth, 0))));
    }
    // The object of the line of the n-th leaf the pickup found, as far as the engine told it.
    const platform::UIResponder* objectOfLeaf(size_t n) const {
        return n < leafLines.size() && leafLines[n] < lineObjects.size()
                   ? lineObjects[leafLines[n]].object.get()
                   : nullptr;
    }

    // What the steps after the preprocessing read of each node while it and its view were at
    // hand, in the order of the list handed on: a leaf's superview, the node's area, and whether
    // the node's address names its own view, with an accessibility identifier (1) or without
    // (0), or -1 when not known.
    struct Note {
        const KJTargetNode* node = nullptr;
        std::shared_ptr<UIView> superview;
        double area = 0;  // the node's dimension
        int8_t identified = -1;
    };
    std::vector<Note> leafNotes, nodeNotes;
    // The note of the node at that place of the list, when it is the node the note was made for.
    static const Note* noteOf(const std::vector<Note>& notes, const KJTargetNodes& nodes, size_t n) {
        return notes.size() == nodes.size() && notes[n].node == nodes[n].get() ? &notes[n] : nullptr;
    }
};

KJTargettingWidgetV2::PassScope::PassScope(const KJTargettingWidgetV2& finder) : finder_(finder) {
    if (finder_.pass_) return;
    opened_ = std::make_unique<Pass>();
    finder_.pass_ = opened_.get();
}

KJTargettingWidgetV2::PassScope::~PassScope() {
    if (opened_) finder_.pass_ = nullptr;
}

std::shared_ptr<platform::UIViewController> KJTargettingWidgetV2::viewControllerOf(
    const std::shared_ptr<UIView>& view) const {
    if (!pass_ || !view) return blqGetViewController(view);
    auto& facts = pass_->facts(view.get());
    if (!facts.controllerKnown) {
        facts.controller = viewControllerAfter(view->nextResponder());  // entries stay where they are
        facts.controllerKnown = true;
    }
    return facts.controller;
}

std::shared_ptr<platform::UIViewController> KJTargettingWidgetV2::viewControllerAfter(
    const std::shared_ptr<platform::UIResponder>& next) const {
    // The next responder is the controller whose root the view is, or the superview, whose
    // controller is the view's.
    if (auto direct = std::dynamic_pointer_cast<platform::UIViewController>(next)) return direct;
    if (auto superview = std::dynamic_pointer_cast<UIView>(next)) return viewControllerOf(superview);
    return nullptr;
}

void KJTargettingWidgetV2::generateViewHierarchyForest(const std::shared_ptr<UIView>& view,
                                                       bool isClickable) {
    PassScope pass(*this);
    std::vector<std::shared_ptr<NSObject>> excepts;
    if (auto tips = BLQPublished<BLQITipManager>::get())
        if (auto panel = tips->previewModePanel()) excepts.push_back(panel);
    if (forestInOnePass(excepts)) return;
    processLeaves(pickupRawLeaves(view, isClickable), excepts);
}

KJTargetNodes KJTargettingWidgetV2::processRawLeaves(
    const KJTargetNodes& rawLeaves, const std::vector<std::shared_ptr<NSObject>>& exceptsNodes) {
    return processLeaves(KJTargetNodes(rawLeaves), exceptsNodes);
}

KJTargetNodes KJTargettingWidgetV2::processLeaves(
    KJTargetNodes leaves, const std::vector<std::shared_ptr<NSObject>>& exceptsNodes) {
    PassScope pass(*this);
    preprocess(exceptsNodes, leaves);
    KJTargetNodes nodes = climbFrom(std::move(leaves));
    postprocess(nodes);
    return nodes;
}

KJTargetNodes KJTargettingWidgetV2::pickupRawLeaves(const std::shared_ptr<UIView>&, bool) const {
    KJTargetNodes leaves;
    auto algorithm = BLQPublished<BLQITargetingAlgorithm>::get();
    if (!algorithm) return leaves;
    // Within a pass the dump stays with the pass, with the objects of its lines, for the steps
    // that follow.
    Pass local;
    Pass& pass = pass_ ? *pass_ : local;
    pass.lines.clear();
    pass.leafLines.clear();
    pass.dump = pass_ ? algorithm->getTreeNodesWithLines(pass.lineObjects) : algorithm->getTreeNodes();
    const std::string& dump = pass.dump;
    if (dump.empty()) {
        pass.lineObjects.clear();
        return leaves;
    }

    std::vector<std::string_view>& lines = pass.lines;
    lines.reserve(pass.lineObjects.size());
    for (size_t start = 0;;) {
        size_t end = dump.find('\n', start);
        lines.emplace_back(
            std::string_view(dump).substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    // A description that spans lines leaves lines without an object of their own.
    if (pass.lineObjects.size() != lines.size()) pass.lineObjects.clear();
    // The views above the leaves get facts: a part of the lines.
    if (pass_) pass_->reserve(lines.size() / 2);
    std::vector<int64_t> levels(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) levels[i] = leadingBars(lines[i]);

    int64_t skipLevel = INT64_MAX;
    for (size_t i = 0; i < lines.size(); ++i) {
        int64_t level = levels[i];
        if (level > skipLevel) continue;
        LineReading line(lines[i]);
        if (line.hidden()) {
            skipLevel = level;
            continue;
        }
        int32_t tag = intValue(line.tag());
        if (tag == Constant::AppTag::sdkViewTag) {
            skipLevel = level;
            continue;
        }
        if (i + 1 < lines.size() && levels[i + 1] > level) {
            skipLevel = INT64_MAX;
            continue;
        }
        auto address = line.address();
        auto type = line.type();
        size_t index = i;
        if (!address && i > 0) {
            // The nearest line above with an address gives address and type; the first line
            // when none does.
            size_t j = i;
            do {
                --j;
                LineReading above(lines[j]);
                address = above.address();
                type = above.type();
            } while (!address && j > 0);
            index = j;
        }
        auto leaf = std::make_shared<KJTargetNode>();
        leaf->type = std::move(type);
        leaf->address = std::move(address);
        leaf->level = level;
        leaf->index = int64_t(index);
        leaf->tag = tag;
        leaves.push_back(std::move(leaf));
        pass.leafLines.push_back(index);
        skipLevel = INT64_MAX;
    }
    return leaves;
}

void KJTargettingWidgetV2::preprocess(const std::vector<std::shared_ptr<NSObject>>& exceptsNodes,
                                      KJTargetNodes& rawLeaves) const {
    PassScope pass(*this);
    auto& elements = KJUIElementManager::sharedInstance();
    std::vector<std::shared_ptr<UIView>> excepts;
    for (const auto& except : exceptsNodes)
        if (auto view = std::dynamic_pointer_cast<UIView>(except)) excepts.push_back(std::move(view));
    std::vector<bool> discarded(rawLeaves.size(), false);
    std::vector<Pass::Note> notes(rawLeaves.size());
    std::string message;
    for (size_t n = 0; n < rawLeaves.size(); ++n) {
        // The view of the leaf a few steps on, asked for ahead (a large screen's views are not in
        // the processor's caches by now), from the pickup's own list when these are its leaves.
        if (n + kLookAhead < rawLeaves.size() && pass_->leafLines.size() == rawLeaves.size())
            prefetchShared(pass_->objectOfLeaf(n + kLookAhead), sizeof(UIView));
        KJTargetNode& leaf = *rawLeaves[n];
        if (!leaf.address || leaf.address->starts_with(Constant::Address::nullAddressPrefix)) {
            KJLog(1, "leafnode %@'s address is empty, its index is %@", leaf.type.value_or("(null)"),
                  leaf.index.value_or(0));
            continue;
        }
        // Only a live object resolves: the registry holds weak references. The object of the
        // leaf's own dump line is the one at its address when its address text is the leaf's.
        const BLQITargetingAlgorithm::TreeLine* line = pass_->lineOf(leaf);
        std::shared_ptr<NSObject> object = line ? line->object : getNodeInstance(*leaf.address);
        auto view = std::dynamic_pointer_cast<UIView>(object);
        std::string objectClass = object ? object->className() : "(null)";
        if (!view || !leaf.type || objectClass != *leaf.type) {
            if (object && !view) elements.getFrameOnScreen(object);
            KJLog(1, "discard a node when trying to locate leafType: %@; but get %@",
                  leaf.type.value_or("(null)"), objectClass);
            discarded[n] = true;
            continue;
        }
        bool excluded = std::any_of(
            excepts.begin(), excepts.end(),
            [&](const std::shared_ptr<UIView>& except) { return isNodeQXWidget(*except, *view); });
        if (excluded) {
            KJLog(1, "discard a node: %@, as it is a QX widget", *leaf.address);
            discarded[n] = true;
            continue;
        }
        // The view's own dump line holds its description, written a moment ago.
        message.assign(" + processRawLeaves ");
        if (line)
            message += pass_->textOf(*line);
        else
            message += view->description();
        message += ": ";
        consoleLog().log(platform::LogType::Default, message);
        auto next = view->nextResponder();
        auto controller = viewControllerAfter(next);
        leaf.ancestor = ancestorPathOf(view, true, controller, next);
        leaf.viewController = std::move(controller);
        leaf.frame = elements.getFrameOnScreen(view);
        auto& note = notes[n];
        note.superview = view->superview();
        note.area = leaf.dimension();
        if (line || view->addressText() == *leaf.address)
            note.identified = view->accessibilityIdentifier() ? 1 : 0;
        leaf.instance = std::move(view);
    }
    size_t kept = 0;
    for (size_t n = 0; n < rawLeaves.size(); ++n) {
        if (discarded[n]) continue;
        notes[n].node = rawLeaves[n].get();
        if (kept != n) {
            notes[kept] = std::move(notes[n]);
            rawLeaves[kept] = std::move(rawLeaves[n]);
        }
        ++kept;
    }
    rawLeaves.resize(kept);
    notes.resize(kept);
    pass_->leafNotes = std::move(notes);
}

KJTargetNodes KJTargettingWidgetV2::deeperTargetting(const KJTargetNodes& nodes) const {
    return climbFrom(KJTargetNodes(nodes));
}

KJTargetNodes KJTargettingWidgetV2::climbFrom(KJTargetNodes nodes) const {
    PassScope pass(*this);
    auto& elements = KJUIElementManager::sharedInstance();
    struct Climbed {
        std::shared_ptr<KJTargetNode> node;
        double area;
        int8_t identified;
    };
    std::vector<Climbed> climbed;
    climbed.reserve(nodes.size() * 2);
    const uint32_t climb = ++pass_->climbs;
    for (size_t n = 0; n < nodes.size(); ++n) {
        const Pass::Note* note = Pass::noteOf(pass_->leafNotes, nodes, n);
        auto view = note ? note->superview : nodes[n]->instance ? nodes[n]->instance->superview() : nullptr;
        if (note)
            climbed.push_back({std::move(nodes[n]), note->area, note->identified});
        else
            climbed.push_back({nodes[n], nodes[n]->dimension(), -1});
        for (bool firstStep = true; view; view = view->superview(), firstStep = false) {
            // A view met before was climbed from then on, up to where this climb would stop; a
            // window or container met before stopped that climb as it stops this one.
            auto& facts = pass_->facts(view.get());
            if (facts.climb == climb) break;
            facts.climb = climb;
            if (dynamic_cast<const platform::UIWindow*>(view.get()) || isContainer(view->className())) break;
            if (isTargetASupportedWidget(*view)) {
                auto ancestorNode = std::make_shared<KJTargetNode>();
                ancestorNode->viewController = viewControllerOf(view);
                ancestorNode->type = view->className();
                ancestorNode->ancestor =
                    ancestorPathOf(view, firstStep, ancestorNode->viewController, view->nextResponder());
                ancestorNode->frame = elements.getFrameOnScreen(view);
                ancestorNode->address = view->addressText();
                ancestorNode->instance = view;
                const double area = ancestorNode->dimension();
                climbed.push_back(
                    {std::move(ancestorNode), area, int8_t(view->accessibilityIdentifier() ? 1 : 0)});
            }
        }
    }
    // Largest area first, equal areas in their order: the areas are sorted beside the positions,
    // away from the nodes, which lie all over the heap.
    std::vector<std::pair<double, size_t>> areas(climbed.size());
    for (size_t i = 0; i < climbed.size(); ++i) areas[i] = {climbed[i].area, i};
    std::stable_sort(areas.begin(), areas.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    KJTargetNodes result;
    result.reserve(climbed.size());
    std::vector<Pass::Note> notes(climbed.size());
    for (const auto& [area, i] : areas) {
        notes[result.size()] = {climbed[i].node.get(), nullptr, area, climbed[i].identified};
        result.push_back(std::move(climbed[i].node));
    }
    pass_->nodeNotes = std::move(notes);
    return result;
}

// ---- The forest in one pass ---------------------------------------------------------------------
//
// The steps above, run leaf by leaf as the engine writes the dump. A screen of thousands of views
// does not fit the processor's caches: read back step after step, every view is fetched from
// memory again by each step (the pickup, the preprocessing, the climb, the filter) and the
// records of all of them are made, filtered and let go. Here a leaf is taken as soon as the line
// after it tells it is one, right after the engine described its view, so that the leaf, the
// views above it and their records are worked on while they are still at hand; records are made
// only of the nodes that pass the filter. What comes out is what the steps give: the same leaves
// (the pickup's reading of the lines), the same console lines in the same order, the same climb,
// and the same nodes in the same order (the order of the climb, then largest area first).

namespace {

// A set of objects by address: open addressing over one array, for the thousands of views a
// climb goes through.
class ObjectSet {
public:
    // Adds the object; false when it was there.
    bool insert(const void* object) {
        if ((count_ + 1) * 2 > slots_.size()) grow();
        for (size_t at = slotOf(object, slots_.size());; at = (at + 1) & (slots_.size() - 1)) {
            if (slots_[at] == object) return false;
            if (slots_[at]) continue;
            slots_[at] = object;
            ++count_;
            return true;
        }
    }

private:
    static size_t slotOf(const void* object, size_t size) {
        uint64_t h = uint64_t(reinterpret_cast<uintptr_t>(object)) * 0x9E3779B97F4A7C15ull;
        return size_t(h ^ (h >> 32)) & (size - 1);
    }
    void grow() {
        std::vector<const void*> old =
            std::exchange(slots_, std::vector<const void*>(std::max<size_t>(256, slots_.size() * 2)));
        for (const void* object : old) {
            if (!object) continue;
            size_t at = slotOf(object, slots_.size());
            while (slots_[at]) at = (at + 1) & (slots_.size() - 1);
            slots_[at] = object;
        }
    }

    std::vector<const void*> slots_;
    size_t count_ = 0;
};

}  // namespace

struct KJTargettingWidgetV2::OnePass {
    OnePass(KJTargettingWidgetV2& finder, const std::vector<std::shared_ptr<NSObject>>& exceptsNodes)
        : finder(finder), elements(KJUIElementManager::sharedInstance()) {
        for (const auto& except : exceptsNodes)
            if (auto view = std::dynamic_pointer_cast<UIView>(except)) excepts.push_back(std::move(view));
    }

    // One object of the dump: each line of its description (one, unless it holds line breaks).
    void describe(const std::shared_ptr<platform::UIResponder>& object, int64_t depth,
                  std::string_view text) {
        const bool whole = text.find('\n') == std::string_view::npos;
        for (size_t start = 0, piece = 0;; ++piece) {
            const size_t end = whole ? std::string_view::npos : text.find('\n', start);
            const std::string_view line =
                text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
            // The bars before the description count as depth, and so do bars the text begins with.
            const int64_t level = (piece == 0 ? depth : 0) + leadingBars(line);
            if (count > 0) take(&level);
            pending.text.assign(line);
            pending.level = level;
            pending.object = piece == 0 ? object : nullptr;
            pending.whole = piece == 0 && whole;
            if (count++ == 0) firstText.assign(line);
            if (end == std::string_view::npos) break;
            start = end + 1;
        }
    }

    // The dump ended: its last line, then the nodes in the order of the steps, into the forest.
    KJTargetNodes finish() {
        if (count > 0) take(nullptr);
        pending.object = nullptr;
        const auto root = presentRootView();
        for (auto& survivor : survivors) identify(*survivor.node, root, -1);
        // Largest area first, equal areas in the order of the climb.
        std::stable_sort(survivors.begin(), survivors.end(),
                         [](const Survivor& a, const Survivor& b) { return a.area > b.area; });
        KJTargetNodes nodes;
        nodes.reserve(survivors.size());
        for (auto& survivor : survivors) nodes.push_back(std::move(survivor.node));
        finder.plant(nodes);
        return nodes;
    }

private:
    struct Survivor {
        std::shared_ptr<KJTargetNode> node;
        double area;
    };

    // The pickup's reading of the last line (number count - 1), once the level of the line after
    // it (if any) is known. Every line's address is noted for the leaves below that have none.
    void take(const int64_t* nextLevel) {
        const size_t i = count - 1;
        const int64_t level = pending.level;
        LineReading line(pending.text);
        if (level > skipLevel) {
            noteAddress(i, line.address());
            return;
        }
        if (line.hidden()) {
            skipLevel = level;
            noteAddress(i, line.address());
            return;
        }
        const int32_t tag = intValue(line.tag());
        if (tag == Constant::AppTag::sdkViewTag) {
            skipLevel = level;
            noteAddress(i, line.address());
            return;
        }
        skipLevel = INT64_MAX;
        auto address = line.address();
        if (nextLevel && *nextLevel > level) {
            noteAddress(i, address);
            return;
        }
        std::optional<std::string> type;
        size_t index = i;
        if (address || i == 0) {
            type = line.type();
        } else if (addressed) {
            // The nearest line above with an address gives address and type.
            LineReading above(addressedText);
            address = above.address();
            type = above.type();
            index = addressedLine;
        } else {
            // The first line when none does.
            type = LineReading(firstText).type();
            index = 0;
        }
        // The object the engine described on the leaf's line, when that line is the first of its
        // description (and the address is the object's own, which the registry would give).
        const std::shared_ptr<platform::UIResponder> none;
        takeLeaf(std::move(type), address, level, index, tag, index == i ? pending.object : none);
        noteAddress(i, address && index == i ? address : std::nullopt);
    }

    void noteAddress(size_t i, const std::optional<std::string>& address) {
        if (!address) return;
        addressed = true;
        addressedLine = i;
        addressedText = pending.text;
    }

    // The preprocessing of one leaf, then the climb from it.
    void takeLeaf(std::optional<std::string> type, std::optional<std::string> address, int64_t level,
                  size_t index, int32_t tag, const std::shared_ptr<platform::UIResponder>& lineObject) {
        if (!address || address->starts_with(Constant::Address::nullAddressPrefix)) {
            // Kept without a view or frame, such a leaf does not pass the filter.
            KJLog(1, "leafnode %@'s address is empty, its index is %@", type.value_or("(null)"),
                  int64_t(index));
            return;
        }
        std::shared_ptr<NSObject> object;
        bool ownLine = false;
        if (lineObject && lineObject->addressText() == *address) {
            object = lineObject;
            ownLine = true;
        } else {
            object = getNodeInstance(*address);
        }
        auto view = std::dynamic_pointer_cast<UIView>(object);
        const std::string objectClass = object ? object->className() : "(null)";
        if (!view || !type || objectClass != *type) {
            if (object && !view) elements.getFrameOnScreen(object);
            KJLog(1, "discard a node when trying to locate leafType: %@; but get %@", type.value_or("(null)"),
                  objectClass);
            return;
        }
        const bool excluded = std::any_of(
            excepts.begin(), excepts.end(),
            [&](const std::shared_ptr<UIView>& except) { return isNodeQXWidget(*except, *view); });
        if (excluded) {
            KJLog(1, "discard a node: %@, as it is a QX widget", *address);
            return;
        }
        // The line holds the view's description, written a moment ago, unless the description
        // spans lines.
        message.assign(" + processRawLeaves ");
        if (ownLine && pending.whole)
            message += pending.text;
        else
            message += view->description();
        message += ": ";
        consoleLog().log(platform::LogType::Default, message);

        const platform::CGRect frame = elements.getFrameOnScreen(view);
        if (!finder.discardReason(frame, view.get(), type)) {
            auto leaf = std::make_shared<KJTargetNode>();
            auto next = view->nextResponder();
            auto controller = finder.viewControllerAfter(next);
            leaf->ancestor = finder.ancestorPathOf(view, true, controller, next);
            leaf->viewController = std::move(controller);
            leaf->type = std::move(type);
            leaf->address = std::move(address);
            leaf->level = level;
            leaf->index = int64_t(index);
            leaf->tag = tag;
            leaf->frame = frame;
            leaf->instance = view;
            survivors.push_back({std::move(leaf), frame.size.width * frame.size.height});
        }
        climbFrom(*view);
    }

    // The supported widgets above the view up to a window or a container, as climbFrom finds
    // them: a climb ends at a view an earlier one went through.
    void climbFrom(const UIView& leaf) {
        bool firstStep = true;
        for (auto view = leaf.superview(); view; view = view->superview(), firstStep = false) {
            if (!climbed.insert(view.get())) break;
            if (dynamic_cast<const platform::UIWindow*>(view.get()) || isContainer(view->className())) break;
            if (!finder.isTargetASupportedWidget(*view)) continue;
            const platform::CGRect frame = elements.getFrameOnScreen(view);
            std::string type = view->className();
            if (finder.discardReason(frame, view.get(), type)) continue;
            auto node = std::make_shared<KJTargetNode>();
            node->viewController = finder.viewControllerOf(view);
            node->type = std::move(type);
            node->ancestor =
                finder.ancestorPathOf(view, firstStep, node->viewController, view->nextResponder());
            node->frame = frame;
            node->address = view->addressText();
            node->instance = view;
            survivors.push_back({std::move(node), frame.size.width * frame.size.height});
        }
    }

    KJTargettingWidgetV2& finder;
    KJUIElementManager& elements;
    std::vector<std::shared_ptr<UIView>> excepts;
    // The lines read so far, and the last of them, not taken yet: its text, depth, the object of
    // a line that begins a description and whether the description is that one line.
    size_t count = 0;
    struct {
        std::string text;
        int64_t level = 0;
        std::shared_ptr<platform::UIResponder> object;
        bool whole = false;
    } pending;
    // The first line, and the last line with an address.
    std::string firstText;
    bool addressed = false;
    size_t addressedLine = 0;
    std::string addressedText;
    int64_t skipLevel = INT64_MAX;
    ObjectSet climbed;
    std::string message;
    std::vector<Survivor> survivors;
};

std::optional<KJTargetNodes> KJTargettingWidgetV2::forestInOnePass(
    const std::vector<std::shared_ptr<NSObject>>& exceptsNodes) {
    if (KJLogHasObserver()) return std::nullopt;
    auto algorithm = BLQPublished<BLQITargetingAlgorithm>::get();
    if (!algorithm) return std::nullopt;
    PassScope scope(*this);
    OnePass one(*this, exceptsNodes);
    const bool handed =
        algorithm->describeTree([&](const std::shared_ptr<platform::UIResponder>& object, int64_t depth,
                                    std::string_view text) { one.describe(object, depth, text); });
    if (!handed) return std::nullopt;
    return one.finish();
}

void KJTargettingWidgetV2::postprocess(KJTargetNodes& nodes) {
    PassScope pass(*this);
    const auto root = presentRootView();

    // Each node is judged on its own. The judging goes through the nodes in the order they lie
    // in memory (the list is ordered by area, all over the heap), or in list order while the
    // legacy log is read, as it hears of every discarded node.
    std::vector<size_t> order(nodes.size());
    for (size_t n = 0; n < nodes.size(); ++n) order[n] = n;
    if (!KJLogHasObserver())
        std::sort(order.begin(), order.end(),
                  [&](size_t a, size_t b) { return std::less<>()(nodes[a].get(), nodes[b].get()); });
    KJTargetNodes discarded;
    std::vector<bool> kept(nodes.size(), false);
    for (size_t n : order) {
        const auto& node = nodes[n];
        const Pass::Note* note = Pass::noteOf(pass_->nodeNotes, nodes, n);
        identify(*node, root, note ? note->identified : -1);
        kept[n] = applyFiltersForTargetNodes(node, discarded);
    }
    size_t survivors = 0;
    for (size_t n = 0; n < nodes.size(); ++n) {
        if (!kept[n]) continue;
        nodes[survivors++] = std::move(nodes[n]);
    }
    nodes.resize(survivors);
    plant(nodes);
}

std::shared_ptr<UIView> KJTargettingWidgetV2::presentRootView() {
    auto window = blqGetPresentWindow();
    auto controller = window ? window->rootViewController() : nullptr;
    return controller ? controller->view() : nullptr;
}

void KJTargettingWidgetV2::identify(KJTargetNode& node, const std::shared_ptr<UIView>& root, int identified) {
    // The identifier of the view under the root whose address text is the node's address: the
    // node's own view when that is its address text, else the view at that address. A node
    // known to be its own view without an identifier (0) has none.
    if (!root || !node.address || identified == 0) return;
    const std::string& address = *node.address;
    const auto& instance = node.instance;
    std::shared_ptr<UIView> named;
    if (instance && instance->addressText() == address) {
        named = instance;
    } else if (auto view = std::dynamic_pointer_cast<UIView>(getNodeInstance(address))) {
        if (view->addressText() == address) named = std::move(view);
    }
    if (named && named->accessibilityIdentifier() && named->isDescendantOfView(root))
        node.accessibilityIdentifier = *named->accessibilityIdentifier();
}

void KJTargettingWidgetV2::plant(const KJTargetNodes& survivors) {
    for (const auto& node : survivors) addSingleNodeInForest(node, ancestorForest);
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
    const char* reason =
        discardReason(node.frame.value_or(platform::CGRect()), node.instance.get(), node.type);
    if (!reason) return true;
    KJLog(1, reason, node.address.value_or("(null)"));
    discarded.push_back(target);
    return false;
}

const char* KJTargettingWidgetV2::discardReason(const platform::CGRect& frame, const UIView* instance,
                                                const std::optional<std::string>& type) const {
    platform::CGRect screen = platform::UIScreen::mainScreen()->bounds();
    float screenWidth = float(screen.size.width), screenHeight = float(screen.size.height);
    float x = float(frame.origin.x), y = float(frame.origin.y), width = float(frame.size.width),
          height = float(frame.size.height);
    if (width * height <= 0) return "discard a node: %@, as its dimention less than or equal to 0";
    if (height == screenHeight && width == screenWidth)
        return "discard a node: %@, as it covers the whole screen";
    if ((y + height - screenHeight) / height * 100 >= 50 || (x + width - screenWidth) / width * 100 >= 50 ||
        y < 0 || x < 0)
        return "discard a node: %@, as it go out screen";
    if (!instance || !isDisplayedInScreen(*instance))
        return "discard a node: %@, as it is not displayed in current screen";
    const std::string className = instance->className();
    auto unwanted = [&](const std::string& text) {
        return std::find(unwantedWidgets.begin(), unwantedWidgets.end(), text) != unwantedWidgets.end();
    };
    if (unwanted(className) || (type && unwanted(*type)))
        return "discard a node: %@, as it is an unwanted widget";
    return nullptr;
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
    PassScope pass(*this);
    return ancestorPathOf(view, isNodeLeaf, viewControllerOf(view), view->nextResponder());
}

std::string KJTargettingWidgetV2::ancestorPathOf(
    const std::shared_ptr<UIView>& view, bool isNodeLeaf,
    const std::shared_ptr<platform::UIViewController>& controller,
    const std::shared_ptr<platform::UIResponder>& next) const {
    std::string path = isNodeLeaf ? view->className() : normalisedNameOf(view).value_or("(null)");
    const NSObject* stop = controller.get();
    if (!stop) {
        if (!pass_->delegateWindowKnown) {
            auto delegate = platform::UIApplication::sharedApplication()->delegate();
            if (delegate) pass_->delegateWindow = delegate->window();
            pass_->delegateWindowKnown = true;
        }
        stop = pass_->delegateWindow.get();
    }
    if (next) appendTrail(path, next, stop);
    return path;
}

void KJTargettingWidgetV2::appendTrail(std::string& path,
                                       const std::shared_ptr<platform::UIResponder>& responder,
                                       const NSObject* stop) const {
    // The views of a screen share the responders above them, so the trail from each is made
    // once. The stop is the same for every path through a responder (the first view controller
    // at or above it, else the delegate's window); it is kept to be sure.
    auto& facts = pass_->facts(responder.get());
    if (facts.trailKnown && facts.trailStop == stop) {
        path += facts.trail;
        return;
    }
    const uint64_t astray = astrayLines_;
    const size_t from = path.size();
    if (const auto& name = normalisedNameOf(responder)) {
        path += '@';
        path += *name;
    }
    if (!stop || static_cast<const NSObject*>(responder.get()) != stop)
        if (auto next = responder->nextResponder()) appendTrail(path, next, stop);
    if (astrayLines_ != astray) return;
    facts.trail.assign(path, from);  // entries stay where they are while the table grows
    facts.trailStop = stop;
    facts.trailKnown = true;
}

const std::optional<std::string>& KJTargettingWidgetV2::normalisedNameOf(
    const std::shared_ptr<platform::UIResponder>& responder) const {
    auto& facts = pass_->facts(responder.get());
    if (facts.nameKnown) return facts.name;
    const uint64_t astray = astrayLines_;
    facts.name = determineNormalisedViewClassName(responder);
    // A name whose making wrote a line is made again next time, and writes it again.
    facts.nameKnown = astrayLines_ == astray;
    return facts.name;
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
    ++astrayLines_;
    if (KJLogHasObserver())
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
