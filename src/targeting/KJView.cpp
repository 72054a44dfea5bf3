#include "targeting/KJView.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <unordered_map>

#include "foundation/KJLog.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UISegmentedControl.h"
#include "platform/uikit/UIStepper.h"
#include "platform/uikit/UISwitch.h"
#include "platform/uikit/UITabBar.h"
#include "platform/uikit/UITabBarItem.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"
#include "targeting/KJUIElementManager.h"

namespace brindlecue {

using platform::NSObject;
using platform::Selector;
using platform::UIView;

namespace {

// Within one display-string request the unique id of an ancestor is worked out once: every
// ancestor's own display string walks the ancestors above it again, which would otherwise double
// the work with every level. The views do not change during a request, so the text is the same.
thread_local std::unordered_map<const NSObject*, std::optional<std::string>>* uniqueIdMemo = nullptr;

class UniqueIdMemoScope {
public:
    UniqueIdMemoScope() {
        if (uniqueIdMemo == nullptr) {
            uniqueIdMemo = &memo_;
            owner_ = true;
        }
    }
    ~UniqueIdMemoScope() {
        if (owner_) uniqueIdMemo = nullptr;
    }
    UniqueIdMemoScope(const UniqueIdMemoScope&) = delete;
    UniqueIdMemoScope& operator=(const UniqueIdMemoScope&) = delete;

private:
    std::unordered_map<const NSObject*, std::optional<std::string>> memo_;
    bool owner_ = false;
};

std::string uniqueIdOf(const std::shared_ptr<UIView>& ancestor) {
    if (uniqueIdMemo != nullptr) {
        auto it = uniqueIdMemo->find(ancestor.get());
        if (it != uniqueIdMemo->end()) return it->second.value_or("(null)");
    }
    auto id = KJUIElementManager::sharedInstance().getUniqueId(ancestor);
    if (uniqueIdMemo != nullptr) uniqueIdMemo->emplace(ancestor.get(), id);
    return id.value_or("(null)");
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
    auto it = std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    return it != text.end();
}

// Where the walk of a display string ends: a window, a screen container, or (for views) a React
// Native view.
bool isDisplayStringStop(const UIView& ancestor, bool reactNativeStops) {
    if (ancestor.isKindOfClass("UIWindow")) return true;
    std::string name = ancestor.className();
    static constexpr std::array<std::string_view, 3> kContainers{"UIViewControllerWrapperView",
                                                                 "UINavigationTransitionView", "KJCoverView"};
    if (std::find(kContainers.begin(), kContainers.end(), name) != kContainers.end()) return true;
    if (!reactNativeStops) return false;
    if (name == "RCTRootView" || name == "RCTRootContentView" || name == "RCTScrollContentView") return true;
    return containsIgnoringCase(name, "RCTView");
}

// The byte length of the longest start of a UTF-8 text that has at most maxUnits UTF-16 units
// (the platform counts characters in those); a character is never split.
size_t utf8CutFor(const std::string& text, size_t maxUnits) {
    size_t units = 0;
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
        size_t width = length == 4 ? 2 : 1;
        if (units + width > maxUnits) return i;
        units += width;
        i += std::min(length, text.size() - i);
    }
    return text.size();
}

}  // namespace

KJView::KJView(std::shared_ptr<UIView> view) : innerView_(std::move(view)) {}

std::string KJView::displayStr() const {
    return baseDisplayStr();
}

std::string KJView::ancestorSegments(const std::shared_ptr<UIView>& view, bool reactNativeStops) {
    std::string out;
    for (auto ancestor = view->superview(); ancestor; ancestor = ancestor->superview()) {
        if (isDisplayStringStop(*ancestor, reactNativeStops)) break;
        out += '@';
        out += uniqueIdOf(ancestor);
    }
    return out;
}

std::string KJView::cutDisplayString(std::string text) {
    size_t cut = utf8CutFor(text, kMaxDisplayStringLength);
    if (cut < text.size()) {
        text.resize(cut);
        KJLog(1, "Display string is longer than 450, truncate it.");
    }
    return text;
}

std::string KJView::baseDisplayStr() const {
    if (!innerView_) return "";
    UniqueIdMemoScope memo;
    size_t index = innerView_->indexInSuperview().value_or(0);
    std::string text = innerView_->className() + "_" + std::to_string(index);
    text += ancestorSegments(innerView_, true);
    return cutDisplayString(std::move(text));
}

platform::CGRect KJView::frameOnScreen() const {
    return innerView_ ? frameOnScreenOf(*innerView_) : platform::CGRect();
}

platform::CGRect KJView::frameOnScreenOf(const UIView& view) {
    platform::CGPoint origin;
    if (auto superview = view.superview())
        origin = superview->convertPointToView(view.frame().origin, nullptr);
    return platform::CGRect(origin, view.bounds().size);
}

std::optional<platform::UIColor> KJView::preferBackgroundColor() const {
    return innerView_ ? innerView_->backgroundColor() : std::nullopt;
}

std::optional<std::vector<std::shared_ptr<UIView>>> KJView::recognizableSubviews() const {
    if (!innerView_) return std::nullopt;
    return innerView_->subviews();
}

void KJView::hookClickEventWithTarget(const std::shared_ptr<NSObject>& target, const Selector& selector) {
    if (!innerView_) return;
    if (auto control = std::dynamic_pointer_cast<platform::UIControl>(innerView_)) {
        control->addTarget(target, selector, platform::UIControlEventTouchUpInside);
        return;
    }
    innerView_->setUserInteractionEnabled(true);
    innerView_->addGestureRecognizer(platform::make<platform::UITapGestureRecognizer>(target, selector));
}

void KJView::removeClickEventWithTarget(const std::shared_ptr<NSObject>& target, const Selector& selector) {
    if (!innerView_) return;
    if (auto control = std::dynamic_pointer_cast<platform::UIControl>(innerView_)) {
        control->removeTarget(target, selector.name, platform::UIControlEventTouchUpInside);
        return;
    }
    // Only the recognisers this hook made: those of the host stay where they are.
    auto recognizers = innerView_->gestureRecognizers();
    for (const auto& recognizer : recognizers) {
        if (!recognizer->isKindOfClass("UITapGestureRecognizer")) continue;
        auto actions = recognizer->actionsForTarget(target);
        if (std::find(actions.begin(), actions.end(), selector.name) != actions.end())
            innerView_->removeGestureRecognizer(recognizer);
    }
}

// ---- Buttons -------------------------------------------------------------------------------

KJButton::KJButton(std::shared_ptr<platform::UIButton> b) : KJView(b), button(std::move(b)) {}

std::string KJButton::displayStr() const {
    auto name = friendlyName();
    return name && !name->empty() ? *name : baseDisplayStr();
}

std::optional<std::string> KJButton::friendlyName() const {
    using namespace platform;
    for (uint64_t state : {uint64_t(UIControlStateNormal), uint64_t(UIControlStateHighlighted),
                           uint64_t(UIControlStateSelected), uint64_t(UIControlStateDisabled),
                           uint64_t(UIControlStateFocused), uint64_t(UIControlStateReserved)}) {
        auto title = button->titleForState(state);
        if (title && !title->empty()) return title;
    }
    return std::nullopt;
}

std::optional<platform::UIColor> KJButton::preferTextColor() const {
    return button->currentTitleColor();
}

std::optional<platform::UIFont> KJButton::preferTextFont() const {
    // The font the title label has, or would have once made.
    if (auto label = button->titleLabelIfLoaded()) return label->font();
    return platform::UIFont::systemFontOfSize(platform::UIFont::buttonFontSize());
}

void KJButton::hookEventWithTarget(const std::shared_ptr<NSObject>& target, const Selector& selector) {
    button->addTarget(target, selector, platform::UIControlEventTouchUpInside);
}

void KJButton::removeEventWithTarget(const std::shared_ptr<NSObject>& target, const Selector& selector) {
    button->removeTarget(target, selector.name, platform::UIControlEventTouchUpInside);
}

KJButtonBarButton::KJButtonBarButton(std::shared_ptr<UIView> b) : KJView(b), button(std::move(b)) {}

void KJButtonBarButton::hookEventWithTarget(const std::shared_ptr<NSObject>& target,
                                            const Selector& selector) {
    if (auto control = std::dynamic_pointer_cast<platform::UIControl>(button))
        control->addTarget(target, selector, platform::UIControlEventTouchUpInside);
}

void KJButtonBarButton::removeEventWithTarget(const std::shared_ptr<NSObject>& target,
                                              const Selector& selector) {
    if (auto control = std::dynamic_pointer_cast<platform::UIControl>(button))
        control->removeTarget(target, selector.name, platform::UIControlEventTouchUpInside);
}

// ---- Cells, segments, tab bar items ------------------------------------------------------------

KJTableViewCell::KJTableViewCell(std::shared_ptr<platform::UITableViewCell> cell)
    : KJView(cell), tableViewCell(std::move(cell)) {}

std::string KJTableViewCell::displayStr() const {
    auto name = friendlyName();
    return name && !name->empty() ? *name : baseDisplayStr();
}

std::optional<std::string> KJTableViewCell::friendlyName() const {
    // Labels not made yet have no text: reading them must not add them to the cell.
    if (auto label = tableViewCell->textLabelIfLoaded())
        if (label->text() && !label->text()->empty()) return label->text();
    if (auto detail = tableViewCell->detailTextLabelIfLoaded()) return detail->text();
    return std::nullopt;
}

std::optional<platform::UIColor> KJTableViewCell::preferTextColor() const {
    return platform::UIColor::darkTextColor();
}

std::optional<platform::UIFont> KJTableViewCell::preferTextFont() const {
    return platform::UIFont::systemFontOfSize(platform::UIFont::systemFontSize());
}

KJSegmentControl::KJSegmentControl(std::shared_ptr<platform::UISegmentedControl> control)
    : KJView(control), segmentControl(std::move(control)) {}

std::string KJSegmentControl::displayStr() const {
    auto name = friendlyName();
    return name && !name->empty() ? *name : baseDisplayStr();
}

std::optional<std::string> KJSegmentControl::friendlyName() const {
    for (size_t i = 0; i < segmentControl->numberOfSegments(); ++i) {
        auto title = segmentControl->titleForSegmentAtIndex(i);
        if (title && !title->empty()) return "SegmentControl_" + *title;
    }
    return std::nullopt;
}

std::optional<platform::UIColor> KJSegmentControl::preferTextColor() const {
    auto attributes = segmentControl->titleTextAttributesForState(platform::UIControlStateNormal);
    return attributes ? attributes->foregroundColor : std::nullopt;
}

std::optional<platform::UIFont> KJSegmentControl::preferTextFont() const {
    auto attributes = segmentControl->titleTextAttributesForState(platform::UIControlStateNormal);
    return attributes ? attributes->font : std::nullopt;
}

void KJSegmentControl::hookEventWithTarget(const std::shared_ptr<NSObject>& target,
                                           const Selector& selector) {
    segmentControl->addTarget(target, selector, platform::UIControlEventValueChanged);
}

void KJSegmentControl::removeEventWithTarget(const std::shared_ptr<NSObject>& target,
                                             const Selector& selector) {
    segmentControl->removeTarget(target, selector.name, platform::UIControlEventValueChanged);
}

KJSegment::KJSegment(std::shared_ptr<UIView> view) : KJView(view), segment(std::move(view)) {}

KJTabBarItem::KJTabBarItem(std::shared_ptr<platform::UITabBarItem> item)
    : KJView(item->view()), tabBarItem(std::move(item)) {}

std::string KJTabBarItem::displayStr() const {
    if (innerView()) {
        if (auto bar = std::dynamic_pointer_cast<platform::UITabBar>(innerView()->nextResponder())) {
            const auto& items = bar->items();
            auto it = std::find(items.begin(), items.end(), tabBarItem);
            // An item missing from the list has the platform's "not found" index.
            size_t index = it == items.end() ? size_t(INT64_MAX) : size_t(it - items.begin());
            return std::to_string(index);
        }
    }
    return baseDisplayStr();
}

std::optional<std::string> KJTabBarItem::friendlyName() const {
    return tabBarItem->title();
}

// ---- Text --------------------------------------------------------------------------------------

KJLabel::KJLabel(std::shared_ptr<platform::UILabel> l) : KJView(l), label(std::move(l)) {}

std::optional<std::string> KJLabel::friendlyName() const {
    return label->text();
}

std::optional<platform::UIColor> KJLabel::preferTextColor() const {
    return label->textColor();
}

std::optional<platform::UIFont> KJLabel::preferTextFont() const {
    return label->font();
}

KJTextField::KJTextField(std::shared_ptr<platform::UITextField> field)
    : KJView(field), textField(std::move(field)) {}

std::optional<std::string> KJTextField::friendlyName() const {
    return textField->placeholder();
}

std::optional<platform::UIColor> KJTextField::preferTextColor() const {
    return textField->textColor();
}

std::optional<platform::UIFont> KJTextField::preferTextFont() const {
    return textField->font();
}

void KJTextField::hookEventWithTarget(const std::shared_ptr<NSObject>& target, const Selector& selector) {
    textField->addTarget(target, selector, platform::UIControlEventEditingDidBegin);
}

void KJTextField::removeEventWithTarget(const std::shared_ptr<NSObject>& target, const Selector& selector) {
    textField->removeTarget(target, selector.name, platform::UIControlEventEditingDidBegin);
}

// ---- Other controls and views ------------------------------------------------------------------

KJSwitch::KJSwitch(std::shared_ptr<platform::UISwitch> control)
    : KJView(control), switcher(std::move(control)) {}

std::optional<platform::UIColor> KJSwitch::preferTextColor() const {
    return platform::UIColor::darkTextColor();
}

std::optional<platform::UIFont> KJSwitch::preferTextFont() const {
    return platform::UIFont::systemFontOfSize(platform::UIFont::systemFontSize());
}

void KJSwitch::hookEventWithTarget(const std::shared_ptr<NSObject>& target, const Selector& selector) {
    switcher->addTarget(target, selector, platform::UIControlEventValueChanged);
}

void KJSwitch::removeEventWithTarget(const std::shared_ptr<NSObject>& target, const Selector& selector) {
    switcher->removeTarget(target, selector.name, platform::UIControlEventValueChanged);
}

KJStepper::KJStepper(std::shared_ptr<platform::UIStepper> control)
    : KJView(control), stepper(std::move(control)) {}

void KJStepper::hookEventWithTarget(const std::shared_ptr<NSObject>& target, const Selector& selector) {
    stepper->addTarget(target, selector, platform::UIControlEventValueChanged);
}

void KJStepper::removeEventWithTarget(const std::shared_ptr<NSObject>& target, const Selector& selector) {
    stepper->removeTarget(target, selector.name, platform::UIControlEventValueChanged);
}

KJTableView::KJTableView(std::shared_ptr<platform::UITableView> table)
    : KJView(table), tableView(std::move(table)) {}

std::optional<platform::UIColor> KJTableView::preferTextColor() const {
    return platform::UIColor::darkTextColor();
}

std::optional<platform::UIFont> KJTableView::preferTextFont() const {
    return platform::UIFont::systemFontOfSize(platform::UIFont::systemFontSize());
}

KJImageView::KJImageView(std::shared_ptr<platform::UIImageView> view)
    : KJView(view), imageView(std::move(view)) {}

}  // namespace brindlecue
